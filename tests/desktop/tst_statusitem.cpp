#include "app/StatusItem.h"
#include "common/TestMain.h"

#include <QAction>
#include <QIcon>
#include <QMenu>
#include <QTest>

class StatusItemTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void menuFollowsTheEntries()
    {
        QStringList ran;
        const auto entry = [&](const QString& title, std::optional<bool> checked,
                               QKeySequence shortcut = {}) {
            StatusMenuEntry e;
            e.title = title;
            e.checked = checked;
            e.shortcut = shortcut;
            e.action = [&ran, title] {
                ran << title;
            };
            return e;
        };
        const QList<StatusMenuEntry> entries {
            entry(QStringLiteral("クリップボード監視"), true),
            entry(QStringLiteral("Dock移動抑止"), false),
            entry(QStringLiteral("履歴を表示"), std::nullopt),
            StatusMenuEntry::makeSeparator(),
            entry(QStringLiteral("設定"), std::nullopt, QKeySequence(Qt::CTRL | Qt::Key_Comma)),
            StatusMenuEntry::makeSeparator(),
            entry(QStringLiteral("終了"), std::nullopt, QKeySequence(Qt::CTRL | Qt::Key_Q)),
        };
        const auto menu = StatusItem::buildMenu(entries);
        const QList<QAction*> actions = menu->actions();
        QCOMPARE(actions.size(), 7);
        QStringList titles;
        for (QAction* action : actions) {
            titles << (action->isSeparator() ? QStringLiteral("-") : action->text());
        }
        QCOMPARE(titles,
            QStringList({QStringLiteral("クリップボード監視"), QStringLiteral("Dock移動抑止"),
                QStringLiteral("履歴を表示"), QStringLiteral("-"), QStringLiteral("設定"),
                QStringLiteral("-"), QStringLiteral("終了")}));
        QVERIFY(actions.at(0)->isCheckable());
        QVERIFY(actions.at(0)->isChecked());
        QVERIFY(actions.at(1)->isCheckable());
        QVERIFY(!actions.at(1)->isChecked());
        QVERIFY(!actions.at(2)->isCheckable());
        QCOMPARE(actions.at(4)->shortcut().toString(QKeySequence::PortableText),
            QStringLiteral("Ctrl+,"));
        QCOMPARE(actions.at(6)->shortcut().toString(QKeySequence::PortableText),
            QStringLiteral("Ctrl+Q"));
        QVERIFY(actions.at(0)->shortcut().isEmpty());

        actions.at(6)->trigger();
        actions.at(0)->trigger();
        QCOMPARE(ran, QStringList({QStringLiteral("終了"), QStringLiteral("クリップボード監視")}));
    }

    void showMenuReplacesTheOpenMenu()
    {
        StatusItem item;
        StatusMenuEntry entry;
        entry.title = QStringLiteral("A");
        item.showMenu({entry}, QPoint(10, 10));
        QVERIFY(item.isMenuVisible());
        entry.title = QStringLiteral("B");
        item.showMenu({entry}, QPoint(10, 10));
        QVERIFY(item.isMenuVisible());
        int menus = 0;
        const QWidgetList widgets = QApplication::topLevelWidgets();
        for (QWidget* widget : widgets) {
            if (auto* menu = qobject_cast<QMenu*>(widget); menu != nullptr && menu->isVisible()) {
                ++menus;
                QCOMPARE(menu->actions().first()->text(), QStringLiteral("B"));
            }
        }
        QCOMPARE(menus, 1);
        item.closeMenu();
        QVERIFY(!item.isMenuVisible());
    }

    void shippedIconIsTheDrawnN()
    {
        const QIcon icon = StatusItem::icon();
        QVERIFY(!icon.isNull());
        QVERIFY(icon.availableSizes().contains(QSize(18, 18)));
        const QImage image = icon.pixmap(QSize(18, 18)).toImage();
        QCOMPARE(image.size(), QSize(18, 18));
        QCOMPARE(qAlpha(image.pixel(0, 0)), 0); // rounded corner outside the tile
        const QColor tile = image.pixelColor(2, 9); // left of the letter
        QVERIFY(tile.blue() > 150 && tile.red() < 100);
        const QColor stroke = image.pixelColor(5, 9); // the N's left stem
        QVERIFY(stroke.red() > 200 && stroke.green() > 200 && stroke.blue() > 200);
    }
};

NORVALE_TEST_CLASS(StatusItemTest)
#include "tst_statusitem.moc"
