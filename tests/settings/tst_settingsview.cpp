#include "SettingsWorld.h"
#include "common/TestMain.h"

#include <QScrollArea>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

namespace {

int indexOfTitle(const QTabWidget& tabs, const QString& title)
{
    for (int index = 0; index < tabs.count(); ++index) {
        if (tabs.tabText(index) == title) {
            return index;
        }
    }
    return -1;
}

} // namespace

class SettingsViewTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void opensOnStoredTab_data()
    {
        QTest::addColumn<QString>("stored"); // empty: no value stored
        QTest::addColumn<QString>("title");
        QTest::newRow("nothing stored") << QString() << QStringLiteral("一般");
        QTest::newRow("mouse") << QStringLiteral("mouse") << QStringLiteral("マウス");
        QTest::newRow("clipboard")
            << QStringLiteral("clipboardMonitoring") << QStringLiteral("クリップボード");
        QTest::newRow("no such tab") << QStringLiteral("Mouse") << QStringLiteral("一般");
    }

    void opensOnStoredTab()
    {
        QFETCH(QString, stored);
        QFETCH(QString, title);
        SettingsWorld world;
        if (!stored.isEmpty()) {
            world.defaults.set(QStringLiteral("settings.selectedTab"), stored);
        }
        const QTabWidget& tabs = *world.start().tabWidget();
        QCOMPARE(tabs.tabText(tabs.currentIndex()), title);
    }

    void tabsInOrderRememberTheirSelection_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("raw");
        QTest::newRow("一般") << 0 << QStringLiteral("一般") << QStringLiteral("general");
        QTest::newRow("クリップボード")
            << 1 << QStringLiteral("クリップボード") << QStringLiteral("clipboardMonitoring");
        QTest::newRow("定型文") << 2 << QStringLiteral("定型文") << QStringLiteral("fixedPhrases");
        QTest::newRow("Dock") << 3 << QStringLiteral("Dock") << QStringLiteral("dock");
        QTest::newRow("ウィンドウ固定")
            << 4 << QStringLiteral("ウィンドウ固定") << QStringLiteral("windowPlacement");
        QTest::newRow("マウス") << 5 << QStringLiteral("マウス") << QStringLiteral("mouse");
        QTest::newRow("サウンド") << 6 << QStringLiteral("サウンド") << QStringLiteral("sound");
        QTest::newRow("更新") << 7 << QStringLiteral("更新") << QStringLiteral("softwareUpdate");
    }

    void tabsInOrderRememberTheirSelection()
    {
        QFETCH(int, index);
        QFETCH(QString, title);
        QFETCH(QString, raw);
        SettingsWorld world;
        world.defaults.set(QStringLiteral("settings.selectedTab"), QStringLiteral("sound"));
        QTabWidget& tabs = *world.start().tabWidget();
        QCOMPARE(tabs.count(), 8);
        QCOMPARE(tabs.tabText(index), title);
        QVERIFY(!tabs.tabIcon(index).isNull());
        // Each page scrolls vertically only.
        auto* scroll = qobject_cast<QScrollArea*>(tabs.widget(index));
        QVERIFY(scroll != nullptr && scroll->widgetResizable());
        QCOMPARE(scroll->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        // Only the selected tab's page is built before its tab is chosen.
        QCOMPARE(scroll->widget() != nullptr, index == tabs.currentIndex());

        tabs.show();
        QTest::mouseClick(tabs.tabBar(), Qt::LeftButton, {},
            tabs.tabBar()->tabRect(indexOfTitle(tabs, title)).center());
        QCOMPARE(world.defaults.stringValue(QStringLiteral("settings.selectedTab")), raw);
        world.view.reset();
        QCOMPARE(world.start().tabWidget()->currentIndex(), index);
    }

    void windowPlacementRefreshedWhenItsTabIsSelected()
    {
        SettingsWorld world;
        SettingsView& view = world.start();
        QSignalSpy refreshes(
            world.windowPlacement.get(), &WindowPlacementModel::availableWindowsChanged);
        for (const QString& title :
            {QStringLiteral("定型文"), QStringLiteral("ウィンドウ固定"), QStringLiteral("マウス"),
                QStringLiteral("ウィンドウ固定"), QStringLiteral("更新")}) {
            view.tabWidget()->setCurrentIndex(indexOfTitle(*view.tabWidget(), title));
        }
        QCOMPARE(refreshes.count(), 2);
    }

    void showingRefreshesOutsideState()
    {
        SettingsWorld world;
        world.sound.setRefusesListeners(true); // plugging below goes unannounced
        SettingsView& view = world.start();
        world.loginItem.setStatus(LoginItemStatus::Enabled);
        world.sound.plug(SimSoundSystem::output(QStringLiteral("usb"), QStringLiteral("USB DAC")));
        QSignalSpy placementRefreshes(
            world.windowPlacement.get(), &WindowPlacementModel::availableWindowsChanged);
        world.defaults.setForeignValue(
            QStringLiteral("com.apple.spaces"), QStringLiteral("spans-displays"), true);
        QVERIFY(!world.appSettings->launchAtLoginEnabled());
        view.show();
        QVERIFY(world.appSettings->launchAtLoginEnabled());
        QVERIFY(world.dockMovementPrevention->legacySpacesModeEnabled());
        QCOMPARE(placementRefreshes.count(), 1);
        QCOMPARE(world.soundPriority->devices().size(), 1);
        world.scheduler.runPending(); // the mouse list is read by a job of its own
        const auto calls = world.commands.calls();
        QVERIFY(!calls.isEmpty() && calls.last().arguments.value(0) == QStringLiteral("list"));
    }

    void textFollowsTheScale_data()
    {
        QTest::addColumn<double>("scale");
        QTest::addColumn<double>("pixels");
        QTest::newRow("1.0") << 1.0 << 13.0;
        QTest::newRow("1.5") << 1.5 << 19.5;
        QTest::newRow("0.8") << 0.8 << 10.4;
    }

    void textFollowsTheScale()
    {
        QFETCH(double, scale);
        QFETCH(double, pixels);
        SettingsWorld world;
        world.defaults.set(QStringLiteral("settings.uiScale"), 1.25);
        SettingsView& view = world.start();
        QWidget* page = view.tabWidget()->widget(0);
        // Device-independent pixels, the unit of the window's 720 × 660.
        const auto size = [page] {
            return page->font().pointSizeF() * page->logicalDpiY() / 72;
        };
        QCOMPARE(size(), 16.25);
        world.appSettings->setSettingsUIScale(scale);
        QCOMPARE(size(), pixels);
    }
};

NORVALE_TEST_CLASS(SettingsViewTest)
#include "tst_settingsview.moc"
