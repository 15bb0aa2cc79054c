// Quick panel figures with the largest history and a large phrase store: 500 texts, 500 URLs
// and 500 images (the newest thumbnails cached, as after start) and 10,000 phrases in 100
// folders, on the offscreen platform with the production scheduler and thread pool, through
// the application delegate exactly as a running Norvale builds and opens the panel:
//   - open: from the open request to the end of the panel's first painted frame (first opening,
//     which meets cold fonts and caches, and a later one);
//   - keystroke: from a key press in the search field to the end of the frame that shows the
//     updated lists, for a keyword in every section and for the phrase scope ("s " lists every
//     phrase, then a keyword filters them);
//   - scrolling the image scope's grid through all 500 images a page at a time: the slowest
//     page's frame and the main thread's CPU time for the whole run, until the thumbnails of
//     every page have arrived and been painted;
//   - the resident memory the opening adds (the panel is built at launch, before it).
// Targets on this machine: open < 50 ms, keystroke < 10 ms, < 30 MiB added.
//
// Run: bench_quickpanel (QT_QPA_PLATFORM defaults to offscreen)

#include "BenchSupport.h"
#include "FrameClock.h"
#include "app/AppDelegate.h"
#include "app/AppPlatform.h"
#include "clipboard/ClipboardHistoryImageCache.h"
#include "clipboard/ClipboardHistoryModel.h"
#include "clipboard/ClipboardHistoryStorage.h"
#include "phrases/FixedPhraseStorage.h"
#include "platform/sim/MemoryDefaultsStore.h"
#include "support/ProcessHeap.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QScrollBar>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <thread>
#include <vector>

