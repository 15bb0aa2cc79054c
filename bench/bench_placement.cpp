// Figures for window placement at a large size: 200 rules of 100 applications, 50 of them
// running with 100 windows in all, on the simulated desktop. Prints the time of one apply-now
// pass (the listing of applications, the matching and the moves issued), and the CPU the
// feature uses over 3 s of an idle event loop once its start-up attempts are over (display
// changes and launches are signals: nothing polls).

#include "placement/WindowPlacementModel.h"
#include "platform/QtScheduler.h"
#include "platform/sim/MemoryDefaultsStore.h"
#include "platform/sim/SimDisplays.h"
#include "platform/sim/SimSessionEvents.h"
#include "platform/sim/SimWindowAccess.h"
#include "support/Uuid.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>
#include <ctime>

namespace {

constexpr int applicationCount = 100;
constexpr int runningApplicationCount = 50;
constexpr int rulesPerApplication = 2;
constexpr int passes = 200;

double processCpuMs()
{
    timespec t {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

QString bundle(int application)
{
    return QStringLiteral("org.example.App%1").arg(application);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    MemoryDefaultsStore defaults;
    QtScheduler scheduler;
    SimDisplays displays;
    SimWindowAccess windows;
    SimSessionEvents session;
    displays.setDisplays({SimDisplays::display(QStringLiteral("A"), {0, 0, 1920, 1080}, true),
        SimDisplays::display(QStringLiteral("B"), {1920, 0, 1920, 1080})});
    const QString signature =
        monitorConfiguration(monitorDescriptors(displays.displays())).signature;

    QList<WindowPlacementRule> rules;
    QList<ApplicationRecord> running;
    for (int a = 0; a < applicationCount; ++a) {
        for (int r = 0; r < rulesPerApplication; ++r) {
            rules.append({Uuid::create(), signature, {}, bundle(a), bundle(a),
                QStringLiteral("Window %1").arg(r), {double(40 * r), double(a), 800, 600},
                double(rules.size())});
        }
        if (a < runningApplicationCount) {
            running.append({bundle(a), true, 1000 + a, bundle(a), false});
            for (int r = 0; r < rulesPerApplication; ++r) {
                SimWindowAccess::Window window;
                window.element = {quint64(10 * a + r + 1)};
                window.processIdentifier = 1000 + a;
                window.title = QStringLiteral("Window %1").arg(r);
                window.frame = {500, 500, 640, 480};
                windows.addWindow(window);
            }
        }
    }
    windows.setApplications(running);
    defaults.set(QStringLiteral("feature.windowPlacement.enabled"), true);
    defaults.set(QStringLiteral("feature.windowPlacement.frequentStartupReapply.enabled"), false);
    WindowPlacementRuleStore(defaults).save(rules);

    WindowPlacementModel model({defaults, scheduler, displays, windows, session}, std::nullopt);
    QElapsedTimer wall;
    wall.start();
    for (int i = 0; i < passes; ++i) {
        model.applyNow();
    }
    const double passMs = static_cast<double>(wall.nsecsElapsed()) / 1e6 / passes;
    std::printf("apply-now pass, %d rules, %d windows: %.3f ms (%s)\n",
        applicationCount * rulesPerApplication, runningApplicationCount * rulesPerApplication,
        passMs, qPrintable(model.statusMessage().value_or(QString())));

    // The start-up attempts run for 3.15 s; idle time is measured after them.
    QTimer::singleShot(4000, &application, [&] {
        const double before = processCpuMs();
        QTimer::singleShot(3000, &application, [&, before] {
            std::printf("idle CPU over 3 s: %.2f ms\n", processCpuMs() - before);
            QCoreApplication::quit();
        });
    });
    return QCoreApplication::exec();
}
