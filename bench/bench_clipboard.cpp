// Clipboard history figures for a history of 500 texts, 500 URLs and 80 noisy PNG images of
// about 1 MiB each:
//   - save: one write of the whole history (what the save worker does);
//   - load at start: building the model, which reads and decodes the file;
//   - the longest main-thread stall while a 20-megapixel screenshot is captured (read,
//     fingerprinted, previewed and saved on workers) and while the history is saved, measured
//     by a 1 ms timer on the main event loop with the production scheduler and executor;
//   - the resident memory of a fresh process after load with the previews prepared.
// --with-2gib adds a one-off load of a history file just over 2 GiB (it writes that file).
//
// Run: norvale_bench_clipboard [--with-2gib] [Google Benchmark options]

#include "BenchSupport.h"
#include "clipboard/ClipboardHistoryImageCache.h"
#include "clipboard/ClipboardHistoryModel.h"
#include "clipboard/ClipboardHistoryStorage.h"
#include "clipboard/ClipboardImageSpill.h"
#include "platform/FileLocations.h"
#include "platform/QtScheduler.h"
#include "platform/ThreadPoolExecutor.h"
#include "platform/sim/ManualExecutor.h"
#include "platform/sim/ManualScheduler.h"
#include "platform/sim/MemoryDefaultsStore.h"
#include "platform/sim/SimPasteboard.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace BenchSupport;

constexpr int textCount = 500;
constexpr int urlCount = 500;
constexpr int imageCount = 80;
constexpr double mebibyte = 1024.0 * 1024.0;

// Figures collected for the summary printed after the benchmark table.
std::map<std::string, std::string>& summary()
{
    static std::map<std::string, std::string> lines;
    return lines;
}

void note(const std::string& key, const char* format, double a, double b = 0, double c = 0)
{
    char line[256];
    std::snprintf(line, sizeof line, format, a, b, c);
    summary()[key] = line;
}

// A 20-megapixel screenshot: flat window areas, text-like stripes and one noisy photo.
QByteArray screenshotPng(int variant)
{
    QImage image(5472, 3648, QImage::Format_RGB32);
    image.fill(qRgb(236, 236, 236));
    std::uint64_t state = 0xC0FFEEull + static_cast<std::uint64_t>(variant);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        const bool textRow = (y / 14) % 3 == 0;
        for (int x = 0; x < image.width(); ++x) {
            if (x > 1200 && x < 3400 && y > 600 && y < 2400) {
                const int n = static_cast<int>(nextRandom(state) % 32);
                line[x] = qRgb((x / 9 + n) & 255, (y / 7 + n) & 255, (n * 5 + variant) & 255);
            } else if (textRow && x % 9 < 5 && x > 80 && x < 1100) {
                line[x] = qRgb(30, 30, 30 + variant % 50);
            }
        }
    }
    return encodePng(image, 80);
}

struct History
{
    QTemporaryDir dir;
    QList<ClipboardHistoryItem> items;
    qint64 imageBytes = 0;
    qint64 fileBytes = 0;
    QList<QByteArray> screenshots;

    QString path() const { return dir.filePath(ClipboardHistoryStorage::fileName()); }
};

