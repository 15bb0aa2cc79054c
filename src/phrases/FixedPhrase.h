#pragma once

// A fixed phrase (定型文) and the ordered folder that holds it. Plain values: a folder owns
// its phrases, two values are equal when every field is, and copies are cheap (the lists are
// implicitly shared), which is what lets a 200,000-phrase store be snapshotted for a
// background write without a pause on the main thread.

#include <QList>
#include <QString>
#include <QUuid>

struct FixedPhrase
{
    QUuid id;
    QString title;
    QString content;
    bool isVisible = true;

    friend bool operator==(const FixedPhrase&, const FixedPhrase&) = default;
};

struct FixedPhraseFolder
{
    QUuid id;
    QString title;
    bool isVisible = true;
    QList<FixedPhrase> phrases;

    friend bool operator==(const FixedPhraseFolder&, const FixedPhraseFolder&) = default;
};

using FixedPhraseFolderList = QList<FixedPhraseFolder>;

// The folders the quick panel offers: visible folders in order, each reduced to its visible
// phrases (order kept). A visible folder without visible phrases stays.
FixedPhraseFolderList visibleFolders(const FixedPhraseFolderList& folders);
