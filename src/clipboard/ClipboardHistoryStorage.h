#pragma once

// "ClipboardHistory.json": one pretty-printed JSON array, newest first, in the form
// ClipboardHistoryWriter gives. The file can pass 2 GiB (hundreds of large screenshots), so it
// is read in parts by ClipboardHistoryReader and written by streaming into an atomic save.

#include "ClipboardHistoryItem.h"
#include "ClipboardHistoryReader.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

class QIODevice;

class ClipboardHistoryStorage final
{
public:
    enum class LoadStatus
    {
        Loaded, // the file was read (an empty list included)
        Missing, // no file yet
        Unreadable, // cannot be read or decoded as a whole: the caller keeps it aside
        // Too large to be held in memory this time, though it may well be sound: the caller
        // must not write over it during this run.
        TooLarge,
    };

    struct LoadResult
    {
        LoadStatus status = LoadStatus::Missing;
        QList<ClipboardHistoryItem> items;
    };

    explicit ClipboardHistoryStorage(QString directory);

    static QString fileName() { return QStringLiteral("ClipboardHistory.json"); }
    QString filePath() const; // the file's path
    QString directory() const { return m_directory; }

    // Reads the file at start. A file that cannot be read or decoded as a whole gives an
    // empty history. Decoded images go to imageSink (a spill folder) as they come.
    LoadResult load(const ClipboardHistoryReader::ImageSink& imageSink = {}) const;

    // Whether the file at path decodes as a whole history (its images are decoded and dropped).
    static bool decodes(const QString& path);

    // Creates the folder (0700) and writes the file atomically (0600). Safe to call from a
    // worker thread; on failure returns false and sets *error to a description.
    bool saveSynchronously(const QList<ClipboardHistoryItem>& items, QString* error) const;

    // The save's encoder: first, images whose spill file went missing or changed are read
    // back from the history file about to be replaced (and their spill files written again);
    // an image found nowhere is written without its bytes. Then the file is streamed.
    static bool encodeRestoringImages(
        QList<ClipboardHistoryItem> items, const QString& path, QIODevice& device);

    // Pure encode / decode, exposed for tests and tools.
    static QByteArray encode(const QList<ClipboardHistoryItem>& items);
    static bool encode(const QList<ClipboardHistoryItem>& items, QIODevice& device);
    static std::optional<QList<ClipboardHistoryItem>> decode(const QByteArray& json);

private:
    static void restoreLostImages(QList<ClipboardHistoryItem>& items, const QString& path);

    QString m_directory;
};
