#include "PlatformTestTypes.h"
#include "common/TestFiles.h"
#include "common/TestMain.h"
#include "platform/linux/LinuxDefaultsStore.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <limits>
#include <sys/stat.h>

namespace {

// Same type and same value; doubles bit for bit (so -0.0 and NaN are told apart).
bool sameValue(const DefaultsValue& a, const DefaultsValue& b)
{
    if (a.index() != b.index()) {
        return false;
    }
    if (const auto* x = std::get_if<double>(&a)) {
        const double y = std::get<double>(b);
        return std::memcmp(x, &y, sizeof y) == 0;
    }
    return a == b;
}

// QSettings saves by replacing the file: a new inode is a write.
qint64 settingsFileInode(const QString& path)
{
    struct stat info;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0
        ? static_cast<qint64>(info.st_ino)
        : -1;
}

} // namespace

class LinuxDefaultsTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_path = m_dir->filePath(QStringLiteral("config/Norvale/Norvale.conf"));
    }

    void cleanup() { m_dir.reset(); }

    // Written, then read back by a store that shares nothing with the writer; a neighbour
    // that a lossy key mapping would collide with; then removed.
    void valuesAndKeysSurviveARestart_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<DefaultsValue>("value");
        auto row = [](const char* name, const char* key, const DefaultsValue& value) {
            QTest::newRow(name) << QString::fromUtf8(key) << value;
        };
        row("true", "feature.clipboardHistory.enabled", true);
        row("smallest integer", "b", std::numeric_limits<qint64>::min());
        row("integral double stays double", "menu.uiScale", 2.0);
        row("0.1 + 0.2", "b", 0.1 + 0.2);
        row("negative zero", "b", -0.0);
        row("smallest subnormal", "b", std::numeric_limits<double>::denorm_min());
        row("infinity", "b", -std::numeric_limits<double>::infinity());
        row("empty string", "b", QString());
        row("string that looks like a tag", "b", QStringLiteral("int:5"));
        row("leading @", "b", QStringLiteral("@Variant(\\0\\0\\0\\x7f)"));
        row("INI syntax", "b", QStringLiteral("a=b; c, d \"e\" [f] #g \\h\\ {\"k\":1}"));
        row("line breaks, Japanese and emoji", "b",
            QStringLiteral("one\ntwo\r\n定型文 😀 \u3000 \u2028\r"));
        row("controls", "b", QString::fromUtf16(u"\x00\x01\x08\x09\x0b\x1f\x7f", 7));
        row("lone surrogate", "b", QString::fromUtf16(u"x\xd800y", 3));
        row("NUL and invalid UTF-8", "b", QByteArray("\0\xff\xfe\xc3(\n=@", 8));
        row("slash in the key", "a/b", QStringLiteral("v"));
        row("backslash in the key", "a\\b", QStringLiteral("v"));
        row("escape look-alike key", "a%2Fb%25", QStringLiteral("v"));
        row("key General", "General", QStringLiteral("v"));
    }

    void valuesAndKeysSurviveARestart()
    {
        QFETCH(QString, key);
        QFETCH(DefaultsValue, value);
        {
            LinuxDefaultsStore store(m_path);
            store.set(QStringLiteral("a"), qint64(1));
            store.set(key, value);
            QVERIFY(sameValue(store.value(key), value));
        }
        // QSettings caches the files it parsed: a copy under a fresh name is read from disk.
        const QString copy = m_dir->filePath(QStringLiteral("copy.conf"));
        QVERIFY(QFile::copy(m_path, copy));
        LinuxDefaultsStore reopened(copy);
        QVERIFY(sameValue(reopened.value(key), value));
        QVERIFY(sameValue(reopened.value(QStringLiteral("a")), qint64(1)));
        QStringList keys {key, QStringLiteral("a")};
        keys.sort();
        QCOMPARE(reopened.keys(), keys);
        reopened.remove(key);
        QCOMPARE(reopened.keys(), QStringList {QStringLiteral("a")});
    }

    void standardLocation()
    {
        // Under a temporary home (test mode puts the generic config folder below it).
        const QByteArray oldHome = qgetenv("HOME");
        const auto restoreHome = qScopeGuard([&oldHome] { qputenv("HOME", oldHome); });
        qputenv("HOME", QFile::encodeName(m_dir->path()));
        const QString expectedPath =
            QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
            QStringLiteral("/Norvale/Norvale.conf");
        QVERIFY(expectedPath.startsWith(m_dir->path()));
        LinuxDefaultsStore store;
        QCOMPARE(store.filePath(), expectedPath);
        store.set(QStringLiteral("menu.uiScale"), 1.25);
        QVERIFY(QFile::exists(expectedPath));
    }

    void writesReachDiskWhileOpen()
    {
        LinuxDefaultsStore store(m_path);
        store.set(QStringLiteral("feature.clipboardHistory.enabled"), true);
        store.set(QStringLiteral("menu.closeOnCopy"), true);
        store.remove(QStringLiteral("menu.closeOnCopy"));
        store.set(QStringLiteral("settings.uiScale"), DefaultsValue());
        // Synced at once, and dotted keys stay flat.
        QFile file(m_path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(
            file.readAll(), QByteArray("[General]\nfeature.clipboardHistory.enabled=bool:true\n"));
    }

    // A periodic refresh stores the same value again and again: only a change, or a file
    // another writer changed meanwhile (here with a longer text), is written.
    void writesOnlyChanges_data()
    {
        QTest::addColumn<QByteArray>("otherWriter");
        QTest::addColumn<qint64>("second");
        QTest::addColumn<bool>("rewritten");
        QTest::addColumn<QByteArray>("file");

        QTest::newRow("same value")
            << QByteArray() << qint64(1) << false << QByteArray("[General]\nk=int:1\n");
        QTest::newRow("another value")
            << QByteArray() << qint64(2) << true << QByteArray("[General]\nk=int:2\n");
        QTest::newRow("same value, file changed since")
            << QByteArray("[General]\nk=int:55\n") << qint64(1) << true
            << QByteArray("[General]\nk=int:1\n");
    }

    void writesOnlyChanges()
    {
        QFETCH(QByteArray, otherWriter);
        QFETCH(qint64, second);
        QFETCH(bool, rewritten);
        QFETCH(QByteArray, file);
        LinuxDefaultsStore store(m_path);
        store.set(QStringLiteral("k"), qint64(1));
        if (!otherWriter.isEmpty()) {
            QVERIFY(writeFile(m_path, otherWriter));
        }
        const qint64 inode = settingsFileInode(m_path);
        store.set(QStringLiteral("k"), second);
        QCOMPARE(settingsFileInode(m_path) != inode, rewritten);
        QFile saved(m_path);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), file);
    }

    // QSettings saves atomically too: a save a kill left as "<file>.XXXXXX" is completed.
    void interruptedSaveIsCompletedAtOpen()
    {
        QVERIFY(writeFile(m_path, "[General]\nk=int:1\n"));
        QFile old(m_path);
        QVERIFY(old.open(QIODevice::ReadWrite));
        QVERIFY(old.setFileTime(
            QDateTime::currentDateTimeUtc().addSecs(-60), QFileDevice::FileModificationTime));
        QVERIFY(writeFile(m_path + QStringLiteral(".AbCdEf"), "[General]\nk=int:2\n"));
        QVERIFY(sameValue(LinuxDefaultsStore(m_path).value(QStringLiteral("k")), qint64(2)));
        QVERIFY(!QFile::exists(m_path + QStringLiteral(".AbCdEf")));
    }

    void handWrittenValues_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<DefaultsValue>("expected");

        QTest::newRow("untagged text is a string")
            << QByteArray("k=hello") << DefaultsValue(QStringLiteral("hello"));
        QTest::newRow("bad integer") << QByteArray("k=int:12x") << DefaultsValue();
        QTest::newRow("integer overflow")
            << QByteArray("k=int:9223372036854775808") << DefaultsValue();
        QTest::newRow("bad bool") << QByteArray("k=bool:yes") << DefaultsValue();
        QTest::newRow("bad Base64") << QByteArray("k=data:QQ=") << DefaultsValue();
        QTest::newRow("Qt byte array")
            << QByteArray("k=@ByteArray(ab)") << DefaultsValue(QByteArray("ab"));
        QTest::newRow("list") << QByteArray("k=a, b") << DefaultsValue();
    }

    void handWrittenValues()
    {
        QFETCH(QByteArray, line);
        QFETCH(DefaultsValue, expected);
        QVERIFY(writeFile(m_path, "[General]\n" + line + "\n"));
        QVERIFY(sameValue(LinuxDefaultsStore(m_path).value(QStringLiteral("k")), expected));
    }

    // Under the widest umask; the folder and the file were left open by an earlier build.
    void fileAndFolderArePrivate()
    {
        const mode_t oldUmask = ::umask(0);
        const auto restoreUmask = qScopeGuard([oldUmask] { ::umask(oldUmask); });
        const QString folder = QFileInfo(m_path).absolutePath();
        QVERIFY(writeFile(m_path, "[General]\nk=int:3\n"));
        QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0777) == 0);
        QVERIFY(::chmod(QFile::encodeName(m_path).constData(), 0666) == 0);
        {
            LinuxDefaultsStore store(m_path);
            store.set(QStringLiteral("menu.uiScale"), 1.0);
        }
        QCOMPARE(fileMode(folder), 0700);
        QCOMPARE(fileMode(m_path), 0600);
        QVERIFY(sameValue(LinuxDefaultsStore(m_path).value(QStringLiteral("k")), qint64(3)));
        // Only the settings file is left in the folder (no lock or temporary files).
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden),
            QStringList {QStringLiteral("Norvale.conf")});
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
};

NORVALE_TEST_CLASS(LinuxDefaultsTest)
#include "tst_linuxdefaults.moc"