namespace {

using namespace BenchSupport;

constexpr int perKind = 500;
constexpr int folderCount = 100;
constexpr int phrasesPerFolder = 100;

// Writes the history and phrase files where the simulated platform's models read them.
void writeData(const QString& folder)
{
    std::fprintf(stderr, "Generating %d texts, %d URLs, %d images and %d phrases...\n", perKind,
        perKind, perKind, folderCount * phrasesPerFolder);
    std::vector<QByteArray> images(perKind);
    std::vector<std::thread> workers;
    for (int t = 0; t < 2; ++t) {
        workers.emplace_back([&images, t] {
            for (int i = t; i < perKind; i += 2) {
                images[size_t(i)] = noisyPng(std::uint64_t(i) + 1, 320, 200);
            }
        });
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    const QDateTime start(QDate(2026, 1, 1), QTime(9, 0), Qt::UTC);
    std::uint64_t state = 42;
    QList<ClipboardHistoryItem> items;
    for (int i = 0; i < perKind; ++i) {
        items.append(ClipboardHistoryItem::makeText(
            randomText(state, 20 + int(nextRandom(state) % 400)), start.addSecs(-i * 60)));
        items.append(ClipboardHistoryItem::makeText(
            QStringLiteral("https://example.org/%1/page?q=%2").arg(i).arg(randomText(state, 30)),
            start.addSecs(-i * 60 - 20)));
        items.append(
            ClipboardHistoryItem::makeImage(images[size_t(i)], start.addSecs(-i * 60 - 40)));
    }
    QDir().mkpath(folder);
    QString error;
    if (!ClipboardHistoryStorage(folder).saveSynchronously(items, &error)) {
        std::fprintf(stderr, "Could not write the history: %s\n", qPrintable(error));
        std::exit(1);
    }
    QFile phrases(QDir(folder).filePath(FixedPhraseStorage::fileName()));
    if (!phrases.open(QIODevice::WriteOnly) ||
        phrases.write(FixedPhraseStorage::encode(
            makePhraseStore(folderCount, phrasesPerFolder, false))) < 0) {
        std::fprintf(stderr, "Could not write the phrases\n");
        std::exit(1);
    }
}

FrameTiming openPanel(AppDelegate& app)
{
    return FrameClock::untilNextFrame([&app] { app.toggleQuickPanelAtPointer(); });
}

// A key press and release in the search field, as the window system delivers them.
FrameTiming keystroke(QLineEdit* field, int key, const QString& text)
{
    return FrameClock::untilNextFrame([field, key, &text] {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
        QApplication::sendEvent(field, &press);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
        QApplication::sendEvent(field, &release);
    });
}

double mebibytes(qint64 kib)
{
    return double(kib) / 1024.0;
}

void settle(int ms)
{
    runEventLoopUntil([] { return false; }, ms);
}

// Pages through the image grid to its end, each page a frame, then waits for the thumbnails
// that were still being made or decoded when their page was shown.
void scrollThroughImages(QWidget* panel, QLineEdit* field)
{
    field->clear();
    for (const QChar c : QStringLiteral("g ")) {
        keystroke(field, c == u'g' ? Qt::Key_G : Qt::Key_Space, c);
    }
    QListView* grid = nullptr;
    for (QListView* view : panel->findChildren<QListView*>()) {
        if (view->inherits("ClipboardImageHistoryGrid")) {
            grid = view;
        }
    }
    if (grid == nullptr) {
        std::printf("Scroll: the panel has no image grid\n");
        return;
    }
    settle(300);
    QScrollBar* bar = grid->verticalScrollBar();
    const qint64 startCpu = FrameClock::cpuNs();
    FrameTiming slowest;
    int pages = 0;
    while (bar->value() < bar->maximum()) {
        const FrameTiming page = FrameClock::untilNextFrame(
            [bar, grid] { bar->setValue(bar->value() + grid->viewport()->height()); });
        slowest.wallMs = std::max(slowest.wallMs, page.wallMs);
        slowest.cpuMs = std::max(slowest.cpuMs, page.cpuMs);
        ++pages;
    }
    settle(3000);
    std::printf("Scroll through %d images (%d pages): slowest page %s; main thread CPU for the "
                "whole run %.1f ms\n",
        grid->model()->rowCount(), pages, qPrintable(slowest.text()),
        double(FrameClock::cpuNs() - startCpu) / 1e6);
}

} // namespace

int main(int argc, char** argv)
{
    ProcessHeap::configure(); // as the application's heap is
    FrameClock application(argc, argv);
    AppPlatform platform = AppPlatform::create(PlatformKind::Simulated);
    writeData(platform.files->applicationSupportDirectory());
    setMaximumHistoryLimits(static_cast<MemoryDefaultsStore&>(*platform.defaults));

    QElapsedTimer timer;
    timer.start();
    AppDelegate app(platform);
    app.applicationDidFinishLaunching();
    std::printf("Launch with the panel built: %lld ms\n", static_cast<long long>(timer.elapsed()));
    ClipboardHistoryModel& history = app.models().clipboardHistory;
    runEventLoopUntil([&] { return history.imagePreviewGeneration() > 0; }, 120000);
    settle(500);
    std::printf("History: %lld items, %d thumbnails cached; phrases: %d\n",
        static_cast<long long>(history.items().size()),
        ClipboardHistoryImageCache::shared().count(), folderCount * phrasesPerFolder);

    QWidget* panel = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->inherits("QuickPanelWindow")) {
            panel = widget;
        }
    }
    if (panel == nullptr) {
        std::fprintf(stderr, "No quick panel window after launch\n");
        return 1;
    }
    application.watch(panel);

    const qint64 rssBefore = statusKiB("VmRSS:");
    const FrameTiming firstOpen = openPanel(app);
    settle(300);
    const qint64 rssOpen = statusKiB("VmRSS:");
    std::printf("Open -> first painted frame: %s (first opening)   target < 50 ms\n",
        qPrintable(firstOpen.text()));

    const auto report = [](const char* what, const std::vector<FrameTiming>& times) {
        QStringList each;
        FrameTiming slowest;
        for (const FrameTiming& timing : times) {
            each.append(QString::number(timing.wallMs, 'f', 1) + QLatin1Char('/') +
                QString::number(timing.cpuMs, 'f', 1));
            slowest.wallMs = std::max(slowest.wallMs, timing.wallMs);
            slowest.cpuMs = std::max(slowest.cpuMs, timing.cpuMs);
        }
        std::printf(
            "Keystroke -> updated lists, %s: max %s; each %s ms (wall/CPU)   target < 10 ms\n",
            what, qPrintable(slowest.text()), qPrintable(each.join(u' ')));
    };
    auto* field = panel->findChild<QLineEdit*>();
    if (field == nullptr) {
        std::printf("Keystroke: the panel has no search field\n");
    } else {
        std::vector<FrameTiming> everywhere;
        for (const QChar c : QStringLiteral("http")) {
            everywhere.push_back(keystroke(field, Qt::Key_A + (c.unicode() - u'a'), c));
        }
        for (int i = 0; i < 4; ++i) {
            everywhere.push_back(keystroke(field, Qt::Key_Backspace, QString()));
        }
        report("\"http\" then 4 x Backspace", everywhere);
        std::vector<FrameTiming> phraseScope;
        phraseScope.push_back(keystroke(field, Qt::Key_S, QStringLiteral("s")));
        phraseScope.push_back(keystroke(field, Qt::Key_Space, QStringLiteral(" ")));
        for (const QChar c : QStringLiteral("お世話")) {
            phraseScope.push_back(keystroke(field, 0, c));
        }
        report("\"s \" then \"お世話\"", phraseScope);
        scrollThroughImages(panel, field);
    }
    const qint64 rssTyped = statusKiB("VmRSS:");

    app.toggleQuickPanelAtPointer(); // closes
    settle(300);
    const FrameTiming laterOpen = openPanel(app);
    std::printf("Open -> first painted frame: %s (a later opening)   target < 50 ms\n",
        qPrintable(laterOpen.text()));
    std::printf("RSS added by opening: %.1f MiB (%.1f MiB after the keystrokes)   target < 30 "
                "MiB; RSS before opening %.1f MiB\n",
        mebibytes(rssOpen - rssBefore), mebibytes(rssTyped - rssBefore), mebibytes(rssBefore));
    app.applicationWillTerminate();
    return 0;
}
