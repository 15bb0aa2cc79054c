#include "SettingsWorld.h"
#include "common/TestMain.h"
#include "settings/MouseSettingsTab.h"
#include "settings/SettingsRows.h"
#include "settings/WindowPlacementSettingsTab.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QSlider>
#include <QTest>

Q_DECLARE_METATYPE(std::optional<QString>)
Q_DECLARE_METATYPE(SettingsTab)

namespace {

template<typename T = QWidget>
T* named(const QWidget& root, const QString& name)
{
    T* found = root.findChild<T*>(name);
    if (found == nullptr) {
        qFatal("no %s", qPrintable(name));
    }
    return found;
}

QStringList entries(const QComboBox& picker)
{
    QStringList texts;
    for (int index = 0; index < picker.count(); ++index) {
        texts.append(picker.itemText(index));
    }
    return texts;
}

// The page of a tab, shown, as the user sees it after picking the tab.
QWidget& page(SettingsWorld& world, SettingsTab tab)
{
    SettingsView& view = world.view ? *world.view : world.start();
    view.setSelectedTab(tab);
    view.show();
    return *view.tabWidget()->currentWidget();
}

void click(QAbstractButton* button)
{
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(4, button->height() / 2));
}

} // namespace

class FeatureTabsTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void ruleRowText_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QRectF>("frame");
        QTest::addColumn<QString>("text");
        QTest::newRow("halves away from zero")
            << QStringLiteral("Notes") << QRectF(100.5, 20.4, 800, 600)
            << QStringLiteral("Edit / Notes / 800x600 @ (101, 20)");
        QTest::newRow("untitled") << QString() << QRectF(0, 0, 640, 480)
                                  << QStringLiteral("Edit / (無題) / 640x480 @ (0, 0)");
        QTest::newRow("left of the primary")
            << QStringLiteral("A") << QRectF(-1920.5, -0.4, 1280.5, 719.5)
            << QStringLiteral("Edit / A / 1281x720 @ (-1921, 0)");
        QTest::newRow("negative extents") << QStringLiteral("A") << QRectF(10, 10, -300.2, -200.6)
                                          << QStringLiteral("Edit / A / 300x201 @ (10, 10)");
    }

    void ruleRowText()
    {
        QFETCH(QString, title);
        QFETCH(QRectF, frame);
        WindowPlacementRule rule;
        rule.appName = QStringLiteral("Edit");
        rule.windowTitle = title;
        rule.targetFrame = {frame.x(), frame.y(), frame.width(), frame.height()};
        QTEST(WindowPlacementSettingsTab::ruleText(rule), "text");
    }

    void registerAndRemoveWindowByClicking()
    {
        SettingsWorld world;
        world.defaults.set(QStringLiteral("feature.windowPlacement.enabled"), true);
        world.windows.setApplications(
            {{QStringLiteral("org.example.Edit"), true, 10, QStringLiteral("Edit"), false}});
        SimWindowAccess::Window window;
        window.element = {7};
        window.processIdentifier = 10;
        window.title = QStringLiteral("Notes");
        window.frame = QRectF(100.5, 20.4, 800, 600);
        window.isOnScreen = true;
        window.alpha = 1;
        world.windows.addWindow(window);
        QWidget& tab = page(world, SettingsTab::WindowPlacement);
        auto* registerButton = named<QAbstractButton>(tab, "registerSelectedWindowButton");
        auto* empty = named(tab, "noRulesText");
        QVERIFY(empty->isVisible());
        QVERIFY(!registerButton->isEnabled());

        click(named<QAbstractButton>(tab, "refreshAvailableWindowsButton"));
        auto* windows = named<QListWidget>(tab, "availableWindowsList");
        QCOMPARE(windows->count(), 1);
        QCOMPARE(windows->item(0)->text(), QStringLiteral("Edit / Notes / 800x600 @ (101, 20)"));
        QTest::mouseClick(windows->viewport(), Qt::LeftButton, {},
            windows->visualItemRect(windows->item(0)).center());
        QCOMPARE(world.windowPlacement->selectedAvailableWindowID(), QStringLiteral("10-7"));
        QVERIFY(registerButton->isEnabled());
        click(registerButton);
        QCOMPARE(world.windowPlacement->rulesForCurrentMonitor().size(), 1);
        QVERIFY(!empty->isVisible());
        const auto rows = tab.findChildren<ElidedLabel*>();
        QCOMPARE(rows.size(), 1);
        QVERIFY(rows.first()->isVisible());
        QCOMPARE(rows.first()->text(), QStringLiteral("Edit / Notes / 800x600 @ (101, 20)"));

        click(named<QAbstractButton>(tab, "removeRuleButton"));
        QVERIFY(world.windowPlacement->rulesForCurrentMonitor().isEmpty());
        QVERIFY(empty->isVisible());
    }

    void placementSwitchGreysOutTheTriggers()
    {
        SettingsWorld world;
        world.defaults.set(QStringLiteral("feature.windowPlacement.enabled"), true);
        world.defaults.set(QStringLiteral("feature.windowPlacement.reapplyOnWake.enabled"), true);
        QWidget& tab = page(world, SettingsTab::WindowPlacement);
        auto* wake = named<QAbstractButton>(tab, "reapplyOnWakeToggle");
        auto* frequent = named<QAbstractButton>(tab, "frequentStartupReapplyToggle");
        QVERIFY(wake->isEnabled() && frequent->isEnabled());
        click(named<QAbstractButton>(tab, "windowPlacementEnabledToggle"));
        QVERIFY(!world.windowPlacement->windowPlacementEnabled());
        QVERIFY(!wake->isEnabled() && !frequent->isEnabled());
        QVERIFY(wake->isChecked());
        QCOMPARE(frequent->isChecked(), world.windowPlacement->frequentStartupReapplyEnabled());
    }

    void dockConditionalRows_data()
    {
        QTest::addColumn<bool>("legacySet");
        QTest::addColumn<int>("restoreExit"); // -1: the button is not pressed
        QTest::addColumn<bool>("restoreShown");
        QTest::addColumn<QString>("status");
        QTest::addColumn<bool>("logoutNoteShown");
        QTest::newRow("nothing left")
            << false << -1 << false << QStringLiteral("Dock移動抑止: オフ") << false;
        QTest::newRow("legacy setting left")
            << true << -1 << true << QStringLiteral("旧方式の設定が残っています") << false;
        QTest::newRow("set back") << true << 0 << false
                                  << QStringLiteral(
                                         "ログアウト後にフルスクリーン時の表示設定が戻ります")
                                  << true;
        QTest::newRow("tool refused")
            << true << 1 << true << QStringLiteral("表示設定を戻せませんでした: denied") << false;
    }

    void dockConditionalRows()
    {
        QFETCH(bool, legacySet);
        QFETCH(int, restoreExit);
        SettingsWorld world;
        world.defaults.setForeignValue(
            QStringLiteral("com.apple.spaces"), QStringLiteral("spans-displays"), legacySet);
        const QStringList restore {QStringLiteral("write"), QStringLiteral("com.apple.spaces"),
            QStringLiteral("spans-displays"), QStringLiteral("-bool"), QStringLiteral("false")};
        world.commands.script(QStringLiteral("/usr/bin/defaults"), restore,
            restoreExit == 0 ? SystemCommandResult::success(QString())
                             : SystemCommandResult::failure(SystemCommandError::nonZeroExit(
                                   QString(), QStringLiteral("denied"))));
        QWidget& tab = page(world, SettingsTab::Dock);
        auto* button = named<QAbstractButton>(tab, "restoreSeparateDisplaySpacesButton");
        if (restoreExit >= 0) {
            click(button);
        }
        QTEST(button->isVisible(), "restoreShown");
        QTEST(named<QLabel>(tab, "dockStatusText")->text(), "status");
        QTEST(named(tab, "dockLogoutNote")->isVisible(), "logoutNoteShown");
    }

    void dockSwitchGoesThroughTheModel()
    {
        SettingsWorld world;
        QWidget& tab = page(world, SettingsTab::Dock);
        click(named<QAbstractButton>(tab, "dockMovementPreventionToggle"));
        QVERIFY(world.dockMovementPrevention->dockMovementPreventionEnabled());
        QCOMPARE(
            named<QLabel>(tab, "dockStatusText")->text(), QStringLiteral("Dock移動抑止: オン"));
    }

    void soundPickerEntries_data()
    {
        QTest::addColumn<QStringList>("unplugged");
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("both connected")
            << QStringList() << QStringList {"未設定", "Headphones", "Speakers"};
        QTest::newRow("headphones unplugged")
            << QStringList {"sim-headphones"}
            << QStringList {"未設定", "Speakers", "Headphones（未接続）"};
        QTest::newRow("nothing connected")
            << QStringList {"sim-headphones", "sim-speakers"}
            << QStringList {"未設定", "Headphones（未接続）", "Speakers（未接続）"};
    }

    void soundPickerEntries()
    {
        QFETCH(QStringList, unplugged);
        QFETCH(QStringList, entries);
        SettingsWorld world;
        world.sound.plug(
            SimSoundSystem::output(QStringLiteral("sim-speakers"), QStringLiteral("Speakers")));
        world.sound.plug(
            SimSoundSystem::output(QStringLiteral("sim-headphones"), QStringLiteral("Headphones")));
        QWidget& tab = page(world, SettingsTab::Sound);
        for (const QString& id : unplugged) {
            world.sound.unplug(id);
        }
        world.soundPriority->refreshDevices();
        for (int slot = 1; slot <= 5; ++slot) {
            QCOMPARE(
                ::entries(*named<QComboBox>(tab, "soundPriorityPicker" + QString::number(slot))),
                entries);
        }
    }

    void soundPickerChoosesThroughTheModel()
    {
        SettingsWorld world;
        world.sound.plug(
            SimSoundSystem::output(QStringLiteral("sim-speakers"), QStringLiteral("Speakers")));
        QWidget& tab = page(world, SettingsTab::Sound);
        auto* first = named<QComboBox>(tab, "soundPriorityPicker1");
        auto* second = named<QComboBox>(tab, "soundPriorityPicker2");
        QTest::keyClick(first, Qt::Key_Down);
        QCOMPARE(world.soundPriority->priorityDeviceIDs().value(1), QStringLiteral("sim-speakers"));
        // The same device chosen for slot 2 leaves slot 1.
        QTest::keyClick(second, Qt::Key_Down);
        QCOMPARE(first->currentText(), QStringLiteral("未設定"));
        QCOMPARE(second->currentText(), QStringLiteral("Speakers"));
        QVERIFY(!world.soundPriority->priorityDeviceIDs().value(1));
        QVERIFY(named(tab, "soundPriorityOffNotice")->isVisible());
        click(named<QAbstractButton>(tab, "soundPriorityToggle"));
        QVERIFY(world.soundPriority->soundPriorityEnabled());
        QVERIFY(!named(tab, "soundPriorityOffNotice")->isVisible());
    }

    void mouseStatusLineHidesTheSelection_data()
    {
        QTest::addColumn<std::optional<QString>>("message");
        QTest::addColumn<std::optional<QString>>("shown");
        const auto text = [](const char* utf8) {
            return std::optional<QString>(QString::fromUtf8(utf8));
        };
        QTest::newRow("selection") << text("選択中: G Pro") << std::optional<QString>();
        QTest::newRow("selection, wide colon") << text("選択中：G Pro") << std::optional<QString>();
        QTest::newRow("selection in the middle") << text("設定を適用しました: 選択中: G Pro")
                                                 << text("設定を適用しました: 選択中: G Pro");
        QTest::newRow("off") << text("マウス調整: オフ") << text("マウス調整: オフ");
        QTest::newRow("none") << std::optional<QString>() << std::optional<QString>();
    }

    void mouseStatusLineHidesTheSelection()
    {
        QFETCH(std::optional<QString>, message);
        QTEST(MouseSettingsTab::shownStatus(message), "shown");
    }

    void mouseControlsWriteTheModel_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<int>("key"); // 0: a click
        QTest::addColumn<QByteArray>("property");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("valueText");
        QTest::newRow("wheel up") << "wheelSpeedSlider" << int(Qt::Key_Right)
                                  << QByteArray("wheelSpeedLevel") << QVariant(6)
                                  << QStringLiteral("6行分");
        QTest::newRow("wheel at the top")
            << "wheelSpeedSlider" << int(Qt::Key_End) << QByteArray("wheelSpeedLevel")
            << QVariant(20) << QStringLiteral("20行分");
        QTest::newRow("cursor speed at the bottom")
            << "cursorSpeedSlider" << int(Qt::Key_Home) << QByteArray("cursorSpeedLevel")
            << QVariant(1) << QStringLiteral("1");
        QTest::newRow("acceleration to zero")
            << "cursorAccelerationSlider" << int(Qt::Key_Home)
            << QByteArray("cursorAccelerationLevel") << QVariant(0) << QStringLiteral("0");
        QTest::newRow("inversion") << "scrollInvertedToggle" << 0 << QByteArray("scrollInverted")
                                   << QVariant(true) << QString();
        QTest::newRow("wheel acceleration")
            << "scrollAccelerationToggle" << 0 << QByteArray("scrollAccelerationEnabled")
            << QVariant(false) << QString();
    }

    void mouseControlsWriteTheModel()
    {
        QFETCH(QString, control);
        QFETCH(int, key);
        QFETCH(QByteArray, property);
        QFETCH(QVariant, value);
        QFETCH(QString, valueText);
        SettingsWorld world;
        QWidget& tab = page(world, SettingsTab::Mouse);
        if (key == 0) {
            click(named<QAbstractButton>(tab, control));
        } else {
            auto* row = named<LevelSliderRow>(tab, control);
            QTest::keyClick(row->slider(), Qt::Key(key));
            QCOMPARE(row->valueText(), valueText);
        }
        QCOMPARE(world.mouseSettings->property(property), value);
    }

    void mouseTabFollowsTheModel()
    {
        SettingsWorld world;
        const QString match = R"({"VendorID":1133,"ProductID":49298,"LocationID":20})";
        const auto script = [&world](const QStringList& arguments, const QString& output) {
            world.commands.script(QStringLiteral("/usr/bin/hidutil"), arguments,
                SystemCommandResult::success(output));
        };
        script({"list", "--matching", "mouse", "--ndjson"},
            R"({"PrimaryUsagePage":1,"PrimaryUsage":2,"VendorID":1133,"ProductID":49298,"LocationID":20,"Product":"G Pro","Manufacturer":"Logitech","Transport":"USB"})");
        script({"property", "--matching", match, "--get", "HIDMouseAcceleration"}, "45055\n");
        script({"property", "--matching", match, "--get", "HIDPointerAcceleration"}, "45871\n");
        QWidget& tab = page(world, SettingsTab::Mouse);
        auto* status = named<QLabel>(tab, "mouseStatusText");
        QCOMPARE(status->text(), QStringLiteral("マウス調整: オフ"));
        QVERIFY(named(tab, "mouseAdjustmentOffNotice")->isVisible());
        world.scheduler.runPending(); // the device refresh asked for when the window showed
        QCOMPARE(world.mouseSettings->statusMessage().value_or(QString()),
            QStringLiteral("選択中: G Pro / Logitech (VID:0x46d, PID:0xc092, USB)"));
        QVERIFY(!status->isVisible());
        QCOMPARE(named<LevelSliderRow>(tab, "cursorSpeedSlider")->valueText(), QStringLiteral("7"));
        auto* picker = named<QComboBox>(tab, "mouseDevicePicker");
        QCOMPARE(picker->itemText(0), QStringLiteral("未選択"));
        QCOMPARE(picker->currentIndex(), 1);
        QTest::keyClick(picker, Qt::Key_Up);
        QVERIFY(!world.mouseSettings->selectedDeviceID());
    }

    void everyControlTakesTheTabKey_data()
    {
        QTest::addColumn<SettingsTab>("tab");
        QTest::addColumn<QStringList>("order"); // object names, else accessible names
        QTest::newRow("Dock") << SettingsTab::Dock
                              << QStringList {"dockMovementPreventionToggle",
                                     "restoreSeparateDisplaySpacesButton"};
        QTest::newRow("ウィンドウ固定")
            << SettingsTab::WindowPlacement
            << QStringList {"windowPlacementEnabledToggle", "shortcutRecorderBox",
                   "shortcutRecorderClear", "refreshAvailableWindowsButton", "availableWindowsList",
                   "applyNowButton", "refreshRulesButton", "removeRuleButton"};
        QTest::newRow("マウス") << SettingsTab::Mouse
                                << QStringList {"mouseAdjustmentToggle", "mouseDevicePicker",
                                       "refreshMouseDevicesButton", "1ノッチあたりの行数",
                                       "scrollInvertedToggle", "scrollAccelerationToggle",
                                       "移動速度", "加速度", "resetMouseSettingsButton"};
        QTest::newRow("サウンド") << SettingsTab::Sound
                                  << QStringList {"soundPriorityToggle", "soundPriorityPicker1",
                                         "soundPriorityPicker2", "soundPriorityPicker3",
                                         "soundPriorityPicker4", "soundPriorityPicker5",
                                         "clearUnknownDevicesButton", "resetSoundSettingsButton"};
    }

    void everyControlTakesTheTabKey()
    {
        QFETCH(SettingsTab, tab);
        SettingsWorld world;
        world.defaults.setForeignValue(
            QStringLiteral("com.apple.spaces"), QStringLiteral("spans-displays"), true);
        WindowPlacementRule rule;
        rule.id = QUuid::createUuid();
        rule.monitorSignature =
            monitorConfiguration(monitorDescriptors(world.displays.displays())).signature;
        WindowPlacementRuleStore(world.defaults).save({rule});
        QWidget& shown = page(world, tab);
        QVERIFY(QTest::qWaitForWindowActive(world.view.get()));
        const auto name = [](const QWidget* widget) {
            const QWidget* control = widget;
            while (control->objectName().isEmpty() && control->accessibleName().isEmpty()) {
                control = control->parentWidget(); // a slider within its row
            }
            return control->objectName().isEmpty() ? control->accessibleName()
                                                   : control->objectName();
        };
        QStringList visited;
        QWidget* first = shown.nextInFocusChain();
        while (
            !(first->isVisible() && first->isEnabled() && (first->focusPolicy() & Qt::TabFocus)) ||
            !shown.isAncestorOf(first)) {
            first = first->nextInFocusChain();
        }
        first->setFocus(Qt::TabFocusReason);
        for (QWidget* focused = first; shown.isAncestorOf(focused) && visited.size() < 30;
             focused = QApplication::focusWidget()) {
            visited.append(name(focused));
            QTest::keyClick(focused, Qt::Key_Tab);
        }
        QTEST(visited, "order");
    }

    void titlesOfSliderRowsAlign_data()
    {
        QTest::addColumn<double>("scale");
        QTest::newRow("1.0") << 1.0;
        QTest::newRow("1.5") << 1.5;
    }

    void titlesOfSliderRowsAlign()
    {
        QFETCH(double, scale);
        SettingsWorld world;
        world.defaults.set(QStringLiteral("settings.uiScale"), scale);
        for (SettingsTab tab : {SettingsTab::General, SettingsTab::Mouse}) {
            QWidget& shown = page(world, tab);
            const auto sliders = shown.findChildren<QSlider*>();
            QVERIFY(sliders.size() >= 2);
            const int x = sliders.first()->mapTo(&shown, QPoint()).x();
            for (QSlider* slider : sliders) {
                QCOMPARE(slider->mapTo(&shown, QPoint()).x(), x);
            }
        }
    }
};

NORVALE_TEST_CLASS(FeatureTabsTest)
#include "tst_featuretabs.moc"
