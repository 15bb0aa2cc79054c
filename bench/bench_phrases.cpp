// Figures for the fixed phrase store at its size limit: a CSV of about 50 MiB of mostly
// Japanese text (200,000 phrases in 2,000 folders). Prints import and export times, load and
// save of the same store as FixedPhrases.json, the rise of RSS during an import, and the
// longest stall of the main thread while the model runs a transfer on the real scheduler and
// thread pool.

#include "BenchSupport.h"
#include "phrases/FixedPhraseFileTransfer.h"
#include "phrases/FixedPhraseModel.h"
#include "phrases/FixedPhraseStorage.h"
#include "platform/FileLocations.h"
#include "platform/QtScheduler.h"
#include "platform/ThreadPoolExecutor.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <ctime>

namespace {

using BenchSupport::makePhraseStore;
using BenchSupport::statusKiB;

constexpr int folderCount = 2000;
constexpr int phrasesPerFolder = 100;

// Resets the peak RSS (VmHWM) to the current RSS.
void resetPeakRss()
{
    QFile file(QStringLiteral("/proc/self/clear_refs"));
    if (file.open(QIODevice::WriteOnly)) {
        file.write("5");
    }
}

double cpuMs(clockid_t clock)
{
    timespec t {};
    clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// Wall time and CPU time of the calling thread, so that figures taken on a busy machine
// (other builds sharing the two cores) can be read for what the code itself costs.
struct Stopwatch
{
    Stopwatch() { restart(); }
    void restart()
    {
        wall.start();
        cpu = cpuMs(CLOCK_THREAD_CPUTIME_ID);
    }
    QString text() const
    {
        return QStringLiteral("%1 ms wall, %2 ms CPU")
            .arg(wall.elapsed())
            .arg(cpuMs(CLOCK_THREAD_CPUTIME_ID) - cpu, 0, 'f', 0);
    }
    QElapsedTimer wall;
    double cpu = 0;
};

double mib(qint64 bytes)
{
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

// Runs start() on a model driven by the real scheduler and thread pool and watches a 1 ms
// timer on the main thread until the transfer ends. Two figures per run: the longest gap
// between ticks (wall clock: includes the main thread waiting for a core on a busy machine)
// and the most CPU the main thread spent between two ticks (what our own code blocked it for).
struct TransferRun
{
    qint64 elapsedMs = 0;
    double longestGapMs = 0;
    double longestBusyMs = 0;
    bool succeeded = false;
    QString status;
};

TransferRun runTransfer(FixedPhraseModel& model, const std::function<bool()>& start)
{
    TransferRun run;
    QEventLoop loop;
    QElapsedTimer clock;
    qint64 lastTick = 0;
    double lastCpu = cpuMs(CLOCK_THREAD_CPUTIME_ID);
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, &loop, [&] {
        const qint64 now = clock.nsecsElapsed();
        const double cpu = cpuMs(CLOCK_THREAD_CPUTIME_ID);
        run.longestGapMs = std::max(run.longestGapMs, static_cast<double>(now - lastTick) / 1e6);
        run.longestBusyMs = std::max(run.longestBusyMs, cpu - lastCpu);
        lastTick = now;
        lastCpu = cpu;
    });
    QObject::connect(&model, &FixedPhraseModel::fileTransferFinished, &loop, [&](bool succeeded) {
        run.succeeded = succeeded;
        loop.quit();
    });
    clock.start();
    ticker.start();
    if (!start()) {
        return run;
    }
    loop.exec();
    // The completion itself ran on the main thread after the last tick.
    const qint64 now = clock.nsecsElapsed();
    run.longestGapMs = std::max(run.longestGapMs, static_cast<double>(now - lastTick) / 1e6);
    run.longestBusyMs = std::max(run.longestBusyMs, cpuMs(CLOCK_THREAD_CPUTIME_ID) - lastCpu);
    run.elapsedMs = clock.elapsed();
    run.status = model.statusMessage().value_or(QString());
    return run;
}

void printRun(const char* name, const TransferRun& run)
{
    std::printf("%s: %lld ms wall, \"%s\"; main thread: longest tick gap %.2f ms, longest busy "
                "stretch %.2f ms CPU   [target <= 10 ms]\n",
        name, static_cast<long long>(run.elapsedMs), qPrintable(run.status), run.longestGapMs,
        run.longestBusyMs);
}

} // namespace

// Child modes: one measurement in a fresh process, so that the heap freed by earlier steps
// does not hide the rise of RSS and load starts as it does at application launch.
int runChild(const QString& mode, const QString& path)
{
    const qint64 rssBefore = statusKiB("VmRSS:");
    Stopwatch watch;
    qint64 folders = 0;
    qint64 phrases = 0;
    bool ok = false;
    if (mode == QStringLiteral("--load")) {
        const FixedPhraseStorage::LoadResult loaded = FixedPhraseStorage(path).load();
        ok = loaded.state == FixedPhraseStorage::LoadState::Loaded;
        folders = loaded.folders.size();
        for (const FixedPhraseFolder& folder : loaded.folders) {
            phrases += folder.phrases.size();
        }
    } else {
        const FixedPhraseFileTransfer::ImportResult imported =
            FixedPhraseFileTransfer::readCSV(path);
        ok = !imported.failure;
        folders = imported.folders.size();
        for (const FixedPhraseFolder& folder : imported.folders) {
            phrases += folder.phrases.size();
        }
    }
    const QString time = watch.text();
    const qint64 peak = statusKiB("VmHWM:");
    const qint64 size = QFileInfo(path).size();
    std::printf("%s, %lld folders, %lld phrases%s; RSS rise %.1f MiB = %.2f x file size\n",
        qPrintable(time), static_cast<long long>(folders), static_cast<long long>(phrases),
        ok ? "" : " FAILED", static_cast<double>(peak - rssBefore) / 1024.0,
        static_cast<double>(peak - rssBefore) * 1024.0 / static_cast<double>(size));
    return ok ? 0 : 1;
}

QByteArray runInChild(const QString& mode, const QString& path)
{
    QProcess process;
    process.start(QCoreApplication::applicationFilePath(), {mode, path});
    process.waitForFinished(120000);
    return process.readAllStandardOutput().trimmed();
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 3) {
        return runChild(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]));
    }
    QTemporaryDir dir;
    // NORVALE_BENCH_KEEP=1 keeps the generated files for profiling.
    dir.setAutoRemove(qEnvironmentVariableIntValue("NORVALE_BENCH_KEEP") == 0);
    std::printf("files in %s\n", qPrintable(dir.path()));
    const QString csvPath = dir.filePath(QStringLiteral("phrases.csv"));
    const QString exportPath = dir.filePath(QStringLiteral("export.csv"));

    std::printf("Fixed phrase store: %d folders, %d phrases\n", folderCount,
        folderCount * phrasesPerFolder);
    {
        const FixedPhraseFolderList store = makePhraseStore(folderCount, phrasesPerFolder, true);

        Stopwatch watch;
        const auto exported = FixedPhraseFileTransfer::writeCSV(store, csvPath);
        const QString exportTime = watch.text();
        if (exported) {
            std::printf("export failed: %s\n", qPrintable(exported->description()));
            return 1;
        }
        const qint64 csvSize = QFileInfo(csvPath).size();
        std::printf("CSV size: %lld bytes (%.2f MiB; import limit %lld)\n",
            static_cast<long long>(csvSize), mib(csvSize),
            static_cast<long long>(FixedPhraseFileTransfer::importSizeLimit));
        std::printf(
            "export (encode + atomic write): %s   [target < 1500 ms]\n", qPrintable(exportTime));

        const FixedPhraseStorage storage(dir.filePath(QStringLiteral("Norvale/FixedPhrases.json")));
        QString error;
        watch.restart();
        if (!storage.save(store, &error)) {
            std::printf("save failed: %s\n", qPrintable(error));
            return 1;
        }
        const QString saveTime = watch.text();
        std::printf("FixedPhrases.json: %lld bytes\n",
            static_cast<long long>(QFileInfo(storage.filePath()).size()));
        std::printf("save FixedPhrases.json: %s   [target < 1500 ms]\n", qPrintable(saveTime));
        watch.restart();
        const FixedPhraseStorage::LoadResult loaded = storage.load();
        const QString loadTime = watch.text();
        std::printf("load FixedPhrases.json (warm heap): %s (%s)\n", qPrintable(loadTime),
            loaded.state == FixedPhraseStorage::LoadState::Loaded && loaded.folders == store
                ? "identical"
                : "DIFFERENT");
        std::printf("load FixedPhrases.json (fresh process, as at launch): %s   [target < 1500 "
                    "ms]\n",
            runInChild(QStringLiteral("--load"), storage.filePath()).constData());
    }

    std::printf("import (read + UTF-8 check + tokenize + map; fresh process): %s   [target < "
                "2500 ms, RSS < 4 x]\n",
        runInChild(QStringLiteral("--import"), csvPath).constData());

    // The model flows on the real scheduler and thread pool.
    QtScheduler scheduler;
    ThreadPoolExecutor executor(scheduler);
    const FileLocations locations(dir.filePath(QStringLiteral("model")));
    FixedPhraseModel model(scheduler, executor, locations);

    const qint64 rssBefore = statusKiB("VmRSS:");
    resetPeakRss();
    const TransferRun importRun = runTransfer(model, [&] { return model.importCSV(csvPath); });
    const qint64 peak = statusKiB("VmHWM:");
    printRun("model import (read, write FixedPhrases.json, replace)", importRun);
    std::printf("RSS rise during model import (imported store kept): %.1f MiB = %.2f x file size   "
                "[target < 4 x]\n",
        static_cast<double>(peak - rssBefore) / 1024.0,
        static_cast<double>(peak - rssBefore) * 1024.0 /
            static_cast<double>(QFileInfo(csvPath).size()));

    const TransferRun exportRun = runTransfer(model, [&] { return model.exportCSV(exportPath); });
    printRun("model export", exportRun);

    // A second import replaces the 200,000 phrases just imported: the old list is freed on a
    // worker, not on the main thread.
    const TransferRun reimportRun = runTransfer(model, [&] { return model.importCSV(exportPath); });
    printRun("model import replacing a full store", reimportRun);

    Stopwatch watch;
    const bool finished = model.prepareForApplicationTermination();
    std::printf("termination write (nothing new to write): %s, %s\n", qPrintable(watch.text()),
        finished ? "finished" : "timed out");
    model.updateFolderTitle(model.folders().first().id, QStringLiteral("changed"));
    watch.restart();
    const bool finishedChange = model.prepareForApplicationTermination();
    std::printf("termination write of the full store after a change: %s, %s\n",
        qPrintable(watch.text()), finishedChange ? "finished" : "timed out");
    executor.waitForDone(10000);
    return importRun.succeeded && exportRun.succeeded && reimportRun.succeeded ? 0 : 1;
}
