#pragma once

// Where the history's image bytes wait on disk instead of in memory: one private folder per
// running process, "<cache>/ClipboardImages/<random id>", next to a lock file of the same name
// + ".lock" that the process holds (flock) while it runs. A second process (the command line,
// a test harness) thus never removes files another one still reads, and the folders of
// processes that ended, crashed or were killed are removed by the next one to start.
//
// The folder is a cache: the history file is the record. The history's spill keeps its files
// when the application quits (keepFilesForNextStart) and the next start adopts them: while it
// loads, spill() moves in a file of an ended process's folder that holds exactly the decoded
// bytes (same length, compared byte for byte) instead of writing them again; a file that
// differs is never used, and whatever was not adopted goes with its folder afterwards
// (finishAdopting). A start thus reads the images it already has instead of rewriting them.
// Folder 0700, files 0600 (they hold what the user copied).

#include "ClipboardImageBytes.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <memory>
#include <optional>

class ClipboardImageSpill final
{
public:
    // Creates this process's folder (and its parents) and removes the folders no process
    // holds. When the folder cannot be made, spill() keeps the bytes in memory. Another folder
    // name keeps another kind of file apart, with the same rules.
    enum class StaleFiles
    {
        Remove,
        Adopt, // until finishAdopting()
    };
    explicit ClipboardImageSpill(const QString& cacheDirectory,
        const QString& folder = folderName(), StaleFiles stale = StaleFiles::Remove);
    // Releases the lock; the folder goes when it is empty, else with the next start.
    ~ClipboardImageSpill();
    ClipboardImageSpill(const ClipboardImageSpill&) = delete;
    ClipboardImageSpill& operator=(const ClipboardImageSpill&) = delete;

    static QString folderName() { return QStringLiteral("ClipboardImages"); }
    QString directory() const { return m_directory; }

    // Writes bytes into a new file of the folder and gives a handle that reads them from
    // there; when the file cannot be written, a handle holding the bytes. Any thread.
    ClipboardImageBytes spill(QByteArray bytes) const;

    // Removes the ended processes' folders with the files that were not adopted.
    void finishAdopting() const;
    // At quit: the files of handles still alive stay, for the next start to adopt.
    void keepFilesForNextStart() const { m_keep->store(true); }

private:
    struct Stale;

    void takeStaleFolders(const QString& parent, StaleFiles stale);
    std::optional<ClipboardImageBytes> adopt(const QByteArray& bytes) const;
    bool writeFile(const QString& path, const QByteArray& bytes) const;

    QString m_directory;
    int m_lockFd = -1;
    mutable std::atomic<quint64> m_nextFile {0};
    std::unique_ptr<Stale> m_stale;
    const std::shared_ptr<std::atomic_bool> m_keep = std::make_shared<std::atomic_bool>(false);
};
