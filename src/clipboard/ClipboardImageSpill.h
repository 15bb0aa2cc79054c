#pragma once

// Where the history's image bytes wait on disk instead of in memory: one private folder per
// running process, "<cache>/ClipboardImages/<random id>", next to a lock file of the same name
// + ".lock" that the process holds (flock) while it runs. A second process (the command line,
// a test harness) thus never removes files another one still reads, and the folders of
// processes that ended, crashed or were killed are removed by the next one to start.
//
// The folder is a cache: the history file is the record, and its images are spilled again
// on every load. Folder 0700, files 0600 (they hold what the user copied).

#include "ClipboardImageBytes.h"

#include <QByteArray>
#include <QString>

#include <atomic>

class ClipboardImageSpill final
{
public:
    // Creates this process's folder (and its parents) and removes the folders no process
    // holds. When the folder cannot be made, spill() keeps the bytes in memory. Another folder
    // name keeps another kind of file apart, with the same rules.
    explicit ClipboardImageSpill(
        const QString& cacheDirectory, const QString& folder = folderName());
    // Releases the lock; the folder goes when it is empty, else with the next start.
    ~ClipboardImageSpill();
    ClipboardImageSpill(const ClipboardImageSpill&) = delete;
    ClipboardImageSpill& operator=(const ClipboardImageSpill&) = delete;

    static QString folderName() { return QStringLiteral("ClipboardImages"); }
    QString directory() const { return m_directory; }

    // Writes bytes into a new file of the folder and gives a handle that reads them from
    // there; when the file cannot be written, a handle holding the bytes. Any thread.
    ClipboardImageBytes spill(QByteArray bytes) const;

private:
    static void removeStaleFolders(const QString& parent);
    bool writeFile(const QString& path, const QByteArray& bytes) const;

    QString m_directory;
    int m_lockFd = -1;
    mutable std::atomic<quint64> m_nextFile {0};
};