// Built once: the images take a minute to encode.
History& history()
{
    static std::unique_ptr<History> instance = [] {
        auto h = std::make_unique<History>();
        const QDateTime start(QDate(2026, 1, 1), QTime(9, 0), Qt::UTC);
        std::fprintf(stderr, "Generating %d noisy PNG images and 3 screenshots...\n", imageCount);
        std::vector<QByteArray> images(imageCount);
        std::vector<std::thread> workers;
        const int threads = 2;
        for (int t = 0; t < threads; ++t) {
            workers.emplace_back([&images, t] {
                for (int i = t; i < imageCount; i += threads) {
                    images[static_cast<size_t>(i)] = noisyPng(static_cast<std::uint64_t>(i) + 1);
                }
            });
        }
        for (int variant = 0; variant < 3; ++variant) {
            h->screenshots.append(screenshotPng(variant));
        }
        for (std::thread& worker : workers) {
            worker.join();
        }
        std::uint64_t state = 42;
        QList<ClipboardHistoryItem> texts;
        QList<ClipboardHistoryItem> urls;
        for (int i = 0; i < textCount; ++i) {
            texts.append(ClipboardHistoryItem::makeText(
                randomText(state, 20 + static_cast<int>(nextRandom(state) % 400)),
                start.addSecs(-i * 60)));
        }
        for (int i = 0; i < urlCount; ++i) {
            urls.append(
                ClipboardHistoryItem::makeText(QStringLiteral("https://example.org/%1/page?q=%2")
                                                   .arg(i)
                                                   .arg(randomText(state, 30)),
                    start.addSecs(-i * 60 - 30)));
        }
        // Interleave the kinds as a real history would be.
        for (int i = 0; i < textCount; ++i) {
            h->items.append(texts.at(i));
            h->items.append(urls.at(i));
            if (i % 6 == 0 && i / 6 < imageCount) {
                h->items.append(ClipboardHistoryItem::makeImage(
                    images.at(static_cast<size_t>(i / 6)), start.addSecs(-i * 60 - 45)));
                h->imageBytes += images.at(static_cast<size_t>(i / 6)).size();
            }
        }
        ClipboardHistoryStorage storage(h->dir.path());
        QString error;
        if (!storage.saveSynchronously(h->items, &error)) {
            std::fprintf(stderr, "Could not write the history: %s\n", qPrintable(error));
            std::exit(1);
        }
        h->fileBytes = QFileInfo(h->path()).size();
        std::fprintf(stderr, "History: %lld items, images %.1f MiB, file %.1f MiB\n",
            static_cast<long long>(h->items.size()), h->imageBytes / mebibyte,
            h->fileBytes / mebibyte);
        return h;
    }();
    return *instance;
}

double threadCpuSeconds()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// Times the events the main thread delivers while a probe runs, to name the slowest handler.
struct SlowestEvent
{
    double busyMs = 0;
    int type = 0;
    QByteArray receiver;
};
bool recordEvents = false;
SlowestEvent slowestEvent;

class TimedApplication final : public QGuiApplication
{
public:
    using QGuiApplication::QGuiApplication;

    bool notify(QObject* receiver, QEvent* event) override
    {
        if (!recordEvents) {
            return QGuiApplication::notify(receiver, event);
        }
        const int type = event->type();
        const char* name = receiver->metaObject()->className();
        const double cpu = threadCpuSeconds();
        const bool result = QGuiApplication::notify(receiver, event);
        const double busyMs = (threadCpuSeconds() - cpu) * 1e3;
        if (busyMs > slowestEvent.busyMs) {
            slowestEvent = SlowestEvent {busyMs, type, QByteArray(name)};
        }
        return result;
    }
};

// The longest gap between ticks of a 1 ms timer on the main event loop, as wall time (what
// the user feels, including time the main thread waited for a core) and as CPU time the main
// thread itself spent between two ticks (the work our code does there).
class StallProbe final
{
public:
    struct Result
    {
        double wallMs = 0;
        double busyMs = 0;
        SlowestEvent slowest;
    };

    StallProbe()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            const double cpu = threadCpuSeconds();
            m_result.wallMs = std::max(m_result.wallMs, static_cast<double>(now - m_last) / 1e6);
            m_result.busyMs = std::max(m_result.busyMs, (cpu - m_lastCpu) * 1e3);
            m_last = now;
            m_lastCpu = cpu;
        });
    }
    void start()
    {
        m_clock.start();
        m_last = 0;
        m_lastCpu = threadCpuSeconds();
        m_result = {};
        slowestEvent = {};
        recordEvents = true;
        m_timer.start();
    }
    Result stop()
    {
        m_timer.stop();
        recordEvents = false;
        m_result.slowest = slowestEvent;
        return m_result;
    }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    double m_lastCpu = 0;
    Result m_result;
};

