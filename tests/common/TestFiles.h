#pragma once

// File helpers shared by the tests that check what reaches the disk.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <algorithm>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

// The whole file, or "<unreadable>": a missing file must never pass for an empty one.
inline QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// Replaces the file's contents, creating its folders on the way.
inline bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).absolutePath()) &&
        file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// A folder where a file name of ~21 characters stays under PATH_MAX while the kept-aside
// name would pass it, so that moving a bad file aside fails even for root.
inline QString folderNearPathMax(const QString& base)
{
    QString folder = base;
    constexpr int Wanted = 4060;
    while (folder.size() < Wanted) {
        const int room = Wanted - static_cast<int>(folder.size()) - 1;
        folder += QLatin1Char('/') + QString(std::min(room, 200), QLatin1Char('d'));
    }
    QDir().mkpath(folder);
    return folder;
}

// Permission bits of path, or -1 when it does not exist.
inline int fileMode(const QString& path)
{
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
        return -1;
    }
    return static_cast<int>(info.st_mode & 07777);
}

// Makes writes past limit bytes fail with EFBIG for as long as it lives (0: no limit).
class FileSizeLimit final
{
public:
    explicit FileSizeLimit(rlim_t limit)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lowered = m_old;
        lowered.rlim_cur = limit > 0 ? limit : m_old.rlim_cur;
        ::setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }

private:
    rlimit m_old {};
    void (*m_oldHandler)(int) = nullptr;
};
