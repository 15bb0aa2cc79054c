// The quick panel's view driven like a user drives it: real key events to whatever has the
// focus, input-method events, clicks on rows; its sections' heights, and the date format.

#include "QuickPanelWorld.h"
#include "common/TestMain.h"
#include "panel/ClipboardHistoryDateFormatting.h"
#include "panel/ClipboardHistoryMenu.h"
#include "panel/ClipboardImageHistoryGridItem.h"
#include "panel/FixedPhraseLauncherRow.h"
#include "panel/QuickPanelSection.h"
#include "panel/QuickPanelWindow.h"
#include "platform/sim/SimDisplays.h"
#include "platform/sim/SimWorkspace.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

namespace {

// Texts t1 (newest) to t3, a URL, an image; folders A, B, C, the last with c1 and c2. The
// view in the panel's window, open and active, as the application shows it.
struct View : QuickPanelWorld
{
    View()
    {
        history.setItems({text(QStringLiteral("t1")), text(QStringLiteral("t2")),
            text(QStringLiteral("t3")), text(QStringLiteral("https://u1")), image(7)});
        addFolder(QStringLiteral("A"), {{"a1", "alpha"}});
        addFolder(QStringLiteral("B"), {{"b1", "beta"}});
        addFolder(QStringLiteral("C"), {{"c1", "gamma"}, {"c2", "delta"}});
        displays.setDisplays({SimDisplays::display(QStringLiteral("A"), {0, 0, 1920, 1200}, true)});
        window.setContent(view);
        window.setPanelSize(QSize(780, 1148));
        window.open(QRect(100, 100, 1, 1));
    }

    // Keys to the focused widget, or the window when none has the focus: "down", "up", "left",
    // "right", "return", "enter", "escape", or characters typed ("_" types a blank).
    void press(const QString& keys)
    {
        static const QHash<QString, Qt::Key> named {{"down", Qt::Key_Down}, {"up", Qt::Key_Up},
            {"left", Qt::Key_Left}, {"right", Qt::Key_Right}, {"return", Qt::Key_Return},
            {"escape", Qt::Key_Escape}, {"tab", Qt::Key_Tab}};
        static const QHash<QString, Qt::Key> shifted {
            {"shift+3", Qt::Key_NumberSign}, {"shift+2", Qt::Key_At}};
        for (const QString& key : keys.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            QWidget* target = window.focusWidget() ? window.focusWidget() : &window;
            if (key == u"enter") {
                QTest::keyClick(target, Qt::Key_Enter, Qt::KeypadModifier);
            } else if (shifted.contains(key)) {
                QTest::keyClick(target, shifted.value(key), Qt::ShiftModifier);
            } else if (named.contains(key)) {
                QTest::keyClick(target, named.value(key));
            } else {
                QTest::keyClicks(target, QString(key).replace(u'_', u' '));
            }
            scheduler.runPending();
        }
    }
    QString selection() const
    {
        for (const ClipboardHistoryItem& item : history.items()) {
            if (item.id == menu.selectedHistoryItemID()) {
                return item.text.value_or(QStringLiteral("image"));
            }
        }
        return QStringLiteral("-");
    }
    QString copied() const
    {
        if (copies.empty()) {
            return QStringLiteral("-");
        }
        return clipboardText() +
            (copies.back() == ClipboardHistoryMenuCopySource::History ? "/history" : "/phrase");
    }
    QAbstractItemView* list(ClipboardHistoryKind kind) const
    {
        return view->historySection(kind)->view();
    }

    SimDisplays displays;
    SimWorkspace workspace {scheduler};
    QuickPanelWindow window {workspace, displays};
    ClipboardHistoryMenu* view = new ClipboardHistoryMenu(menu);
};

} // namespace

class QuickPanelViewTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void keys_data()
    {
        // clang-format off
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("state"); // selection, copy, side panel, text rows, field focus, window
        QTest::newRow("typing filters") << "t2 down" << "t2 - closed 1 field open";
        QTest::newRow("Return copies") << "down down return" << "t2 t2/history closed 3 field open";
        QTest::newRow("Tab stays in the field") << "tab t3 down" << "t3 - closed 1 field open";
        QTest::newRow("Right opens the side panel") << "down right" << "- - open 3 - open";
        QTest::newRow("Right with text moves the cursor")
            << "t left right" << "- - closed 3 field open";
        QTest::newRow("side panel: 3, then 2") << "right 3 2" << "- delta/phrase closed 3 field open";
        QTest::newRow("side panel: labels ignore Shift")
            << "right shift+3 shift+2" << "- delta/phrase closed 3 field open";
        QTest::newRow("side panel: no such label") << "right 9" << "- - open 3 - open";
        QTest::newRow("Left back to the field") << "right left" << "- - closed 3 field open";
        QTest::newRow("after Escape: Down, Return")
            << "right escape down return" << "t1 t1/history closed 3 field open";
        QTest::newRow("after Escape: Right") << "right escape right" << "- - open 3 - open";
        QTest::newRow("after Escape: typing") << "right escape t3 down" << "t3 - closed 1 field open";
        QTest::newRow("Escape closes the panel") << "escape" << "- - closed 3 - closed";
        // clang-format on
    }
    void keys()
    {
        QFETCH(QString, keys);
        View view;
        QVERIFY(QTest::qWaitForWindowActive(&view.window));
        view.press(keys);
        const QStringList state {view.selection(), view.copied(),
            view.menu.fixedPhrasePanelSelection() ? QStringLiteral("open")
                                                  : QStringLiteral("closed"),
            QString::number(view.list(ClipboardHistoryKind::Text)->model()->rowCount()),
            view.view->searchField()->hasFocus() ? QStringLiteral("field") : QStringLiteral("-"),
            view.window.isOpen() ? QStringLiteral("open") : QStringLiteral("closed")};
        QTEST(state.join(u' '), "state");
        if (keys.startsWith(u"t left")) {
            QCOMPARE(view.view->searchField()->cursorPosition(), 1);
        }
    }

    // A composition ends in a commit, or is dropped by the next opening's reset; either way
    // the keys come back to the panel.
    void preeditGoesToTheInputMethod_data()
    {
        QTest::addColumn<bool>("committed");
        QTest::newRow("committed") << true;
        QTest::newRow("dropped by a reset") << false;
    }
    void preeditGoesToTheInputMethod()
    {
        QFETCH(bool, committed);
        View view;
        QVERIFY(QTest::qWaitForWindowActive(&view.window));
        QLineEdit* field = view.view->searchField();
        QInputMethodEvent composing(QStringLiteral("てきすと"), {});
        QApplication::sendEvent(field, &composing);
        view.press(QStringLiteral("down"));
        QCOMPARE(view.selection(), QStringLiteral("-"));
        if (committed) {
            QInputMethodEvent commit;
            commit.setCommitString(QStringLiteral("t"));
            QApplication::sendEvent(field, &commit);
            QCOMPARE(view.menu.searchText(), QStringLiteral("t"));
        } else {
            view.menu.reset();
        }
        view.press(QStringLiteral("down"));
        QCOMPARE(view.selection(), QStringLiteral("t1"));
    }

    // Whatever a click lands on, the keys stay with the search field.
    void clicks_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("copied");
        QTest::addColumn<int>("left");
        QTest::newRow("text row") << "text row"
                                  << "t2/history" << 5;
        QTest::newRow("text delete") << "text delete"
                                     << "-" << 4;
        QTest::newRow("image") << "image row"
                               << "/history" << 5;
        QTest::newRow("image delete") << "image delete"
                                      << "-" << 4;
        QTest::newRow("header button") << "button"
                                       << "-" << 5;
        QTest::newRow("empty area") << "header"
                                    << "-" << 5;
    }
    void clicks()
    {
        QFETCH(QString, target);
        View view;
        QVERIFY(QTest::qWaitForWindowActive(&view.window));
        QWidget* widget = nullptr;
        QPoint at;
        if (target == u"button" || target == u"header") {
            auto* button = view.view->findChild<QPushButton*>();
            widget = target == u"button" ? button : button->parentWidget();
            at = target == u"button" ? button->rect().center() : QPoint(2, 2);
        } else {
            const bool image = target.startsWith(u"image"); // the image, or the text t2
            QAbstractItemView* list =
                view.list(image ? ClipboardHistoryKind::Image : ClipboardHistoryKind::Text);
            const QRect item = list->visualRect(list->model()->index(image ? 0 : 1, 0));
            const auto* delegate =
                static_cast<ClipboardHistoryEntryDelegate*>(list->itemDelegate());
            widget = list->viewport();
            at = target.endsWith(u"delete") ? delegate->deleteButtonRect(item).center()
                                            : item.topLeft() + QPoint(30, 20);
        }
        QTest::mouseClick(widget, Qt::LeftButton, {}, at);
        QTEST(view.copied(), "copied");
        QTEST(int(view.history.items().size()), "left");
        view.press(QStringLiteral("t3 down return"));
        QCOMPARE(view.copied(), QStringLiteral("t3/history"));
        QVERIFY(view.view->searchField()->hasFocus());
    }

    // The sections' fixed heights: rows × 35 + 30 for texts and URLs; for images, up to three
    // rows of max(124 × scale, 136) with 8 between them, plus 50.
    void sectionHeights_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<double>("scale");
        QTest::addColumn<int>("textHeight");
        QTest::addColumn<int>("imageHeight");
        QTest::newRow("5 rows") << 5 << 1.0 << 205 << 474;
        QTest::newRow("1 row") << 1 << 1.0 << 65 << 186;
        QTest::newRow("2 rows at 1.5") << 2 << 1.5 << 100 << 430;
        QTest::newRow("small scale keeps 136") << 4 << 0.5 << 170 << 474;
        QTest::newRow("12 rows at 2") << 12 << 2.0 << 450 << 810;
    }
    void sectionHeights()
    {
        QFETCH(int, rows);
        QFETCH(double, scale);
        View view;
        view.history.setDisplayHistoryRowCount(rows);
        view.menu.setUiScale(scale);
        QTEST(view.view->historySection(ClipboardHistoryKind::Text)->height(), "textHeight");
        QTEST(view.view->historySection(ClipboardHistoryKind::Url)->height(), "textHeight");
        QTEST(view.view->historySection(ClipboardHistoryKind::Image)->height(), "imageHeight");
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        view.view->grab().save(
            QStringLiteral(QT_TESTCASE_BUILDDIR "/quick-panel-%1-%2.png").arg(rows).arg(scale));
        QCOMPARE(view.view->searchField()->font().pixelSize(), qRound(13 * scale));
        for (const QLabel* label : view.view->findChildren<QLabel*>()) { // no symbol clipped
            const QSize symbol = label->pixmap().deviceIndependentSize().toSize();
            QVERIFY(label->contentsRect().width() >= symbol.width());
            QVERIFY(label->contentsRect().height() >= symbol.height());
        }
    }

    // The launcher's place on screen, where the side panel opens from the keyboard, follows the
    // panel's window and its scrolled content.
    void launcherFrameFollowsItsPlaceOnScreen_data()
    {
        QTest::addColumn<QPoint>("windowMove");
        QTest::addColumn<int>("scroll");
        QTest::newRow("the window moves") << QPoint(40, 30) << 0;
        QTest::newRow("the content scrolls") << QPoint() << 120;
    }
    void launcherFrameFollowsItsPlaceOnScreen()
    {
        QFETCH(QPoint, windowMove);
        QFETCH(int, scroll);
        View view;
        view.window.setPanelSize(QSize(780, 400));
        QCoreApplication::processEvents();
        const QRect before = view.view->launcher()->globalFrame();
        QSignalSpy reported(view.view, &ClipboardHistoryMenu::launcherGlobalFrameChanged);
        view.window.move(view.window.pos() + windowMove);
        view.window.findChild<QScrollArea*>()->verticalScrollBar()->setValue(scroll);
        QCoreApplication::processEvents();
        QVERIFY(!reported.isEmpty());
        QCOMPARE(reported.last().at(0).toRect(), before.translated(windowMove - QPoint(0, scroll)));
    }

    // The arrows move the selection out of sight: the list glides, easing out over 0.08 s,
    // until it is in the middle, each further move setting out again from where the list is.
    void selectionGlidesToTheMiddle_data()
    {
        QTest::addColumn<QString>("searchText");
        QTest::newRow("history") << "";
        QTest::newRow("phrase results") << "s_entry";
    }
    void selectionGlidesToTheMiddle()
    {
        QFETCH(QString, searchText);
        View view;
        QList<ClipboardHistoryItem> texts;
        QList<QuickPanelWorld::Phrase> entries;
        for (int i = 0; i < 30; ++i) {
            texts.append(view.text(QStringLiteral("entry %1").arg(i)));
            entries.append({QStringLiteral("entry %1").arg(i), QStringLiteral("c")});
        }
        view.history.setItems(texts);
        view.addFolder(QStringLiteral("D"), entries);
        QVERIFY(QTest::qWaitForWindowActive(&view.window));
        view.press(
            searchText + QStringLiteral(" down down down down down down down down down down down"));
        QAbstractItemView* list = searchText.isEmpty() ? view.list(ClipboardHistoryKind::Text)
                                                       : view.view->fixedPhraseSection()->view();
        auto* glide = list->verticalScrollBar()->findChild<QPropertyAnimation*>();
        QVERIFY(glide);
        const int from = glide->startValue().toInt();
        glide->setCurrentTime(40);
        const int halfway = list->verticalScrollBar()->value();
        glide->setCurrentTime(80);
        QCOMPARE(glide->state(), QAbstractAnimation::Stopped);
        const int to = list->verticalScrollBar()->value();
        QVERIFY(std::abs(halfway - from) > std::abs(to - from) / 2); // eased out
        const QRect selected = list->visualRect(list->model()->index(10, 0));
        QVERIFY(qAbs(selected.center().y() - list->viewport()->rect().center().y()) <= 1);
    }

    // A capture adds a row, without rebuilding the list.
    void rowsFollowTheHistory()
    {
        View view;
        QAbstractItemModel* texts = view.list(ClipboardHistoryKind::Text)->model();
        QSignalSpy inserted(texts, &QAbstractItemModel::rowsInserted);
        QSignalSpy reset(texts, &QAbstractItemModel::modelReset);
        view.history.setItems(QList {view.text(QStringLiteral("t0"))} + view.history.items());
        QCOMPARE(inserted.size(), 1);
        QCOMPARE(reset.size(), 0);
        QCOMPARE(texts->rowCount(), 4);
    }

    void dateFormatting()
    {
        // Shown in Tokyo time, whatever the machine's zone: the next day there.
        QCOMPARE(ClipboardHistoryDateFormatting::string(
                     QDateTime(QDate(2026, 12, 31), QTime(15, 30, 5), Qt::UTC)),
            QStringLiteral("2027/01/01 00:30:05"));
        QCOMPARE(ClipboardHistoryDateFormatting::zoneOrSystem("No/Such_Zone"),
            QTimeZone::systemTimeZone());
    }
};

NORVALE_TEST_CLASS(QuickPanelViewTest)
#include "tst_quickpanelview.moc"
