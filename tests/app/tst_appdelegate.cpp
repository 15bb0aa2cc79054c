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
#include "platform/QtScheduler.h"
#include "platform/ThreadPoolExecutor.h"
#include "platform/sim/ManualExecutor.h"
#include "platform/sim/ManualScheduler.h"
#include "platform/sim/MemoryDefaultsStore.h"
#include "platform/sim/SimDisplays.h"
#include "platform/sim/SimPasteboard.h"
#include "platform/sim/SimSyntheticKeyboard.h"
#include "platform/sim/SimWorkspace.h"
#include "settings/SettingsWindow.h"

#include <QCoreApplication>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr qint64 ownPid = 4242;

const RunningApplication editor {
    0x1200001, 777, QStringLiteral("Editor"), QStringLiteral("notes.txt")};
const RunningApplication browser {
    0x1400001, 888, QStringLiteral("Browser"), QStringLiteral("news")};

// The simulated world on mock time, with the services the delegate runs on.
struct World
{
    QTemporaryDir data;
    AppPlatform platform;
    ManualScheduler* scheduler = nullptr;
    ManualExecutor* executor = nullptr;
    MemoryDefaultsStore* defaults = nullptr;
    SimPasteboard* pasteboard = nullptr;
    SimWorkspace* workspace = nullptr;
    SimSyntheticKeyboard* keyboard = nullptr;
    SimDisplays* displays = nullptr;

    World()
    {
        platform.kind = PlatformKind::Simulated;
        auto manualScheduler = std::make_unique<ManualScheduler>();
        scheduler = manualScheduler.get();
        platform.scheduler = std::move(manualScheduler);
        auto manualExecutor = std::make_unique<ManualExecutor>(*scheduler);
        executor = manualExecutor.get();
        platform.executor = std::move(manualExecutor);
        auto store = std::make_unique<MemoryDefaultsStore>();
        defaults = store.get();
        platform.defaults = std::move(store);
        auto board = std::make_unique<SimPasteboard>();
        pasteboard = board.get();
        platform.pasteboard = std::move(board);
        auto simWorkspace =
            std::make_unique<SimWorkspace>(*scheduler, ownPid, QStringLiteral("Norvale"));
        workspace = simWorkspace.get();
        platform.workspace = std::move(simWorkspace);
        auto simKeyboard = std::make_unique<SimSyntheticKeyboard>(*scheduler, workspace);
        keyboard = simKeyboard.get();
        platform.keyboard = std::move(simKeyboard);
        auto simDisplays = std::make_unique<SimDisplays>();
        simDisplays->setDisplays(
            {SimDisplays::display(QStringLiteral("A"), QRect(0, 0, 1920, 1080), true)});
        simDisplays->setPointerLocation(QPoint(300, 200));
        displays = simDisplays.get();
        platform.displays = std::move(simDisplays);
        platform.files.emplace(data.filePath(QStringLiteral("Norvale")));
    }
};

QList<ClipboardHistoryItem> sampleItems()
{
    const QDateTime at(QDate(2026, 2, 1), QTime(8, 0), Qt::UTC);
    return {ClipboardHistoryItem::makeText(QStringLiteral("newest"), at.addSecs(60)),
        ClipboardHistoryItem::makeText(QStringLiteral("older"), at)};
}

QStringList titles(const QList<StatusMenuEntry>& entries)
{
    QStringList result;
    for (const StatusMenuEntry& entry : entries) {
        result.append(entry.separator ? QStringLiteral("---") : entry.title);
    }
    return result;
}

} // namespace

class AppDelegateTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void statusMenuItemsOrderAndChecks()
    {
        World world;
        AppDelegate app(world.platform);
        app.applicationDidFinishLaunching();

        QList<StatusMenuEntry> entries = app.statusMenuEntries();
        QCOMPARE(titles(entries),
            QStringList({QStringLiteral("クリップボード監視"), QStringLiteral("履歴を表示"),
                QStringLiteral("---"), QStringLiteral("設定"), QStringLiteral("---"),
                QStringLiteral("終了")}));
        QCOMPARE(entries.at(0).checked, std::optional<bool>(true));
        QCOMPARE(entries.at(1).checked, std::optional<bool>());
        QCOMPARE(entries.at(3).checked, std::optional<bool>());
        QCOMPARE(entries.at(0).shortcut, QKeySequence());
        QCOMPARE(entries.at(1).shortcut, QKeySequence());
        QCOMPARE(entries.at(3).shortcut, QKeySequence(Qt::CTRL | Qt::Key_Comma));
        QCOMPARE(entries.at(5).shortcut, QKeySequence(Qt::CTRL | Qt::Key_Q));
        QCOMPARE(app.statusItem()->toolTip(), QStringLiteral("Norvale - クリップボード監視: オン"));

        // The toggle flips monitoring; the next menu and the tooltip show it.
        entries.at(0).action();
        QVERIFY(!app.clipboardHistory().clipboardHistoryEnabled());
        QCOMPARE(world.defaults->value(QStringLiteral("feature.clipboardHistory.enabled")),
            DefaultsValue(false));
        QCOMPARE(app.statusMenuEntries().at(0).checked, std::optional<bool>(false));
        QCOMPARE(app.statusItem()->toolTip(), QStringLiteral("Norvale - クリップボード監視: オフ"));
        app.statusMenuEntries().at(0).action();
        QCOMPARE(app.statusItem()->toolTip(), QStringLiteral("Norvale - クリップボード監視: オン"));

        // "履歴を表示" opens the panel; "設定" opens (and keeps) the settings window.
        entries.at(1).action();
        QVERIFY(app.isQuickPanelOpen());
        entries.at(3).action();
        SettingsWindow* settings = app.settingsWindow();
        QVERIFY(settings != nullptr);
        QVERIFY(settings->isVisible());
        settings->close();
        app.openSettingsWindow();
        QCOMPARE(app.settingsWindow(), settings);
    }

    void launchAppliesSettingsAtOnceAndFollowsThem()
    {
        World world;
        world.defaults->set(QStringLiteral("menu.uiScale"), 1.5);
        AppDelegate app(world.platform);
        app.applicationDidFinishLaunching();
        // 4 rows (the default), 3 image rows of 1.5 × 124.
        QCOMPARE(app.quickPanelSize(), QSize(780, 16 + 558 + 62 + 310 + 280 + 2));

        QWidget* content = app.quickPanel()->content();
        app.appSettings().setLeftClickUIScale(1.5); // no change: not rebuilt
        QCOMPARE(app.quickPanel()->content(), content);
        app.clipboardHistory().setDisplayHistoryRowCount(12);
        QCOMPARE(app.quickPanelSize(), QSize(780, 16 + 558 + 62 + 310 + 840 + 2));
        QVERIFY(app.quickPanel()->content() != content);
        app.appSettings().setLeftClickUIScale(0.8);
        QCOMPARE(app.quickPanelSize(), QSize(780, 16 + 408 + 62 + 310 + 840 + 2));

        // Rebuilt while open, the panel still shows the history.
        app.clipboardHistory().setItems(sampleItems());
        app.toggleQuickPanelAtPointer();
        app.appSettings().setLeftClickUIScale(1.3);
        QVERIFY(app.isQuickPanelOpen());
        QCOMPARE(app.quickPanelHistoryList()->rowCount(), 2);

        app.openSettingsWindow();
        QCOMPARE(app.settingsWindow()->uiScale(), 1.0);
        app.appSettings().setSettingsUIScale(1.2);
        QCOMPARE(app.settingsWindow()->uiScale(), 1.2);
    }

    void openingNeverRemembersNorvaleItself()
    {
        World world;
        world.workspace->setFrontmost(editor);
        AppDelegate app(world.platform);
        app.applicationDidFinishLaunching();
        QCOMPARE(app.lastNonSelfFrontmostApplication(), std::optional<RunningApplication>(editor));

        QSignalSpy tokens(&app.clipboardMenuState(), &ClipboardMenuState::resetTokenChanged);
        app.toggleQuickPanelAtPointer();
        QVERIFY(app.isQuickPanelOpen());
        // The panel activated itself; that activation is not a paste target.
        QVERIFY(world.workspace->isOwnApplication(*world.workspace->frontmostApplication()));
        QCOMPARE(app.lastNonSelfFrontmostApplication(), std::optional<RunningApplication>(editor));
        app.captureActivePasteTarget();
        QCOMPARE(app.lastNonSelfFrontmostApplication(), std::optional<RunningApplication>(editor));

        // Norvale's windows without a pid are recognised by class.
        world.workspace->setFrontmost(
            RunningApplication {0x3000001, 0, QStringLiteral("Norvale"), QString()});
        QCOMPARE(app.lastNonSelfFrontmostApplication(), std::optional<RunningApplication>(editor));

        // A second toggle closes; the next opening renews the token again.
        app.toggleQuickPanelAtPointer();
        QVERIFY(!app.isQuickPanelOpen());
        world.workspace->setFrontmost(browser);
        QCOMPARE(app.lastNonSelfFrontmostApplication(), std::optional<RunningApplication>(browser));
        const QUuid before = app.clipboardMenuState().resetToken();
        app.clipboardHistory().setDisplayHistoryRowCount(1); // 580 high: room below the icon
        app.toggleQuickPanelAtStatusItem(QRect(1800, 0, 24, 24));
        QCOMPARE(tokens.size(), 2);
        QVERIFY(app.clipboardMenuState().resetToken() != before);
        // Anchored at the icon, which is at the top: the panel opens below it.
        QCOMPARE(app.quickPanel()->placement().edge, QuickPanelPlacement::Edge::Below);
        QVERIFY(app.quickPanel()->placement().frame.top() >= 24);
    }

    void rightClickClosesThePanelAndShowsTheMenu()
    {
        World world;
        world.workspace->setFrontmost(editor);
        AppDelegate app(world.platform);
        app.applicationDidFinishLaunching();
        app.toggleQuickPanelAtStatusItem(QRect());
        QVERIFY(app.isQuickPanelOpen());
        world.workspace->clearActivations();
        app.showContextMenu(QPoint(100, 100));
        QVERIFY(!app.isQuickPanelOpen());
        QVERIFY(app.statusItem()->isMenuVisible());
        // Closing through the menu is not a copy: nothing is re-activated.
        QVERIFY(world.workspace->activations().isEmpty());
        app.statusItem()->closeMenu();
    }

    void handleClipboardMenuCopy_data()
    {
        QTest::addColumn<bool>("phrase");
        QTest::addColumn<bool>("autoPaste");
        QTest::addColumn<bool>("closeOnCopy");
        QTest::addColumn<bool>("staysOpen");
        QTest::addColumn<bool>("restoredAtClose");
        QTest::addColumn<bool>("pasted");
        QTest::newRow("history, neither") << false << false << false << true << false << false;
        QTest::newRow("history, close on copy") << false << false << true << false << true << false;
        QTest::newRow("history, auto-paste") << false << true << false << false << false << true;
        QTest::newRow("history, both") << false << true << true << false << false << true;
        QTest::newRow("phrase, neither") << true << false << false << false << false << true;
        QTest::newRow("phrase, close on copy") << true << false << true << false << false << true;
        QTest::newRow("phrase, history auto-paste")
            << true << true << false << false << false << true;
        QTest::newRow("phrase, both") << true << true << true << false << false << true;
    }

    void handleClipboardMenuCopy()
    {
        QFETCH(bool, phrase);
        QFETCH(bool, autoPaste);
        QFETCH(bool, closeOnCopy);
        QFETCH(bool, staysOpen);
        QFETCH(bool, restoredAtClose);
        QFETCH(bool, pasted);

        World world;
        world.workspace->setFrontmost(editor);
        AppDelegate app(world.platform);
        app.applicationDidFinishLaunching();
        app.clipboardHistory().setAutoPasteAfterSelectingHistory(autoPaste);
        app.appSettings().setCloseLeftClickMenuOnCopy(closeOnCopy);
        app.toggleQuickPanelAtPointer();
        world.workspace->clearActivations();

        // The panel has just written to the clipboard.
        world.pasteboard->write({{PasteboardType::string, QByteArray("copied")}});
        const qint64 seenBefore = app.clipboardHistory().lastChangeCount();
        app.handleClipboardMenuCopy(phrase ? ClipboardHistoryMenuCopySource::FixedPhraseAutoPaste
                                           : ClipboardHistoryMenuCopySource::History);

        QCOMPARE(app.isQuickPanelOpen(), staysOpen);
        QVERIFY(!app.shouldRestoreApplicationAfterPopoverClose());
        // A phrase is never recorded: the delegate marks its change as seen.
        QCOMPARE(app.clipboardHistory().lastChangeCount(),
            phrase ? world.pasteboard->changeCount() : seenBefore);
        const auto activationsAtClose = world.workspace->activations();
        QCOMPARE(activationsAtClose.size(), restoredAtClose ? 1 : 0);
        if (restoredAtClose) {
            QCOMPARE(activationsAtClose.first().application, editor);
            QCOMPARE(activationsAtClose.first().uptime, 0.0);
        }

        world.scheduler->advance(1.0);
        const auto keystrokes = world.keyboard->keystrokes();
        QCOMPARE(keystrokes.size(), pasted ? 1 : 0);
        if (pasted) {
            QCOMPARE(keystrokes.first().target, std::optional<RunningApplication>(editor));
            QCOMPARE(world.workspace->activations().size(), 1);
        } else if (staysOpen) {
            QCOMPARE(
                app.lastNonSelfFrontmostApplication(), std::optional<RunningApplication>(editor));
            QVERIFY(world.workspace->activations().isEmpty());
        }
    }

    void pasteSequenceTimings()
    {
        World world;
        world.workspace->setFrontmost(editor);
        AppDelegate app(world.platform);
        app.applicationDidFinishLaunching();
        app.toggleQuickPanelAtPointer();
        world.workspace->clearActivations();
        app.handleClipboardMenuCopy(ClipboardHistoryMenuCopySource::FixedPhraseAutoPaste);

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
        QTest::newRow("target terminated, another window in front") << "terminated";
        QTest::newRow("activation refused") << "refused";
        QTest::newRow("user switched away before the keystroke") << "switched";
        QTest::newRow("no accessibility trust") << "untrusted";
        QTest::newRow("nothing remembered") << "none";
    }

    void pasteOnlyIntoTheRememberedWindow()
    {
        QFETCH(QString, situation);
        World world;
        if (situation != QStringLiteral("none")) {
            world.workspace->setFrontmost(editor);
        }
        AppDelegate app(world.platform);
        app.applicationDidFinishLaunching();
        app.toggleQuickPanelAtPointer();
        world.workspace->clearActivations();
        world.pasteboard->write({{PasteboardType::string, QByteArray("secret")}});
        const auto contents = world.pasteboard->contents();

        if (situation == QStringLiteral("terminated")) {
            world.workspace->terminate(editor.windowId);
        } else if (situation == QStringLiteral("refused")) {
            world.workspace->setRefusesActivation(true);
        } else if (situation == QStringLiteral("untrusted")) {
            world.keyboard->setTrusted(false);
        }
        app.handleClipboardMenuCopy(ClipboardHistoryMenuCopySource::FixedPhraseAutoPaste);
        if (situation == QStringLiteral("terminated")) {
            // The window manager gives the focus to another window once the editor is gone.
            world.scheduler->advance(0.05);
            world.workspace->setFrontmost(browser);
        } else if (situation == QStringLiteral("switched")) {
            world.scheduler->advance(0.15);
            world.workspace->setFrontmost(browser);
        }
        world.scheduler->advance(1.0);

        QVERIFY(world.keyboard->keystrokes().isEmpty());
        // The entry stays on the clipboard for the user to paste by hand.
        QCOMPARE(world.pasteboard->contents(), contents);
        QVERIFY(!app.suppressShortcutHandling());
        if (situation == QStringLiteral("terminated") || situation == QStringLiteral("none")) {
            QVERIFY(world.workspace->activations().isEmpty());
        }
        if (situation == QStringLiteral("refused")) {
            QCOMPARE(world.workspace->activations().size(), 1);
            QVERIFY(!world.workspace->activations().first().honoured);
        }
    }

    void closeOnCopyDoesNotRestoreATerminatedApplication()
    {
        World world;
        world.workspace->setFrontmost(editor);
        AppDelegate app(world.platform);
        app.applicationDidFinishLaunching();
        app.appSettings().setCloseLeftClickMenuOnCopy(true);
        app.toggleQuickPanelAtPointer();
        world.workspace->clearActivations();
        world.workspace->terminate(editor.windowId);
        app.handleClipboardMenuCopy(ClipboardHistoryMenuCopySource::History);
        QVERIFY(!app.isQuickPanelOpen());
        QVERIFY(world.workspace->activations().isEmpty());
    }

    void choosingARowCopiesAndPastes()
    {
        World world;
        world.workspace->setFrontmost(editor);
        AppDelegate app(world.platform);
        app.clipboardHistory().setItems(sampleItems());
        app.clipboardHistory().setAutoPasteAfterSelectingHistory(true);
        app.applicationDidFinishLaunching();
        app.toggleQuickPanelAtPointer();
        QuickPanelHistoryList* list = app.quickPanelHistoryList();
        QVERIFY(list != nullptr);
        QCOMPARE(list->rowCount(), 2);

        Q_EMIT list->rowActivated(app.clipboardHistory().items().at(1).id);
        QCOMPARE(world.pasteboard->string(PasteboardType::string),
            std::optional<QString>(QStringLiteral("older")));
        QVERIFY(!app.isQuickPanelOpen());
        world.scheduler->advance(1.0);
        QCOMPARE(world.keyboard->keystrokes().size(), 1);
        // Copying back is not a new capture.
        QCOMPARE(app.clipboardHistory().items().size(), 2);
    }

    void commandsRunInTheInstance()
    {
        World world;
        world.workspace->setFrontmost(editor);
        AppDelegate app(world.platform);
        app.clipboardHistory().setItems(sampleItems());
        app.applicationDidFinishLaunching();
        CommandRegistry registry;
        registerApplicationCommands(registry);

        CommandResult result = registry.runInInstance({QStringLiteral("status")}, QString(), app);
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(QString::fromUtf8(result.standardOutput),
            QStringLiteral("clipboardHistory\ton\tクリップボード監視: オン\n"));
        app.clipboardHistory().setClipboardHistoryEnabled(false);
        result = registry.runInInstance({QStringLiteral("status")}, QString(), app);
        QCOMPARE(QString::fromUtf8(result.standardOutput),
            QStringLiteral("clipboardHistory\toff\tクリップボード監視: オフ\n"));

        result = registry.runInInstance(
            {QStringLiteral("history"), QStringLiteral("list")}, QString(), app);
        QCOMPARE(result.standardOutput,
            QByteArray(
                "0\ttext\t2026-02-01T08:01:00Z\tnewest\n1\ttext\t2026-02-01T08:00:00Z\tolder\n"));

        result = registry.runInInstance(
            {QStringLiteral("history"), QStringLiteral("copy"), QStringLiteral("1")}, QString(),
            app);
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(world.pasteboard->string(PasteboardType::string),
            std::optional<QString>(QStringLiteral("older")));
        result = registry.runInInstance(
            {QStringLiteral("history"), QStringLiteral("copy"), QStringLiteral("2")}, QString(),
            app);
        QCOMPARE(result.exitCode, CommandExit::failure);
        QCOMPARE(
            result.standardError, QByteArray("no entry at index 2 (the history has 2, 0 to 1)\n"));
        result = registry.runInInstance(
            {QStringLiteral("history"), QStringLiteral("copy"), QStringLiteral("-1")}, QString(),
            app);
        QCOMPARE(result.exitCode, CommandExit::usage);

        result = registry.runInInstance({QStringLiteral("show")}, QString(), app);
        QCOMPARE(result.exitCode, 0);
        QVERIFY(app.isQuickPanelOpen());
        registry.runInInstance({QStringLiteral("show")}, QString(), app);
        QVERIFY(!app.isQuickPanelOpen());

        result = registry.runInInstance({QStringLiteral("quit")}, QString(), app);
        QVERIFY(bool(result.afterReply));
        // Local-only commands are not run by the instance.
        result = registry.runInInstance({QStringLiteral("config"), QStringLiteral("set"),
                                            QStringLiteral("k"), QStringLiteral("v")},
            QString(), app);
        QCOMPARE(result.exitCode, CommandExit::usage);
    }

    void terminationWaitsForTheSaveAndRunsOnce()
    {
        // Real threads and real time: the save in flight must be on disk when the sequence
        // returns, without any event loop delivering its completion.
        QTemporaryDir data;
        AppPlatform platform;
        platform.kind = PlatformKind::Simulated;
        platform.scheduler = std::make_unique<QtScheduler>();
        platform.executor = std::make_unique<ThreadPoolExecutor>(*platform.scheduler);
        platform.defaults = std::make_unique<MemoryDefaultsStore>();
        platform.pasteboard = std::make_unique<SimPasteboard>();
        auto workspace =
            std::make_unique<SimWorkspace>(*platform.scheduler, ownPid, QStringLiteral("Norvale"));
        workspace->setFrontmost(editor);
        auto* simWorkspace = workspace.get();
        platform.keyboard =
            std::make_unique<SimSyntheticKeyboard>(*platform.scheduler, workspace.get());
        platform.workspace = std::move(workspace);
        platform.displays = std::make_unique<SimDisplays>();
        platform.files.emplace(data.filePath(QStringLiteral("Norvale")));

        AppDelegate app(platform);
        app.applicationDidFinishLaunching();
        app.appSettings().setCloseLeftClickMenuOnCopy(true);
        app.toggleQuickPanelAtPointer();
        simWorkspace->clearActivations();

        QSignalSpy terminated(&app, &AppDelegate::terminated);
        app.clipboardHistory().setItems(sampleItems());
        app.clipboardHistory().saveItems();
        // A phrase edit whose delayed save has not run yet.
        app.fixedPhrases().addFolder();
        QVERIFY(app.fixedPhrases().hasPendingSave());
        app.applicationWillTerminate();
        QFile phrases(data.filePath(QStringLiteral("Norvale/FixedPhrases.json")));
        QVERIFY(phrases.open(QIODevice::ReadOnly));
        QVERIFY(phrases.readAll().contains(app.fixedPhrases().folders().first().title.toUtf8()));
        QVERIFY(app.applicationIsTerminating());
        QCOMPARE(terminated.size(), 1);
        QFile file(data.filePath(QStringLiteral("Norvale/ClipboardHistory.json")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const auto saved = ClipboardHistoryStorage::decode(file.readAll());
        QVERIFY(saved.has_value());
        QCOMPARE(saved->size(), 2);
        QCOMPARE(*saved, app.clipboardHistory().items());
        // The panel closed as part of quitting, which is no reason to re-activate anything.
        QVERIFY(!app.isQuickPanelOpen());
        QVERIFY(simWorkspace->activations().isEmpty());
        QVERIFY(!app.statusItem()->isShown());

        app.applicationWillTerminate();
        QCOMPARE(terminated.size(), 1);
        // Nothing opens any more.
        app.toggleQuickPanelAtPointer();
        QVERIFY(!app.isQuickPanelOpen());
    }
};

NORVALE_TEST_CLASS(AppDelegateTest)
#include "tst_appdelegate.moc"
