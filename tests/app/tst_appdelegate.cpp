#include "app/AppDelegate.h"
#include "app/AppPlatform.h"
#include "app/AppSettingsModel.h"
#include "app/ApplicationCommands.h"
#include "app/CommandRegistry.h"
#include "app/StatusItem.h"
#include "clipboard/ClipboardHistoryModel.h"
#include "clipboard/ClipboardHistoryStorage.h"
#include "common/TestMain.h"
#include "panel/QuickPanelHistoryList.h"
#include "panel/QuickPanelWindow.h"
#include "phrases/FixedPhraseModel.h"
#include "platform/sim/ManualExecutor.h"
#include "platform/sim/ManualScheduler.h"
#include "platform/sim/MemoryDefaultsStore.h"
#include "platform/sim/SimDisplays.h"
#include "platform/sim/SimPasteboard.h"
#include "platform/sim/SimSyntheticKeyboard.h"
#include "platform/sim/SimWorkspace.h"
#include "settings/SettingsWindow.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

const RunningApplication editor {
    0x1200001, 777, QStringLiteral("Editor"), QStringLiteral("notes.txt")};
const RunningApplication browser {
    0x1400001, 888, QStringLiteral("Browser"), QStringLiteral("news")};

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
    std::unique_ptr<AppDelegate> app;

    explicit World(bool editorInFront = true)
    {
        platform.kind = PlatformKind::Simulated;
        displays->setDisplays(
            {SimDisplays::display(QStringLiteral("A"), QRect(0, 0, 1920, 1080), true)});
        displays->setPointerLocation(QPoint(300, 200));
        platform.files.emplace(data.filePath(QStringLiteral("Norvale")));
        if (editorInFront) {
            workspace->setFrontmost(editor);
        }
    }

    AppDelegate& launch()
    {
        app = std::make_unique<AppDelegate>(platform);
        app->applicationDidFinishLaunching();
        return *app;
    }
    // Launched, the quick panel open over the editor, nothing activated yet.
    AppDelegate& launchWithPanelOpen()
    {
        launch().toggleQuickPanelAtPointer();
        workspace->clearActivations();
        return *app;
    }
};

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
    void statusMenuItemsOrderAndChecks()
    {
        World world;
        AppDelegate& app = world.launch();
        const QList<StatusMenuEntry> entries = app.statusMenuEntries();
        QStringList described;
        for (const StatusMenuEntry& entry : entries) {
            described << (entry.separator
                    ? QStringLiteral("---")
                    : entry.title + (entry.checked ? (*entry.checked ? "[x]" : "[ ]") : "") +
                        entry.shortcut.toString(QKeySequence::PortableText));
        }
        QCOMPARE(described,
            QStringList(
                {"クリップボード監視[x]", "履歴を表示", "---", "設定Ctrl+,", "---", "終了Ctrl+Q"}));
        QCOMPARE(app.statusItem()->toolTip(), QStringLiteral("Norvale - クリップボード監視: オン"));

        // The toggle flips monitoring; the next menu and the tooltip show it.
        entries.at(0).action();
        QCOMPARE(world.defaults->value(QStringLiteral("feature.clipboardHistory.enabled")),
            DefaultsValue(false));
        QCOMPARE(app.statusMenuEntries().at(0).checked, std::optional<bool>(false));
        QCOMPARE(app.statusItem()->toolTip(), QStringLiteral("Norvale - クリップボード監視: オフ"));

        entries.at(3).action();
        QVERIFY(app.settingsWindow() != nullptr && app.settingsWindow()->isVisible());

        // "履歴を表示" opens the panel; a right click closes it for the menu, which is not a
        // copy: nothing is re-activated.
        entries.at(1).action();
        QVERIFY(app.isQuickPanelOpen());
        world.workspace->clearActivations();
        app.showContextMenu(QPoint(100, 100));
        QVERIFY(!app.isQuickPanelOpen());
        QVERIFY(app.statusItem()->isMenuVisible());
        QVERIFY(world.workspace->activations().isEmpty());
        app.statusItem()->closeMenu();
    }

    void launchAppliesSettingsAtOnceAndFollowsThem()
    {
        World world;
        world.defaults->set(QStringLiteral("menu.uiScale"), 1.5);
        AppDelegate& app = world.launch();
        // 4 rows (the default), 3 image rows of 1.5 × 124.
        QCOMPARE(app.quickPanelSize(), QSize(780, 16 + 558 + 62 + 310 + 280 + 2));
        QWidget* content = app.quickPanel()->content();
        app.appSettings().setLeftClickUIScale(1.5); // no change: not rebuilt
        QCOMPARE(app.quickPanel()->content(), content);

        // Rebuilt while open, the panel still shows the history.
        app.clipboardHistory().setItems(sampleItems());
        app.toggleQuickPanelAtPointer();
        app.clipboardHistory().setDisplayHistoryRowCount(12);
        app.appSettings().setLeftClickUIScale(0.8);
        QCOMPARE(app.quickPanelSize(), QSize(780, 16 + 408 + 62 + 310 + 840 + 2));
        QVERIFY(app.quickPanel()->content() != content);
        QVERIFY(app.isQuickPanelOpen());
        QCOMPARE(app.quickPanelHistoryList()->rowCount(), 2);

        app.openSettingsWindow();
        QCOMPARE(app.settingsWindow()->uiScale(), 1.0);
        app.appSettings().setSettingsUIScale(1.2);
        QCOMPARE(app.settingsWindow()->uiScale(), 1.2);
    }

    void openingNeverRemembersNorvaleItselfAndRenewsTheToken()
    {
        World world;
        AppDelegate& app = world.launch();
        QSignalSpy tokens(&app.clipboardMenuState(), &ClipboardMenuState::resetTokenChanged);
        app.toggleQuickPanelAtPointer();
        // The panel activated itself, and Norvale's windows without a pid are recognised by
        // class: neither is a paste target.
        app.captureActivePasteTarget();
        world.workspace->setFrontmost(
            RunningApplication {0x3000001, 0, QStringLiteral("Norvale"), QString()});
        QCOMPARE(app.lastNonSelfFrontmostApplication(), std::optional<RunningApplication>(editor));

        // A second toggle closes; the next opening renews the token again.
        app.toggleQuickPanelAtPointer();
        QVERIFY(!app.isQuickPanelOpen());
        app.clipboardHistory().setDisplayHistoryRowCount(1); // 580 high: room below the icon
        app.toggleQuickPanelAtStatusItem(QRect(1800, 0, 24, 24));
        QCOMPARE(tokens.size(), 2);
        // Anchored at the icon, which is at the top: the panel opens below it.
        QCOMPARE(app.quickPanel()->placement().edge, QuickPanelPlacement::Edge::Below);
    }

    void handleClipboardMenuCopy_data()
    {
        QTest::addColumn<bool>("autoPaste");
        QTest::addColumn<bool>("closeOnCopy");
        QTest::addColumn<bool>("staysOpen");
        QTest::addColumn<bool>("restoredAtClose");
        QTest::newRow("neither") << false << false << true << false;
        QTest::newRow("close on copy") << false << true << false << true;
        QTest::newRow("auto-paste") << true << false << false << false;
        QTest::newRow("both: the paste activates, not the close") << true << true << false << false;
    }

    void handleClipboardMenuCopy()
    {
        QFETCH(bool, autoPaste);
        QFETCH(bool, closeOnCopy);
        QFETCH(bool, restoredAtClose);
        World world;
        AppDelegate& app = world.launch();
        app.clipboardHistory().setAutoPasteAfterSelectingHistory(autoPaste);
        app.appSettings().setCloseLeftClickMenuOnCopy(closeOnCopy);
        app.toggleQuickPanelAtPointer();
        world.workspace->clearActivations();
        app.handleClipboardMenuCopy(ClipboardHistoryMenuCopySource::History);
        QTEST(app.isQuickPanelOpen(), "staysOpen");
        QCOMPARE(world.workspace->activations().size(), restoredAtClose ? 1 : 0);

        world.scheduler->advance(1.0);
        QCOMPARE(world.workspace->activations().size(), autoPaste || restoredAtClose ? 1 : 0);
        if (!world.workspace->activations().isEmpty()) {
            QCOMPARE(world.workspace->activations().first().application, editor);
        }
        QCOMPARE(world.keyboard->keystrokes().size(), autoPaste ? 1 : 0);
    }

    // A phrase always pastes, on these delays.
    void pasteSequenceTimings()
    {
        World world;
        AppDelegate& app = world.launchWithPanelOpen();
        world.pasteboard->write({{PasteboardType::string, QByteArray("phrase")}});
        app.handleClipboardMenuCopy(ClipboardHistoryMenuCopySource::FixedPhraseAutoPaste);
        // A phrase is never recorded: the delegate marks its change as seen.
        QCOMPARE(app.clipboardHistory().lastChangeCount(), world.pasteboard->changeCount());
        world.scheduler->advance(0.119);
        QVERIFY(world.workspace->activations().isEmpty());
        world.scheduler->advance(0.002);
        QCOMPARE(world.workspace->activations().size(), 1);
        QVERIFY(qFuzzyCompare(world.workspace->activations().first().uptime, 0.12));
        QVERIFY(world.workspace->activations().first().honoured);

        world.scheduler->advance(0.078);
        QVERIFY(world.keyboard->keystrokes().isEmpty());
        QVERIFY(!app.suppressShortcutHandling());
        world.scheduler->advance(0.002);
        QCOMPARE(world.keyboard->keystrokes().size(), 1);
        QVERIFY(qFuzzyCompare(world.keyboard->keystrokes().first().uptime, 0.2));
        QVERIFY(app.suppressShortcutHandling());

        world.scheduler->advance(0.248);
        QVERIFY(app.suppressShortcutHandling());
        world.scheduler->advance(0.002);
        QVERIFY(!app.suppressShortcutHandling());
        QCOMPARE(world.keyboard->keystrokes().size(), 1);
    }

    void pasteOnlyIntoTheRememberedWindow_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<int>("activations"); // -1: not checked
        QTest::newRow("target terminated, another window in front") << "terminated" << 0;
        QTest::newRow("activation refused") << "refused" << 1;
        QTest::newRow("user switched away before the keystroke") << "switched" << -1;
        QTest::newRow("no accessibility trust") << "untrusted" << -1;
        QTest::newRow("nothing remembered") << "none" << 0;
        QTest::newRow("close on copy, target terminated") << "closeOnCopy" << 0;
    }

    void pasteOnlyIntoTheRememberedWindow()
    {
        QFETCH(QString, situation);
        QFETCH(int, activations);
        World world(situation != QStringLiteral("none"));
        AppDelegate& app = world.launchWithPanelOpen();
        if (situation == QStringLiteral("terminated")) {
            world.workspace->terminate(editor.windowId);
        } else if (situation == QStringLiteral("refused")) {
            world.workspace->setRefusesActivation(true);
        } else if (situation == QStringLiteral("untrusted")) {
            world.keyboard->setTrusted(false);
        }
        const bool history = situation == QStringLiteral("closeOnCopy");
        if (history) {
            app.appSettings().setCloseLeftClickMenuOnCopy(true);
            world.workspace->terminate(editor.windowId);
        }
        app.handleClipboardMenuCopy(history ? ClipboardHistoryMenuCopySource::History
                                            : ClipboardHistoryMenuCopySource::FixedPhraseAutoPaste);
        if (situation == QStringLiteral("terminated") || situation == QStringLiteral("switched")) {
            // Another window gets the focus: the window manager's choice, or the user's.
            world.scheduler->advance(situation == QStringLiteral("switched") ? 0.15 : 0.05);
            world.workspace->setFrontmost(browser);
        }
        world.scheduler->advance(1.0);

        QVERIFY(world.keyboard->keystrokes().isEmpty());
        if (activations >= 0) {
            QCOMPARE(world.workspace->activations().size(), activations);
        }
        if (activations > 0) {
            QVERIFY(!world.workspace->activations().first().honoured);
        }
    }

    // What the real instance answers end to end is pinned by the shell test; these are the
    // answers it does not reach.
    void commandsRunInTheInstance()
    {
        World world;
        AppDelegate& app = world.launch();
        app.clipboardHistory().setItems(sampleItems());
        app.clipboardHistory().setClipboardHistoryEnabled(false);
        CommandRegistry registry;
        registerApplicationCommands(registry);
        const auto run = [&](const char* line) {
            return registry.runInInstance(
                QString::fromUtf8(line).split(QLatin1Char(' ')), QString(), app);
        };
        QCOMPARE(run("status").standardOutput,
            QStringLiteral("clipboardHistory\toff\tクリップボード監視: オフ\n").toUtf8());
        QCOMPARE(run("history copy 1").exitCode, 0);
        QCOMPARE(world.pasteboard->string(PasteboardType::string),
            std::optional<QString>(QStringLiteral("older")));
        const CommandResult outOfRange = run("history copy 2");
        QCOMPARE(outOfRange.exitCode, CommandExit::failure);
        QCOMPARE(outOfRange.standardError,
            QByteArray("no entry at index 2 (the history has 2, 0 to 1)\n"));
        QCOMPARE(run("history copy -1").exitCode, CommandExit::usage);
        // `show` toggles, like the tray icon.
        run("show");
        QVERIFY(app.isQuickPanelOpen());
        run("show");
        QVERIFY(!app.isQuickPanelOpen());
        // Local-only commands are not run by the instance.
        QCOMPARE(run("config set k v").exitCode, CommandExit::usage);
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
        app.appSettings().setCloseLeftClickMenuOnCopy(true);
        app.toggleQuickPanelAtPointer();
        workspace->clearActivations();

        QSignalSpy terminated(&app, &AppDelegate::terminated);
        app.clipboardHistory().setItems(sampleItems());
        app.clipboardHistory().saveItems();
        app.fixedPhrases().addFolder(); // its delayed save has not run yet
        app.applicationWillTerminate();
        QCOMPARE(terminated.size(), 1);
        QFile phrases(platform.files->filePath(QStringLiteral("FixedPhrases.json")));
        QVERIFY(phrases.open(QIODevice::ReadOnly));
        QVERIFY(phrases.readAll().contains(app.fixedPhrases().folders().first().title.toUtf8()));
        QFile history(platform.files->filePath(QStringLiteral("ClipboardHistory.json")));
        QVERIFY(history.open(QIODevice::ReadOnly));
        QCOMPARE(ClipboardHistoryStorage::decode(history.readAll()),
            std::optional(app.clipboardHistory().items()));
        // The panel closed as part of quitting, which is no reason to re-activate anything.
        QVERIFY(!app.isQuickPanelOpen());
        QVERIFY(workspace->activations().isEmpty());
        QVERIFY(!app.statusItem()->isShown());

        app.applicationWillTerminate();
        QCOMPARE(terminated.size(), 1);
        app.toggleQuickPanelAtPointer(); // nothing opens any more
        QVERIFY(!app.isQuickPanelOpen());
    }
};

NORVALE_TEST_CLASS(AppDelegateTest)
#include "tst_appdelegate.moc"
