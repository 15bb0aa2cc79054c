#include "dock/DockMovementPreventionModel.h"
#include "platform/sim/ManualScheduler.h"
#include "platform/sim/MemoryDefaultsStore.h"
#include "platform/sim/ScriptedSystemCommands.h"
#include "platform/sim/SimDisplays.h"

#include <QTest>

Q_DECLARE_METATYPE(DefaultsValue)
Q_DECLARE_METATYPE(SystemCommandResult)

namespace {

const QString dockDomain = QStringLiteral("com.apple.dock");
const QString spacesDomain = QStringLiteral("com.apple.spaces");

// The main display at the origin and, unless alone, a secondary one of the same size beside
// it ("right", "left") or above it ("above"), in Qt's coordinates.
QList<DisplayInfo> arrangement(const QString& layout)
{
    QList<DisplayInfo> displays {
        SimDisplays::display(QStringLiteral("MAIN"), QRect(0, 0, 1920, 1080), true)};
    const QHash<QString, QPoint> secondary {{QStringLiteral("right"), QPoint(1920, 0)},
        {QStringLiteral("left"), QPoint(-1920, 0)}, {QStringLiteral("above"), QPoint(0, -1080)}};
    if (secondary.contains(layout)) {
        displays.append(SimDisplays::display(
            QStringLiteral("SECOND"), QRect(secondary.value(layout), QSize(1920, 1080))));
    }
    return displays;
}

// "x,y": x points from the display's left edge, y points above its bottom edge.
QPoint onDisplay(const QRect& frame, const QString& relative)
{
    return {frame.left() + relative.section(QLatin1Char(','), 0, 0).toInt(),
        frame.top() + frame.height() - relative.section(QLatin1Char(','), 1, 1).toInt()};
}

QString relativeTo(const QRect& frame, const QPoint& point)
{
    return QStringLiteral("%1,%2")
        .arg(point.x() - frame.left())
        .arg(frame.top() + frame.height() - point.y());
}

struct World
{
    ManualScheduler scheduler;
    MemoryDefaultsStore defaults;
    SimDisplays displays;
    ScriptedSystemCommands commands {scheduler};
};

} // namespace

class DockGuardTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Steps: "x,y[@seconds]" puts the pointer there (relative to the display under test) and lets
    // the given time pass (0.04 s, one tick, by default); "change" reports a change of the
    // display arrangement; "dock:EDGE" stores a new Dock orientation. The expected list holds,
    // for each pointer step, where the last warp during it put the pointer, or "-".
    void guard_data()
    {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<QString>("dock");
        QTest::addColumn<QString>("display"); // the one the positions are relative to
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("warps");

        const auto row = [](const char* name, const char* layout, const char* dock,
                             const char* display, const char* steps, const char* warps) {
            QTest::newRow(name) << layout << dock << display << steps << warps;
        };
        row("one display never moves anything", "one", "bottom", "MAIN", "500,2 500,0 0,500",
            "- - -");
        row("2 points above the bottom goes to 7 above", "right", "bottom", "SECOND", "500,2",
            "500,7");
        row("3 points is still in the band, 5 is not", "right", "bottom", "SECOND", "500,3 900,5",
            "500,7 -");
        row("the main display's bottom is never guarded", "right", "bottom", "MAIN", "500,2", "-");
        row("gliding by 4, by 10 capped at 6, back, then standing", "right", "bottom", "SECOND",
            "500,2 504,2 518,2 517,2 511,2", "500,7 508,5 524,5 511,5 511,7");
        row("gliding stops at the display's side", "right", "bottom", "SECOND", "1910,2 1917,2",
            "1910,7 1920,5");
        row("left edge of a display left of the main one", "left", "left", "SECOND", "1,500 0,500",
            "7,500 7,500");
        row("the main display's left edge is never guarded", "left", "left", "MAIN", "1,500", "-");
        row("a left edge bordering the main display", "right", "left", "SECOND", "1,500 0,500",
            "- -");
        row("right edge of a display right of the main one", "right", "right", "SECOND", "1919,500",
            "1913,500");
        row("stacked: the upper display's bottom borders the main one", "above", "bottom", "SECOND",
            "500,2 500,0", "- -");
        row("one second of rest after a display change", "right", "bottom", "SECOND",
            "0,500@0.02 change 500,2@0.98 500,2@0.04", "- - 500,7");
        row("the Dock edge is read again after a second", "left", "bottom", "SECOND",
            "dock:left 1,500@0.04 1,500@1.0", "- 7,500");
    }

    void guard()
    {
        QFETCH(QString, layout);
        QFETCH(QString, dock);
        QFETCH(QString, display);
        QFETCH(QString, steps);
        QFETCH(QString, warps);
        World world;
        world.displays.setDisplays(arrangement(layout));
        world.defaults.setForeignValue(dockDomain, QStringLiteral("orientation"), dock);
        world.defaults.set(QStringLiteral("feature.dockMovementPrevention.enabled"), true);
        DockMovementPreventionModel model(
            world.displays, world.defaults, world.commands, world.scheduler);
        QRect frame;
        for (const DisplayInfo& info : world.displays.displays()) {
            frame = info.id == display ? info.frame : frame;
        }
        QStringList seen;
        for (const QString& step : steps.split(QLatin1Char(' '))) {
            if (step == QLatin1String("change")) {
                Q_EMIT world.displays.displaysChanged();
            } else if (step.startsWith(QLatin1String("dock:"))) {
                world.defaults.setForeignValue(
                    dockDomain, QStringLiteral("orientation"), step.mid(5));
            } else {
                const qsizetype before = world.displays.warps().size();
                world.displays.setPointerLocation(
                    onDisplay(frame, step.section(QLatin1Char('@'), 0, 0)));
                const QString seconds = step.section(QLatin1Char('@'), 1, 1);
                world.scheduler.advance(seconds.isEmpty() ? 0.04 : seconds.toDouble());
                seen << (world.displays.warps().size() == before
                        ? QStringLiteral("-")
                        : relativeTo(frame, world.displays.warps().last()));
            }
        }
        QCOMPARE(seen.join(QLatin1Char(' ')), warps);

        model.setDockMovementPreventionEnabled(false);
        world.displays.setPointerLocation(onDisplay(frame, QStringLiteral("500,2")));
        world.scheduler.advance(1.0);
        QCOMPARE(world.displays.warps().size(), seen.size() - seen.count(QStringLiteral("-")));
    }

    void dockEdge_data()
    {
        QTest::addColumn<DefaultsValue>("orientation");
        QTest::addColumn<QString>("edge");
        QTest::newRow("left, spaces around") << DefaultsValue(QStringLiteral(" left ")) << "left";
        QTest::newRow("left, a trailing newline")
            << DefaultsValue(QStringLiteral("left\n")) << "left";
        QTest::newRow("right") << DefaultsValue(QStringLiteral("\tright")) << "right";
        QTest::newRow("bottom") << DefaultsValue(QStringLiteral("bottom")) << "bottom";
        QTest::newRow("another word") << DefaultsValue(QStringLiteral("Left")) << "bottom";
        QTest::newRow("not a string") << DefaultsValue(qint64(1)) << "bottom";
        QTest::newRow("absent") << DefaultsValue() << "bottom";
    }

    void dockEdge()
    {
        QFETCH(DefaultsValue, orientation);
        World world;
        world.defaults.setForeignValue(dockDomain, QStringLiteral("orientation"), orientation);
        DockMovementPreventionModel model(
            world.displays, world.defaults, world.commands, world.scheduler);
        QTEST(dockEdgeName(model.dockEdge()), "edge");
    }

    // The legacy setting as read, the status line, and what setting it back through the
    // defaults tool gives (an unscripted tool cannot be started).
    void legacySetting_data()
    {
        QTest::addColumn<DefaultsValue>("spansDisplays");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QString>("status");
        QTest::addColumn<std::optional<SystemCommandResult>>("tool");
        QTest::addColumn<QString>("statusAfterRestore");

        const auto success = std::optional(SystemCommandResult::success({}));
        const QString restored =
            QStringLiteral("ログアウト後にフルスクリーン時の表示設定が戻ります");
        const QString left = QStringLiteral("旧方式の設定が残っています");
        QTest::newRow("absent, off")
            << DefaultsValue() << false << "Dock移動抑止: オフ" << success << restored;
        QTest::newRow("absent, on")
            << DefaultsValue() << true << "Dock移動抑止: オン" << success << restored;
        QTest::newRow("true") << DefaultsValue(true) << true << left << success << restored;
        QTest::newRow("the number 1")
            << DefaultsValue(qint64(1)) << false << left << success << restored;
        QTest::newRow("the number 0")
            << DefaultsValue(qint64(0)) << false << "Dock移動抑止: オフ" << success << restored;
        QTest::newRow("the string 1") << DefaultsValue(QStringLiteral("1")) << false
                                      << "Dock移動抑止: オフ" << success << restored;
        QTest::newRow("the tool fails with error output")
            << DefaultsValue(true) << false << left
            << std::optional(SystemCommandResult::failure(
                   SystemCommandError::nonZeroExit(QStringLiteral("out"), QStringLiteral("err\n"))))
            << "表示設定を戻せませんでした: err\n";
        QTest::newRow("the tool fails silently")
            << DefaultsValue(true) << false << left
            << std::optional(SystemCommandResult::failure(SystemCommandError::nonZeroExit({}, {})))
            << "表示設定を戻せませんでした: コマンドが失敗しました";
        QTest::newRow("the tool cannot be started")
            << DefaultsValue(true) << false << left << std::optional<SystemCommandResult>()
            << "表示設定を戻せませんでした: execve: No such file or directory";
    }

    void legacySetting()
    {
        QFETCH(DefaultsValue, spansDisplays);
        QFETCH(bool, enabled);
        QFETCH(std::optional<SystemCommandResult>, tool);
        QFETCH(QString, statusAfterRestore);
        World world;
        world.defaults.setForeignValue(
            spacesDomain, QStringLiteral("spans-displays"), spansDisplays);
        world.defaults.set(QStringLiteral("feature.dockMovementPrevention.enabled"), enabled);
        const QString defaultsTool = QStringLiteral("/usr/bin/defaults");
        const QStringList arguments {QStringLiteral("write"), spacesDomain,
            QStringLiteral("spans-displays"), QStringLiteral("-bool"), QStringLiteral("false")};
        if (tool) {
            world.commands.script(defaultsTool, arguments, *tool);
        }
        DockMovementPreventionModel model(
            world.displays, world.defaults, world.commands, world.scheduler);
        QTEST(model.statusMessage().value_or(QString()), "status");
        const bool legacy = model.legacySpacesModeEnabled();

        model.restoreSeparateDisplaySpaces();
        QCOMPARE(world.commands.calls(),
            QList<ScriptedSystemCommands::Call>({{defaultsTool, arguments}}));
        QCOMPARE(model.statusMessage().value_or(QString()), statusAfterRestore);
        const bool succeeded = tool && tool->isSuccess();
        QCOMPARE(model.requiresLogout(), succeeded);
        QCOMPARE(model.legacySpacesModeEnabled(), legacy && !succeeded);
        // Logging out is still owed whatever the switch does meanwhile.
        model.setDockMovementPreventionEnabled(!enabled);
        QCOMPARE(model.statusMessage().value_or(QString()) == statusAfterRestore, succeeded);
    }
};

QTEST_GUILESS_MAIN(DockGuardTest)

#include "tst_dockguard.moc"
