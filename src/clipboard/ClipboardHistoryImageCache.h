#pragma once

// Previews of image entries, keyed by fingerprint so identical images share one entry. The
// cache holds each thumbnail as its PNG bytes with the PNG length as its cost, bounded to 160
// entries AND 80 MiB: the least recently used entries go first when either bound is passed.
// The full-size dimensions are kept for the life of the process. One instance per process;
// main thread only.
//
// Thumbnails are not decoded when they are stored (a render batch may bring a hundred of them
// and decoding one takes 10-15 ms). Views decode them off the main thread, scaled to the size
// they paint them at, and leave the result in a small memo bounded by its decoded byte size;
// painting only reads the memo. A decode finished after its entry was evicted or replaced is
// refused, so the memo never outlives the thumbnail it came from.

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QList>
#include <QSize>
#include <QString>

#include <list>
#include <optional>

struct ClipboardHistoryImagePreview
{
    QString fingerprint;
    QByteArray thumbnailData; // PNG
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

    // Inserts the thumbnails (no decoding; a preview whose bytes are not a readable image
    // header is skipped) and records the dimensions.
    void store(const QList<ClipboardHistoryImagePreview>& previews);
    // "4000 x 3000" when the dimensions are known.
    std::optional<QString> detail(const QString& fingerprint) const;
    std::optional<QSize> dimensions(const QString& fingerprint) const;
    // The thumbnail decoded at its own size (now, on the calling thread), or a null image when
    // it is not (or no longer) cached.
    QImage image(const QString& fingerprint) const;
    bool hasImage(const QString& fingerprint) const;
    QByteArray thumbnailData(const QString& fingerprint) const;
    // The thumbnail as decoded and fitted into box (device pixels), when that was remembered:
    // a null image when its bytes would not decode; nothing when it was not decoded for box.
    std::optional<QImage> decodedThumbnail(const QString& fingerprint, const QSize& box) const;
    // Remembers what png decoded to for box (one box per fingerprint, the latest). Refused,
    // false, when png is no longer the thumbnail cached for fingerprint.
    bool rememberDecoded(
        const QString& fingerprint, const QByteArray& png, const QSize& box, const QImage& image);

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
        QByteArray png;
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

    QHash<QString, Entry> m_entries;
    // Most recently used first. Mutable: a lookup counts as a use.
    mutable std::list<QString> m_recency;
    qint64 m_totalCost = 0;
    QHash<QString, QSize> m_dimensions;

    QHash<QString, Decoded> m_decoded;
    mutable std::list<QString> m_decodedRecency;
    qint64 m_decodedBytes = 0;
};
