#pragma once

// Decodes the cached PNG thumbnails of image entries on the Executor, fitted into the box a
// grid cell paints them in (device pixels), and leaves them in the preview cache's decoded
// memo; painting only ever reads that memo. Asking again for a fingerprint whose decode is on
// its way, for the same box, adds nothing; asking for another box (the scale or the panel's
// width changed) replaces the decode in flight, whose result is then never delivered.
//
// When a decode ends, thumbnailDecoded names its fingerprint so that the cells showing it are
// painted again, and only those. A result whose thumbnail was evicted or replaced meanwhile is
// refused by the cache; the cells are painted again all the same, and find no thumbnail, which
// asks the history to render it anew. So does a thumbnail whose file could not be read: the
// cache drops it, and the cells keep the placeholder until the new render arrives.
//
// Main thread only; the jobs read the thumbnail's file and touch nothing else.

#include "clipboard/ClipboardImageBytes.h"
#include "platform/Executor.h"

#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>

#include <optional>
#include <unordered_map>

class ClipboardHistoryThumbnailLoader final : public QObject
{
    Q_OBJECT

public:
    explicit ClipboardHistoryThumbnailLoader(Executor& executor, QObject* parent = nullptr);

    // The thumbnail fitted into box from the memo, else a null image while its decode is
    // started (when the cache holds the thumbnail) or when its bytes do not decode.
    QImage thumbnail(const QString& fingerprint, const QSize& box);

Q_SIGNALS:
    void thumbnailDecoded(const QString& fingerprint);

private:
    struct Pending
    {
        QSize box;
        TaskHandle task;
    };

    // image is nothing when png could not be read.
    void finish(const QString& fingerprint, const ClipboardImageBytes& png, const QSize& box,
        const std::optional<QImage>& image);

    Executor& m_executor;
    std::unordered_map<QString, Pending> m_pending;
};
