#include "common/TestMain.h"
#include "panel/QuickPanelWindow.h"
#include "platform/sim/ManualScheduler.h"
#include "platform/sim/SimDisplays.h"
#include "platform/sim/SimWorkspace.h"

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
        m_workspace = std::make_unique<SimWorkspace>(m_scheduler);
        m_panel = std::make_unique<QuickPanelWindow>(*m_workspace, m_displays);
    }
    void cleanup()
    {
        m_panel.reset();
        m_workspace.reset();
    }

    void opensAtThePlacementAndActivatesItself()
    {
        QCOMPARE(m_panel->windowType(), Qt::Tool); // not Qt::Popup
        QVERIFY(m_panel->windowFlags().testFlag(Qt::FramelessWindowHint));
        m_panel->setPanelSize(QSize(780, 1148));
        m_panel->open(QRect(1800, 0, 32, 32));
        QVERIFY(m_panel->isOpen());
        QVERIFY(m_workspace->isAuxiliaryWindow(m_panel->winId())); // off the taskbar
        QCOMPARE(m_panel->geometry(), QRect(1140, 0, 780, 1080)); // height capped
        QCOMPARE(m_workspace->activations().size(), 1);
        QVERIFY(m_workspace->activations().first().own);
        QCOMPARE(
            m_workspace->activations().first().application.windowID, quint64(m_panel->winId()));

        // A panel appearing on the screen's edge moves it.
        DisplayInfo withPanel = m_displays.displays().first();
        withPanel.visibleFrame = QRect(0, 40, 1920, 1040);
        m_displays.setDisplays({withPanel});
        QCOMPARE(m_panel->geometry(), QRect(1140, 40, 780, 1040));
    }

    void escapeOrDismissClosesOnce()
    {
        QSignalSpy closed(m_panel.get(), &QuickPanelWindow::closed);
        m_panel->open(QRect(100, 100, 1, 1));
        QTest::keyClick(m_panel.get(), Qt::Key_Escape);
        m_panel->dismiss();
        QCOMPARE(closed.size(), 1);
        QVERIFY(!m_panel->isVisible());
        QVERIFY(!m_panel->isOpen());
    }

    void focusLeavingNorvaleClosesThePanel()
    {
        QSignalSpy closed(m_panel.get(), &QuickPanelWindow::closed);
        QWidget settings; // another of Norvale's windows
        settings.show();
        m_panel->open(QRect(100, 100, 1, 1));
        QVERIFY(QTest::qWaitForWindowActive(m_panel.get()));
        settings.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&settings));
        // Focus stayed with Norvale, and a late focus-out while the window manager still has
        // Norvale active is ignored.
        QWindowSystemInterface::handleWindowActivated<QWindowSystemInterface::SynchronousDelivery>(
            nullptr);
        QCOMPARE(closed.size(), 0);

        m_panel->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_panel.get()));
        m_workspace->setFrontmost(
            RunningApplication {0x1200001, 501, QStringLiteral("Kate"), QStringLiteral("notes")});
        QWindowSystemInterface::handleWindowActivated<QWindowSystemInterface::SynchronousDelivery>(
            nullptr);
        QCOMPARE(closed.size(), 1);
    }

private:
    ManualScheduler m_scheduler;
    SimDisplays m_displays;
    std::unique_ptr<SimWorkspace> m_workspace;
    std::unique_ptr<QuickPanelWindow> m_panel;
};

NORVALE_TEST_CLASS(QuickPanelWindowTest)
#include "tst_quickpanelwindow.moc"
