#include "app/StatusItemIcon.h"
#include "common/TestMain.h"
#include "platform/linux/LinuxSystemTray.h"

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
        const auto entry = [&ran](const QString& title, std::optional<bool> checked,
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
        const auto menu = LinuxSystemTray::buildMenu({
            entry(QStringLiteral("監視"), true),
            entry(QStringLiteral("抑止"), false),
            StatusMenuEntry::makeSeparator(),
            entry(QStringLiteral("終了"), std::nullopt, QKeySequence(Qt::CTRL | Qt::Key_Q)),
        });
        QStringList described;
        for (QAction* action : menu->actions()) {
            described << (action->isSeparator() ? QStringLiteral("-")
                                                : action->text() +
                        (action->isCheckable() ? (action->isChecked() ? "[x]" : "[ ]") : "") +
                        action->shortcut().toString(QKeySequence::PortableText));
        }
        QCOMPARE(described, QStringList({"監視[x]", "抑止[ ]", "-", "終了Ctrl+Q"}));
        menu->actions().at(3)->trigger();
        menu->actions().at(0)->trigger();
        QCOMPARE(ran, QStringList({"終了", "監視"}));
    }

    void shippedIconIsDrawn()
    {
        const QImage image = statusItemIcon().pixmap(QSize(18, 18)).toImage();
        QCOMPARE(image.size(), QSize(18, 18));
        QCOMPARE(qAlpha(image.pixel(0, 0)), 0); // rounded corner outside the tile
        QVERIFY(image.pixelColor(2, 9).blue() > 150); // the tile
        QVERIFY(qGray(image.pixel(5, 9)) > 200); // the N's white stem
    }
};

NORVALE_TEST_CLASS(StatusItemTest)
#include "tst_statusitem.moc"
