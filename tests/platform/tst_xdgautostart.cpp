#include "common/TestFiles.h"
#include "common/TestMain.h"
#include "platform/linux/XdgAutostartLoginItem.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

// XDG_CONFIG_HOME pointed at a temporary folder for the test's lifetime.
struct ConfigHome
{
    QTemporaryDir dir;
    QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    ConfigHome() { qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path())); }
    ~ConfigHome() { qputenv("XDG_CONFIG_HOME", saved); }
    QString entry() const
    {
        return dir.filePath(QStringLiteral("autostart/app.norvale.Norvale.desktop"));
    }
};

} // namespace

class XdgAutostartTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Registered with the program's absolute path (quoted where it has blanks), read back as
    // enabled, and removed again.
    void registerAndUnregister()
    {
        ConfigHome home;
        const QString program = home.dir.filePath(QStringLiteral("my apps/norvale"));
        QVERIFY(writeFile(program, "#!/bin/sh\n") &&
            QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner));
        XdgAutostartLoginItem item(QStringLiteral("app.norvale.Norvale"), program);
        QCOMPARE(item.entryPath(), home.entry());
        QCOMPARE(item.status(), LoginItemStatus::NotRegistered);

        QCOMPARE(item.registerItem(), std::optional<QString>());
        QFile entry(home.entry());
        QVERIFY(entry.open(QIODevice::ReadOnly));
        const QByteArray text = entry.readAll();
        QVERIFY2(text.startsWith("[Desktop Entry]\nType=Application\n"), text.constData());
        QVERIFY2(text.contains(QByteArray("\nExec=\"" + QFile::encodeName(program) + "\"\n")),
            text.constData());
        QCOMPARE(item.status(), LoginItemStatus::Enabled);

        QCOMPARE(item.unregisterItem(), std::optional<QString>());
        QVERIFY(!QFile::exists(home.entry()));
        QCOMPARE(item.status(), LoginItemStatus::NotRegistered);
        QCOMPARE(item.unregisterItem(), std::optional<QString>()); // nothing to remove
    }

    // Entries written by others (the user, the desktop's own tools).
    void statusOfAnEntry_data()
    {
        QTest::addColumn<QByteArray>("entry");
        QTest::addColumn<LoginItemStatus>("status");
        QTest::newRow("enabled") << QByteArray("[Desktop Entry]\nExec=/bin/sh -c true\n")
                                 << LoginItemStatus::Enabled;
        QTest::newRow("hidden") << QByteArray("[Desktop Entry]\nExec=/bin/sh\nHidden=true\n")
                                << LoginItemStatus::NotRegistered;
        QTest::newRow("switched off in GNOME")
            << QByteArray("[Desktop Entry]\nExec=/bin/sh\nX-GNOME-Autostart-enabled=false\n")
            << LoginItemStatus::NotRegistered;
        QTest::newRow("hidden only in another group")
            << QByteArray("[Desktop Entry]\nExec=/bin/sh\n[Desktop Action x]\nHidden=true\n")
            << LoginItemStatus::Enabled;
        QTest::newRow("the program has gone")
            << QByteArray("[Desktop Entry]\nExec=/nonexistent/norvale\n")
            << LoginItemStatus::NotFound;
        QTest::newRow("a bare name on PATH")
            << QByteArray("[Desktop Entry]\nExec=sh\n") << LoginItemStatus::Enabled;
        QTest::newRow("a bare name nowhere on PATH")
            << QByteArray("[Desktop Entry]\nExec=norvale-nonexistent\n")
            << LoginItemStatus::NotFound;
    }

    void statusOfAnEntry()
    {
        QFETCH(QByteArray, entry);
        ConfigHome home;
        QVERIFY(writeFile(home.entry(), entry));
        QTEST(XdgAutostartLoginItem(QStringLiteral("app.norvale.Norvale"), QString()).status(),
            "status");
    }

    // An entry under the former id (a launcher entry copied by the desktop's autostart tools)
    // keeps Norvale starting at login under our id; with both, only ours is left.
    void formerEntryIsTakenOver_data()
    {
        QTest::addColumn<QByteArray>("ours");
        QTest::addColumn<bool>("unregister");
        QTest::addColumn<QByteArray>("left");
        QTest::addColumn<LoginItemStatus>("status");
        const QByteArray launcher("[Desktop Entry]\nName=Norvale\nExec=sh\n");
        const QByteArray switchedOff("[Desktop Entry]\nExec=/bin/sh\nHidden=true\n");
        QTest::newRow("renamed to ours")
            << QByteArray() << false << launcher << LoginItemStatus::Enabled;
        QTest::newRow("ours exists: the former one goes")
            << switchedOff << false << switchedOff << LoginItemStatus::NotRegistered;
        QTest::newRow("switched off: neither is left")
            << QByteArray() << true << QByteArray("<unreadable>") << LoginItemStatus::NotRegistered;
    }

    void formerEntryIsTakenOver()
    {
        QFETCH(QByteArray, ours);
        QFETCH(bool, unregister);
        ConfigHome home;
        const QString former = home.dir.filePath(QStringLiteral("autostart/norvale.desktop"));
        QVERIFY(writeFile(former, "[Desktop Entry]\nName=Norvale\nExec=sh\n"));
        if (!ours.isEmpty()) {
            QVERIFY(writeFile(home.entry(), ours));
        }
        XdgAutostartLoginItem item(QStringLiteral("app.norvale.Norvale"), QStringLiteral("/bin/sh"),
            QStringLiteral("norvale"));
        if (unregister) {
            QCOMPARE(item.unregisterItem(), std::optional<QString>());
        }
        QTEST(item.status(), "status");
        QVERIFY(!QFile::exists(former));
        QTEST(readFile(home.entry()), "left");
    }

    // The autostart folder cannot be made (a file stands in its place): the reason comes back
    // and nothing is registered.
    void unwritableFolder()
    {
        ConfigHome home;
        QVERIFY(writeFile(home.dir.filePath(QStringLiteral("autostart")), "not a folder"));
        XdgAutostartLoginItem item(
            QStringLiteral("app.norvale.Norvale"), QStringLiteral("/bin/sh"));
        const std::optional<QString> failure = item.registerItem();
        QVERIFY(failure && !failure->isEmpty());
        QCOMPARE(item.status(), LoginItemStatus::NotRegistered);
    }
};

NORVALE_TEST_CLASS(XdgAutostartTest)
#include "tst_xdgautostart.moc"
