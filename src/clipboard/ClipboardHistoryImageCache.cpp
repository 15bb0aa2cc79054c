#include "ClipboardHistoryImageCache.h"

#include "ClipboardImageSpill.h"

#include <QBuffer>
#include <QImageReader>

namespace {

// Reads only the image header: enough to refuse bytes that are no image at all, without
// paying for a decode on the main thread.
bool thumbnailHasReadableHeader(QByteArray bytes)
{
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::ReadOnly)) {
        return false;
    }
    QImageReader reader(&buffer);
    if (!reader.canRead()) {
        return false;
    }
    const QSize size = reader.size();
    return size.isValid() && !size.isEmpty();
}

} // namespace

ClipboardHistoryImageCache& ClipboardHistoryImageCache::shared()
{
    static ClipboardHistoryImageCache instance;
    return instance;
}

void ClipboardHistoryImageCache::setSpill(std::shared_ptr<const ClipboardImageSpill> spill)
{
    m_spill = std::move(spill);
}

void ClipboardHistoryImageCache::store(const QList<ClipboardHistoryImagePreview>& previews)
{
    for (const ClipboardHistoryImagePreview& preview : previews) {
        const ClipboardImageBytes& png = preview.thumbnailData;
        if (!png.isSpilled() && !thumbnailHasReadableHeader(png.read().value_or(QByteArray()))) {
            continue;
        }
        remove(preview.fingerprint);
        const qint64 cost = png.size();
        // A thumbnail larger than the whole budget cannot be kept; its dimensions still can.
        if (cost <= maxCost) {
            m_recency.push_front(preview.fingerprint);
            m_entries.insert(preview.fingerprint, Entry {png, m_recency.begin()});
            m_totalCost += cost;
            evictToBounds();
        }
        m_dimensions.insert(preview.fingerprint, QSize(preview.pixelWidth, preview.pixelHeight));
    }
}

std::optional<QString> ClipboardHistoryImageCache::detail(const QString& fingerprint) const
{
    const auto size = dimensions(fingerprint);
    if (!size) {
        return std::nullopt;
    }
    return QString::number(size->width()) + QStringLiteral(" x ") + QString::number(size->height());
}

std::optional<QSize> ClipboardHistoryImageCache::dimensions(const QString& fingerprint) const
{
    const auto it = m_dimensions.constFind(fingerprint);
    if (it == m_dimensions.constEnd()) {
        return std::nullopt;
    }
    return *it;
}

QImage ClipboardHistoryImageCache::image(const QString& fingerprint) const
{
    const auto it = m_entries.constFind(fingerprint);
    if (it == m_entries.constEnd()) {
        return {};
    }
    touch(*it);
    const std::optional<QByteArray> png = it->png.read();
    QImage image;
    if (!png || !image.loadFromData(*png)) {
        return {};
    }
    return image;
}

bool ClipboardHistoryImageCache::hasImage(const QString& fingerprint) const
{
    return m_entries.contains(fingerprint);
}

std::optional<ClipboardImageBytes> ClipboardHistoryImageCache::thumbnailData(
    const QString& fingerprint) const
{
    const auto it = m_entries.constFind(fingerprint);
    if (it == m_entries.constEnd()) {
        return std::nullopt;
    }
    return it->png;
}

std::optional<QImage> ClipboardHistoryImageCache::decodedThumbnail(
    const QString& fingerprint, const QSize& box) const
{
    const auto it = m_decoded.constFind(fingerprint);
    if (it == m_decoded.constEnd() || it->box != box) {
        return std::nullopt;
    }
    touch(*m_entries.constFind(fingerprint));
    m_decodedRecency.splice(m_decodedRecency.begin(), m_decodedRecency, it->position);
    return it->image;
}

bool ClipboardHistoryImageCache::rememberDecoded(const QString& fingerprint,
    const ClipboardImageBytes& png, const QSize& box, const QImage& image)
{
    const auto entry = m_entries.constFind(fingerprint);
    if (entry == m_entries.constEnd() || !entry->png.isSameHandle(png)) {
        return false;
    }
    forgetDecoded(fingerprint);
    const qint64 bytes = image.sizeInBytes();
    if (bytes > maxDecodedBytes) {
        return true;
    }
    m_decodedRecency.push_front(fingerprint);
    m_decoded.insert(fingerprint, Decoded {image, box, m_decodedRecency.begin()});
    m_decodedBytes += bytes;
    while (m_decodedBytes > maxDecodedBytes && !m_decodedRecency.empty()) {
        const QString oldest = m_decodedRecency.back();
        forgetDecoded(oldest);
    }
    return true;
}

void ClipboardHistoryImageCache::forgetUnreadable(
    const QString& fingerprint, const ClipboardImageBytes& png)
{
    const auto entry = m_entries.constFind(fingerprint);
    if (entry != m_entries.constEnd() && entry->png.isSameHandle(png)) {
        remove(fingerprint);
    }
}

void ClipboardHistoryImageCache::evictAll()
{
    m_entries.clear();
    m_recency.clear();
    m_totalCost = 0;
    m_decoded.clear();
    m_decodedRecency.clear();
    m_decodedBytes = 0;
}

int ClipboardHistoryImageCache::count() const
{
    return static_cast<int>(m_entries.size());
}

qint64 ClipboardHistoryImageCache::totalCost() const
{
    return m_totalCost;
}

void ClipboardHistoryImageCache::resetForTesting()
{
    evictAll();
    m_dimensions.clear();
}

void ClipboardHistoryImageCache::remove(const QString& fingerprint)
{
    const auto it = m_entries.find(fingerprint);
    if (it == m_entries.end()) {
        return;
    }
    m_totalCost -= it->png.size();
    m_recency.erase(it->position);
    m_entries.erase(it);
    forgetDecoded(fingerprint);
}

void ClipboardHistoryImageCache::evictToBounds()
{
    while (!m_recency.empty() && (m_entries.size() > maxEntries || m_totalCost > maxCost)) {
        const QString oldest = m_recency.back();
        remove(oldest);
    }
}

void ClipboardHistoryImageCache::touch(const Entry& entry) const
{
    m_recency.splice(m_recency.begin(), m_recency, entry.position);
}

void ClipboardHistoryImageCache::forgetDecoded(const QString& fingerprint)
{
    const auto it = m_decoded.find(fingerprint);
    if (it == m_decoded.end()) {
        return;
    }
    m_decodedBytes -= it->image.sizeInBytes();
    m_decodedRecency.erase(it->position);
    m_decoded.erase(it);
}
