#pragma once

// Previews of image entries, keyed by fingerprint so identical images share one entry. The
// cache holds each thumbnail as its PNG bytes with the PNG length as its cost, bounded to 160
// entries AND 80 MiB: the least recently used entries go first when either bound is passed.
// The full-size dimensions are kept for the life of the process. One instance per process;
// main thread only.
//
// The PNG bytes wait in files of the preview folder (a ClipboardImageSpill of its own, kept
// apart from the history's images), written by the render job; an entry holds a handle to its
// file, so the cache costs the process a few hundred bytes an entry, and an evicted entry's
// file goes with its last handle. The cache keeps the folder alive until its last entry is
// gone, so the folder goes with the process. Previews that come without a folder (spilling
// failed, or no folder was given) keep their bytes in memory, under the same bounds.
//
// Thumbnails are not decoded when they are stored (a render batch may bring a hundred of them
// and decoding one takes 10-15 ms), nor read: the main thread never reads a thumbnail's file.
// Views read and decode them off the main thread, scaled to the size they paint them at, and
// leave the result in a small memo bounded by its decoded byte size; painting only reads the
// memo. A decode finished after its entry was evicted or replaced is refused, so the memo never
// outlives the thumbnail it came from. A thumbnail whose file could not be read is dropped, so
// that the next request renders it again.

#include "ClipboardImageBytes.h"

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QList>
#include <QSize>
#include <QString>

#include <list>
#include <memory>
#include <optional>

class ClipboardImageSpill;

struct ClipboardHistoryImagePreview
{
    QString fingerprint;
    ClipboardImageBytes thumbnailData {QByteArray()}; // PNG
    int pixelWidth = 0;
    int pixelHeight = 0;

    bool operator==(const ClipboardHistoryImagePreview& other) const = default;
};

class ClipboardHistoryImageCache final
{
public:
    static constexpr int maxEntries = 160;
    static constexpr qint64 maxCost = 83886080;
    // Decoded pixels kept for painting (a few hundred grid cells).
    static constexpr qint64 maxDecodedBytes = 24 * 1024 * 1024;

    static ClipboardHistoryImageCache& shared();
    static QString spillFolderName() { return QStringLiteral("ClipboardPreviews"); }

    // The folder the render jobs write thumbnails into; nothing keeps them in memory.
    void setSpill(std::shared_ptr<const ClipboardImageSpill> spill);
    std::shared_ptr<const ClipboardImageSpill> spill() const { return m_spill; }

    // Inserts the thumbnails (no decoding, no reading: a preview whose bytes are held here and
    // are not a readable image header is skipped; a file was written from a PNG the renderer
    // had just made) and records the dimensions.
    void store(const QList<ClipboardHistoryImagePreview>& previews);
    // "4000 x 3000" when the dimensions are known.
    std::optional<QString> detail(const QString& fingerprint) const;
    std::optional<QSize> dimensions(const QString& fingerprint) const;
    // The thumbnail read and decoded at its own size (now, on the calling thread: it may read
    // a file, so views use ClipboardHistoryThumbnailLoader), or a null image when it is not
    // (or no longer) cached or cannot be read.
    QImage image(const QString& fingerprint) const;
    bool hasImage(const QString& fingerprint) const;
    // The handle to the thumbnail's bytes, to be read off the main thread.
    std::optional<ClipboardImageBytes> thumbnailData(const QString& fingerprint) const;
    // The thumbnail as decoded and fitted into box (device pixels), when that was remembered:
    // a null image when its bytes would not decode; nothing when it was not decoded for box.
    std::optional<QImage> decodedThumbnail(const QString& fingerprint, const QSize& box) const;
    // Remembers what png decoded to for box (one box per fingerprint, the latest). Refused,
    // false, when png is no longer the thumbnail cached for fingerprint.
    bool rememberDecoded(const QString& fingerprint, const ClipboardImageBytes& png,
        const QSize& box, const QImage& image);
    // Drops the entry whose bytes png could not be read (its file went missing or was cut
    // short), unless it has been replaced since; its dimensions stay.
    void forgetUnreadable(const QString& fingerprint, const ClipboardImageBytes& png);

    // Drops every thumbnail (as memory pressure would); dimensions stay.
    void evictAll();
    int count() const;
    qint64 totalCost() const;
    // Tests start from an empty cache.
    void resetForTesting();

    ClipboardHistoryImageCache(const ClipboardHistoryImageCache&) = delete;
    ClipboardHistoryImageCache& operator=(const ClipboardHistoryImageCache&) = delete;

private:
    ClipboardHistoryImageCache() = default;

    struct Entry
    {
        ClipboardImageBytes png;
        std::list<QString>::iterator position; // in m_recency
    };
    struct Decoded
    {
        QImage image;
        QSize box;
        std::list<QString>::iterator position; // in m_decodedRecency
    };

    void remove(const QString& fingerprint);
    void evictToBounds();
    void touch(const Entry& entry) const;
    void forgetDecoded(const QString& fingerprint);

    // First: the folder outlives the entries' files.
    std::shared_ptr<const ClipboardImageSpill> m_spill;
    QHash<QString, Entry> m_entries;
    // Most recently used first. Mutable: a lookup counts as a use.
    mutable std::list<QString> m_recency;
    qint64 m_totalCost = 0;
    QHash<QString, QSize> m_dimensions;

    QHash<QString, Decoded> m_decoded;
    mutable std::list<QString> m_decodedRecency;
    qint64 m_decodedBytes = 0;
};
