#include "app/PasteBackController.h"
#include "common/TestMain.h"
#include "platform/sim/ManualScheduler.h"
#include "platform/sim/SimSyntheticKeyboard.h"
#include "platform/sim/SimWorkspace.h"

#include <QTest>

namespace {

const RunningApplication editor {
    0x1200001, 777, QStringLiteral("Editor"), QStringLiteral("notes.txt")};
const RunningApplication browser {
    0x1400001, 888, QStringLiteral("Browser"), QStringLiteral("news")};

// A desktop on mock time: the editor was in front, tracked from the start, until the quick
// panel activated itself; nothing activated since.
struct Desk
{
    ManualScheduler scheduler;
    SimWorkspace workspace {scheduler};
    SimSyntheticKeyboard keyboard {scheduler, &workspace};
    PasteBackController controller {workspace, keyboard, scheduler};

    explicit Desk(bool editorInFront = true)
    {
        if (editorInFront) {
            workspace.setFrontmost(editor);
        }
        controller.startTracking();
        workspace.activateOwnWindow(0x3000001);
        controller.captureActivePasteTarget();
        workspace.clearActivations();
    }
};

} // namespace

class PasteBackControllerTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void pasteSequenceTimings()
    {
        Desk desk;
        desk.controller.pasteToLastActiveApplication();
        desk.scheduler.advance(0.119);
        QVERIFY(desk.workspace.activations().isEmpty());
        desk.scheduler.advance(0.002);
        QCOMPARE(desk.workspace.activations().size(), 1);
        QVERIFY(qFuzzyCompare(desk.workspace.activations().first().uptime, 0.12));

        desk.scheduler.advance(0.078);
        QVERIFY(desk.keyboard.keystrokes().isEmpty());
        QVERIFY(!desk.controller.suppressShortcutHandling());
        desk.scheduler.advance(0.002);
        QCOMPARE(desk.keyboard.keystrokes().size(), 1);
        QVERIFY(qFuzzyCompare(desk.keyboard.keystrokes().first().uptime, 0.2));
        QCOMPARE(desk.keyboard.keystrokes().first().target, std::optional(editor));
        QVERIFY(desk.controller.suppressShortcutHandling());

        desk.scheduler.advance(0.248);
        QVERIFY(desk.controller.suppressShortcutHandling());
        desk.scheduler.advance(0.002);
        QVERIFY(!desk.controller.suppressShortcutHandling());
        QCOMPARE(desk.keyboard.keystrokes().size(), 1);
    }

    void pasteOnlyIntoTheRememberedWindow_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<int>("activations"); // -1: not checked
        QTest::addColumn<int>("keystrokes");
        QTest::newRow("Norvale's own windows came in between") << "own" << 1 << 1;
        QTest::newRow("target terminated, another window in front") << "terminated" << 0 << 0;
        QTest::newRow("activation refused") << "refused" << 1 << 0;
        QTest::newRow("user switched away before the keystroke") << "switched" << -1 << 0;
        QTest::newRow("no accessibility trust") << "untrusted" << -1 << 0;
        QTest::newRow("nothing remembered") << "none" << 0 << 0;
        QTest::newRow("terminating") << "stopped" << 0 << 0;
    }

    void pasteOnlyIntoTheRememberedWindow()
    {
        QFETCH(QString, situation);
        QFETCH(int, activations);
        Desk desk(situation != QStringLiteral("none"));
        if (situation == QStringLiteral("own")) {
            // Norvale's windows without a pid are recognised by class: no paste target either.
            desk.workspace.setFrontmost(
                RunningApplication {0x3000002, 0, QStringLiteral("Norvale"), QString()});
        } else if (situation == QStringLiteral("terminated")) {
            desk.workspace.terminate(editor.windowId);
        } else if (situation == QStringLiteral("refused")) {
            desk.workspace.setRefusesActivation(true);
        } else if (situation == QStringLiteral("untrusted")) {
            desk.keyboard.setTrusted(false);
        }
        desk.controller.pasteToLastActiveApplication();
        if (situation == QStringLiteral("stopped")) {
            desk.controller.stop();
        }
        if (situation == QStringLiteral("terminated") || situation == QStringLiteral("switched")) {
            // Another window gets the focus: the window manager's choice, or the user's.
            desk.scheduler.advance(situation == QStringLiteral("switched") ? 0.15 : 0.05);
            desk.workspace.setFrontmost(browser);
        }
        desk.scheduler.advance(1.0);

        QTEST(int(desk.keyboard.keystrokes().size()), "keystrokes");
        if (activations >= 0) {
            QCOMPARE(desk.workspace.activations().size(), activations);
        }
        if (activations > 0) {
            QCOMPARE(desk.workspace.activations().first().application, editor);
        }
    }

    // The request is one-shot, and never re-activates a window that has gone or at quit.
    void restoreAfterClose()
    {
        Desk desk;
        desk.controller.quickPanelDidClose();
        QVERIFY(desk.workspace.activations().isEmpty());
        desk.controller.setRestoreAfterClose(true);
        desk.controller.quickPanelDidClose();
        desk.controller.quickPanelDidClose();
        QCOMPARE(desk.workspace.activations().size(), 1);
        QCOMPARE(desk.workspace.activations().first().application, editor);

        desk.controller.setRestoreAfterClose(true);
        desk.controller.stop();
        desk.controller.quickPanelDidClose();
        QCOMPARE(desk.workspace.activations().size(), 1);

        Desk gone;
        gone.workspace.terminate(editor.windowId);
        gone.controller.setRestoreAfterClose(true);
        gone.controller.quickPanelDidClose();
        QVERIFY(gone.workspace.activations().isEmpty());
    }
};

NORVALE_TEST_CLASS(PasteBackControllerTest)
#include "tst_pastebackcontroller.moc"
