#pragma once

// "ClipboardHistory.json": one pretty-printed JSON array, newest first, keys sorted, dates
// as YYYY-MM-DDTHH:MM:SSZ, image bytes in Base64. The file can pass 2 GiB (hundreds of large
// screenshots), so it is read with simdjson and written by streaming into an atomic save.

#include "ClipboardHistoryItem.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

class ClipboardHistoryStorage final
{
public:
    enum class LoadStatus
    {
        Loaded, // the file was read (an empty list included)
        Missing, // no file yet
        MovedAside, // unreadable or undecodable: renamed to movedAsidePath
        // Unreadable and could not be moved aside, or too large to be held in memory this
        // time: never write over it during this run.
        Untouchable,
    };

    struct LoadResult
    {
        LoadStatus status = LoadStatus::Missing;
        QList<ClipboardHistoryItem> items;
        QString movedAsidePath;
    };

    explicit ClipboardHistoryStorage(QString directory);

    QString fileURL() const; // the file's path
    QString directory() const { return m_directory; }

    // Reads the file at start. A file that cannot be read or decoded as a whole gives an
    // empty history and is moved aside first so the next save cannot destroy it.
    LoadResult load(const QDateTime& now);

    // Creates the folder (0700) and writes the file atomically (0600). Safe to call from a
    // worker thread; on failure returns false and sets *error to a description.
    bool saveSynchronously(const QList<ClipboardHistoryItem>& items, QString* error) const;

    // Set after a load that could not move a bad file aside: saves are refused for this run.
    bool isWriteProtected() const { return m_writeProtected; }
    // Why saves are refused while write-protected.
    QString writeRefusal() const;

    // Pure encode / decode, exposed for tests and tools.
    static QByteArray encode(const QList<ClipboardHistoryItem>& items);
    static std::optional<QList<ClipboardHistoryItem>> decode(const QByteArray& json);

private:
    QString m_directory;
    bool m_writeProtected = false;
};
