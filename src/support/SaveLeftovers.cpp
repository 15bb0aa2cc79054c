#include "SaveLeftovers.h"

#include "PrivateFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace SaveLeftovers {

namespace {

struct Leftover
{
    QString path;
    timespec modified {};
};

bool isTemporaryLetter(QChar c)
{
    return (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
        (c >= QLatin1Char('a') && c <= QLatin1Char('z'));
}

bool hasLeftoverName(const QString& name, const QString& storeName)
{
    constexpr qsizetype Placeholder = 6;
    if (name.size() != storeName.size() + 1 + Placeholder || !name.startsWith(storeName) ||
        name.at(storeName.size()) != QLatin1Char('.')) {
        return false;
    }
    const QStringView placeholder = QStringView(name).last(Placeholder);
    return std::all_of(placeholder.begin(), placeholder.end(), isTemporaryLetter);
}

bool isNewer(const timespec& a, const timespec& b)
{
    return a.tv_sec != b.tv_sec ? a.tv_sec > b.tv_sec : a.tv_nsec > b.tv_nsec;
}

bool sameBytes(const QString& a, const QString& b)
{
    QFile first(a);
    QFile second(b);
    if (!first.open(QIODevice::ReadOnly) || !second.open(QIODevice::ReadOnly) ||
        first.size() != second.size()) {
        return false;
    }
    constexpr qint64 Chunk = qint64(1) << 20;
    while (!first.atEnd()) {
        const QByteArray piece = first.read(Chunk);
        if (piece.isEmpty() || piece != second.read(Chunk)) {
            return false;
        }
    }
    return first.error() == QFileDevice::NoError && second.error() == QFileDevice::NoError;
}

// The leftovers beside the store, oldest first.
QList<Leftover> findLeftovers(const QString& storePath)
{
    const QFileInfo store(storePath);
    const QDir folder = store.absoluteDir();
    QList<Leftover> found;
    const QStringList names = folder.entryList(
        {store.fileName() + QStringLiteral(".*")}, QDir::AllEntries | QDir::Hidden | QDir::System);
    for (const QString& name : names) {
        if (!hasLeftoverName(name, store.fileName())) {
            continue;
        }
        const QString path = folder.filePath(name);
        struct stat info;
        if (::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISREG(info.st_mode) &&
            info.st_uid == ::geteuid()) {
            found.append({path, info.st_mtim});
        }
    }
    std::sort(found.begin(), found.end(),
        [](const Leftover& a, const Leftover& b) { return isNewer(b.modified, a.modified); });
    return found;
}

QString keepAside(const QString& path, const QDateTime& now, const QString& why)
{
    const QString kept = PrivateFiles::moveAside(path, now, why);
    return kept.isEmpty() ? QStringLiteral("left %1 as it is (it could not be moved)").arg(path)
                          : QStringLiteral("kept %1 as %2").arg(path, kept);
}

// Decides one leftover against the store as it is now.
QString settleOne(
    const Leftover& leftover, const QString& storePath, const Parses& parses, const QDateTime& now)
{
    struct stat store;
    const bool storeExists = ::lstat(QFile::encodeName(storePath).constData(), &store) == 0;
    if (storeExists && sameBytes(leftover.path, storePath)) {
        QFile::remove(leftover.path);
        return QStringLiteral("removed %1, a copy of %2").arg(leftover.path, storePath);
    }
    if (!parses(leftover.path)) {
        return keepAside(leftover.path, now, QStringLiteral("unreadable"));
    }
    if (storeExists && !isNewer(leftover.modified, store.st_mtim)) {
        return keepAside(leftover.path, now, QStringLiteral("superseded"));
    }
    QString line;
    if (storeExists && !parses(storePath)) {
        const QString kept = PrivateFiles::moveAside(storePath, now);
        if (kept.isEmpty()) {
            return QStringLiteral("left %1 as it is (%2 could not be moved aside)")
                .arg(leftover.path, storePath);
        }
        line = QStringLiteral("kept %1 as %2; ").arg(storePath, kept);
    }
    if (std::rename(QFile::encodeName(leftover.path).constData(),
            QFile::encodeName(storePath).constData()) != 0) {
        return line +
            QStringLiteral("left %1 as it is (it could not be renamed)").arg(leftover.path);
    }
    return line +
        QStringLiteral("completed the interrupted save of %1 from %2")
            .arg(storePath, leftover.path);
}

} // namespace

QStringList settle(const QString& storePath, const Parses& parses, const QDateTime& now)
{
    struct stat store;
    // A linked store's saves go to its target's folder, and so would its leftovers.
    if (::lstat(QFile::encodeName(storePath).constData(), &store) == 0 && S_ISLNK(store.st_mode)) {
        return {};
    }
    QStringList lines;
    for (const Leftover& leftover : findLeftovers(storePath)) {
        lines.append(settleOne(leftover, storePath, parses, now));
    }
    return lines;
}

} // namespace SaveLeftovers
