#include "CrashStores.h"

#include "clipboard/ClipboardHistoryStorage.h"
#include "phrases/FixedPhraseStorage.h"

#include <QDateTime>
#include <QRandomGenerator>
#include <QTimeZone>
#include <QUuid>

namespace CrashStores {

namespace {

// About 6 MB of history (mostly Base64 images) and 1.5 MB of phrases: large enough that a
// write takes a while, small enough for hundreds of trials.
constexpr int TextItems = 300;
constexpr int ImageItems = 30;
constexpr int ImageBytes = 120 * 1024;
constexpr int Folders = 40;
constexpr int PhrasesPerFolder = 100;

QUuid idFor(int kind, int generation, int index)
{
    return QUuid(uint(index), ushort(kind), ushort(generation), 0x80, 0, 0, 0, 0, 0, 0, 1);
}

QString line(int generation, int index, int length)
{
    const QString unit =
        QStringLiteral("世代%1・項目%2 定型文/clipboard ").arg(generation).arg(index);
    QString text;
    while (text.size() < length) {
        text += unit;
    }
    return text.left(length);
}

} // namespace

QList<ClipboardHistoryItem> history(int generation)
{
    const QDateTime base = QDateTime::fromSecsSinceEpoch(1'800'000'000, QTimeZone::utc());
    QList<ClipboardHistoryItem> items;
    for (int i = 0; i < TextItems + ImageItems; ++i) {
        // The newest image is the same in every generation, as one kept from an earlier run.
        const int made = i == 0 ? 0 : generation;
        ClipboardHistoryItem item;
        item.id = idFor(1, made, i);
        item.createdAt = base.addSecs(-i);
        if (i % ((TextItems + ImageItems) / ImageItems) == 0) {
            QByteArray bytes(ImageBytes, Qt::Uninitialized);
            QRandomGenerator random(quint32(made * 1000 + i));
            random.fillRange(reinterpret_cast<quint32*>(bytes.data()), ImageBytes / 4);
            item.kind = ClipboardHistoryKind::Image;
            item.imageData = bytes;
            item.fingerprint = ClipboardHistoryItem::makeFingerprint(item.kind, item.text, bytes);
        } else {
            item.kind = ClipboardHistoryKind::Text;
            item.text = line(generation, i, 600);
        }
        if (item.kind == ClipboardHistoryKind::Text) {
            item.fingerprint = ClipboardHistoryItem::makeFingerprint(item.kind, item.text, {});
        }
        items.append(item);
    }
    return items;
}

FixedPhraseFolderList phrases(int generation)
{
    FixedPhraseFolderList folders;
    for (int f = 0; f < Folders; ++f) {
        FixedPhraseFolder folder {idFor(2, generation, f), line(generation, f, 12), f % 7 != 0, {}};
        for (int p = 0; p < PhrasesPerFolder; ++p) {
            const int index = f * PhrasesPerFolder + p;
            folder.phrases.append({idFor(3, generation, index), line(generation, index, 16),
                line(generation, index, 120), p % 5 != 0});
        }
        folders.append(folder);
    }
    return folders;
}

QByteArray historyBytes(int generation)
{
    return ClipboardHistoryStorage::encode(history(generation));
}

QByteArray phraseBytes(int generation)
{
    return FixedPhraseStorage::encode(phrases(generation));
}

} // namespace CrashStores
