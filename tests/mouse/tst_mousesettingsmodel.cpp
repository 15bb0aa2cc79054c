#include "common/TestMain.h"
#include "mouse/MouseSettingsModel.h"
#include "platform/sim/ManualScheduler.h"
#include "platform/sim/MemoryDefaultsStore.h"
#include "platform/sim/ScriptedSystemCommands.h"
#include "platform/sim/SimScrollEventTap.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

Q_DECLARE_METATYPE(SystemCommandResult)
Q_DECLARE_METATYPE(std::optional<QString>)

namespace {

const QString Hid = QStringLiteral("/usr/bin/hidutil");
const QString Pro = QStringLiteral("1133:49298:20");
const QString ProMatch = QStringLiteral(R"({"VendorID":1133,"ProductID":49298,"LocationID":20})");
const QString ProName = QStringLiteral("G Pro / Logitech (VID:0x46d, PID:0xc092, USB)");

QString deviceLine(int product, const QString& name)
{
    return QStringLiteral(
        R"({"PrimaryUsagePage":1,"PrimaryUsage":2,"VendorID":1133,"ProductID":%1,"LocationID":20,"Product":"%2","Manufacturer":"Logitech","Transport":"USB"})")
        .arg(product)
        .arg(name);
}

QString line(const QStringList& words)
{
    return words.join(QLatin1Char(' '));
}

QString get(const QString& match, const QString& key)
{
    return line({Hid, QStringLiteral("property --matching"), match, QStringLiteral("--get"), key});
}

QString set(const QString& match, const QString& json)
{
    return line({Hid, QStringLiteral("property --matching"), match, QStringLiteral("--set"), json});
}

const QString List = Hid + QStringLiteral(" list --matching mouse --ndjson");
const QString Ps = QStringLiteral("/bin/ps -axo comm");
const QString ResetScroll =
    set(ProMatch, R"({"HIDScrollAcceleration":0,"HIDMouseScrollAcceleration":0})");
const QString RestoreTrue =
    QStringLiteral("/usr/bin/defaults write -g com.apple.swipescrolldirection -bool true");

struct MouseWorld
{
    ManualScheduler scheduler;
    MemoryDefaultsStore defaults;
    ScriptedSystemCommands commands {scheduler};
    SimScrollEventTap tap;
    std::unique_ptr<MouseSettingsModel> model;
    QList<std::optional<QString>> statuses;
    QList<qint64> device;

    void script(const QString& commandLine, const SystemCommandResult& result)
    {
        const QStringList words = commandLine.split(QLatin1Char(' '));
        // The matching and property JSON hold no spaces; "--matching mouse" words stay apart.
        commands.script(words.first(), words.mid(1), result);
    }
    void scriptPro(qint64 mouse, qint64 pointer)
    {
        script(List, SystemCommandResult::success(deviceLine(49298, QStringLiteral("G Pro"))));
        script(get(ProMatch, QStringLiteral("HIDMouseAcceleration")),
            SystemCommandResult::success(QStringLiteral("%1\n").arg(mouse)));
        script(get(ProMatch, QStringLiteral("HIDPointerAcceleration")),
            SystemCommandResult::success(QStringLiteral("%1\n").arg(pointer)));
    }
    void start()
    {
        model = std::make_unique<MouseSettingsModel>(
            commands, tap, defaults, scheduler, MouseSystemTools::withDefaultsTool(defaults));
        QObject::connect(model.get(), &MouseSettingsModel::statusMessageChanged, model.get(),
            [this] { statuses.append(model->statusMessage()); });
    }
    QStringList ran() const
    {
        QStringList lines;
        for (const auto& call : commands.calls()) {
            lines << line(QStringList {call.executable} + call.arguments);
        }
        return lines;
    }
    // The mouse's two properties read back what the last write to end left there.
    void setDevice(qint64 mouse, qint64 pointer)
    {
        device = {mouse, pointer};
        script(get(ProMatch, QStringLiteral("HIDMouseAcceleration")),
            SystemCommandResult::success(QString::number(mouse)));
        script(get(ProMatch, QStringLiteral("HIDPointerAcceleration")),
            SystemCommandResult::success(QString::number(pointer)));
    }
    // Ends the runs in flight newest first, the order in which a quick tool overtakes a slow one.
    void endRunsNewestFirst()
    {
        for (scheduler.runPending(); commands.runsInFlight() > 0; scheduler.runPending()) {
            const auto call = commands.finish(commands.runsInFlight() - 1);
            const QJsonObject written =
                QJsonDocument::fromJson(call.arguments.last().toUtf8()).object();
            if (written.contains(QStringLiteral("HIDPointerAcceleration"))) {
                setDevice(written.value(QStringLiteral("HIDMouseAcceleration")).toInteger(),
                    written.value(QStringLiteral("HIDPointerAcceleration")).toInteger());
            }
        }
    }
    QByteArray baselines() const
    {
        return defaults.dataValue(QStringLiteral("feature.mouse.baselineTuningByDevice"))
            .value_or(QByteArray());
    }
};

} // namespace

class MouseSettingsModelTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void clampsStoredLevels_data()
    {
        QTest::addColumn<QList<qint64>>("stored");
        QTest::addColumn<QList<qint64>>("expected");
        QTest::newRow("below the ranges") << QList<qint64> {0, 0, -3} << QList<qint64> {1, 1, 0};
        QTest::newRow("above the ranges")
            << QList<qint64> {25, 21, 25} << QList<qint64> {20, 20, 20};
        QTest::newRow("absent: defaults written") << QList<qint64> {} << QList<qint64> {5, 5, 5};
    }

    void clampsStoredLevels()
    {
        QFETCH(QList<qint64>, stored);
        QFETCH(QList<qint64>, expected);
        const QStringList keys {QStringLiteral("feature.mouse.wheelSpeedLevel"),
            QStringLiteral("feature.mouse.cursorSpeedLevel"),
            QStringLiteral("feature.mouse.cursorAccelerationLevel")};
        MouseWorld world;
        for (qsizetype index = 0; index < stored.size(); ++index) {
            world.defaults.set(keys[index], stored[index]);
        }
        world.start();
        QCOMPARE((QList<qint64> {world.model->wheelSpeedLevel(), world.model->cursorSpeedLevel(),
                     world.model->cursorAccelerationLevel()}),
            expected);
        QCOMPARE(world.defaults.integerValue(keys[0]), stored.value(0, 5));
        QCOMPARE(
            world.defaults.boolValue(QStringLiteral("feature.mouse.scrollAccelerationEnabled")),
            true);
        QCOMPARE(world.model->statusMessage(), QStringLiteral("マウス調整: オフ"));
        QVERIFY(world.commands.calls().isEmpty());
    }

    // Switching on finds the mouse, captures its baseline once, writes the levels and reads the
    // device's values back (11 × 4096 reads back as cursor speed 7, which is then written).
    void switchingOnTunesTheMouse()
    {
        MouseWorld world;
        world.scriptPro(45055, 11 * 4096);
        world.script(ResetScroll, SystemCommandResult::success(QString()));
        world.start();
        world.model->setMouseAdjustmentEnabled(true);
        world.scheduler.runPending();
        world.model->setMouseAdjustmentEnabled(true);
        world.scheduler.runPending();

        const QString write =
            set(ProMatch, R"({"HIDMouseAcceleration":45055,"HIDPointerAcceleration":%1})");
        QCOMPARE(world.ran(),
            (QStringList {Ps, List, get(ProMatch, QStringLiteral("HIDMouseAcceleration")),
                get(ProMatch, QStringLiteral("HIDPointerAcceleration")), write.arg(32765),
                get(ProMatch, QStringLiteral("HIDMouseAcceleration")),
                get(ProMatch, QStringLiteral("HIDPointerAcceleration")), write.arg(45871)}));
        QCOMPARE(world.model->cursorSpeedLevel(), 7);
        QCOMPARE(
            world.baselines(), QByteArray(R"({"1133:49298:20":{"mouse":45055,"pointer":45056}})"));
        QCOMPARE(world.defaults.boolValue(
                     QStringLiteral("feature.mouse.preAdjustmentSystemNaturalScrolling")),
            true);
        QCOMPARE(
            world.model->softwareInversionModeDescription(), QStringLiteral("active (reused)"));
    }

    // Writes and read-backs of the mouse end in the order they were asked for, whichever tool
    // would end first: the mouse ends with the latest levels, and the levels stay the user's.
    void devicePropertiesFollowTheLatestLevels_data()
    {
        QTest::addColumn<bool>("on");
        QTest::addColumn<QStringList>("actions");
        QTest::addColumn<QList<qint64>>("levels");
        QTest::addColumn<QList<qint64>>("device");
        QTest::newRow("a mouse selected while on: the levels written, then read back")
            << false << QStringList {QStringLiteral("on")} << QList<qint64> {12, 3}
            << QList<qint64> {3 * 9011, 12 * 6553};
        QTest::newRow("a write replaced while its tool runs")
            << true << QStringList {QStringLiteral("speed 20"), QStringLiteral("acceleration 0")}
            << QList<qint64> {20, 0} << QList<qint64> {0, 20 * 6553};
    }

    void devicePropertiesFollowTheLatestLevels()
    {
        QFETCH(bool, on);
        QFETCH(QStringList, actions);
        MouseWorld world;
        world.scriptPro(0, 0);
        world.setDevice(5 * 9011, 5 * 6553);
        world.defaults.set(QStringLiteral("feature.mouse.cursorSpeedLevel"), 12);
        world.defaults.set(QStringLiteral("feature.mouse.cursorAccelerationLevel"), 3);
        world.defaults.set(QStringLiteral("feature.mouse.mouseAdjustmentEnabled"), on);
        if (on) {
            world.defaults.set(QStringLiteral("feature.mouse.selectedDeviceID"), Pro);
        }
        world.commands.hold();
        world.start();
        world.endRunsNewestFirst();
        for (const QString& action : actions) {
            const qint64 level = action.section(QLatin1Char(' '), 1).toLongLong();
            if (action == QStringLiteral("on")) {
                world.model->setMouseAdjustmentEnabled(true);
            } else if (action.startsWith(QStringLiteral("speed"))) {
                world.model->setCursorSpeedLevel(level);
            } else {
                world.model->setCursorAccelerationLevel(level);
            }
            world.scheduler.runPending();
        }
        world.endRunsNewestFirst();
        QTEST((QList<qint64> {
                  world.model->cursorSpeedLevel(), world.model->cursorAccelerationLevel()}),
            "levels");
        QTEST(world.device, "device");
    }

    void readsValuesBack_data()
    {
        QTest::addColumn<SystemCommandResult>("mouse");
        QTest::addColumn<QList<qint64>>("levels");
        QTest::addColumn<QString>("status");
        QTest::newRow("registry id lines skipped")
            << SystemCommandResult::success(
                   QStringLiteral("RegistryID 4294969 12\n\tHIDMouseAcceleration 27033\n"))
            << QList<qint64> {7, 3} << QStringLiteral("選択中: ") + ProName;
        QTest::newRow("signed last word")
            << SystemCommandResult::success(QStringLiteral("value: -45055")) << QList<qint64> {7, 5}
            << QStringLiteral("選択中: ") + ProName;
        QTest::newRow("no whole number")
            << SystemCommandResult::success(QStringLiteral("HIDMouseAcceleration 1.5\n(null)\n"))
            << QList<qint64> {5, 5}
            << QStringLiteral("現在の設定を取得できませんでした: HIDMouseAcceleration "
                              "の取得結果を解釈できません");
        QTest::newRow("tool failure")
            << SystemCommandResult::failure(SystemCommandError::nonZeroExit(
                   QStringLiteral("no device\n"), QStringLiteral("no device\n")))
            << QList<qint64> {5, 5}
            << QStringLiteral("現在の設定を取得できませんでした: no device\n");
    }

    void readsValuesBack()
    {
        QFETCH(SystemCommandResult, mouse);
        QFETCH(QList<qint64>, levels);
        QFETCH(QString, status);
        MouseWorld world;
        world.scriptPro(0, 11 * 4096);
        world.script(get(ProMatch, QStringLiteral("HIDMouseAcceleration")), mouse);
        world.start();
        world.model->scheduleRefreshDevices();
        world.scheduler.runPending();
        world.model->setSelectedDeviceID(std::nullopt);
        world.model->setSelectedDeviceID(Pro);
        world.scheduler.runPending();
        QCOMPARE((QList<qint64> {
                     world.model->cursorSpeedLevel(), world.model->cursorAccelerationLevel()}),
            levels);
        QCOMPARE(world.model->statusMessage(), status);
    }

    // On at start-up with inversion: the notes name what keeps the tap from being installed.
    void reportsTheScrollTap_data()
    {
        QTest::addColumn<bool>("accessibility");
        QTest::addColumn<bool>("inputMonitoring");
        QTest::addColumn<int>("failingLocations");
        QTest::addColumn<QString>("processes");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<std::optional<QString>>("status");

        const QString applied = QStringLiteral("設定を適用しました: ");
        QTest::newRow("installed at the device level")
            << true << true << 0 << QString() << QStringLiteral("active (reused)")
            << std::optional<QString>();
        QTest::newRow("installed at the session level")
            << true << true << 1 << QString() << QStringLiteral("active (reused)")
            << std::optional<QString>();
        QTest::newRow("no tap at all")
            << true << true << 2 << QString() << QStringLiteral("tap create failed")
            << std::optional<QString>(
                   applied + QStringLiteral("反転フォールバックを開始できませんでした"));
        QTest::newRow("both grants missing, and conflicting utilities")
            << false << false << 0
            << QStringLiteral("/sbin/init\n /opt/Logi/LogiPluginServi\n/usr/bin/imwheel\n")
            << QStringLiteral("permission missing")
            << std::optional<QString>(applied +
                   QStringLiteral("競合アプリが上書きする可能性があります: LogiPluginServi, "
                                  "imwheel / 反転フォールバックはアクセシビリティ権限が必要です / "
                                  "反転フォールバックは入力監視権限が必要です"));
        QTest::newRow("input monitoring missing")
            << true << false << 0 << QString() << QStringLiteral("permission missing")
            << std::optional<QString>(
                   applied + QStringLiteral("反転フォールバックは入力監視権限が必要です"));
    }

    void reportsTheScrollTap()
    {
        QFETCH(bool, accessibility);
        QFETCH(bool, inputMonitoring);
        QFETCH(int, failingLocations);
        QFETCH(QString, processes);
        QFETCH(QString, mode);
        QFETCH(std::optional<QString>, status);
        MouseWorld world;
        world.scriptPro(45055, 32765);
        world.script(Ps, SystemCommandResult::success(processes));
        world.script(
            set(ProMatch, R"({"HIDMouseAcceleration":45055,"HIDPointerAcceleration":32765})"),
            SystemCommandResult::success(QString()));
        world.tap.setAccess({accessibility, inputMonitoring});
        world.tap.setFailingLocations(QList<ScrollEventTap::Location> {
            ScrollEventTap::Location::Hid, ScrollEventTap::Location::Session}
                                          .mid(0, failingLocations));
        world.defaults.set(QStringLiteral("feature.mouse.mouseAdjustmentEnabled"), true);
        world.defaults.set(QStringLiteral("feature.mouse.scrollInverted"), true);
        world.defaults.set(QStringLiteral("feature.mouse.selectedDeviceID"), Pro);
        world.start();
        world.scheduler.runPending();
        QCOMPARE(world.model->softwareInversionModeDescription(), mode);
        QCOMPARE(world.model->statusMessage(), status);
        QVERIFY(world.tap.device() == ScrollEventTap::Device({1133, 49298, 20}));
        QCOMPARE(world.tap.accessRequests(), inputMonitoring ? 0 : 2);
        // The first application installs the tap, the second finds it.
        const QList<std::optional<ScrollEventTap::Location>> locations {
            ScrollEventTap::Location::Hid, ScrollEventTap::Location::Session, std::nullopt};
        QCOMPARE(world.tap.installedLocation(),
            accessibility && inputMonitoring ? locations[failingLocations] : std::nullopt);
    }

    void followsTheDevices()
    {
        MouseWorld world;
        world.scriptPro(45055, 32765);
        world.script(List,
            SystemCommandResult::success(deviceLine(49298, QStringLiteral("G Pro")) +
                QLatin1Char('\n') + deviceLine(50475, QStringLiteral("MX Anywhere"))));
        world.defaults.set(QStringLiteral("feature.mouse.mouseAdjustmentEnabled"), true);
        world.defaults.set(
            QStringLiteral("feature.mouse.selectedDeviceID"), QStringLiteral("1133:50475:20"));
        world.start();
        world.scheduler.runPending();
        QVERIFY(world.statuses.contains(
            QStringLiteral("選択中: MX Anywhere / Logitech (VID:0x46d, PID:0xc52b, USB)")));

        world.script(
            List, SystemCommandResult::success(deviceLine(49298, QStringLiteral("G Pro"))));
        world.scheduler.advance(2.4);
        QCOMPARE(world.model->selectedDeviceID(), QStringLiteral("1133:50475:20"));
        world.scheduler.advance(0.1);
        QCOMPARE(world.model->selectedDeviceID(), Pro);
        QVERIFY(world.statuses.contains(QStringLiteral("選択中: ") + ProName));

        world.script(List, SystemCommandResult::success(QString()));
        world.scheduler.advance(2.5);
        QCOMPARE(world.model->selectedDeviceID(), std::nullopt);
        QCOMPARE(world.model->statusMessage(), QStringLiteral("マウスが見つかりません"));
        QCOMPARE(world.defaults.contains(QStringLiteral("feature.mouse.selectedDeviceID")), false);

        world.script(List, SystemCommandResult::failure(SystemCommandError::nonZeroExit({}, {})));
        world.scheduler.advance(2.5);
        QCOMPARE(world.model->statusMessage(),
            QStringLiteral("マウス一覧を取得できませんでした: コマンドが失敗しました"));
    }

    // Utilities found in the process list (absent: it cannot be read), and what asking them to
    // quit leaves behind.
    void findsAndEndsConflictingUtilities_data()
    {
        QTest::addColumn<std::optional<QString>>("before");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QStringList>("found");
        QTest::addColumn<QString>("status");
        const QString ended =
            QStringLiteral("競合アプリを終了しました。反転設定を再適用してください");
        QTest::newRow("the Logitech service alone, its name cut to 15 characters")
            << std::optional(QStringLiteral("/sbin/init\nLogiPluginServi\n")) << QString()
            << QStringList {QStringLiteral("LogiPluginServi")} << ended;
        QTest::newRow("one utility named twice, and one that survives")
            << std::optional(QStringLiteral("SteerMouse\n/opt/SteerMouse\n  IMWHEEL \n"))
            << QStringLiteral("IMWHEEL\n")
            << QStringList {QStringLiteral("IMWHEEL"), QStringLiteral("SteerMouse")}
            << QStringLiteral("一部の競合アプリを終了できませんでした: IMWHEEL");
        QTest::newRow("cut names that begin no pattern, and the last path component only")
            << std::optional(QStringLiteral(
                   "LogiPluginXXXXX\nLogiPlugin\n/opt/SteerMouse/helper\n/usr/lib/imwheel/\n"))
            << QString() << QStringList {QStringLiteral("imwheel")} << ended;
        QTest::newRow("the process list cannot be read")
            << std::optional<QString>() << QString() << QStringList() << ended;
    }

    void findsAndEndsConflictingUtilities()
    {
        QFETCH(std::optional<QString>, before);
        QFETCH(QString, after);
        MouseWorld world;
        world.script(Ps,
            before ? SystemCommandResult::success(*before)
                   : SystemCommandResult::failure(SystemCommandError::nonZeroExit({}, {})));
        world.start();
        world.model->scheduleRefreshDevices();
        world.scheduler.runPending();
        QTEST(world.model->conflictingApplications(), "found");

        world.script(Ps, SystemCommandResult::success(after));
        const auto from = world.commands.calls().size();
        world.model->scheduleTerminateConflictingApplications();
        world.scheduler.runPending();
        QCOMPARE(world.ran().mid(from),
            (QStringList {QStringLiteral("/usr/bin/pkill -f SteerMouse"),
                QStringLiteral("/usr/bin/pkill -f LogiPluginService"),
                QStringLiteral("/usr/bin/pkill -f imwheel"), Ps}));
        QTEST(world.model->statusMessage().value_or(QString()), "status");
    }

    void resetsAndTerminates_data()
    {
        QTest::addColumn<bool>("baseline");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("with a baseline")
            << true
            << QStringList {RestoreTrue,
                   set(ProMatch, R"({"HIDMouseAcceleration":100,"HIDPointerAcceleration":200})"),
                   ResetScroll};
        QTest::newRow("without baselines") << false << QStringList {RestoreTrue, ResetScroll};
    }

    void resetsAndTerminates()
    {
        QFETCH(bool, baseline);
        QFETCH(QStringList, expected);
        MouseWorld world;
        world.script(
            List, SystemCommandResult::success(deviceLine(49298, QStringLiteral("G Pro"))));
        world.script(RestoreTrue, SystemCommandResult::success(QString()));
        if (baseline) {
            world.defaults.set(QStringLiteral("feature.mouse.baselineTuningByDevice"),
                QByteArray(R"({"1133:49298:20":{"mouse":100,"pointer":200}})"));
        }
        world.start();
        world.model->prepareForApplicationTermination();
        world.scheduler.runPending();
        QVERIFY(world.commands.calls().isEmpty());

        world.model->setWheelSpeedLevel(9);
        world.model->setScrollInverted(true);
        world.model->setMouseAdjustmentEnabled(true);
        world.scheduler.runPending();
        const auto before = world.commands.calls().size();
        world.model->resetAllSettings();
        world.scheduler.runPending();
        QCOMPARE(world.ran().mid(before, expected.size()), expected);
        QVERIFY(world.statuses.contains(QStringLiteral("マウス調整の設定をリセットしました")));
        QCOMPARE(
            (QList<qint64> {world.model->wheelSpeedLevel(), world.model->scrollInverted(),
                world.model->cursorSpeedLevel(), world.model->cursorAccelerationLevel(),
                world.model->scrollAccelerationEnabled(), world.model->mouseAdjustmentEnabled()}),
            (QList<qint64> {5, 0, 5, 5, 1, 0}));
        QVERIFY(!world.defaults.contains(
            QStringLiteral("feature.mouse.preAdjustmentSystemNaturalScrolling")));
    }
};

NORVALE_TEST_CLASS(MouseSettingsModelTest)
#include "tst_mousesettingsmodel.moc"