// ---- Benchmarks

// One save, its wall and thread CPU time kept where they are the longest so far; false (the
// benchmark then reports the error) when it failed.
bool timedSave(benchmark::State& state, ClipboardHistoryStorage& storage,
    const QList<ClipboardHistoryItem>& items, double& longest, double& longestCpu)
{
    QElapsedTimer timer;
    timer.start();
    const double cpu = threadCpuSeconds();
    QString error;
    if (!storage.saveSynchronously(items, &error)) {
        state.SkipWithError(qPrintable(error));
        return false;
    }
    longest = std::max(longest, timer.nsecsElapsed() / 1e9);
    longestCpu = std::max(longestCpu, threadCpuSeconds() - cpu);
    return true;
}

void BM_SaveHistory(benchmark::State& state)
{
    History& h = history();
    QTemporaryDir target;
    ClipboardHistoryStorage storage(target.path());
    double longest = 0;
    double longestCpu = 0;
    for (auto _ : state) {
        if (!timedSave(state, storage, h.items, longest, longestCpu)) {
            return;
        }
    }
    state.counters["file_MiB"] = h.fileBytes / mebibyte;
    state.SetBytesProcessed(state.iterations() * h.fileBytes);
    note("1 save",
        "save of the %.0f MiB file on a worker: slowest %.3f s wall, %.3f s CPU   target < 0.5 s",
        h.fileBytes / mebibyte, longest, longestCpu);
}

// 500 images of 2.55 MB (the full image history at its largest limit), held in memory
// (argument 0) or spilled to files as the model holds them (argument 1): the save's time and
// the process's RSS after it, with the items still held.
void BM_Save500Images(benchmark::State& state)
{
    constexpr int images = 500;
    constexpr qsizetype imageBytes = 2'550'000;
    const bool spilled = state.range(0) == 1;
    QTemporaryDir target;
    auto spill = std::make_unique<ClipboardImageSpill>(target.filePath(QStringLiteral("Cache")));
    QList<ClipboardHistoryItem> items;
    const QDateTime start(QDate(2026, 1, 1), QTime(9, 0), Qt::UTC);
    for (int i = 0; i < images; ++i) {
        QByteArray bytes(imageBytes, Qt::Uninitialized);
        QRandomGenerator(quint32(i))
            .fillRange(reinterpret_cast<quint32*>(bytes.data()), imageBytes / 4);
        ClipboardHistoryItem item = ClipboardHistoryItem::makeImage(bytes, start.addSecs(-i));
        if (spilled) {
            item.imageData = spill->spill(bytes);
        }
        items.append(item);
    }
    ClipboardHistoryStorage storage(target.path());
    double longest = 0;
    double longestCpu = 0;
    qint64 rssAfter = 0;
    for (auto _ : state) {
        if (!timedSave(state, storage, items, longest, longestCpu)) {
            return;
        }
        rssAfter = statusKiB("VmRSS:");
    }
    const double fileBytes = static_cast<double>(QFileInfo(storage.filePath()).size());
    state.counters["file_MiB"] = fileBytes / mebibyte;
    state.counters["rss_MiB"] = rssAfter / 1024.0;
    note(spilled ? "1 save 500 spilled" : "1 save 500 in memory",
        spilled ? "save of 500 spilled images (%.0f MiB file): slowest %.3f s; RSS %.0f MiB"
                : "save of 500 images in memory (%.0f MiB file): slowest %.3f s; RSS %.0f MiB",
        fileBytes / mebibyte, longest, rssAfter / 1024.0);
}

