#include "ClipboardHistoryThumbnailLoader.h"

#include "clipboard/ClipboardHistoryImageCache.h"

#include <QPointer>

namespace {

// Premultiplied pixels paint without a conversion on every paint.
QImage decodeFitted(const QByteArray& png, const QSize& box, const CancelToken& token)
{
    QImage image;
    if (token.isCancelled() || !image.loadFromData(png) || token.isCancelled()) {
        return {};
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
    const QByteArray png = cache.thumbnailData(fingerprint);
    if (png.isEmpty() || box.isEmpty()) {
        return {};
    }
    const auto pending = m_pending.find(fingerprint);
    if (pending != m_pending.end() && pending->second.box == box) {
        return {};
    }
    QPointer<ClipboardHistoryThumbnailLoader> self(this);
    // Replacing the handle of another box's decode cancels it.
    m_pending[fingerprint] = Pending {box,
        m_executor.run<QImage>(
            Executor::Priority::UserInitiated,
            [png, box](const CancelToken& token) { return decodeFitted(png, box, token); },
            [self, fingerprint, png, box](QImage image) {
                if (self) {
                    self->finish(fingerprint, png, box, image);
                }
            })};
    return {};
}

void ClipboardHistoryThumbnailLoader::finish(
    const QString& fingerprint, const QByteArray& png, const QSize& box, const QImage& image)
{
    if (const auto pending = m_pending.find(fingerprint); pending != m_pending.end()) {
        pending->second.task.release();
        m_pending.erase(pending);
    }
    ClipboardHistoryImageCache::shared().rememberDecoded(fingerprint, png, box, image);
    Q_EMIT thumbnailDecoded(fingerprint);
}
