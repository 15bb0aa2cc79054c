#include "QuickPanelWorld.h"
#include "common/TestMain.h"
#include "panel/FixedPhraseHoverPanelColumn.h"
#include "panel/FixedPhraseHoverPanelController.h"
#include "panel/HoverImagePreviewPanelController.h"
#include "panel/QuickPanelFloatingPanels.h"
#include "platform/KeyCodes.h"
#include "platform/sim/SimDisplays.h"

#include <QCoreApplication>
#include <QDir>
#include <QEnterEvent>
#include <QLabel>
#include <QListWidget>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

namespace {

void clickRow(FixedPhraseHoverPanelColumn* column, int row)
{
    QListWidget* list = column->list();
    const QRect rect = list->visualItemRect(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
}

QString labelOf(FixedPhraseHoverPanelColumn* column, int row)
{
    return column->list()->item(row)->data(FixedPhraseHoverPanelColumn::LabelRole).toString();
}

QList<int> highlightedRows(FixedPhraseHoverPanelColumn* column)
{
    QList<int> rows;
    for (int i = 0; i < column->list()->count(); ++i) {
        if (column->list()->item(i)->data(FixedPhraseHoverPanelColumn::HighlightedRole).toBool()) {
            rows.append(i);
        }
    }
    return rows;
}

} // namespace

class FloatingPanelsTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_world = std::make_unique<QuickPanelWorld>();
        m_displays.setDisplays(
            {SimDisplays::display(QStringLiteral("A"), {0, 0, 1920, 1080}, true)});
        m_displays.setPointerLocation({300, 450});
        m_quickPanel = std::make_unique<QWidget>(nullptr, Qt::Tool | Qt::FramelessWindowHint);
        m_quickPanel->setGeometry(100, 100, 780, 700);
        m_quickPanel->show();
        m_panels = std::make_unique<QuickPanelFloatingPanels>(m_world->menu, m_world->phraseModel,
            m_world->history, m_world->scheduler, m_world->executor, m_displays);
        m_panels->setPanelWindow(m_quickPanel.get());
    }
    void cleanup()
    {
        m_panels.reset();
        m_quickPanel.reset();
        m_world.reset();
    }

    // Keyboard state after the steps: the panel flag, the keyboard selection, the search
    // field's focus, the number of copies.
    void sidePanelComingAndGoing_data()
    {
        // clang-format off
        QTest::addColumn<QString>("steps");
        QTest::addColumn<bool>("shown");
        QTest::addColumn<QString>("keyboard");
        QTest::newRow("left the launcher 0.21 s ago") << "enter leave 0.21" << true << "- closed - 0";
        QTest::newRow("left the launcher 0.22 s ago") << "enter leave 0.22" << false << "- closed - 0";
        QTest::newRow("into the panel within 0.22 s")
            << "enter leave 0.2 panelEnter 1" << true << "- closed - 0";
        QTest::newRow("back onto the launcher within 0.22 s")
            << "enter leave 0.1 enter 1" << true << "- closed - 0";
        QTest::newRow("out of the panel")
            << "enter leave panelEnter panelLeave 0.22" << false << "- closed - 0";
        QTest::newRow("keyboard mode ignores the panel's hover")
            << "keyboard panelEnter panelLeave 1" << true << "flag open - 0";
        QTest::newRow("the pointer takes the keyboard's panel over")
            << "keyboard enter key1 key2" << true << "- closed field 0";
        QTest::newRow("the keyboard's panel hidden after the delay")
            << "keyboard leave 0.22 key1 key2" << false << "- closed field 0";
        // clang-format on
    }

    void sidePanelComingAndGoing()
    {
        QFETCH(QString, steps);
        m_world->addFolder(QStringLiteral("F"),
            {{QStringLiteral("t"), QStringLiteral("c")},
                {QStringLiteral("u"), QStringLiteral("d")}});
        ClipboardHistoryMenuViewModel& menu = m_world->menu;
        FixedPhraseHoverPanelController& side = m_panels->sidePanel();
        for (const QString& step : steps.split(u' ')) {
            if (step == u"enter" || step == u"leave") {
                m_panels->launcherHoverChanged(step == u"enter", QRect(120, 200, 756, 44));
            } else if (step == u"keyboard") {
                menu.showFixedPhrasePanelFromKeyboard();
            } else if (step == u"panelEnter") {
                QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
                QCoreApplication::sendEvent(side.content(), &enter);
            } else if (step == u"panelLeave") {
                QEvent leave(QEvent::Leave);
                QCoreApplication::sendEvent(side.content(), &leave);
            } else if (step.startsWith(u"key")) { // a label key, where the quick panel sends it
                const QString label = step.mid(3);
                const std::uint16_t code = *canonicalKeyCode(Qt::Key(label.at(0).unicode()), {});
                if (menu.fixedPhrasePanelSelection()) {
                    menu.handleFixedPhrasePanelKeyDown(code, label);
                } else {
                    menu.handleSearchKeyDown(code);
                }
            } else {
                m_world->scheduler.advance(step.toDouble());
            }
        }
        m_world->scheduler.runPending();
        QTEST(side.isShown(), "shown");
        const QStringList keyboard {menu.fixedPhrasePanelVisible() ? "flag" : "-",
            menu.fixedPhrasePanelSelection() ? "open" : "closed",
            menu.searchFieldFocused() ? "field" : "-", QString::number(m_world->copies.size())};
        QTEST(keyboard.join(u' '), "keyboard");
    }

    void titleColumnResizesAndMovesThePanel()
    {
        for (const QString& title :
            {QStringLiteral("一"), QStringLiteral("二"), QStringLiteral("三")}) {
            m_world->addFolder(title,
                {{title + QStringLiteral("-1"), QStringLiteral("c1")},
                    {title + QStringLiteral("-2"), QStringLiteral("c2")}});
        }
        // Near the right edge the panel opens to the launcher's left, tops level.
        m_panels->setLauncherGlobalRect(QRect(1100, 80, 756, 44));
        m_world->menu.showFixedPhrasePanelFromKeyboard();
        FixedPhraseHoverPanelController& side = m_panels->sidePanel();
        QCOMPARE(side.window()->geometry(), QRect(930, 80, 160, 240));
        QVERIFY(!side.content()->titleColumn()->isVisibleTo(side.window()));

        QVERIFY(
            m_world->menu.handleFixedPhrasePanelKeyDown(*canonicalKeyCode(Qt::Key_3, {}), u"3"));
        QCOMPARE(side.window()->geometry(), QRect(660, 80, 430, 240));
        QCOMPARE(highlightedRows(side.content()->folderColumn()), QList<int> {2});
        QCOMPARE(side.content()->titleColumn()->list()->item(1)->text(), QStringLiteral("三-2"));
        QCOMPARE(side.content()->titleColumn()->list()->item(1)->toolTip(), QStringLiteral("c2"));
        QDir(QCoreApplication::applicationDirPath()).mkpath(QStringLiteral("screenshots"));
        side.window()->grab().save(
            QCoreApplication::applicationDirPath() + QStringLiteral("/screenshots/side-panel.png"));

        QVERIFY(m_world->menu.handleFixedPhrasePanelKeyDown(KeyCode::leftArrow, u""));
        QCOMPARE(side.window()->geometry(), QRect(930, 80, 160, 240));
    }

    void mouseClicksChooseAFolderAndCopyAPhrase()
    {
        m_world->addFolder(QStringLiteral("空"), {});
        m_world->addFolder(QStringLiteral("挨拶"),
            {{QStringLiteral("朝"), QStringLiteral("おはよう")},
                {QStringLiteral("夜"), QStringLiteral("こんばんは")}});
        m_panels->launcherHoverChanged(true, QRect(120, 200, 756, 44));
        FixedPhraseHoverPanelController& side = m_panels->sidePanel();
        QCOMPARE(side.window()->parentWidget(), m_quickPanel.get()); // transient for the panel
        QVERIFY(side.window()->windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));

        clickRow(side.content()->folderColumn(), 0);
        QCOMPARE(
            side.content()->titleColumn()->caption()->text(), QStringLiteral("項目はありません"));
        QCOMPARE(side.window()->width(), 430);
        clickRow(side.content()->folderColumn(), 1);
        clickRow(side.content()->titleColumn(), 1);
        QCOMPARE(m_world->clipboardText(), QStringLiteral("こんばんは"));
        QCOMPARE(m_world->copies,
            std::vector<ClipboardHistoryMenuCopySource> {
                ClipboardHistoryMenuCopySource::FixedPhraseAutoPaste});
        QVERIFY(!side.isShown());
    }

    void foldersBeyondThe35thHaveNoLabel()
    {
        for (int i = 0; i < 36; ++i) {
            m_world->addFolder(QString::number(i), {});
        }
        m_panels->launcherHoverChanged(true, QRect(120, 200, 756, 44));
        FixedPhraseHoverPanelColumn* folders = m_panels->sidePanel().content()->folderColumn();
        QCOMPARE(labelOf(folders, 0), QStringLiteral("1"));
        QCOMPARE(labelOf(folders, 34), QStringLiteral("z"));
        QCOMPARE(labelOf(folders, 35), QString());
    }

    void imagePreviewBesideThePanelAndHideAll()
    {
        m_displays.setDisplays(
            {SimDisplays::display(QStringLiteral("A"), {0, 0, 1440, 900}, true)});
        const ClipboardHistoryItem item = ClipboardHistoryItem::makeImage(
            QuickPanelWorld::png(QSize(4000, 3000), qRgb(0, 128, 128)), m_world->scheduler.now());

        m_panels->thumbnailHoverChanged(item, true);
        HoverImagePreviewPanelController& preview = m_panels->imagePreview();
        QVERIFY(!preview.isShown()); // until the image is decoded
        m_world->executor.runAll();
        m_world->scheduler.runPending();
        QVERIFY(preview.isShown());
        QVERIFY(preview.window()->windowFlags().testFlag(Qt::WindowTransparentForInput));
        // 85 % of 1440 x 900, right of the quick panel since there is no room on its left.
        QCOMPARE(preview.window()->geometry(), QRect(216, 68, 1224, 765));
        QCOMPARE(preview.scrollArea()->widget()->size(), QSize(4000, 3000));
        QCoreApplication::processEvents(); // the scroll area lays out on the next turn
        QVERIFY(preview.scrollArea()->horizontalScrollBar()->isVisible());
        QVERIFY(preview.scrollArea()->verticalScrollBar()->isVisible());
        preview.window()->grab().save(
            QCoreApplication::applicationDirPath() + QStringLiteral("/screenshots/preview.png"));

        m_panels->launcherHoverChanged(true, QRect(120, 200, 756, 44));
        m_panels->hideAll();
        QVERIFY(!preview.isShown());
        QVERIFY(!m_panels->sidePanel().isShown());
        // Neither the window nor the panels keep the 4000 x 3000 pixels: hovering again decodes.
        QVERIFY(static_cast<QLabel*>(preview.scrollArea()->widget())->pixmap().isNull());
        m_panels->thumbnailHoverChanged(item, true);
        QCOMPARE(m_world->executor.pendingCount(), 1);
    }

    // The pointer rests on the image entry 1, then "after" happens before its full image is
    // decoded; the preview shows the entry the decode ended for, if it still is the one
    // previewed.
    void imagePreviewDecodedLater_data()
    {
        QTest::addColumn<QString>("after");
        QTest::addColumn<int>("shownWidth");

        QTest::newRow("still hovered") << "" << 40;
        QTest::newRow("left the thumbnail") << "leave" << 0;
        QTest::newRow("moved on to entry 2") << "hover2" << 80;
        QTest::newRow("search text typed") << "type" << 0;
        QTest::newRow("panel closed") << "close" << 0;
        QTest::newRow("entry deleted") << "delete" << 0;
    }
    void imagePreviewDecodedLater()
    {
        QFETCH(QString, after);
        // The entries' full images are 40 and 80 pixels wide.
        const auto entry = [this](int width) {
            return ClipboardHistoryItem::makeImage(
                QuickPanelWorld::png(QSize(width, 30), qRgb(255, 0, 0)), m_world->scheduler.now());
        };
        const ClipboardHistoryItem one = entry(40);
        const ClipboardHistoryItem two = entry(80);
        m_world->history.setItems({one, two});
        m_world->executor.runAll();
        m_world->scheduler.runPending();

        m_panels->thumbnailHoverChanged(one, true);
        if (after == u"leave" || after == u"hover2") {
            m_panels->thumbnailHoverChanged(one, false);
        }
        if (after == u"hover2") {
            m_panels->thumbnailHoverChanged(two, true);
        } else if (after == u"type") {
            m_world->menu.setSearchText(QStringLiteral("g"));
        } else if (after == u"close") {
            m_panels->hideAll();
        } else if (after == u"delete") {
            m_world->history.removeItem(one.id);
        }
        m_world->executor.runAll();
        m_world->scheduler.runPending();
        HoverImagePreviewPanelController& preview = m_panels->imagePreview();
        QFETCH(int, shownWidth);
        QCOMPARE(preview.isShown() ? preview.scrollArea()->widget()->width() : 0, shownWidth);
    }

private:
    std::unique_ptr<QuickPanelWorld> m_world;
    SimDisplays m_displays;
    std::unique_ptr<QWidget> m_quickPanel;
    std::unique_ptr<QuickPanelFloatingPanels> m_panels;
};

NORVALE_TEST_CLASS(FloatingPanelsTest)
#include "tst_floatingpanels.moc"