void BM_LoadAtStart(benchmark::State& state)
{
    History& h = history();
    double longest = 0;
    double longestCpu = 0;
    for (auto _ : state) {
        ManualScheduler scheduler;
        ManualExecutor executor(scheduler);
        SimPasteboard pasteboard;
        MemoryDefaultsStore defaults;
        setMaximumHistoryLimits(defaults);
        QElapsedTimer timer;
        timer.start();
        const double cpu = threadCpuSeconds();
        ClipboardHistoryModel model(
            pasteboard, defaults, scheduler, executor, FileLocations(h.dir.path()));
        longest = std::max(longest, timer.nsecsElapsed() / 1e9);
        longestCpu = std::max(longestCpu, threadCpuSeconds() - cpu);
        if (model.items().size() != h.items.size()) {
            state.SkipWithError("the history did not load completely");
            return;
        }
        state.PauseTiming();
        ClipboardHistoryImageCache::shared().resetForTesting();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * h.fileBytes);
    note("2 load",
        "load at start (model construction, %.0f items): slowest %.3f s wall, %.3f s CPU   target "
        "< 0.5 s",
        static_cast<double>(h.items.size()), longest, longestCpu);
}

// The file alone, to tell the model's own share of the start-up from the reading.
void BM_StorageLoad(benchmark::State& state)
{
    History& h = history();
    double longestCpu = 0;
    for (auto _ : state) {
        ClipboardHistoryStorage storage(h.dir.path());
        const double cpu = threadCpuSeconds();
        const ClipboardHistoryStorage::LoadResult result = storage.load();
        longestCpu = std::max(longestCpu, threadCpuSeconds() - cpu);
        if (result.items.size() != h.items.size()) {
            state.SkipWithError("the history did not load completely");
            return;
        }
    }
    state.SetBytesProcessed(state.iterations() * h.fileBytes);
    note("2b storage load", "  of which reading the file: slowest %.3f s CPU", longestCpu);
}

struct LiveModel
{
    QtScheduler scheduler;
    ThreadPoolExecutor executor {scheduler};
    SimPasteboard pasteboard;
    MemoryDefaultsStore defaults;
    std::unique_ptr<ClipboardHistoryModel> model;

    explicit LiveModel(const QString& directory)
    {
        setMaximumHistoryLimits(defaults);
        model = std::make_unique<ClipboardHistoryModel>(
            pasteboard, defaults, scheduler, executor, FileLocations(directory));
        // Let the start-up previews and the first save settle.
        runEventLoopUntil(
            [this] { return model->imagePreviewGeneration() > 0 && !model->isSaving(); }, 120000);
    }
    ~LiveModel()
    {
        model->flushPendingSave(QDeadlineTimer(60000));
        model.reset();
        executor.waitForDone(60000);
    }
};

// Runs one iteration under a stall probe; the iteration's time is the wall time of run.
template<typename Run>
bool measureStall(benchmark::State& state, StallProbe::Result& worst, Run run)
{
    StallProbe probe;
    probe.start();
    QElapsedTimer timer;
    timer.start();
    const bool done = run();
    const StallProbe::Result stall = probe.stop();
    state.SetIterationTime(timer.nsecsElapsed() / 1e9);
    worst.wallMs = std::max(worst.wallMs, stall.wallMs);
    worst.busyMs = std::max(worst.busyMs, stall.busyMs);
    if (stall.slowest.busyMs > worst.slowest.busyMs) {
        worst.slowest = stall.slowest;
    }
    return done;
}

void reportStall(benchmark::State& state, const StallProbe::Result& worst)
{
    state.counters["gap_wall_ms"] = worst.wallMs;
    state.counters["gap_busy_ms"] = worst.busyMs;
    state.counters["slowest_event_ms"] = worst.slowest.busyMs;
    std::fprintf(stderr, "  slowest main-thread event: type %d to %s, %.1f ms\n",
        worst.slowest.type, worst.slowest.receiver.constData(), worst.slowest.busyMs);
}

