#include "app/AppDelegate.h"
#include "app/AppPlatform.h"
#include "app/AppSettingsModel.h"
#include "app/CommandRegistry.h"
#include "app/SimulatedWorld.h"
#include "clipboard/ClipboardHistoryModel.h"
#include "clipboard/ClipboardHistoryStorage.h"
#include "common/TestMain.h"
#include "mouse/MouseSettingsModel.h"
#include "panel/ClipboardHistoryMenu.h"
#include "panel/QuickPanelSection.h"
#include "panel/QuickPanelWindow.h"
#include "phrases/FixedPhraseModel.h"
#include "placement/WindowPlacementModel.h"
#include "platform/sim/ManualExecutor.h"
#include "platform/sim/ManualScheduler.h"
#include "platform/sim/MemoryDefaultsStore.h"
#include "platform/sim/ScriptedSystemCommands.h"
#include "platform/sim/SimDisplays.h"
#include "platform/sim/SimGlobalKeyMonitor.h"
#include "platform/sim/SimLoginItem.h"
#include "platform/sim/SimPasteboard.h"
#include "platform/sim/SimScrollEventTap.h"
#include "platform/sim/SimSessionEvents.h"
#include "platform/sim/SimSoundSystem.h"
#include "platform/sim/SimSyntheticKeyboard.h"
#include "platform/sim/SimSystemTray.h"
#include "platform/sim/SimWindowAccess.h"
#include "platform/sim/SimWorkspace.h"
#include "settings/SettingsWindow.h"
#include "settings/SoftwareUpdateDialog.h"
#include "update/NetworkSoftwareUpdateBackend.h"
#include "update/SoftwareUpdaterModel.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

const RunningApplication editor {
    0x1200001, 777, QStringLiteral("Editor"), QStringLiteral("notes.txt")};

template<typename T, typename Slot, typename... Args>
T* install(Slot& slot, Args&&... args)
{
    auto owned = std::make_unique<T>(std::forward<Args>(args)...);
    T* raw = owned.get();
    slot = std::move(owned);
    return raw;
}

// The simulated world on mock time, with the editor in front and the delegate on top.
struct World
{
    QTemporaryDir data;
    AppPlatform platform;
    ManualScheduler* scheduler = install<ManualScheduler>(platform.scheduler);
    ManualExecutor* executor = install<ManualExecutor>(platform.executor, *scheduler);
    MemoryDefaultsStore* defaults = install<MemoryDefaultsStore>(platform.defaults);
    SimPasteboard* pasteboard = install<SimPasteboard>(platform.pasteboard);
    SimWorkspace* workspace = install<SimWorkspace>(
        platform.workspace, *scheduler, qint64(4242), QStringLiteral("Norvale"));
    SimSyntheticKeyboard* keyboard =
        install<SimSyntheticKeyboard>(platform.keyboard, *scheduler, workspace);
    SimDisplays* displays = install<SimDisplays>(platform.displays);
    SimSystemTray* tray = install<SimSystemTray>(platform.tray);
    SimLoginItem* loginItem = install<SimLoginItem>(platform.loginItem);
    SimGlobalKeyMonitor* keys = install<SimGlobalKeyMonitor>(platform.keyMonitor);
    SimSoundSystem* sound = install<SimSoundSystem>(platform.sound);
    SimWindowAccess* windowAccess = install<SimWindowAccess>(platform.windowAccess);
    SimSessionEvents* sessionEvents = install<SimSessionEvents>(platform.sessionEvents);
    ScriptedSystemCommands* commands =
        install<ScriptedSystemCommands>(platform.systemDefaults, *scheduler);
    ScriptedSystemCommands* mouseCommands =
        install<ScriptedSystemCommands>(platform.commandExecutor, *scheduler);
    SimScrollEventTap* scrollTap = install<SimScrollEventTap>(platform.scrollTap);
    NetworkSoftwareUpdateBackend* updates = install<NetworkSoftwareUpdateBackend>(
        platform.updateBackend, data.filePath(QStringLiteral("updates")), std::nullopt);
    std::unique_ptr<AppDelegate> app;

