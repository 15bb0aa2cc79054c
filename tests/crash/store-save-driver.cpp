// Saves generation N of the large history and phrase store into a data folder the way the
// application does: each store is loaded first (a damaged file is kept aside), then both are
// written at once by their PersistentStoreWriters on the worker threads. Prints "loaded" when
// the writes are about to start, so that a test can aim its SIGKILL at them. Generation 0
// only opens the stores, as a start does, and writes nothing.
//
//     store-save-driver <folder> <generation>

#include "CrashStores.h"
#include "clipboard/ClipboardHistoryStorage.h"
#include "phrases/FixedPhraseStorage.h"
#include "platform/QtScheduler.h"
#include "platform/ThreadPoolExecutor.h"
#include "support/PersistentStoreWriter.h"

#include <QCoreApplication>
#include <QDir>

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
    const QString folder = arguments.at(1);
    QtScheduler scheduler;
    ThreadPoolExecutor executor(scheduler);

    // The stores' encoders, on copies made before the writes, as the models give them.
    const auto source = [](auto value, auto encode) {
        return [value, encode]() -> PersistentStoreWriter::Snapshot {
            return {[value, encode](QIODevice& device) { return encode(value, device); }, {}};
        };
    };
    const ClipboardHistoryStorage history(folder);
    PersistentStoreWriter historyWriter(scheduler, executor, history.filePath(),
        source(CrashStores::history(generation),
            [](const QList<ClipboardHistoryItem>& items, QIODevice& device) {
                return ClipboardHistoryStorage::encode(items, device);
            }),
        {});
    const FixedPhraseStorage phrases(QDir(folder).filePath(FixedPhraseStorage::fileName()));
    PersistentStoreWriter phraseWriter(scheduler, executor, phrases.filePath(),
        source(CrashStores::phrases(generation),
            [](const FixedPhraseFolderList& folders, QIODevice& device) {
                return FixedPhraseStorage::encode(folders, device);
            }),
        {});
    bool failed = false;
    const auto fail = [&failed](const PersistentStoreWriter::Outcome& outcome) {
        std::fprintf(stderr, "%s\n", qPrintable(outcome.error.value_or(QString())));
        failed = true;
    };
    historyWriter.setSaveFailedHandler(fail);
    phraseWriter.setSaveFailedHandler(fail);

    const QString refusal = QStringLiteral("kept aside failed");
    historyWriter.settleLeftovers(&ClipboardHistoryStorage::decodes);
    phraseWriter.settleLeftovers(&FixedPhraseStorage::decodes);
    if (history.load().status == ClipboardHistoryStorage::LoadStatus::Unreadable &&
        historyWriter.keepUnreadableFile(refusal).isEmpty()) {
        return 1;
    }
    if (phrases.load().state == FixedPhraseStorage::LoadState::Unreadable &&
        phraseWriter.keepUnreadableFile(refusal).isEmpty()) {
        return 1;
    }
    std::puts("loaded");
    std::fflush(stdout);
    if (generation == 0) {
        return 0;
    }

    historyWriter.requestSave();
    phraseWriter.requestSave();
    const bool finished =
        historyWriter.flush(QDeadlineTimer::Forever) && phraseWriter.flush(QDeadlineTimer::Forever);
    QCoreApplication::processEvents();
    return finished && !failed ? 0 : 1;
}
