#include "common/TestMain.h"
#include "platform/linux/LinuxDefaultsStore.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <limits>
#include <sys/stat.h>

Q_DECLARE_METATYPE(DefaultsValue)

namespace {

int modeOf(const QString& path)
{
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
        return -1;
    }
    return int(info.st_mode & 07777);
}

QByteArray contentsOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

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

QString describe(const DefaultsValue& value)
{
    QString text = defaultsTypeName(defaultsTypeOf(value)) + QLatin1Char(' ');
    if (const auto* d = std::get_if<double>(&value)) {
        text += QString::number(*d, 'g', 17);
    } else if (const auto* s = std::get_if<QString>(&value)) {
        text += QString::fromLatin1(s->toUtf8().toPercentEncoding());
    } else if (const auto* b = std::get_if<QByteArray>(&value)) {
        text += QString::fromLatin1(b->toHex());
    } else if (const auto* n = std::get_if<qint64>(&value)) {
        text += QString::number(*n);
    } else if (const auto* f = std::get_if<bool>(&value)) {
        text += *f ? QStringLiteral("true") : QStringLiteral("false");
    }
    return text;
}

// Opens the bytes on disk in a store that shares no state with the writer: QSettings keeps
// parsed files of the process in a cache, so the file is copied to a fresh name first.
std::unique_ptr<LinuxDefaultsStore> reopenFromDisk(const QString& path, const QString& copyPath)
{
    QFile::remove(copyPath);
    if (!QFile::copy(path, copyPath)) {
        return nullptr;
    }
    return std::make_unique<LinuxDefaultsStore>(copyPath);
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

    void valuesKeepTheirTypeAcrossARestart_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<DefaultsValue>("value");

        auto row = [](const char* name, const char* key, const DefaultsValue& value) {
            QTest::newRow(name) << QString::fromUtf8(key) << value;
        };
        row("true", "feature.clipboardHistory.enabled", true);
        row("smallest integer", "a.b", std::numeric_limits<qint64>::min());
        row("integral double stays double", "menu.uiScale", 2.0);
        row("0.1 + 0.2", "a.b", 0.1 + 0.2);
        row("negative zero", "a.b", -0.0);
        row("smallest subnormal", "a.b", std::numeric_limits<double>::denorm_min());
        row("infinity", "a.b", -std::numeric_limits<double>::infinity());
        row("empty string", "a.b", QString());
        row("string that looks like a tag", "a.b", QStringLiteral("int:5"));
        row("leading @", "a.b", QStringLiteral("@Variant(\\0\\0\\0\\x7f)"));
        row("INI syntax", "a.b", QStringLiteral("a=b; c, d \"e\" [f] #g \\h\\"));
        row("line breaks, Japanese and emoji", "a.b",
            QStringLiteral("one\ntwo\r\n定型文 😀 \u3000 \u2028\r"));
        row("every control", "a.b",
            QString::fromUtf16(u"\x00\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0b\x0c\x0e\x0f\x10\x11"
                               u"\x12\x13\x14\x15\x16\x17\x18\x19\x1a\x1b\x1c\x1d\x1e\x1f\x7f",
                31));
        row("shortcut JSON", "menu.leftClickShortcut",
            QStringLiteral("{\"keyCode\":9,\"kind\":\"keyCombination\",\"modifiers\":1048576}"));
        row("lone surrogate", "a.b", QString::fromUtf16(u"x\xd800y", 3));
        row("NUL and invalid UTF-8", "feature.windowPlacement.rules",
            QByteArray("\0\xff\xfe\xc3(\n=@", 8));
    }

    void valuesKeepTheirTypeAcrossARestart()
    {
        QFETCH(QString, key);
        QFETCH(DefaultsValue, value);
        {
            LinuxDefaultsStore store(m_path);
            store.set(QStringLiteral("other.key"), qint64(1));
            store.set(key, value);
            QVERIFY2(sameValue(store.value(key), value), qPrintable(describe(store.value(key))));
        }
        const auto reopened = reopenFromDisk(m_path, m_dir->filePath(QStringLiteral("copy.conf")));
        QVERIFY(reopened);
        const DefaultsValue read = reopened->value(key);
        QVERIFY2(sameValue(read, value),
            qPrintable(describe(read) + QStringLiteral(" != ") + describe(value)));
        QCOMPARE(reopened->keys(), QStringList({key, QStringLiteral("other.key")}));
    }

    void standardLocation()
    {
        // The real store at its standard place, under a temporary home (test mode puts the
        // generic config folder below it).
        const QByteArray oldHome = qgetenv("HOME");
        const auto restoreHome = qScopeGuard([&oldHome] { qputenv("HOME", oldHome); });
        qputenv("HOME", QFile::encodeName(m_dir->path()));
        const QString expectedPath =
            QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
            QStringLiteral("/Norvale/Norvale.conf");
        {
            LinuxDefaultsStore store;
            QCOMPARE(store.filePath(), expectedPath);
            store.set(QStringLiteral("menu.uiScale"), 1.25);
        }
        QVERIFY(expectedPath.startsWith(m_dir->path()));
        const auto reopened =
            reopenFromDisk(expectedPath, m_dir->filePath(QStringLiteral("copy.conf")));
        QVERIFY(reopened);
        QVERIFY(sameValue(reopened->value(QStringLiteral("menu.uiScale")), 1.25));
    }

    void keysAreNeverSplitIntoGroups_data()
    {
        QTest::addColumn<QString>("key");
        QTest::newRow("dots") << QStringLiteral("feature.mouse.wheelSpeedLevel");
        QTest::newRow("slash") << QStringLiteral("a/b");
        QTest::newRow("leading and trailing slash") << QStringLiteral("/a/");
        QTest::newRow("backslash") << QStringLiteral("a\\b");
        QTest::newRow("escape look-alike") << QStringLiteral("a%2Fb%25");
        QTest::newRow("General") << QStringLiteral("General");
    }

    void keysAreNeverSplitIntoGroups()
    {
        QFETCH(QString, key);
        {
            LinuxDefaultsStore store(m_path);
            store.set(key, QStringLiteral("value"));
            // A neighbour that a lossy key mapping would collide with.
            store.set(QStringLiteral("a"), qint64(1));
        }
        const auto reopened = reopenFromDisk(m_path, m_dir->filePath(QStringLiteral("copy.conf")));
        QVERIFY(reopened);
        QVERIFY(sameValue(reopened->value(key), QStringLiteral("value")));
        QVERIFY(sameValue(reopened->value(QStringLiteral("a")), qint64(1)));
        QStringList expected {key, QStringLiteral("a")};
        std::sort(expected.begin(), expected.end());
        QCOMPARE(reopened->keys(), expected);
        reopened->remove(key);
        QCOMPARE(reopened->keys(), QStringList {QStringLiteral("a")});
    }

    void writesReachDiskWhileOpen()
    {
        LinuxDefaultsStore store(m_path);
        store.set(QStringLiteral("feature.clipboardHistory.enabled"), true);
        store.set(QStringLiteral("menu.closeOnCopy"), true);
        store.remove(QStringLiteral("menu.closeOnCopy"));
        store.set(QStringLiteral("settings.uiScale"), DefaultsValue());
        // Synced at once, and dotted keys stay flat.
        const QByteArray text = contentsOf(m_path);
        QVERIFY2(text.contains("[General]\nfeature.clipboardHistory.enabled=bool:true\n"),
            text.constData());
        const auto other = reopenFromDisk(m_path, m_dir->filePath(QStringLiteral("copy.conf")));
        QVERIFY(other);
        QCOMPARE(other->keys(), QStringList {QStringLiteral("feature.clipboardHistory.enabled")});
    }

    void handWrittenValues_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<DefaultsValue>("expected");

        QTest::newRow("untagged text is a string")
            << QByteArray("k=hello") << DefaultsValue(QStringLiteral("hello"));
        QTest::newRow("tagged integer") << QByteArray("k=int:12") << DefaultsValue(qint64(12));
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
        QVERIFY(QDir().mkpath(QFileInfo(m_path).absolutePath()));
        QFile file(m_path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[General]\n" + line + "\n");
        file.close();
        LinuxDefaultsStore store(m_path);
        const DefaultsValue read = store.value(QStringLiteral("k"));
        QVERIFY2(sameValue(read, expected), qPrintable(describe(read)));
    }

    void fileAndFolderArePrivate_data()
    {
        QTest::addColumn<bool>("existing");
        QTest::newRow("new") << false;
        QTest::newRow("existing, too open") << true;
    }

    void fileAndFolderArePrivate()
    {
        QFETCH(bool, existing);
        const mode_t oldUmask = ::umask(0);
        const auto restoreUmask = qScopeGuard([oldUmask] { ::umask(oldUmask); });
        const QString folder = QFileInfo(m_path).absolutePath();
        if (existing) {
            QVERIFY(QDir().mkpath(folder));
            QFile file(m_path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("[General]\nk=int:3\n");
            file.close();
            QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0777) == 0);
            QVERIFY(::chmod(QFile::encodeName(m_path).constData(), 0666) == 0);
        }
        {
            LinuxDefaultsStore store(m_path);
            store.set(QStringLiteral("menu.uiScale"), 1.0);
        }
        QCOMPARE(modeOf(folder), 0700);
        QCOMPARE(modeOf(m_path), 0600);
        if (existing) {
            LinuxDefaultsStore store(m_path);
            QVERIFY(sameValue(store.value(QStringLiteral("k")), qint64(3)));
        }
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