    World()
    {
        platform.kind = PlatformKind::Simulated;
        platform.simulatedPasteboard = pasteboard;
        displays->setDisplays(
            {SimDisplays::display(QStringLiteral("A"), QRect(0, 0, 1920, 1080), true)});
        displays->setPointerLocation(QPoint(300, 200));
        platform.files.emplace(data.filePath(QStringLiteral("Norvale")));
        tray->setHostAvailable();
        workspace->setFrontmost(editor);
        platform.mouseTools = MouseSystemTools::withDefaultsTool(*defaults);
    }

    AppDelegate& launch()
    {
        app = std::make_unique<AppDelegate>(platform);
        app->applicationDidFinishLaunching();
        return *app;
    }
    // Chooses a status-menu entry as a right click on the icon would.
    void chooseFromMenu(const QString& title)
    {
        tray->rightClick(QPoint(100, 100));
        QVERIFY2(tray->choose(title), qPrintable(title));
    }
};

// The application's top-level window of that kind, if it has one.
template<typename Window>
Window* windowOf()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* window = qobject_cast<Window*>(widget)) {
            return window;
        }
    }
    return nullptr;
}

bool panelOpen()
{
    return windowOf<QuickPanelWindow>()->isOpen();
}

QuickPanelSection* textSection(QuickPanelWindow* panel)
{
    return qobject_cast<ClipboardHistoryMenu*>(panel->content())
        ->historySection(ClipboardHistoryKind::Text);
}

QList<ClipboardHistoryItem> sampleItems()
{
    const QDateTime at(QDate(2026, 2, 1), QTime(8, 0), Qt::UTC);
    return {ClipboardHistoryItem::makeText(QStringLiteral("newest"), at.addSecs(60)),
        ClipboardHistoryItem::makeText(QStringLiteral("older"), at)};
}

} // namespace

class AppDelegateTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // "アップデートを確認..." starts the user's check and shows its dialog at once; the outcome,
    // here the refusal of a feed that is not HTTPS, ends in that dialog.
    void checkForUpdatesFromTheMenu()
    {
        World world;
        world.defaults->set(SoftwareUpdaterModel::feedURLKey,
            QStringLiteral("http://updates.example.org/appcast.xml"));
        const SoftwareUpdaterModel& updater = world.launch().models().softwareUpdater;
        world.chooseFromMenu(QStringLiteral("アップデートを確認..."));
        QVERIFY(!updater.canCheckForUpdates());
        auto* dialog = windowOf<SoftwareUpdateDialog>();
        QVERIFY(dialog != nullptr && dialog->isVisible());
        QTRY_VERIFY(updater.canCheckForUpdates());
        QCOMPARE(dialog->findChild<QLabel*>(QStringLiteral("updateDetail"))->text(),
            QStringLiteral(
                "HTTPSでないアドレスには接続しません: http://updates.example.org/appcast.xml"));
    }

    // In the simulated world another application's copy is one command away, and capture
    // records it as it records a copy on the desktop, whose commands know no such thing.
    void worldCopyIsCaptured_data()
    {
        QTest::addColumn<bool>("simulated");
        QTest::addColumn<QStringList>("command");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("recorded"); // kind and text of the newest entry, if any
        QTest::newRow("text") << true << QStringList {"world", "copy", "議事録の下書き"} << 0
                              << "text 議事録の下書き";
        QTest::newRow("web address")
            << true << QStringList {"world", "copy", "https://example.org/"} << 0
            << "url https://example.org/";
        QTest::newRow("image") << true << QStringList {"world", "copy-image", "picture.png"} << 0
                               << "image ";
        QTest::newRow("unreadable image")
            << true << QStringList {"world", "copy-image", "missing.png"} << 1 << "";
        QTest::newRow("desktop") << false << QStringList {"world", "copy", "議事録"} << 2 << "";
    }
    void worldCopyIsCaptured()
    {
        QFETCH(bool, simulated);
        QFETCH(QStringList, command);
        QFETCH(int, exitCode);
        QFETCH(QString, recorded);
        World world;
        AppDelegate& app = world.launch();
        CommandRegistry registry;
        registerApplicationCommands(registry);
        if (simulated) {
            SimulatedWorld::registerCommands(registry);
        }
        QTemporaryDir folder;
        QImage picture(40, 30, QImage::Format_RGB32);
        picture.fill(Qt::darkCyan);
        QVERIFY(picture.save(folder.filePath(QStringLiteral("picture.png"))));

        CommandResult result;
        registry.runInInstance(command, folder.path(), app.commandContext(),
            CommandReply([&result](CommandResult answer) { result = std::move(answer); }));
        QCOMPARE(result.exitCode, exitCode);
        world.scheduler->advance(1.0);
        world.executor->runAll();
        world.scheduler->advance(1.0);
        const QList<ClipboardHistoryItem> items = app.models().clipboardHistory.items();
        QCOMPARE(items.isEmpty() ? QString()
                                 : clipboardHistoryKindName(items.first().kind) + QLatin1Char(' ') +
                    items.first().text.value_or(QString()),
            recorded);
    }

    void statusMenuItemsOrderAndChecks()
    {
        World world;
        world.launch();
        const auto describeMenu = [&world] {
            world.tray->rightClick(QPoint(100, 100));
            QStringList described;
            for (const StatusMenuEntry& entry : world.tray->menu()) {
                described << (entry.separator
                        ? QStringLiteral("---")
                        : entry.title + (entry.checked ? (*entry.checked ? "[x]" : "[ ]") : "") +
                            entry.shortcut.toString(QKeySequence::PortableText));
            }
            return described;
        };
        QCOMPARE(describeMenu(),
            QStringList({"クリップボード監視[x]", "Dock移動抑止[ ]", "ウィンドウ固定[ ]",
                "マウス調整[ ]", "サウンド優先度[ ]", "履歴を表示", "---", "設定Ctrl+,",
                "アップデートを確認...", "---", "終了Ctrl+Q"}));
        QCOMPARE(world.tray->toolTip(), QStringLiteral("Norvale - クリップボード監視: オン"));

        // The toggle flips monitoring; the next menu and the tooltip show it.
        QVERIFY(world.tray->choose(QStringLiteral("クリップボード監視")));
        QCOMPARE(world.defaults->value(QStringLiteral("feature.clipboardHistory.enabled")),
            DefaultsValue(false));
        QCOMPARE(describeMenu().first(), QStringLiteral("クリップボード監視[ ]"));
        QCOMPARE(world.tray->toolTip(), QStringLiteral("Norvale - クリップボード監視: オフ"));
        QVERIFY(world.tray->choose(QStringLiteral("サウンド優先度")));
        QCOMPARE(
            world.defaults->value(QStringLiteral("soundPriority.enabled")), DefaultsValue(true));
        QCOMPARE(describeMenu().at(4), QStringLiteral("サウンド優先度[x]"));
        world.chooseFromMenu(QStringLiteral("マウス調整"));
        QCOMPARE(world.defaults->value(QStringLiteral("feature.mouse.mouseAdjustmentEnabled")),
            DefaultsValue(true));
        QCOMPARE(describeMenu().at(3), QStringLiteral("マウス調整[x]"));
        // Window placement is switched and refreshed: its status line is the summary.
        QVERIFY(world.tray->choose(QStringLiteral("ウィンドウ固定")));
        QCOMPARE(world.defaults->value(QStringLiteral("feature.windowPlacement.enabled")),
            DefaultsValue(true));
        QCOMPARE(describeMenu().at(2), QStringLiteral("ウィンドウ固定[x]"));
        const WindowPlacementModel& placement = world.app->models().windowPlacement;
        QCOMPARE(placement.statusMessage(), QStringLiteral("この構成の登録数: 0"));
        // The quick panel's apply button applies now.
        Q_EMIT windowOf<QuickPanelWindow>()
            ->findChild<ClipboardHistoryMenu*>()
            ->applyWindowPlacementRequested();
        QCOMPARE(placement.statusMessage(),
            QStringLiteral("適用対象のウィンドウが見つかりませんでした"));
        world.chooseFromMenu(QStringLiteral("Dock移動抑止"));
        QCOMPARE(world.defaults->value(QStringLiteral("feature.dockMovementPrevention.enabled")),
            DefaultsValue(true));
        QCOMPARE(describeMenu().at(1), QStringLiteral("Dock移動抑止[x]"));

        world.chooseFromMenu(QStringLiteral("設定"));
        QVERIFY(windowOf<SettingsWindow>()->isVisible());
        windowOf<SettingsWindow>()->move(300, 100);
        world.chooseFromMenu(QStringLiteral("設定")); // reopened while visible: it stays put
        QCOMPARE(windowOf<SettingsWindow>()->pos(), QPoint(300, 100));

        // "履歴を表示" opens the panel; a right click closes it for the menu, which is not a
        // copy: nothing is re-activated.
        world.chooseFromMenu(QStringLiteral("履歴を表示"));
        QVERIFY(panelOpen());
        world.workspace->clearActivations();
        world.tray->rightClick(QPoint(100, 100));
        QVERIFY(!panelOpen());
        QVERIFY(!world.tray->menu().isEmpty());
        QVERIFY(world.workspace->activations().isEmpty());

        // Quitting with the feature on starts putting the system back and does not wait for it;
        // the main loop has stopped by then, so nothing posted would run.
        world.scheduler->advance(0);
        const qsizetype toolRuns = world.mouseCommands->calls().size();
        world.app->applicationWillTerminate();
        QVERIFY(world.mouseCommands->calls().size() > toolRuns);
    }

    // "終了" asks the application to quit; the termination sequence follows from aboutToQuit.
    void quitMenuItemRunsTheTerminationSequence()
    {
        World world;
        AppDelegate& app = world.launch();
        QSignalSpy terminated(&app, &AppDelegate::terminated);
        connect(qApp, &QCoreApplication::aboutToQuit, &app, &AppDelegate::applicationWillTerminate);
        QTimer::singleShot(0, &app, [&world] { world.chooseFromMenu(QStringLiteral("終了")); });
        QTimer::singleShot(5000, &app, [] { QCoreApplication::exit(1); }); // never quit
        QCOMPARE(QApplication::exec(), 0);
        QCOMPARE(terminated.size(), 1);
        QVERIFY(!world.tray->isShown());
    }

    void launchAppliesSettingsAtOnceAndFollowsThem()
    {
        World world;
        world.defaults->set(QStringLiteral("menu.uiScale"), 1.5);
        AppDelegate& app = world.launch();
        QuickPanelWindow* panel = windowOf<QuickPanelWindow>();
        // 4 rows (the default), 3 image rows of 1.5 × 124.
        QCOMPARE(panel->panelSize(), QSize(780, 16 + 558 + 62 + 310 + 280 + 2));
        QWidget* content = panel->content();
        app.models().appSettings.setLeftClickUIScale(1.5);

        // Relaid out while open, the panel still shows the history.
        app.models().clipboardHistory.setItems(sampleItems());
        app.toggleQuickPanelAtPointer();
        app.models().clipboardHistory.setDisplayHistoryRowCount(12);
        app.models().appSettings.setLeftClickUIScale(0.8);
        QCOMPARE(panel->panelSize(), QSize(780, 16 + 408 + 62 + 310 + 840 + 2));
        QCOMPARE(panel->content(), content); // built once
        QCOMPARE(textSection(panel)->height(), 12 * 35 + 30);
        QVERIFY(panelOpen());
        QCOMPARE(textSection(panel)->view()->model()->rowCount(), 2);

        app.openSettingsWindow(std::nullopt);
        QCOMPARE(windowOf<SettingsWindow>()->uiScale(), 1.0);
        app.models().appSettings.setSettingsUIScale(1.2);
        QCOMPARE(windowOf<SettingsWindow>()->uiScale(), 1.2);
    }

    // Each opening starts from the current history, whatever changed while it was closed.
    void eachOpeningShowsTheCurrentHistoryAtTheIcon()
    {
        World world;
        AppDelegate& app = world.launch();
        app.models().clipboardHistory.setDisplayHistoryRowCount(1); // 580 high: room below the icon
        app.toggleQuickPanelAtPointer();
        app.toggleQuickPanelAtPointer(); // a second toggle closes
        QVERIFY(!panelOpen());
        app.models().clipboardHistory.setItems(sampleItems());
        world.tray->setIconGeometry(QRect(1800, 0, 24, 24));
        world.tray->click();
        QuickPanelWindow* panel = windowOf<QuickPanelWindow>();
        QCOMPARE(textSection(panel)->view()->model()->rowCount(), 2);
        // Anchored at the icon, which is at the top: the panel opens below it.
        QCOMPARE(panel->placement().edge, QuickPanelPlacement::Edge::Below);
    }

    void handleClipboardMenuCopy_data()
    {
        QTest::addColumn<bool>("phrase");
        QTest::addColumn<bool>("autoPaste");
        QTest::addColumn<bool>("closeOnCopy");
        QTest::addColumn<bool>("staysOpen");
        QTest::addColumn<bool>("restoredAtClose");
        QTest::newRow("neither") << false << false << false << true << false;
        QTest::newRow("close on copy") << false << false << true << false << true;
        QTest::newRow("auto-paste") << false << true << false << false << false;
        QTest::newRow("both: the paste activates, not the close")
            << false << true << true << false << false;
        QTest::newRow("a phrase always pastes") << true << false << false << false << false;
    }

    void handleClipboardMenuCopy()
    {
        QFETCH(bool, phrase);
        QFETCH(bool, autoPaste);
        QFETCH(bool, closeOnCopy);
        QFETCH(bool, restoredAtClose);
        World world;
        AppDelegate& app = world.launch();
        app.models().clipboardHistory.setAutoPasteAfterSelectingHistory(autoPaste);
        app.models().appSettings.setCloseLeftClickMenuOnCopy(closeOnCopy);
        app.toggleQuickPanelAtPointer();
        world.workspace->clearActivations();
        world.pasteboard->write({{PasteboardType::string, QByteArray("copied")}});
        app.handleClipboardMenuCopy(phrase ? ClipboardHistoryMenuCopySource::FixedPhraseAutoPaste
                                           : ClipboardHistoryMenuCopySource::History);
        QTEST(panelOpen(), "staysOpen");
        QCOMPARE(world.workspace->activations().size(), restoredAtClose ? 1 : 0);

        world.scheduler->advance(1.0);
        const bool pastes = autoPaste || phrase;
        QCOMPARE(world.workspace->activations().size(), pastes || restoredAtClose ? 1 : 0);
        if (!world.workspace->activations().isEmpty()) {
            QCOMPARE(world.workspace->activations().first().application, editor);
        }
        QCOMPARE(world.keyboard->keystrokes().size(), pastes ? 1 : 0);
    }

    // The quick panel's shortcut from the settings toggles the panel at the pointer, except
    // while our own paste is in flight; quitting removes the monitor.
    void shortcutTogglesThePanelUnlessPasting()
    {
        World world;
        world.defaults->set(QStringLiteral("menu.leftClickShortcut"),
            QByteArray(R"({"kind":"modifierCombination","modifiersRawValue":786432})"));
        AppDelegate& app = world.launch();
        GlobalKeyEvent released;
        released.type = GlobalKeyEvent::Type::FlagsChanged;
        GlobalKeyEvent controlOption = released;
        controlOption.modifierFlags = 0xc0000;
        const auto press = [&] {
            world.keys->type(controlOption);
            world.keys->type(released);
        };
        press();
        QVERIFY(panelOpen());
        QCOMPARE(windowOf<QuickPanelWindow>()->placement().edge, QuickPanelPlacement::Edge::Below);
        world.scheduler->advance(0.2);
        press();
        QVERIFY(!panelOpen());

        app.toggleQuickPanelAtPointer();
        app.handleClipboardMenuCopy(ClipboardHistoryMenuCopySource::FixedPhraseAutoPaste);
        world.scheduler->advance(0.2); // the paste keystroke has just been sent
        QCOMPARE(world.keyboard->keystrokes().size(), 1);
        press();
        QVERIFY(!panelOpen());
        world.scheduler->advance(0.25);
        press();
        QVERIFY(panelOpen());

        app.applicationWillTerminate();
        QCOMPARE(world.keys->installed(), std::nullopt);
    }

    // Window placement's apply-now shortcut, stored with the feature, applies at once.
    void placementShortcutAppliesNow()
    {
        World world;
        world.defaults->set(QStringLiteral("feature.windowPlacement.enabled"), true);
        world.defaults->set(QStringLiteral("feature.windowPlacement.applyShortcut"),
            QByteArray(R"({"kind":"modifierCombination","modifiersRawValue":393216})"));
        AppDelegate& app = world.launch();
        GlobalKeyEvent released;
        released.type = GlobalKeyEvent::Type::FlagsChanged;
        GlobalKeyEvent shiftControl = released;
        shiftControl.modifierFlags = 0x60000;
        world.keys->type(shiftControl);
        world.keys->type(released);
        QCOMPARE(app.models().windowPlacement.statusMessage(),
            QStringLiteral("適用対象のウィンドウが見つかりませんでした"));
        QVERIFY(!panelOpen());
    }

    // Real threads and real time: the save in flight must be on disk when the sequence
    // returns, without any event loop delivering its completion.
    void terminationWaitsForTheSaveAndRunsOnce()
    {
        AppPlatform platform = AppPlatform::create(PlatformKind::Simulated);
        auto* workspace = static_cast<SimWorkspace*>(platform.workspace.get());
        workspace->setFrontmost(editor);
        AppDelegate app(platform);
        app.applicationDidFinishLaunching();
        app.models().appSettings.setCloseLeftClickMenuOnCopy(true);
        app.toggleQuickPanelAtPointer();
        workspace->clearActivations();

        QSignalSpy terminated(&app, &AppDelegate::terminated);
        app.models().clipboardHistory.setItems(sampleItems());
        app.models().clipboardHistory.saveItems();
        app.models().fixedPhrases.addFolder(); // its delayed save has not run yet
        app.applicationWillTerminate();
        QCOMPARE(terminated.size(), 1);
        QFile phrases(platform.files->filePath(QStringLiteral("FixedPhrases.json")));
        QVERIFY(phrases.open(QIODevice::ReadOnly));
        QVERIFY(
            phrases.readAll().contains(app.models().fixedPhrases.folders().first().title.toUtf8()));
        QFile history(platform.files->filePath(QStringLiteral("ClipboardHistory.json")));
        QVERIFY(history.open(QIODevice::ReadOnly));
        QCOMPARE(ClipboardHistoryStorage::decode(history.readAll()),
            std::optional(app.models().clipboardHistory.items()));
        // The panel closed as part of quitting, which is no reason to re-activate anything.
        QVERIFY(!panelOpen());
        QVERIFY(workspace->activations().isEmpty());

        app.applicationWillTerminate();
        QCOMPARE(terminated.size(), 1);
        app.toggleQuickPanelAtPointer(); // nothing opens any more
        QVERIFY(!panelOpen());
    }
};

NORVALE_TEST_CLASS(AppDelegateTest)
#include "tst_appdelegate.moc"
