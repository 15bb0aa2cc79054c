#include "common/TestMain.h"
#include "platform/sim/ManualScheduler.h"
#include "platform/sim/SimWorkspace.h"

#include <QSignalSpy>
#include <QTest>

Q_DECLARE_METATYPE(RunningApplication)

namespace {

const RunningApplication editor {0x1200001, 501, QStringLiteral("Kate"), QStringLiteral("notes")};
const RunningApplication browser {0x1400007, 777, QStringLiteral("firefox"), QStringLiteral("web")};

} // namespace

// The simulated desktop stands in for the window manager in the application's tests and in
// `norvale --simulate`: it must refuse, lose and report windows as a real one does.
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
        QTest::newRow("no pid, no class") << RunningApplication {1, 0, QString(), {}} << false;
    }

    void ownApplication()
    {
        QFETCH(RunningApplication, application);
        ManualScheduler scheduler;
        SimWorkspace workspace(scheduler);
        QTEST(workspace.isOwnApplication(application), "own");
    }

    void activationsAreRecordedRefusedOrLost()
    {
        ManualScheduler scheduler;
        SimWorkspace workspace(scheduler);
        QSignalSpy activated(&workspace, &Workspace::applicationActivated);
        workspace.setFrontmost(browser);
        workspace.setFrontmost(browser);
        QCOMPARE(activated.size(), 1);
        scheduler.advance(0.12);
        QVERIFY(workspace.activate(editor));
        QCOMPARE(workspace.frontmostApplication(), std::optional(editor));
        QCOMPARE(workspace.activations().size(), 1);
        QCOMPARE(workspace.activations().first().uptime, 0.12);
        QVERIFY(workspace.activations().first().honoured);

        workspace.setRefusesActivation(true);
        QVERIFY(workspace.activate(browser)); // sent, but refused
        workspace.activateOwnWindow(0x3000001);
        QCOMPARE(workspace.frontmostApplication(), std::optional(editor));
        QVERIFY(!workspace.activations().at(1).honoured);
        QVERIFY(workspace.activations().at(2).own);

        workspace.setRefusesActivation(false);
        workspace.terminate(editor.windowId);
        QVERIFY(workspace.isTerminated(editor));
        QCOMPARE(workspace.frontmostApplication(), std::nullopt);
        QVERIFY(!workspace.activate(editor));
        QCOMPARE(workspace.activations().size(), 3);
        workspace.activateOwnWindow(0x3000001);
        QVERIFY(workspace.isOwnApplication(*workspace.frontmostApplication()));
    }
};

NORVALE_TEST_CLASS(SimDesktopTest)
#include "tst_simdesktop.moc"
