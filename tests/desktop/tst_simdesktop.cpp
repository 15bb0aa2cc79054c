#include "common/TestMain.h"
#include "platform/sim/ManualScheduler.h"
#include "platform/sim/SimDisplays.h"
#include "platform/sim/SimSyntheticKeyboard.h"
#include "platform/sim/SimWorkspace.h"

#include <QSignalSpy>
#include <QTest>

Q_DECLARE_METATYPE(RunningApplication)

namespace {

const RunningApplication editor {0x1200001, 501, QStringLiteral("Kate"), QStringLiteral("notes")};
const RunningApplication browser {0x1400007, 777, QStringLiteral("firefox"), QStringLiteral("web")};

} // namespace

class SimDesktopTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void ownApplication_data()
    {
        QTest::addColumn<RunningApplication>("application");
        QTest::addColumn<bool>("own");
        QTest::newRow("our pid") << RunningApplication {1, 4242, QStringLiteral("X"), {}} << true;
        QTest::newRow("other pid, our class")
            << RunningApplication {1, 99, QStringLiteral("Norvale"), {}} << false;
        QTest::newRow("no pid, our class")
            << RunningApplication {1, 0, QStringLiteral("Norvale"), {}} << true;
        QTest::newRow("no pid, other class")
            << RunningApplication {1, 0, QStringLiteral("XTerm"), {}} << false;
        QTest::newRow("no pid, no class") << RunningApplication {1, 0, QString(), {}} << false;
    }

    void ownApplication()
    {
        QFETCH(RunningApplication, application);
        ManualScheduler scheduler;
        SimWorkspace workspace(scheduler);
        QTEST(workspace.isOwnApplication(application), "own");
    }

    void frontmostChangesAreSignalledOnce()
    {
        ManualScheduler scheduler;
        SimWorkspace workspace(scheduler);
        QSignalSpy spy(&workspace, &Workspace::applicationActivated);
        workspace.setFrontmost(editor);
        workspace.setFrontmost(editor);
        workspace.setFrontmost(browser);
        QCOMPARE(spy.size(), 2);
        QCOMPARE(spy.at(1).at(0).value<RunningApplication>(), browser);
        QCOMPARE(workspace.frontmostApplication(), std::optional(browser));
    }

    void activationIsRecordedWithUptime()
    {
        ManualScheduler scheduler;
        SimWorkspace workspace(scheduler);
        workspace.setFrontmost(browser);
        scheduler.advance(0.12);
        QVERIFY(workspace.activate(editor));
        QCOMPARE(workspace.frontmostApplication(), std::optional(editor));
        QCOMPARE(workspace.activations().size(), 1);
        QCOMPARE(workspace.activations().first().uptime, 0.12);
        QVERIFY(workspace.activations().first().honoured);
        QVERIFY(!workspace.activations().first().own);
    }

    void refusedActivationLeavesTheFrontmostAlone()
    {
        ManualScheduler scheduler;
        SimWorkspace workspace(scheduler);
        workspace.setFrontmost(browser);
        workspace.setRefusesActivation(true);
        QSignalSpy spy(&workspace, &Workspace::applicationActivated);
        QVERIFY(workspace.activate(editor)); // sent, but refused
        workspace.activateOwnWindow(0x3000001);
        QCOMPARE(workspace.frontmostApplication(), std::optional(browser));
        QCOMPARE(spy.size(), 0);
        QCOMPARE(workspace.activations().size(), 2);
        QVERIFY(!workspace.activations().at(0).honoured);
        QVERIFY(workspace.activations().at(1).own);
    }

    void terminatedApplicationIsNotActivated()
    {
        ManualScheduler scheduler;
        SimWorkspace workspace(scheduler);
        workspace.setFrontmost(editor);
        workspace.terminate(editor.windowId);
        QVERIFY(workspace.isTerminated(editor));
        QVERIFY(!workspace.isTerminated(browser));
        QCOMPARE(workspace.frontmostApplication(), std::nullopt);
        QVERIFY(!workspace.activate(editor));
        QVERIFY(workspace.activations().isEmpty());
    }

    void ownWindowActivationMakesNorvaleFrontmost()
    {
        ManualScheduler scheduler;
        SimWorkspace workspace(scheduler, 4242);
        workspace.activateOwnWindow(0x3000001);
        const auto front = workspace.frontmostApplication();
        QVERIFY(front);
        QCOMPARE(front->windowId, quint64(0x3000001));
        QVERIFY(workspace.isOwnApplication(*front));
    }

    void keystrokesRecordTimeAndTarget()
    {
        ManualScheduler scheduler;
        SimWorkspace workspace(scheduler);
        SimSyntheticKeyboard keyboard(scheduler, &workspace);
        workspace.setFrontmost(editor);
        scheduler.advance(0.2);
        QVERIFY(keyboard.postPasteShortcut());
        workspace.setFrontmost(browser);
        scheduler.advance(0.25);
        QVERIFY(keyboard.postPasteShortcut());
        QCOMPARE(keyboard.keystrokes().size(), 2);
        QCOMPARE(keyboard.keystrokes().at(0).uptime, 0.2);
        QCOMPARE(keyboard.keystrokes().at(0).target, std::optional(editor));
        QCOMPARE(keyboard.keystrokes().at(1).uptime, 0.45);
        QCOMPARE(keyboard.keystrokes().at(1).target, std::optional(browser));
    }

    void untrustedKeyboardSendsNothing()
    {
        ManualScheduler scheduler;
        SimSyntheticKeyboard keyboard(scheduler);
        keyboard.setTrusted(false);
        QVERIFY(!keyboard.isTrusted());
        QVERIFY(!keyboard.postPasteShortcut());
        QVERIFY(keyboard.keystrokes().isEmpty());
    }

    void displaysChangedOnlyOnChange()
    {
        SimDisplays displays;
        QSignalSpy spy(&displays, &Displays::displaysChanged);
        const QList<DisplayInfo> one {
            SimDisplays::display(QStringLiteral("A"), {0, 0, 800, 600}, true)};
        displays.setDisplays(one);
        displays.setDisplays(one);
        QCOMPARE(spy.size(), 1);
        QList<DisplayInfo> moved = one;
        moved[0].visibleFrame = QRect(0, 30, 800, 570);
        displays.setDisplays(moved);
        QCOMPARE(spy.size(), 2);
        displays.setPointerLocation(QPoint(12, 34));
        QCOMPARE(displays.pointerLocation(), QPoint(12, 34));
        QCOMPARE(spy.size(), 2);
    }
};

NORVALE_TEST_CLASS(SimDesktopTest)
#include "tst_simdesktop.moc"
