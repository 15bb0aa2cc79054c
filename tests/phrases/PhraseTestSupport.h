#pragma once

// Small builders and file helpers shared by the phrase tests.

#include "phrases/FixedPhrase.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
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
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
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

// Folders without their identifiers, in a compact form that also reads well in a failure:
// "A-[x=1, y-=2] | B[]", where "-" after a title marks a hidden item and "=" a phrase's
// content (left out when empty).
inline QString notation(const FixedPhraseFolderList& folders)
{
    QStringList parts;
    for (const FixedPhraseFolder& f : folders) {
        QStringList phrases;
        for (const FixedPhrase& p : f.phrases) {
            phrases.append(p.title + (p.isVisible ? QString() : QStringLiteral("-")) +
                (p.content.isEmpty() ? QString() : QLatin1Char('=') + p.content));
        }
        parts.append(f.title + (f.isVisible ? QString() : QStringLiteral("-")) + QLatin1Char('[') +
            phrases.join(QStringLiteral(", ")) + QLatin1Char(']'));
    }
    return parts.join(QStringLiteral(" | "));
}

} // namespace PhraseTest
