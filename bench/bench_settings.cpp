// The settings window with 10,000 phrases in 100 folders (every seventh folder and every fifth
// phrase hidden), on the offscreen platform with the production scheduler and thread pool,
// through the application delegate as `norvale settings` opens it. Prints, in milliseconds of
// wall time (and the main thread's CPU time beside it):
//   - open: from the open request to the end of the window's first painted frame, the first
//     time (building the window, cold fonts and caches) and the median of later openings;
//   - switch: from selecting "定型文" to the end of the window's synchronous repaint, the first
//     time and the median of later switches from "一般";
//   - edit: one keystroke's worth of content edit on the selected phrase, through the model
//     and back into the tab's lists and fields.
// Targets on this machine: open < 150 ms the first time and < 50 ms later, switch < 100 ms.
//
// Run: bench_settings (QT_QPA_PLATFORM defaults to offscreen)

#include "BenchSupport.h"
#include "FrameClock.h"
#include "app/AppDelegate.h"
#include "app/AppPlatform.h"
#include "phrases/FixedPhraseModel.h"
#include "phrases/FixedPhraseStorage.h"
#include "platform/FileLocations.h"
#include "settings/FixedPhraseSelection.h"
#include "settings/FixedPhraseSettingsTab.h"
#include "settings/SettingsView.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

namespace {

constexpr int folderCount = 100;
constexpr int phrasesPerFolder = 100;
constexpr int warmRuns = 15;

using Figure = FrameTiming;

Figure measure(const std::function<void()>& work)
{
    QElapsedTimer wall;
    const qint64 cpu = FrameClock::cpuNs();
    wall.start();
    work();
    return {double(wall.nsecsElapsed()) / 1e6, double(FrameClock::cpuNs() - cpu) / 1e6};
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
    FrameClock application(argc, argv);
    AppPlatform platform = AppPlatform::create(PlatformKind::Simulated);
    const QString folder = platform.files->applicationSupportDirectory();
    QDir().mkpath(folder);
    QFile store(QDir(folder).filePath(FixedPhraseStorage::fileName()));
    if (!store.open(QIODevice::WriteOnly) ||
        !FixedPhraseStorage::encode(
            BenchSupport::makePhraseStore(folderCount, phrasesPerFolder, true), store)) {
        std::fprintf(stderr, "cannot write the phrase store\n");
        return 1;
    }
    store.close();

    AppDelegate app(platform);
    app.applicationDidFinishLaunching();
    FixedPhraseModel& phrases = app.models().fixedPhrases;
    BenchSupport::runEventLoopUntil([&] { return !phrases.folders().isEmpty(); }, 60000);
    BenchSupport::runEventLoopUntil([] { return false; }, 500);
    std::printf("%lld phrases in %lld folders\n",
        static_cast<long long>(folderCount * phrasesPerFolder),
        static_cast<long long>(phrases.folders().size()));

    const auto open = [&app] {
        app.openSettingsWindow(SettingsTab::General);
    };
    print("open the window, first", FrameClock::untilNextFrame(open));
    auto* view = [] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* found = widget->findChild<SettingsView*>()) {
                return found;
            }
        }
        return static_cast<SettingsView*>(nullptr);
    }();
    if (view == nullptr) {
        std::fprintf(stderr, "no settings view after opening the window\n");
        return 1;
    }
    std::vector<Figure> openings;
    for (int run = 0; run < warmRuns; ++run) {
        view->window()->close();
        BenchSupport::runEventLoopUntil([] { return false; }, 50);
        openings.push_back(FrameClock::untilNextFrame(open));
    }
    print("open the window, median", median(openings));

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
    app.applicationWillTerminate();
    return 0;
}
