#include "PrivateFiles.h"

#include "IsoDate.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace PrivateFiles {

namespace {

constexpr mode_t FolderMode = 0700;
constexpr mode_t FileMode = 0600;

void setError(QString* error, const QString& text)
{
    if (error != nullptr) {
        *error = text;
    }
}

QString systemError(const QString& path, int code)
{
    return QDir::toNativeSeparators(path) + QStringLiteral(": ") + qt_error_string(code);
}

// Renames without replacing an existing file; falls back to a check and rename(2) where the
// file system has no RENAME_NOREPLACE.
int renameNoReplace(const QByteArray& from, const QByteArray& to)
{
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return errno;
    }
    struct stat info;
    if (::lstat(to.constData(), &info) == 0) {
        return EEXIST;
    }
    return ::rename(from.constData(), to.constData()) == 0 ? 0 : errno;
}

// Passes writes to the save file and insists that each one is complete. QFileDevice returns
// a short count without an error when the file-size limit is reached part-way, and a writer
// that does not check counts would then commit a truncated file.
class CheckedDevice final : public QIODevice
{
public:
    explicit CheckedDevice(QSaveFile& file)
        : m_file(file)
    {
        open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    }

    bool failed() const { return m_failed; }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override
    {
        if (m_failed) {
            return -1;
        }
        qint64 done = 0;
        while (done < size) {
            const qint64 written = m_file.write(data + done, size - done);
            if (written <= 0) {
                m_failed = true;
                return -1;
            }
            done += written;
        }
        return size;
    }

private:
    QSaveFile& m_file;
    bool m_failed = false;
};

} // namespace

bool ensureDirectory(const QString& path, QString* error)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat info;
    if (::stat(native.constData(), &info) != 0) {
        if (errno != ENOENT) {
            setError(error, systemError(path, errno));
            return false;
        }
        const QString parent = QFileInfo(path).absolutePath();
        if (!QDir().mkpath(parent)) {
            setError(error, systemError(parent, errno));
            return false;
        }
        if (::mkdir(native.constData(), FolderMode) != 0 && errno != EEXIST) {
            setError(error, systemError(path, errno));
            return false;
        }
        if (::stat(native.constData(), &info) != 0) {
            setError(error, systemError(path, errno));
            return false;
        }
    }
    if (!S_ISDIR(info.st_mode)) {
        setError(error, systemError(path, ENOTDIR));
        return false;
    }
    // The umask may have narrowed mkdir's mode, never widened it; an existing folder may be
    // wider. A folder owned by someone else (a shared mount) is left as it is.
    if (info.st_uid == ::geteuid() && (info.st_mode & 07777) != FolderMode &&
        ::chmod(native.constData(), FolderMode) != 0) {
        setError(error, systemError(path, errno));
        return false;
    }
    return true;
}

bool writeAtomically(
    const QString& path, const std::function<bool(QIODevice&)>& writer, QString* error)
{
    if (!ensureDirectory(QFileInfo(path).absolutePath(), error)) {
        return false;
    }
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly)) {
        setError(error, file.errorString());
        return false;
    }
    // QSaveFile gives the temporary file the old file's mode or 0666 minus the umask; make it
    // private before any content reaches it.
    if (::fchmod(file.handle(), FileMode) != 0) {
        setError(error, systemError(file.fileName(), errno));
        file.cancelWriting();
        return false;
    }
    CheckedDevice device(file);
    const bool written = writer(device);
    if (!written || device.failed() || file.error() != QFileDevice::NoError) {
        QString text;
        if (file.error() != QFileDevice::NoError) {
            text = file.errorString();
        } else if (device.failed()) {
            text =
                QDir::toNativeSeparators(path) + QStringLiteral(": 書き込みが途中で止まりました");
        } else {
            text = QDir::toNativeSeparators(path) + QStringLiteral(": 書き込みを中止しました");
        }
        setError(error, text);
        // The temporary file is removed when file goes out of scope.
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        setError(error, file.errorString());
        return false;
    }
    return true;
}

bool writeAtomically(const QString& path, const QByteArray& contents, QString* error)
{
    return writeAtomically(
        path, [&contents](QIODevice& device) { return device.write(contents) == contents.size(); },
        error);
}

int copyNoReplace(const QByteArray& from, const QByteArray& to)
{
    QFile source(QFile::decodeName(from));
    if (!source.open(QIODevice::ReadOnly)) {
        return EACCES;
    }
    const int fd = ::open(to.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, FileMode);
    if (fd < 0) {
        return errno;
    }
    QFile copy;
    bool ok = copy.open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered, QFile::AutoCloseHandle);
    QByteArray chunk;
    while (ok && !(chunk = source.read(1 << 20)).isEmpty()) {
        ok = copy.write(chunk) == chunk.size();
    }
    ok = ok && source.error() == QFileDevice::NoError && ::fsync(fd) == 0;
    copy.close();
    if (!ok) {
        ::unlink(to.constData());
        return EIO;
    }
    return 0;
}

QString moveAside(const QString& path, const QDateTime& now, const QString& suffix)
{
    const QByteArray from = QFile::encodeName(path);
    // A store that is a link to a file elsewhere (a synced folder) keeps its link: the kept
    // file is a copy of the target's bytes, and the next save replaces the target.
    struct stat linkInfo;
    struct stat targetInfo;
    const bool linkToFile = ::lstat(from.constData(), &linkInfo) == 0 &&
        S_ISLNK(linkInfo.st_mode) && ::stat(from.constData(), &targetInfo) == 0 &&
        S_ISREG(targetInfo.st_mode);
    const QString base =
        path + QLatin1Char('.') + suffix + QLatin1Char('-') + IsoDate::compactStamp(now);
    for (int attempt = 1; attempt <= 1000; ++attempt) {
        const QString target =
            attempt == 1 ? base : base + QLatin1Char('-') + QString::number(attempt);
        const int result = linkToFile ? copyNoReplace(from, QFile::encodeName(target))
                                      : renameNoReplace(from, QFile::encodeName(target));
        if (result == 0) {
            // Renamed is what matters: the file is out of the way. The mode is tightened
            // when it is ours; a symbolic link is not followed.
            struct stat info;
            const QByteArray moved = QFile::encodeName(target);
            if (::lstat(moved.constData(), &info) == 0 && S_ISREG(info.st_mode)) {
                ::chmod(moved.constData(), FileMode);
            }
            return target;
        }
        if (result != EEXIST) {
            return {};
        }
    }
    return {};
}

bool setPrivateMode(const QString& path)
{
    return ::chmod(QFile::encodeName(path).constData(), FileMode) == 0;
}

} // namespace PrivateFiles