void BM_StallDuringScreenshotCapture(benchmark::State& state)
{
    History& h = history();
    QTemporaryDir copy;
    QFile::copy(h.path(), copy.filePath(ClipboardHistoryStorage::fileName()));
    LiveModel live(copy.path());
    StallProbe::Result worst;
    int variant = 0;
    for (auto _ : state) {
        const QByteArray& png = h.screenshots.at(variant++ % h.screenshots.size());
        const int generation = live.model->imagePreviewGeneration();
        const QString fingerprint =
            ClipboardHistoryItem::makeFingerprint(ClipboardHistoryKind::Image, std::nullopt, png);
        const bool done = measureStall(state, worst, [&] {
            live.pasteboard.setContents({{PasteboardType::png, png}});
            return runEventLoopUntil(
                [&] {
                    return !live.model->items().isEmpty() &&
                        live.model->items().first().fingerprint == fingerprint &&
                        live.model->imagePreviewGeneration() > generation &&
                        !live.model->isSaving();
                },
                120000);
        });
        if (!done) {
            state.SkipWithError("the capture did not finish");
            return;
        }
    }
    reportStall(state, worst);
    note("3 capture",
        "main-thread stall during a 20 MP screenshot capture (read, preview, save): longest gap "
        "%.1f ms wall, "
        "main thread busy %.1f ms   target <= 10 ms",
        worst.wallMs, worst.busyMs);
}

void BM_StallDuringSave(benchmark::State& state)
{
    History& h = history();
    QTemporaryDir copy;
    QFile::copy(h.path(), copy.filePath(ClipboardHistoryStorage::fileName()));
    LiveModel live(copy.path());
    StallProbe::Result worst;
    for (auto _ : state) {
        const bool done = measureStall(state, worst, [&] {
            live.model->saveItems();
            return runEventLoopUntil([&] { return !live.model->isSaving(); }, 120000);
        });
        if (!done) {
            state.SkipWithError("the save did not finish");
            return;
        }
    }
    reportStall(state, worst);
    note("4 save stall",
        "main-thread stall during a save: longest gap %.1f ms wall, main thread busy %.1f ms   "
        "target <= 10 ms",
        worst.wallMs, worst.busyMs);
}

QString selfPath;

void BM_ResidentMemoryAfterLoad(benchmark::State& state)
{
    History& h = history();
    qint64 rssKiB = 0;
    qint64 peakKiB = 0;
    for (auto _ : state) {
        QProcess child;
        child.start(selfPath, {QStringLiteral("--rss-probe"), h.dir.path()});
        if (!child.waitForFinished(300000) || child.exitCode() != 0) {
            state.SkipWithError("the probe process failed");
            return;
        }
        const QList<QByteArray> fields = child.readAllStandardOutput().trimmed().split(' ');
        if (fields.size() != 2) {
            state.SkipWithError("the probe process printed nothing");
            return;
        }
        rssKiB = fields.at(0).toLongLong();
        peakKiB = fields.at(1).toLongLong();
    }
    const double rss = rssKiB / 1024.0;
    const double target = 1.5 * h.imageBytes / mebibyte + 80;
    state.counters["rss_MiB"] = rss;
    state.counters["peak_MiB"] = peakKiB / 1024.0;
    state.counters["target_MiB"] = target;
    note("5 rss",
        "RSS after load with previews prepared: %.0f MiB (peak %.0f MiB)   target < %.0f MiB", rss,
        peakKiB / 1024.0, target);
}

// A child process: load the history with the production scheduler and executor, wait for the
// previews and print "VmRSS VmHWM" in KiB.
int rssProbe(const QString& directory)
{
    QtScheduler scheduler;
    ThreadPoolExecutor executor(scheduler);
    SimPasteboard pasteboard;
    MemoryDefaultsStore defaults;
    setMaximumHistoryLimits(defaults);
    ClipboardHistoryModel model(
        pasteboard, defaults, scheduler, executor, FileLocations(directory));
    if (!runEventLoopUntil(
            [&] { return model.imagePreviewGeneration() > 0 && !model.isSaving(); }, 300000)) {
        return 1;
    }
    std::printf("%lld %lld\n", static_cast<long long>(statusKiB("VmRSS:")),
        static_cast<long long>(statusKiB("VmHWM:")));
    return 0;
}

