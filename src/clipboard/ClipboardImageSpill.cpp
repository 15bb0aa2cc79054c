#include "ClipboardImageSpill.h"

#include "support/PrivateFiles.h"
#include "support/Uuid.h"

#include <QDir>
#include <QFile>
#include <QMultiHash>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
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

// Whether the file at path holds exactly bytes.
bool spillFileHolds(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() != bytes.size()) {
        return false;
    }
    constexpr qint64 Chunk = qint64(1) << 20;
    QByteArray buffer(
        std::min<qint64>(Chunk, std::max<qint64>(bytes.size(), 1)), Qt::Uninitialized);
    for (qint64 done = 0; done < bytes.size();) {
        const qint64 read = file.read(buffer.data(), std::min<qint64>(Chunk, bytes.size() - done));
        if (read <= 0 ||
            std::memcmp(buffer.constData(), bytes.constData() + done, size_t(read)) != 0) {
            return false;
        }
        done += read;
    }
    return true;
}

// Files are looked up by length and a hash of their first bytes, so that images of one length
// (screenshots of one screen) do not each read every other one's file.
QString adoptionKey(qint64 size, QByteArrayView head)
{
    return QString::number(size) + QLatin1Char(':') +
        QString::number(qHash(head.first(std::min<qsizetype>(head.size(), 4096))));
}

} // namespace

// The ended processes' folders this one holds the locks of, and their files by length.
struct ClipboardImageSpill::Stale
{
    std::mutex mutex;
    QMultiHash<QString, QString> files; // by adoptionKey
    QList<QPair<QString, int>> folders; // path, lock descriptor
};

ClipboardImageSpill::ClipboardImageSpill(
    const QString& cacheDirectory, const QString& folder, StaleFiles stale)
    : m_stale(std::make_unique<Stale>())
{
    const QString parent = cacheDirectory + QLatin1Char('/') + folder;
    if (!PrivateFiles::ensureDirectory(parent)) {
        return;
    }
    takeStaleFolders(parent, stale);
    const QString directory = parent + QLatin1Char('/') + Uuid::toText(Uuid::create());
    // The lock first: a folder without a held lock beside it is a leftover.
    m_lockFd = lockFile(directory + LockSuffix);
    if (m_lockFd >= 0 && PrivateFiles::ensureDirectory(directory)) {
        m_directory = directory;
    }
}

ClipboardImageSpill::~ClipboardImageSpill()
{
    finishAdopting();
    if (!m_directory.isEmpty() && QDir().rmdir(m_directory)) {
        QFile::remove(m_directory + LockSuffix);
    }
    if (m_lockFd >= 0) {
        ::close(m_lockFd);
    }
}

void ClipboardImageSpill::takeStaleFolders(const QString& parent, StaleFiles stale)
{
    const QDir folder(parent);
    for (const QString& name : folder.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString lock = folder.filePath(name + LockSuffix);
        const int fd = lockFile(lock);
        if (fd < 0) {
            continue; // its process still runs
        }
        const QString path = folder.filePath(name);
        m_stale->folders.append({path, fd});
        if (stale == StaleFiles::Remove) {
            continue;
        }
        for (const QString& file : QDir(path).entryList(QDir::Files | QDir::Hidden)) {
            const QString filePath = path + QLatin1Char('/') + file;
            struct stat info;
            QFile stale(filePath);
            if (::lstat(QFile::encodeName(filePath).constData(), &info) == 0 &&
                S_ISREG(info.st_mode) && info.st_uid == ::geteuid() &&
                stale.open(QIODevice::ReadOnly)) {
                m_stale->files.insert(adoptionKey(info.st_size, stale.read(4096)), filePath);
            }
        }
    }
    if (stale == StaleFiles::Remove) {
        finishAdopting();
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

void ClipboardImageSpill::finishAdopting() const
{
    QList<QPair<QString, int>> folders;
    {
        const std::lock_guard lock(m_stale->mutex);
        m_stale->files.clear();
        folders.swap(m_stale->folders);
    }
    for (const auto& [path, fd] : std::as_const(folders)) {
        QDir(path).removeRecursively();
        QFile::remove(path + LockSuffix);
        ::close(fd);
    }
}

std::optional<ClipboardImageBytes> ClipboardImageSpill::adopt(const QByteArray& bytes) const
{
    const QString key = adoptionKey(bytes.size(), bytes);
    QStringList candidates;
    {
        const std::lock_guard lock(m_stale->mutex);
        candidates = m_stale->files.values(key);
        m_stale->files.remove(key);
    }
    std::optional<ClipboardImageBytes> adopted;
    QStringList others;
    for (const QString& candidate : std::as_const(candidates)) {
        if (adopted || !spillFileHolds(candidate, bytes)) {
            others.append(candidate);
            continue;
        }
        const QString path = m_directory + QLatin1Char('/') + QString::number(++m_nextFile);
        if (std::rename(QFile::encodeName(candidate).constData(),
                QFile::encodeName(path).constData()) == 0) {
            adopted = ClipboardImageBytes::spilled(path, bytes.size(), m_keep);
        }
    }
    // Another image of the same length may still want one of them.
    const std::lock_guard lock(m_stale->mutex);
    for (const QString& other : std::as_const(others)) {
        m_stale->files.insert(key, other);
    }
    return adopted;
}

ClipboardImageBytes ClipboardImageSpill::spill(QByteArray bytes) const
{
    if (m_directory.isEmpty()) {
        return ClipboardImageBytes(std::move(bytes));
    }
    if (std::optional<ClipboardImageBytes> adopted = adopt(bytes)) {
        return *adopted;
    }
    const QString path = m_directory + QLatin1Char('/') + QString::number(++m_nextFile);
    // A folder removed under us (a cache cleaner) is made again once.
    if (writeFile(path, bytes) ||
        (PrivateFiles::ensureDirectory(m_directory) && writeFile(path, bytes))) {
        return ClipboardImageBytes::spilled(path, bytes.size(), m_keep);
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
