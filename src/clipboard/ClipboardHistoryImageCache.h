#pragma once

// Previews of image entries, keyed by fingerprint so identical images share one entry. The
// cache holds each thumbnail as its PNG bytes (decoded when painted) with the PNG length as
// its cost, bounded to 160 entries and 80 MiB; the full-size dimensions are kept for the
// life of the process. One instance per process; main thread only.

#include <QByteArray>
#include <QCache>
#include <QHash>
#include <QImage>
#include <QList>
#include <QSize>
#include <QString>

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

    static ClipboardHistoryImageCache& shared();

    void store(const QList<ClipboardHistoryImagePreview>& previews);
    std::optional<QString> detail(const QString& fingerprint) const;
    QImage image(const QString& fingerprint) const;
    bool hasImage(const QString& fingerprint) const;

    // Drops every thumbnail (as memory pressure would); dimensions stay.
    void evictAll();
    int count() const;
    qint64 totalCost() const;
    // Tests start from an empty cache.
    void resetForTesting();

private:
    ClipboardHistoryImageCache();

    struct Entry
    {
        QByteArray png;
    };

    // Cost in bytes; QCache counts cost in qsizetype.
    QCache<QString, Entry> m_cache;
    QHash<QString, QSize> m_dimensions;
};