void BM_Load2GiBHistory(benchmark::State& state)
{
    QTemporaryDir dir;
    const QDateTime start(QDate(2026, 1, 1), QTime(9, 0), Qt::UTC);
    qint64 fileBytes = 0;
    {
        // 410 "screenshots" of 4 MiB: 1.6 GiB of bytes, just over 2 GiB once in Base64.
        std::fprintf(stderr, "Writing a history file over 2 GiB...\n");
        QList<ClipboardHistoryItem> items;
        std::uint64_t random = 7;
        for (int i = 0; i < 410; ++i) {
            QByteArray bytes(4 * 1024 * 1024, Qt::Uninitialized);
            auto* words = reinterpret_cast<std::uint64_t*>(bytes.data());
            for (qsizetype w = 0; w < bytes.size() / 8; ++w) {
                words[w] = nextRandom(random);
            }
            bytes.replace(0, 8, QByteArrayLiteral("\x89PNG\r\n\x1a\n"));
            items.append(ClipboardHistoryItem::makeImage(bytes, start.addSecs(-i)));
        }
        ClipboardHistoryStorage storage(dir.path());
        QString error;
        if (!storage.saveSynchronously(items, &error)) {
            state.SkipWithError(qPrintable(error));
            return;
        }
        fileBytes = QFileInfo(dir.filePath(ClipboardHistoryStorage::fileName())).size();
    }
    if (fileBytes <= 2LL * 1024 * 1024 * 1024) {
        state.SkipWithError("the file did not pass 2 GiB");
        return;
    }
    double seconds = 0;
    qsizetype loaded = 0;
    for (auto _ : state) {
        ClipboardHistoryStorage storage(dir.path());
        QElapsedTimer timer;
        timer.start();
        const ClipboardHistoryStorage::LoadResult result = storage.load();
        seconds = timer.nsecsElapsed() / 1e9;
        loaded = result.items.size();
        if (result.status != ClipboardHistoryStorage::LoadStatus::Loaded) {
            state.SkipWithError("the file did not load");
            return;
        }
    }
    state.counters["file_GiB"] = fileBytes / (1024.0 * mebibyte);
    state.counters["items"] = static_cast<double>(loaded);
    note("6 2gib", "load of a %.2f GiB history (%.0f items): %.1f s",
        fileBytes / (1024.0 * mebibyte), static_cast<double>(loaded), seconds);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    if (argc == 3 && std::string(argv[1]) == "--rss-probe") {
        QGuiApplication app(argc, argv);
        return rssProbe(QString::fromLocal8Bit(argv[2]));
    }

    bool with2GiB = false;
    std::vector<char*> arguments;
    for (int i = 0; i < argc; ++i) {
        if (std::string(argv[i]) == "--with-2gib") {
            with2GiB = true;
        } else {
            arguments.push_back(argv[i]);
        }
    }
    int count = static_cast<int>(arguments.size());
    TimedApplication app(count, arguments.data());
    selfPath = QCoreApplication::applicationFilePath();

    benchmark::RegisterBenchmark("save_history", BM_SaveHistory)
        ->Iterations(5)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("save_500_images", BM_Save500Images)
        ->Arg(0)
        ->Arg(1)
        ->Iterations(3)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("load_at_start", BM_LoadAtStart)
        ->Iterations(5)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("storage_load", BM_StorageLoad)
        ->Iterations(5)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("stall_during_20mp_capture", BM_StallDuringScreenshotCapture)
        ->Iterations(3)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("stall_during_save", BM_StallDuringSave)
        ->Iterations(5)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("rss_after_load_with_previews", BM_ResidentMemoryAfterLoad)
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond);
    if (with2GiB) {
        benchmark::RegisterBenchmark("load_2gib_history", BM_Load2GiBHistory)
            ->Iterations(1)
            ->Unit(benchmark::kSecond);
    }

    benchmark::Initialize(&count, arguments.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    std::printf("\nClipboard history figures (%d texts, %d URLs, %d PNG images of about 1 MiB):\n",
        textCount, urlCount, imageCount);
    for (const auto& [key, line] : summary()) {
        std::printf("  %s\n", line.c_str());
    }
    return 0;
}
