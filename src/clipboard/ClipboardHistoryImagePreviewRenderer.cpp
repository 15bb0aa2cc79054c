#include "ClipboardHistoryImagePreviewRenderer.h"

#include "ClipboardImageSpill.h"
#include "platform/Executor.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>

#include <algorithm>
#include <cmath>

namespace ClipboardHistoryImagePreviewRenderer {

namespace {

// Fits size into a square of maxSide, keeping the aspect ratio; never enlarges.
QSize fittedSize(const QSize& size, int maxSide)
{
    const int longest = std::max(size.width(), size.height());
    if (longest <= maxSide) {
        return size;
    }
    const double scale = static_cast<double>(maxSide) / longest;
    return QSize(std::max(1, static_cast<int>(std::lround(size.width() * scale))),
        std::max(1, static_cast<int>(std::lround(size.height() * scale))));
}

} // namespace

void ensureAllocationLimit()
{
    // The limit is process-wide: only ever raise it, so no other decoder is cut short.
    if (QImageReader::allocationLimit() < allocationLimitMegabytes) {
        QImageReader::setAllocationLimit(allocationLimitMegabytes);
    }
}

QList<ClipboardHistoryImagePreview> render(const QList<ClipboardHistoryItem>& items,
    const CancelToken* token, const ClipboardImageSpill* spill)
{
    QList<ClipboardHistoryImagePreview> previews;
    for (const ClipboardHistoryItem& item : items) {
        if (token != nullptr && token->isCancelled()) {
            break;
        }
        if (auto preview = render(item)) {
            if (spill != nullptr) {
                preview->thumbnailData = spill->spill(*preview->thumbnailData.read());
            }
            previews.append(std::move(*preview));
        }
    }
    return previews;
}

std::optional<ClipboardHistoryImagePreview> render(const ClipboardHistoryItem& item)
{
    if (item.kind != ClipboardHistoryKind::Image) {
        return std::nullopt;
    }
    std::optional<QByteArray> bytes = item.imageBytes();
    if (!bytes) {
        return std::nullopt;
    }
    ensureAllocationLimit();

    QBuffer buffer(&*bytes);
    if (!buffer.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    if (!reader.canRead()) {
        return std::nullopt;
    }
    // The declared size, before the orientation is applied.
    const QSize declared = reader.size();
    int pixelWidth = declared.isValid() ? std::max(0, declared.width()) : 0;
    int pixelHeight = declared.isValid() ? std::max(0, declared.height()) : 0;

    // Scaling while decoding is much cheaper for formats that support it (JPEG); the scaled
    // size is in the image's own orientation, and the rotation keeps the longest side.
    if (declared.isValid() && !declared.isEmpty()) {
        const QSize target = fittedSize(declared, maxThumbnailPixelSize);
        if (target != declared) {
            reader.setScaledSize(target);
        }
    }
    QImage thumbnail = reader.read();
    if (thumbnail.isNull()) {
        return std::nullopt;
    }
    const QSize fitted = fittedSize(thumbnail.size(), maxThumbnailPixelSize);
    if (fitted != thumbnail.size()) {
        thumbnail = thumbnail.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }

    auto png = pngData(thumbnail);
    if (!png) {
        return std::nullopt;
    }
    if (pixelWidth == 0) {
        pixelWidth = thumbnail.width();
    }
    if (pixelHeight == 0) {
        pixelHeight = thumbnail.height();
    }
    return ClipboardHistoryImagePreview {
        item.fingerprint, std::move(*png), pixelWidth, pixelHeight};
}

std::optional<QByteArray> pngData(const QImage& image)
{
    if (image.isNull()) {
        return std::nullopt;
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly)) {
        return std::nullopt;
    }
    QImageWriter writer(&buffer, "png");
    if (!writer.write(image)) {
        return std::nullopt;
    }
    buffer.close();
    return bytes;
}

} // namespace ClipboardHistoryImagePreviewRenderer
