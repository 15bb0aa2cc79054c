// Saves generation N of the large history and phrase store into a data folder the way the
// application does: the clipboard history and phrase models start on the folder (loading each
// store keeps a damaged file aside and completes a save an earlier kill cut short), their
// content is replaced with generation N, the history's images held as spill files as captures
// leave them, and both saves are requested and flushed as at quit. Prints "loaded" when the
// writes are about to start, so that a test can aim its SIGKILL at them. Generation 0 only
// starts the models, as a start does, and writes nothing.
//
//     store-save-driver <folder> <generation>

#include "CrashStores.h"
#include "clipboard/ClipboardHistoryModel.h"
#include "clipboard/ClipboardImageSpill.h"
#include "phrases/FixedPhraseModel.h"
#include "platform/FileLocations.h"
#include "platform/QtScheduler.h"
#include "platform/ThreadPoolExecutor.h"
#include "platform/sim/MemoryDefaultsStore.h"
#include "platform/sim/SimPasteboard.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    bool numeric = false;
    const int generation = arguments.value(2).toInt(&numeric);
    if (arguments.size() != 3 || !numeric || generation < 0) {
        std::fputs("usage: store-save-driver <folder> <generation>\n", stderr);
        return 2;
    }
    const FileLocations locations(arguments.at(1));
    QtScheduler scheduler;
    ThreadPoolExecutor executor(scheduler);
    SimPasteboard pasteboard;
    MemoryDefaultsStore defaults;
    // Room for every item of a generation.
    for (const QString& limit : {ClipboardHistorySettingsKey::maxTextHistoryCount,
             ClipboardHistorySettingsKey::maxImageHistoryCount}) {
        defaults.set(limit, qint64(500));
    }
    // Before the models: it outlives the spilled images they hold.
    const ClipboardImageSpill spill(locations.cacheDirectory());
    ClipboardHistoryModel history(pasteboard, defaults, scheduler, executor, locations);
    FixedPhraseModel phrases(scheduler, executor, locations);

    // From here on a status message can only be a failed save.
    bool failed = false;
    const auto fail = [&failed](const std::optional<QString>& message) {
        std::fprintf(stderr, "%s\n", qPrintable(message.value_or(QString())));
        failed = true;
    };
    QObject::connect(&history, &ClipboardHistoryModel::statusMessageChanged, &app,
        [&] { fail(history.statusMessage()); });
    QObject::connect(&phrases, &FixedPhraseModel::statusMessageChanged, &app,
        [&] { fail(phrases.statusMessage()); });

    if (generation > 0) {
        QList<ClipboardHistoryItem> items = CrashStores::history(generation);
        for (ClipboardHistoryItem& item : items) {
            if (item.imageData) {
                item.imageData = spill.spill(item.imageData->read().value_or(QByteArray()));
            }
        }
        // A cache cleaner took the spill file of the image the loaded history shares with
        // generation N: the save reads it back from the file it replaces.
        if (!history.items().isEmpty()) {
            ClipboardHistoryItem& kept = items.first();
            kept.imageData = ClipboardImageBytes::spilled(
                spill.directory() + QStringLiteral("/removed"), kept.imageData->size());
        }
        history.setItems(items);
        phrases.replaceFolders(CrashStores::phrases(generation));
    }
    std::puts("loaded");
    std::fflush(stdout);
    if (generation == 0) {
        return 0;
    }

    // The history's write starts on a worker at once; the phrases are written beside it.
    history.saveItems();
    const bool phrasesWritten = phrases.prepareForApplicationTermination(QDeadlineTimer::Forever);
    const bool finished = history.flushPendingSave(QDeadlineTimer::Forever) && phrasesWritten;
    QCoreApplication::processEvents();
    return finished && !failed ? 0 : 1;
}
