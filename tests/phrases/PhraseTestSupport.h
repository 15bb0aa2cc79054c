#pragma once

// Small builders and file helpers shared by the phrase tests.

#include "phrases/FixedPhrase.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QUuid>

#include <sys/stat.h>

namespace PhraseTest {

inline QUuid uuid(int n)
{
    return QUuid(QStringLiteral("00000000-0000-4000-8000-%1").arg(n, 12, 10, QLatin1Char('0')));
}

inline FixedPhrase phrase(
    int id, const QString& title, const QString& content = QString(), bool isVisible = true)
{
    return FixedPhrase {uuid(id), title, content, isVisible};
}

inline FixedPhraseFolder folder(
    int id, const QString& title, QList<FixedPhrase> phrases = {}, bool isVisible = true)
{
    return FixedPhraseFolder {uuid(id), title, isVisible, std::move(phrases)};
}

inline QByteArray readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return file.readAll();
}

inline bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
        file.write(bytes) == bytes.size();
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

// Folders with their identifiers dropped: what survives a CSV round trip.
struct Shape
{
    QString title;
    bool isVisible;
    QList<std::tuple<QString, QString, bool>> phrases;
    friend bool operator==(const Shape&, const Shape&) = default;
};

inline QList<Shape> shapes(const FixedPhraseFolderList& folders)
{
    QList<Shape> result;
    for (const FixedPhraseFolder& f : folders) {
        Shape shape {f.title, f.isVisible, {}};
        for (const FixedPhrase& p : f.phrases) {
            shape.phrases.append({p.title, p.content, p.isVisible});
        }
        result.append(shape);
    }
    return result;
}

// A readable form for failure messages.
inline QString describe(const QList<Shape>& list)
{
    QStringList parts;
    for (const Shape& s : list) {
        QStringList phrases;
        for (const auto& [title, content, visible] : s.phrases) {
            phrases.append(QStringLiteral("%1=%2%3").arg(
                title, content, visible ? QString() : QStringLiteral("(hidden)")));
        }
        parts.append(QStringLiteral("%1%2[%3]")
                         .arg(s.title, s.isVisible ? QString() : QStringLiteral("(hidden)"),
                             phrases.join(QLatin1Char('|'))));
    }
    return parts.join(QStringLiteral("; "));
}

} // namespace PhraseTest
