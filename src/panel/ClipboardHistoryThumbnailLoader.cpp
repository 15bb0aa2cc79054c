#include "ClipboardHistoryThumbnailLoader.h"

#include "clipboard/ClipboardHistoryImageCache.h"

#include <QPointer>

namespace {

// Premultiplied pixels paint without a conversion on every paint. Nothing when the bytes
// cannot be read; a null image when they do not decode.
std::optional<QImage> readThumbnailFitted(
    const ClipboardImageBytes& png, const QSize& box, const CancelToken& token)
{
    if (token.isCancelled()) {
        return QImage();
    }
    const std::optional<QByteArray> bytes = png.read();
    if (!bytes) {
        return std::nullopt;
    }
    QImage image;
    if (token.isCancelled() || !image.loadFromData(*bytes) || token.isCancelled()) {
        return QImage();
    }
    if (image.width() > box.width() || image.height() > box.height()) {
        image = image.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    return image.convertToFormat(
        image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
}

} // namespace

ClipboardHistoryThumbnailLoader::ClipboardHistoryThumbnailLoader(
    Executor& executor, QObject* parent)
    : QObject(parent)
    , m_executor(executor)
{ }

QImage ClipboardHistoryThumbnailLoader::thumbnail(const QString& fingerprint, const QSize& box)
{
    ClipboardHistoryImageCache& cache = ClipboardHistoryImageCache::shared();
    if (const std::optional<QImage> decoded = cache.decodedThumbnail(fingerprint, box)) {
        return *decoded;
    }
    const std::optional<ClipboardImageBytes> png = cache.thumbnailData(fingerprint);
    if (!png || box.isEmpty()) {
        return {};
    }
    const auto pending = m_pending.find(fingerprint);
    if (pending != m_pending.end() && pending->second.box == box) {
        return {};
    }
    QPointer<ClipboardHistoryThumbnailLoader> self(this);
    // Replacing the handle of another box's decode cancels it.
    m_pending[fingerprint] = Pending {box,
        m_executor.run<std::optional<QImage>>(
            Executor::Priority::UserInitiated,
            [png = *png, box](
                const CancelToken& token) { return readThumbnailFitted(png, box, token); },
            [self, fingerprint, png = *png, box](std::optional<QImage> image) {
                if (self) {
                    self->finish(fingerprint, png, box, image);
                }
            })};
    return {};
}

void ClipboardHistoryThumbnailLoader::finish(const QString& fingerprint,
    const ClipboardImageBytes& png, const QSize& box, const std::optional<QImage>& image)
{
    if (const auto pending = m_pending.find(fingerprint); pending != m_pending.end()) {
        pending->second.task.release();
        m_pending.erase(pending);
    }
    ClipboardHistoryImageCache& cache = ClipboardHistoryImageCache::shared();
    if (image) {
        cache.rememberDecoded(fingerprint, png, box, *image);
    } else {
        cache.forgetUnreadable(fingerprint, png);
    }
    Q_EMIT thumbnailDecoded(fingerprint);
}
