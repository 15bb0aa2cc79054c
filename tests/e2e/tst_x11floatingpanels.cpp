// The quick panel's floating windows on a real X server with openbox, run inside the private
// desktop by e2e_tst.sh: the side panel and the image preview never take the focus from the
// quick panel, even when clicked, stay transient for it, follow it when it moves and go when
// it closes. Pointer and clicks are real (xdotool).

#include "common/TestMain.h"
#include "panel/FixedPhraseHoverPanel.h"
#include "panel/FixedPhraseHoverPanelColumn.h"
#include "panel/FixedPhraseHoverPanelController.h"
#include "panel/FixedPhrasePanelSelection.h"
#include "panel/HoverImagePreviewPanelController.h"
#include "panel/QuickPanelWindow.h"
#include "phrases/FixedPhraseModel.h"
#include "platform/FileLocations.h"
#include "platform/QtScheduler.h"
#include "platform/ThreadPoolExecutor.h"
#include "platform/linux/LinuxDisplays.h"
#include "platform/linux/LinuxWorkspace.h"

#include <QGuiApplication>
#include <QListWidget>
#include <QProcess>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

bool runXdotool(const QString& command)
{
    QProcess process;
    process.start(QStringLiteral("xdotool"), command.split(QLatin1Char(' ')));
    return process.waitForFinished(10000) && process.exitCode() == 0;
}

QString transientFor(QWidget* window)
{
    QProcess process;
    process.start(QStringLiteral("xprop"),
        {QStringLiteral("-id"), QString::number(window->winId()),
            QStringLiteral("WM_TRANSIENT_FOR")});
    process.waitForFinished(10000);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

// A real click in the middle of a list row.
bool clickRow(FixedPhraseHoverPanelColumn* column, int row)
{
    QListWidget* list = column->list();
    const QPoint at = list->viewport()->mapToGlobal(list->visualItemRect(list->item(row)).center());
    return runXdotool(QStringLiteral("mousemove %1 %2 click 1").arg(at.x()).arg(at.y()));
}

} // namespace

class X11FloatingPanelsTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb")) {
            QSKIP("needs the xcb platform inside the e2e desktop");
        }
    }

    void floatingPanelsLeaveTheFocusWithTheQuickPanel()
    {
        LinuxWorkspace workspace;
        LinuxDisplays displays;
        QtScheduler scheduler;
        ThreadPoolExecutor executor(scheduler);
        QTemporaryDir dir;
        FileLocations locations(dir.path());
        FixedPhraseModel phrases(scheduler, executor, locations);
        const QUuid folder = phrases.addFolder();
        phrases.updateFolderTitle(folder, QStringLiteral("挨拶"));
        const QUuid phrase = *phrases.addPhrase(folder);
        phrases.updatePhrase(folder, phrase, QStringLiteral("朝"), QStringLiteral("おはよう"));

        QuickPanelWindow panel(workspace, displays);
        panel.setPanelSize(QSize(780, 600));
        panel.open(QRect(960, 200, 1, 1));
        QTRY_VERIFY_WITH_TIMEOUT(panel.isActiveWindow(), 20000);
        const quint64 panelWindow = panel.winId();
        const auto panelActive = [&workspace, panelWindow] {
            const auto front = workspace.frontmostApplication();
            return front && front->windowID == panelWindow;
        };
        QTRY_VERIFY_WITH_TIMEOUT(panelActive(), 20000);

        FixedPhraseHoverPanelController side(phrases, scheduler, displays);
        QSignalSpy copied(&side, &FixedPhraseHoverPanelController::phraseCopied);
        const QRect launcher(panel.geometry().topLeft() + QPoint(12, 100), QSize(756, 44));
        side.show(1.0, launcher, &panel);
        QVERIFY(QTest::qWaitForWindowExposed(side.window()));
        QTRY_COMPARE_WITH_TIMEOUT(side.window()->geometry(),
            QRect(launcher.right() + 1 + 10, launcher.top(), 160, 240), 5000);
        QCOMPARE(transientFor(side.window()),
            QStringLiteral("WM_TRANSIENT_FOR(WINDOW): window id # 0x%1").arg(panelWindow, 0, 16));

        QVERIFY(clickRow(side.content()->folderColumn(), 0));
        QTRY_COMPARE_WITH_TIMEOUT(side.window()->width(), 430, 5000);
        QVERIFY(clickRow(side.content()->titleColumn(), 0));
        QTRY_COMPARE_WITH_TIMEOUT(copied.size(), 1, 5000);
        QTest::qWait(300); // time for the window manager to move the focus, if it would
        QVERIFY(panelActive());

        // It follows the panel. The pointer leaving it for the panel hides it after the delay.
        const QPoint before = side.window()->pos();
        panel.move(panel.pos() + QPoint(-100, 40));
        QTRY_COMPARE_WITH_TIMEOUT(side.window()->pos(), before + QPoint(-100, 40), 5000);
        const QPoint over = panel.geometry().center();
        QVERIFY(runXdotool(QStringLiteral("mousemove %1 %2").arg(over.x()).arg(over.y())));
        QTRY_VERIFY_WITH_TIMEOUT(!side.isShown(), 5000);

        // The preview beside the panel and the side panel in keyboard mode, which ignores the
        // pointer; neither takes the focus.
        HoverImagePreviewPanelController preview(displays);
        QImage image(400, 300, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        preview.show(image, &panel);
        QVERIFY(QTest::qWaitForWindowExposed(preview.window()));
        QTRY_COMPARE_WITH_TIMEOUT(preview.window()->geometry(),
            QRect(panel.geometry().left() - 400 - 24, over.y() - 150, 400, 300), 5000);
        FixedPhrasePanelSelection keyboard(phrases, true);
        keyboard.selectFolder(folder, true);
        keyboard.selectPhrase(phrase);
        side.show(1.0, launcher.translated(-100, 40), &panel, &keyboard);
        QVERIFY(QTest::qWaitForWindowExposed(side.window()));
        QTest::qWait(300);
        QVERIFY(panelActive());
        QGuiApplication::primaryScreen()->grabWindow(0).save(
            qEnvironmentVariable("E2E_ARTIFACTS") + QStringLiteral("/floating-panels.png"));

        // It closes with the panel.
        panel.dismiss();
        QTRY_VERIFY_WITH_TIMEOUT(!side.isShown(), 5000);
        preview.hide();
    }
};

NORVALE_TEST_CLASS(X11FloatingPanelsTest)
#include "tst_x11floatingpanels.moc"
