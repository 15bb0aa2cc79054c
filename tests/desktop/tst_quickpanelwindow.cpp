#include "common/TestMain.h"
#include "panel/QuickPanelHistoryList.h"
#include "panel/QuickPanelWindow.h"
#include "platform/sim/ManualScheduler.h"
#include "platform/sim/SimDisplays.h"
#include "platform/sim/SimWorkspace.h"

#include <QListWidget>
#include <QSignalSpy>
#include <QTest>
#include <qpa/qwindowsysteminterface.h>

class QuickPanelWindowTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_displays.setDisplays(
            {SimDisplays::display(QStringLiteral("A"), {0, 0, 1920, 1080}, true)});
    }

    void opensAtThePlacementAndActivatesItself()
    {
        SimWorkspace workspace(m_scheduler);
        QuickPanelWindow panel(workspace, m_displays);
        QCOMPARE(panel.windowType(), Qt::Tool); // not Qt::Popup
        QVERIFY(panel.windowFlags().testFlag(Qt::FramelessWindowHint));
        panel.setPanelSize(QSize(780, 1148));
        panel.open(QRect(1800, 0, 32, 32));
        QVERIFY(panel.isOpen());
        QVERIFY(panel.isVisible());
        QCOMPARE(panel.geometry(), QRect(1140, 0, 780, 1080)); // height capped
        QCOMPARE(panel.placement().edge, QuickPanelPlacement::Edge::Below);
        QCOMPARE(workspace.activations().size(), 1);
        QVERIFY(workspace.activations().first().own);
        QCOMPARE(workspace.activations().first().application.windowId, quint64(panel.winId()));
    }

    void dismissEmitsClosedOnce()
    {
        SimWorkspace workspace(m_scheduler);
        QuickPanelWindow panel(workspace, m_displays);
        QSignalSpy closed(&panel, &QuickPanelWindow::closed);
        panel.open(QRect(100, 100, 1, 1));
        panel.dismiss();
        panel.dismiss();
        QCOMPARE(closed.size(), 1);
        QVERIFY(!panel.isVisible());
        QVERIFY(!panel.isOpen());
    }

    void focusLeavingNorvaleClosesThePanel()
    {
        SimWorkspace workspace(m_scheduler);
        QuickPanelWindow panel(workspace, m_displays);
        QSignalSpy closed(&panel, &QuickPanelWindow::closed);
        QWidget settings; // another of Norvale's windows
        settings.show();
        panel.open(QRect(100, 100, 1, 1));
        QVERIFY(QTest::qWaitForWindowActive(&panel));

        settings.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&settings));
        QCOMPARE(closed.size(), 0); // focus stayed with Norvale
        QVERIFY(panel.isVisible());

        // A late focus-out while the window manager still has Norvale active is ignored.
        QWindowSystemInterface::handleWindowActivated<QWindowSystemInterface::SynchronousDelivery>(
            nullptr);
        QCOMPARE(closed.size(), 0);
        QVERIFY(panel.isVisible());

        panel.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&panel));
        workspace.setFrontmost(editor()); // another application takes the focus
        QWindowSystemInterface::handleWindowActivated<QWindowSystemInterface::SynchronousDelivery>(
            nullptr);
        QCOMPARE(closed.size(), 1);
        QVERIFY(!panel.isVisible());
    }

    void escapeCloses()
    {
        SimWorkspace workspace(m_scheduler);
        QuickPanelWindow panel(workspace, m_displays);
        QSignalSpy closed(&panel, &QuickPanelWindow::closed);
        panel.open(QRect(100, 100, 1, 1));
        QTest::keyClick(&panel, Qt::Key_Escape);
        QCOMPARE(closed.size(), 1);
    }

    void displayChangeWhileOpenReplacesThePanel()
    {
        SimWorkspace workspace(m_scheduler);
        QuickPanelWindow panel(workspace, m_displays);
        panel.setPanelSize(QSize(780, 600));
        panel.open(QRect(1800, 0, 32, 32));
        DisplayInfo withPanel = m_displays.displays().first();
        withPanel.visibleFrame = QRect(0, 40, 1920, 1040);
        m_displays.setDisplays({withPanel});
        QCOMPARE(panel.geometry(), QRect(1140, 40, 780, 600));
    }

    void contentIsReplaceable()
    {
        SimWorkspace workspace(m_scheduler);
        QuickPanelWindow panel(workspace, m_displays);
        QPointer<QWidget> first = new QWidget;
        panel.setContent(first);
        QCOMPARE(panel.content(), first.data());
        panel.setContent(new QWidget);
        QVERIFY(first.isNull()); // the old content went with the replacement
    }

    void historyListReportsTheClickedRow()
    {
        const QUuid a = QUuid::createUuid();
        const QUuid b = QUuid::createUuid();
        QList<QuickPanelRow> rows {{a, QStringLiteral("first"), QStringLiteral("5文字"), {}},
            {b, QStringLiteral("https://example.org"), QStringLiteral("URL"), {}}};
        QuickPanelHistoryList list([&rows] { return rows; });
        QSignalSpy activated(&list, &QuickPanelHistoryList::rowActivated);
        QCOMPARE(list.rowCount(), 2);
        list.resize(400, 300);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        QListWidget* widget = list.listWidget();
        QCOMPARE(widget->item(0)->text(), QStringLiteral("first\n5文字"));
        const QRect second = widget->visualItemRect(widget->item(1));
        QTest::mouseClick(widget->viewport(), Qt::LeftButton, {}, second.center());
        QCOMPARE(activated.size(), 1);
        QCOMPARE(activated.at(0).at(0).toUuid(), b);

        widget->setCurrentRow(0);
        QTest::keyClick(widget, Qt::Key_Return);
        QCOMPARE(activated.size(), 2);
        QCOMPARE(activated.at(1).at(0).toUuid(), a);

        rows.removeFirst();
        list.reload();
        QCOMPARE(list.rowCount(), 1);
    }

private:
    static RunningApplication editor()
    {
        return RunningApplication {0x1200001, 501, QStringLiteral("Kate"), QStringLiteral("notes")};
    }

    ManualScheduler m_scheduler;
    SimDisplays m_displays;
};

NORVALE_TEST_CLASS(QuickPanelWindowTest)
#include "tst_quickpanelwindow.moc"
