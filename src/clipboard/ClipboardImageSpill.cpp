#include "ClipboardImageSpill.h"

#include "support/PrivateFiles.h"
#include "support/Uuid.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

const QString LockSuffix = QStringLiteral(".lock");

// An open descriptor holding an exclusive lock on path (created 0600), or -1 when another
// process holds it or the file cannot be opened.
int lockFile(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        return -1;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

ClipboardImageSpill::ClipboardImageSpill(const QString& cacheDirectory, const QString& folder)
{
    const QString parent = cacheDirectory + QLatin1Char('/') + folder;
    if (!PrivateFiles::ensureDirectory(parent)) {
        return;
    }
    removeStaleFolders(parent);
    const QString directory = parent + QLatin1Char('/') + Uuid::toText(Uuid::create());
    // The lock first: a folder without a held lock beside it is a leftover.
    m_lockFd = lockFile(directory + LockSuffix);
    if (m_lockFd >= 0 && PrivateFiles::ensureDirectory(directory)) {
        m_directory = directory;
    }
}

ClipboardImageSpill::~ClipboardImageSpill()
{
    if (!m_directory.isEmpty() && QDir().rmdir(m_directory)) {
        QFile::remove(m_directory + LockSuffix);
    }
    if (m_lockFd >= 0) {
        ::close(m_lockFd);
    }
}

void ClipboardImageSpill::removeStaleFolders(const QString& parent)
{
    const QDir folder(parent);
    for (const QString& name : folder.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString lock = folder.filePath(name + LockSuffix);
        const int fd = lockFile(lock);
        if (fd < 0) {
            continue; // its process still runs
        }
        QDir(folder.filePath(name)).removeRecursively();
        QFile::remove(lock);
        ::close(fd);
    }
    // Locks whose folder is already gone.
    for (const QString& name : folder.entryList({QLatin1Char('*') + LockSuffix}, QDir::Files)) {
        const QString lock = folder.filePath(name);
        if (folder.exists(name.chopped(LockSuffix.size()))) {
            continue;
        }
        const int fd = lockFile(lock);
        if (fd >= 0) {
            QFile::remove(lock);
            ::close(fd);
        }
    }
}

ClipboardImageBytes ClipboardImageSpill::spill(QByteArray bytes) const
{
    if (m_directory.isEmpty()) {
        return ClipboardImageBytes(std::move(bytes));
    }
    const QString path = m_directory + QLatin1Char('/') + QString::number(++m_nextFile);
    // A folder removed under us (a cache cleaner) is made again once.
    if (writeFile(path, bytes) ||
        (PrivateFiles::ensureDirectory(m_directory) && writeFile(path, bytes))) {
        return ClipboardImageBytes::spilled(path, bytes.size());
    }
    return ClipboardImageBytes(std::move(bytes));
}

bool ClipboardImageSpill::writeFile(const QString& path, const QByteArray& bytes) const
{
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        return false;
    }
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            break;
        }
        done += written;
    }
    ::close(fd);
    if (done != bytes.size()) {
        QFile::remove(path);
        return false;
    }
    return true;
}
