#include "app/PasteBackController.h"
#include "common/TestMain.h"
#include "platform/sim/ManualScheduler.h"
#include "platform/sim/SimSyntheticKeyboard.h"
#include "platform/sim/SimWorkspace.h"

#include <QTest>

namespace {

const RunningApplication notesEditor {
    0x1200001, 777, QStringLiteral("Editor"), QStringLiteral("notes.txt")};
const RunningApplication newsBrowser {
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
            workspace.setFrontmost(notesEditor);
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
        QCOMPARE(desk.keyboard.keystrokes().first().target, std::optional(notesEditor));
        QVERIFY(desk.controller.suppressShortcutHandling());

        desk.scheduler.advance(0.248);
        QVERIFY(desk.controller.suppressShortcutHandling());
        desk.scheduler.advance(0.002);
        QVERIFY(!desk.controller.suppressShortcutHandling());
        QCOMPARE(desk.keyboard.keystrokes().size(), 1);
    }

    // Pasting goes only into the remembered window; a restore request at close is one-shot.
    void onlyIntoTheRememberedWindow_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<bool>("restore"); // a close that restores instead of a paste
        QTest::addColumn<int>("activations"); // -1: not checked
        QTest::addColumn<int>("keystrokes");
        QTest::newRow("Norvale's own windows came in between") << "own" << false << 1 << 1;
        QTest::newRow("target terminated, another window in front")
            << "terminated" << false << 0 << 0;
        QTest::newRow("activation refused") << "refused" << false << 1 << 0;
        QTest::newRow("user switched away before the keystroke") << "switched" << false << -1 << 0;
        QTest::newRow("no accessibility trust") << "untrusted" << false << -1 << 0;
        QTest::newRow("nothing remembered") << "none" << false << 0 << 0;
        QTest::newRow("terminating") << "stopped" << false << 0 << 0;
        QTest::newRow("restored once at close") << "own" << true << 1 << 0;
        QTest::newRow("restore of a terminated target") << "terminated" << true << 0 << 0;
        QTest::newRow("restore while terminating") << "stopped" << true << 0 << 0;
    }

    void onlyIntoTheRememberedWindow()
    {
        QFETCH(QString, situation);
        QFETCH(bool, restore);
        QFETCH(int, activations);
        Desk desk(situation != QStringLiteral("none"));
        if (situation == QStringLiteral("own")) {
            // Norvale's windows without a pid are recognised by class: no paste target either.
            desk.workspace.setFrontmost(
                RunningApplication {0x3000002, 0, QStringLiteral("Norvale"), QString()});
        } else if (situation == QStringLiteral("terminated")) {
            desk.workspace.terminate(notesEditor.windowID);
        } else if (situation == QStringLiteral("refused")) {
            desk.workspace.setRefusesActivation(true);
        } else if (situation == QStringLiteral("untrusted")) {
            desk.keyboard.setTrusted(false);
        }
        if (restore) {
            desk.controller.setRestoreAfterClose(true);
        } else {
            desk.controller.pasteToLastActiveApplication();
        }
        if (situation == QStringLiteral("stopped")) {
            desk.controller.stop();
        }
        desk.controller.quickPanelDidClose();
        desk.controller.quickPanelDidClose();
        if (situation == QStringLiteral("terminated") || situation == QStringLiteral("switched")) {
            // Another window gets the focus: the window manager's choice, or the user's.
            desk.scheduler.advance(situation == QStringLiteral("switched") ? 0.15 : 0.05);
            desk.workspace.setFrontmost(newsBrowser);
        }
        desk.scheduler.advance(1.0);

        QTEST(int(desk.keyboard.keystrokes().size()), "keystrokes");
        if (activations >= 0) {
            QCOMPARE(desk.workspace.activations().size(), activations);
        }
        if (activations > 0) {
            QCOMPARE(desk.workspace.activations().first().application, notesEditor);
        }
    }
};

NORVALE_TEST_CLASS(PasteBackControllerTest)
#include "tst_pastebackcontroller.moc"
