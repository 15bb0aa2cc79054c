#include "common/TestMain.h"
#include "mouse/MouseSystemTools.h"
#include "platform/sim/ManualScheduler.h"
#include "platform/sim/ScriptedSystemCommands.h"

#include <QTest>

class MouseSystemToolsTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Answers of "gsettings get" and "gsettings writable"; an empty answer: the tool fails.
    void naturalScrollingThroughGSettings_data()
    {
        QTest::addColumn<QString>("get");
        QTest::addColumn<QString>("writable");
        QTest::addColumn<bool>("natural");
        QTest::addColumn<QStringList>("command");

        const QStringList set {QStringLiteral("/usr/bin/gsettings"), QStringLiteral("set"),
            QStringLiteral("org.gnome.desktop.peripherals.mouse"), QStringLiteral("natural-scroll"),
            QStringLiteral("false")};
        QTest::newRow("key present and off") << "false\n"
                                             << "true\n"
                                             << false << set;
        QTest::newRow("key present and on") << "true\n"
                                            << "true\n"
                                            << true << set;
        QTest::newRow("key locked: nothing to write") << "false\n"
                                                      << "false\n"
                                                      << false << QStringList {};
        QTest::newRow("no such key: natural, nothing to write")
            << QString() << QString() << true << QStringList {};
    }

    void naturalScrollingThroughGSettings()
    {
        QFETCH(QString, get);
        QFETCH(QString, writable);
        QFETCH(bool, natural);
        QFETCH(QStringList, command);
        ManualScheduler scheduler;
        ScriptedSystemCommands runner(scheduler);
        const QStringList key {QStringLiteral("org.gnome.desktop.peripherals.mouse"),
            QStringLiteral("natural-scroll")};
        for (const auto& [verb, answer] : {std::pair {QStringLiteral("get"), get},
                 std::pair {QStringLiteral("writable"), writable}}) {
            if (!answer.isEmpty()) {
                runner.script(QStringLiteral("/usr/bin/gsettings"), QStringList {verb} + key,
                    SystemCommandResult::success(answer));
            }
        }
        const MouseSystemTools tools =
            MouseSystemTools::withGSettings(runner, QStringLiteral("/usr/libexec/norvale-hidutil"));
        QCOMPARE(tools.readNaturalScrolling(), natural);
        QCOMPARE(tools.naturalScrollingCommand(false).value_or(QStringList {}), command);
    }
};

NORVALE_TEST_CLASS(MouseSystemToolsTest)
#include "tst_mousesystemtools.moc"
