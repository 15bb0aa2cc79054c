#pragma once

// Makes the PNG thumbnail and reads the full-size dimensions of image entries. Runs on a
// worker (the history model's preview task) and touches only the value snapshots it is
// given.
//
// The thumbnail follows the image's orientation (EXIF) and its longest side is at most 800
// pixels; smaller images keep their size. The dimensions are the raw pixel width and height
// the image declares, before any orientation is applied, falling back to the thumbnail's
// when the image declares none. A batch writes its thumbnails into the preview folder when it
// is given one, there on the worker, so that they never wait in memory.

#include "ClipboardHistoryImageCache.h"
#include "ClipboardHistoryItem.h"

#include <QByteArray>
#include <QImage>
#include <QList>

#include <optional>

class CancelToken;
class ClipboardImageSpill;

namespace ClipboardHistoryImagePreviewRenderer {

inline constexpr int maxThumbnailPixelSize = 800;
// Qt refuses to decode images over 128 MB by default; a 20-megapixel screenshot with an alpha
// channel is close to it and larger ones pass it.
inline constexpr int allocationLimitMegabytes = 1024;

// Raises Qt's process-wide decode limit when it is lower (it is never lowered here).
void ensureAllocationLimit();

// The previews of the items that can be rendered, in the items' order, their thumbnails in
// files of spill when it is given. Stops early (with what it has) when token is cancelled.
QList<ClipboardHistoryImagePreview> render(const QList<ClipboardHistoryItem>& items,
    const CancelToken* token = nullptr, const ClipboardImageSpill* spill = nullptr);
std::optional<ClipboardHistoryImagePreview> render(const ClipboardHistoryItem& item);

std::optional<QByteArray> pngData(const QImage& image);

} // namespace ClipboardHistoryImagePreviewRenderer
