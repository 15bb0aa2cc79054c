#include "common/TestMain.h"
#include "placement/WindowPlacementModel.h"
#include "platform/sim/ManualScheduler.h"
#include "platform/sim/MemoryDefaultsStore.h"
#include "platform/sim/SimDisplays.h"
#include "platform/sim/SimSessionEvents.h"
#include "platform/sim/SimWindowAccess.h"
#include "support/Uuid.h"

#include <QSignalSpy>
#include <QTest>

namespace {

const QString Edit = QStringLiteral("org.example.Edit");
const QRectF Target(100, 100, 400, 300);
const QRectF Away(900, 600, 200, 150);
const QList<DisplayInfo> OneDisplay {
    SimDisplays::display(QStringLiteral("A"), {0, 0, 1920, 1080}, true)};
const QList<DisplayInfo> TwoDisplays {
    OneDisplay.first(), SimDisplays::display(QStringLiteral("B"), {1920, 0, 1280, 1024})};

// The simulated desktop and a model over it, on mock time; the model starts on start().
struct World
{
    MemoryDefaultsStore defaults;
    ManualScheduler scheduler;
    SimDisplays displays;
    SimWindowAccess windows;
    SimSessionEvents session;
    std::unique_ptr<WindowPlacementModel> model;
    QStringList statuses;

    World(bool enabled, bool frequent)
    {
        defaults.set(QStringLiteral("feature.windowPlacement.enabled"), enabled);
        defaults.set(
            QStringLiteral("feature.windowPlacement.frequentStartupReapply.enabled"), frequent);
        displays.setDisplays(OneDisplay);
    }
    // Rules of the Edit application for these titles under the displays' configuration.
    void addRules(const QStringList& titles, const QList<DisplayInfo>& under = OneDisplay)
    {
        WindowPlacementRuleStore store(defaults);
        QList<WindowPlacementRule> rules = store.load().rules;
        for (const QString& title : titles) {
            rules.append({Uuid::create(), monitorConfiguration(monitorDescriptors(under)).signature,
                {}, Edit, QStringLiteral("Edit"), title, {100, 100, 400, 300},
                double(rules.size())});
        }
        store.save(rules);
    }
    void runEdit() { windows.setApplications({{Edit, true, 10, QStringLiteral("Edit"), false}}); }
    void openWindow(quint64 id, const QString& title)
    {
        SimWindowAccess::Window window;
        window.element = {id};
        window.processIdentifier = 10;
        window.title = title;
        window.frame = Away;
        windows.addWindow(window);
    }
    bool isPlaced(quint64 id) const { return windows.window({id})->frame == Target; }
    void moveAway(quint64 id) { windows.setPosition({id}, Away.topLeft()); }
    void start()
    {
        model = std::make_unique<WindowPlacementModel>(
            WindowPlacementModel::Services {defaults, scheduler, displays, windows, session},
            QStringLiteral("app.norvale.Norvale"));
        QObject::connect(model.get(), &WindowPlacementModel::statusMessageChanged, model.get(),
            [this] { statuses.append(model->statusMessage().value_or(QString())); });
    }
    int count(const QString& status) const { return int(statuses.count(status)); }
};

} // namespace

class PlacementModelTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void frequentStartupPutsWindowsBackEverySecondForTenRounds()
    {
        World world(true, true);
        world.addRules({QStringLiteral("Doc")});
        world.runEdit();
        world.openWindow(1, QStringLiteral("Doc"));
        world.start();
        for (int second = 0; second < 12; ++second) {
            world.scheduler.advance(second == 0 ? 0 : 1);
            QCOMPARE(world.isPlaced(1), second < 10);
            world.moveAway(1);
        }
        QCOMPARE(world.count(QStringLiteral("起動時に1件のウィンドウ位置を適用しました")), 10);
    }

    void singleSuccessStartup_data()
    {
        QTest::addColumn<double>("windowOpensAt");
        QTest::addColumn<bool>("placed");

        // Attempts at 0, 0.45, ..., 3.15 s, then silence.
        QTest::newRow("first attempt") << 0.0 << true;
        QTest::newRow("eighth attempt") << 3.1 << true;
        QTest::newRow("after the eighth") << 3.2 << false;
    }

    void singleSuccessStartup()
    {
        QFETCH(double, windowOpensAt);
        QFETCH(bool, placed);

        World world(true, false);
        world.addRules({QStringLiteral("Doc")});
        world.runEdit();
        world.start();
        world.scheduler.advance(windowOpensAt);
        world.openWindow(1, QStringLiteral("Doc"));
        world.scheduler.advance(10);
        QCOMPARE(world.isPlaced(1), placed);
        QCOMPARE(world.count(QStringLiteral("起動時に1件のウィンドウ位置を適用しました")),
            placed ? 1 : 0);
        QCOMPARE(world.scheduler.pendingCount(), 0);
    }

    void launchRetriesUntilEveryRuleIsPlaced()
    {
        World world(true, false);
        world.addRules({QStringLiteral("A"), QStringLiteral("B")});
        world.start();
        world.scheduler.advance(5); // the start-up attempts found nothing

        world.windows.launch({QStringLiteral("org.example.Other"), true, 20, {}, false});
        QCOMPARE(world.scheduler.pendingCount(), 0); // no rules, no task

        world.openWindow(1, QStringLiteral("A"));
        world.windows.launch({Edit, true, 10, QStringLiteral("Edit"), false});
        world.scheduler.advance(1.0);
        QVERIFY(world.isPlaced(1));
        world.openWindow(2, QStringLiteral("B"));
        world.scheduler.advance(5);
        QVERIFY(world.isPlaced(2));
        QCOMPARE(world.statuses.filter(QStringLiteral("起動アプリに")),
            QStringList {QStringLiteral("起動アプリに2件のウィンドウ位置を適用しました")});
    }

    void displayChangesSettleOneSecondAfterTheLast()
    {
        World world(true, false);
        world.addRules({QStringLiteral("Doc")}, TwoDisplays);
        world.runEdit();
        world.openWindow(1, QStringLiteral("Doc"));
        world.start();
        world.scheduler.advance(40);

        // Same signature (another id): only the list is refreshed.
        world.displays.setDisplays(
            {SimDisplays::display(QStringLiteral("X"), {0, 0, 1920, 1080}, true)});
        QVERIFY(!world.model->isScreenConfigurationChanging());

        world.displays.setDisplays(TwoDisplays);
        world.scheduler.advance(0.5);
        world.displays.setDisplays({TwoDisplays.first(), TwoDisplays.last(),
            SimDisplays::display(QStringLiteral("C"), {3200, 0, 800, 600})});
        world.displays.setDisplays(TwoDisplays);
        world.scheduler.advance(0.99);
        world.model->applyNow();
        QCOMPARE(world.model->statusMessage(),
            QStringLiteral("モニタ構成の変更が完了するまでお待ちください"));
        world.windows.launch({Edit, true, 10, QStringLiteral("Edit"), false}); // waits
        QVERIFY(!world.isPlaced(1));
        world.scheduler.advance(0.01);
        QVERIFY(world.isPlaced(1));
        // The settle's own pass, then the launch that waited for it.
        QCOMPARE(world.statuses.mid(1),
            QStringList({QStringLiteral("この構成の登録数: 1"),
                QStringLiteral("モニタ構成変更後に1件のウィンドウ位置を適用しました"),
                QStringLiteral("起動アプリに1件のウィンドウ位置を適用しました")}));
    }

    void displayChangeRerunsStartupOnlyEarly_data()
    {
        QTest::addColumn<double>("changeAt");
        QTest::addColumn<int>("startupMessages");

        QTest::newRow("20 s after start") << 20.0 << 10;
        QTest::newRow("40 s after start") << 40.0 << 0;
    }

    void displayChangeRerunsStartupOnlyEarly()
    {
        QFETCH(double, changeAt);
        QFETCH(int, startupMessages);

        World world(true, true);
        world.addRules({QStringLiteral("Doc")}, TwoDisplays);
        world.runEdit();
        world.openWindow(1, QStringLiteral("Doc"));
        world.start();
        world.scheduler.advance(changeAt);
        world.displays.setDisplays(TwoDisplays);
        world.scheduler.advance(30);
        QCOMPARE(world.count(QStringLiteral("起動時に1件のウィンドウ位置を適用しました")),
            startupMessages);
    }

    void switchingOffCancelsEveryTask()
    {
        World world(true, true);
        world.addRules({QStringLiteral("Doc")});
        world.runEdit();
        world.openWindow(1, QStringLiteral("Doc"));
        world.start();
        world.scheduler.advance(2.5);
        world.model->setWindowPlacementEnabled(false);
        QCOMPARE(world.scheduler.pendingCount(), 0);
        QCOMPARE(world.model->statusMessage(), QStringLiteral("ウィンドウ固定: オフ"));
        world.model->setWindowPlacementEnabled(true);
        world.model->setReapplyOnWakeEnabled(true);
        world.scheduler.advance(20);
        world.moveAway(1);
        world.session.resume();
        world.scheduler.advance(0.69);
        QVERIFY(!world.isPlaced(1));
        world.scheduler.advance(0.01);
        QVERIFY(world.isPlaced(1));
        QCOMPARE(world.model->statusMessage(),
            QStringLiteral("復帰時に1件のウィンドウ位置を適用しました"));
    }

    void applyNow_data()
    {
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("trusted");
        QTest::addColumn<QStringList>("rules");
        QTest::addColumn<QString>("status");
        QTest::addColumn<int>("prompts");

        const QStringList one {QStringLiteral("Old title")};
        QTest::newRow("off, even without permission")
            << false << false << one << QStringLiteral("ウィンドウ固定: オフ") << 0;
        QTest::newRow("without permission")
            << true << false << one
            << QStringLiteral("アクセシビリティ権限を許可してから適用してください") << 1;
        QTest::newRow("one rule: the window whatever its title")
            << true << true << one << QStringLiteral("1件のウィンドウ位置を適用しました") << 0;
        QTest::newRow("two rules: titles must match")
            << true << true << QStringList {QStringLiteral("Old"), QStringLiteral("Other")}
            << QStringLiteral("適用対象のウィンドウが見つかりませんでした") << 0;
    }

    void applyNow()
    {
        QFETCH(bool, enabled);
        QFETCH(bool, trusted);
        QFETCH(QStringList, rules);
        QFETCH(QString, status);
        QFETCH(int, prompts);

        World world(enabled, false);
        world.addRules(rules);
        world.runEdit();
        world.windows.setTrusted(trusted);
        world.start();
        world.scheduler.advance(10);
        world.openWindow(1, QStringLiteral("New title"));
        world.model->applyNow();
        QCOMPARE(world.model->statusMessage(), status);
        QCOMPARE(world.windows.promptCount(), prompts);
    }

    void registrationAndRemoval()
    {
        World world(true, false);
        world.runEdit();
        world.openWindow(1, QStringLiteral("Doc"));
        world.start();
        world.model->registerSelectedWindow();
        QCOMPARE(
            world.model->statusMessage(), QStringLiteral("登録するウィンドウを選択してください"));
        world.model->setSelectedAvailableWindowID(QStringLiteral("10-1"));
        world.model->registerSelectedWindow();
        QCOMPARE(world.model->statusMessage(), QStringLiteral("登録しました: Edit / Doc"));
        const WindowPlacementRule rule = world.model->rulesForCurrentMonitor().value(0);
        QCOMPARE(rule.targetFrame, (WindowRect {900, 600, 200, 150}));
        QCOMPARE(WindowPlacementRuleStore(world.defaults).load().rules, world.model->rules());

        world.windows.removeWindow({1});
        world.model->refreshAvailableWindows();
        QCOMPARE(world.model->selectedAvailableWindowID(), std::nullopt);
        world.model->removeRule(rule.id);
        QCOMPARE(world.model->statusMessage(), QStringLiteral("登録を削除しました"));
        QVERIFY(WindowPlacementRuleStore(world.defaults).load().rules.isEmpty());
    }
};

NORVALE_TEST_CLASS(PlacementModelTest)
#include "tst_placementmodel.moc"
