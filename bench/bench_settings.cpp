// Switching the settings window to "定型文" with 10,000 phrases in 100 folders (every seventh
// folder and every fifth phrase hidden), on the offscreen platform with the production
// scheduler and thread pool. Prints, in milliseconds of wall time (and the main thread's CPU
// time beside it):
//   - build: constructing the settings view, which builds every tab;
//   - switch: from selecting the tab to the end of the window's synchronous repaint, the first
//     time (cold fonts and caches) and the median of later switches from "一般";
//   - edit: one keystroke's worth of content edit on the selected phrase, through the model
//     and back into the tab's lists and fields.
// Target on this machine: switch < 100 ms.
//
// Run: bench_settings (QT_QPA_PLATFORM defaults to offscreen)

#include "BenchSupport.h"
#include "app/AppSettingsModel.h"
#include "clipboard/ClipboardHistoryModel.h"
#include "phrases/FixedPhraseModel.h"
#include "phrases/FixedPhraseStorage.h"
#include "platform/FileLocations.h"
#include "platform/QtScheduler.h"
#include "platform/ThreadPoolExecutor.h"
#include "platform/sim/MemoryDefaultsStore.h"
#include "platform/sim/SimLoginItem.h"
#include "platform/sim/SimPasteboard.h"
#include "settings/FixedPhraseSelection.h"
#include "settings/FixedPhraseSettingsTab.h"
#include "settings/SettingsView.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

namespace {

constexpr int folderCount = 100;
constexpr int phrasesPerFolder = 100;
constexpr int warmRuns = 15;

double threadCpuMs()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

struct Figure
{
    double wallMs = 0;
    double cpuMs = 0;
};

Figure measure(const std::function<void()>& work)
{
    QElapsedTimer wall;
    const double cpu = threadCpuMs();
    wall.start();
    work();
    return {double(wall.nsecsElapsed()) / 1e6, threadCpuMs() - cpu};
}

void print(const char* what, Figure figure)
{
    std::printf("%-28s %8.2f ms  (cpu %.2f ms)\n", what, figure.wallMs, figure.cpuMs);
}

Figure median(std::vector<Figure> figures)
{
    std::sort(figures.begin(), figures.end(),
        [](const Figure& a, const Figure& b) { return a.wallMs < b.wallMs; });
    return figures[figures.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const FileLocations locations(dir.path());
    QDir().mkpath(locations.applicationSupportDirectory());
    QFile store(locations.filePath(QStringLiteral("FixedPhrases.json")));
    if (!store.open(QIODevice::WriteOnly) ||
        !FixedPhraseStorage::encode(
            BenchSupport::makePhraseStore(folderCount, phrasesPerFolder, true), store)) {
        std::fprintf(stderr, "cannot write the phrase store\n");
        return 1;
    }
    store.close();

    QtScheduler scheduler;
    ThreadPoolExecutor executor(scheduler);
    MemoryDefaultsStore defaults;
    SimLoginItem loginItem;
    SimPasteboard pasteboard;
    AppSettingsModel appSettings(defaults, loginItem);
    ClipboardHistoryModel history(pasteboard, defaults, scheduler, executor, locations);
    FixedPhraseModel phrases(scheduler, executor, locations);
    std::printf("%lld phrases in %lld folders\n",
        static_cast<long long>(folderCount * phrasesPerFolder),
        static_cast<long long>(phrases.folders().size()));

    std::unique_ptr<SettingsView> view;
    print("build the settings view", measure([&] {
        view = std::make_unique<SettingsView>(
            SettingsModels {appSettings, history, phrases}, defaults, scheduler);
    }));
    view->resize(720, 660);
    view->setSelectedTab(SettingsTab::General);
    view->show();
    view->repaint();
    QCoreApplication::processEvents();

    const auto switchToPhrases = [&] {
        view->setSelectedTab(SettingsTab::FixedPhrases);
        view->repaint();
    };
    print("switch to the tab, first", measure(switchToPhrases));
    std::vector<Figure> switches;
    for (int run = 0; run < warmRuns; ++run) {
        view->setSelectedTab(SettingsTab::General);
        view->repaint();
        switches.push_back(measure(switchToPhrases));
    }
    print("switch to the tab, median", median(switches));

    auto* tab = view->findChild<FixedPhraseSettingsTab*>();
    FixedPhraseSelection& selection = tab->selection();
    selection.setSelectedFolderIDs({phrases.folders().at(folderCount / 2).id});
    std::vector<Figure> edits;
    for (int run = 0; run < warmRuns; ++run) {
        const auto folder = selection.selectedFolder();
        const auto phrase = selection.selectedPhrase();
        edits.push_back(measure([&] {
            phrases.updatePhrase(
                folder->id, phrase->id, std::nullopt, phrase->content + QStringLiteral("あ"));
            view->repaint();
        }));
    }
    print("edit content, median", median(edits));
    view.reset();
    phrases.prepareForApplicationTermination();
    return 0;
}
