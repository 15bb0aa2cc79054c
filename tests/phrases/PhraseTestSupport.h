#pragma once

// Small builders and file helpers shared by the phrase tests.

#include "common/TestFiles.h"
#include "phrases/FixedPhrase.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QUuid>

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
