#pragma once

// The quick panel's logic over real models on mock time: a history model on a simulated
// clipboard, a phrase model in a temporary folder, the menu state, and the panel with every
// copy it reports recorded.

#include "clipboard/ClipboardHistoryImageCache.h"
#include "clipboard/ClipboardHistoryModel.h"
#include "panel/ClipboardHistoryMenuViewModel.h"
#include "phrases/FixedPhraseModel.h"
#include "platform/FileLocations.h"
#include "platform/sim/ManualExecutor.h"
#include "platform/sim/ManualScheduler.h"
#include "platform/sim/MemoryDefaultsStore.h"
#include "platform/sim/SimPasteboard.h"

#include <QBuffer>
#include <QImage>
#include <QTemporaryDir>

#include <vector>

struct QuickPanelWorld
{
    struct Phrase
    {
        QString title;
        QString content;
        bool isVisible = true;
    };

    QuickPanelWorld() { ClipboardHistoryImageCache::shared().resetForTesting(); }

    ClipboardHistoryItem text(const QString& content)
    {
        return ClipboardHistoryItem::makeText(content, scheduler.now());
    }
    static QByteArray png(QSize size, QRgb colour)
    {
        QImage pixels(size, QImage::Format_RGB32);
        pixels.fill(colour);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        pixels.save(&buffer, "PNG");
        return bytes;
    }
    // An image entry; with a size, the preview cache knows its dimensions.
    ClipboardHistoryItem image(int seed, QSize size = {})
    {
        const QByteArray png = QuickPanelWorld::png(QSize(2, 2), qRgb(seed, 0, 0));
        ClipboardHistoryItem item = ClipboardHistoryItem::makeImage(png, scheduler.now());
        if (size.isValid()) {
            ClipboardHistoryImageCache::shared().store(
                {{item.fingerprint, png, size.width(), size.height()}});
        }
        return item;
    }

    QUuid addFolder(const QString& title, const QList<Phrase>& phrases, bool isVisible = true)
    {
        const QUuid folderID = phraseModel.addFolder();
        phraseModel.updateFolderTitle(folderID, title);
        for (const Phrase& phrase : phrases) {
            const QUuid phraseID = *phraseModel.addPhrase(folderID);
            phraseModel.updatePhrase(folderID, phraseID, phrase.title, phrase.content);
            phraseModel.setPhraseVisible(folderID, phraseID, phrase.isVisible);
        }
        phraseModel.setFolderVisible(folderID, isVisible);
        return folderID;
    }
    QUuid phraseID(const QString& title) const
    {
        for (const FixedPhraseFolder& folder : phraseModel.folders()) {
            for (const FixedPhrase& phrase : folder.phrases) {
                if (phrase.title == title) {
                    return phrase.id;
                }
            }
        }
        return {};
    }
    QString phraseStatus() const { return phraseModel.statusMessage().value_or(QString()); }
    QString clipboardText() const
    {
        return pasteboard.string(PasteboardType::string).value_or(QString());
    }

    ManualScheduler scheduler;
    ManualExecutor executor {scheduler};
    SimPasteboard pasteboard;
    MemoryDefaultsStore defaults;
    QTemporaryDir dir;
    FileLocations locations {dir.path()};
    ClipboardHistoryModel history {pasteboard, defaults, scheduler, executor, locations};
    FixedPhraseModel phraseModel {scheduler, executor, locations};
    ClipboardMenuState menuState;
    std::vector<ClipboardHistoryMenuCopySource> copies;
    ClipboardHistoryMenuViewModel menu {history, phraseModel, menuState, scheduler, executor,
        [this](ClipboardHistoryMenuCopySource source) {
            copies.push_back(source);
        }};
};
