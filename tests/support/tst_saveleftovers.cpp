#include "common/TestFiles.h"
#include "common/TestMain.h"
#include "support/SaveLeftovers.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <unistd.h>

namespace {

// A file of "good…" parses; "damaged" does not.
bool parses(const QString& path)
{
    return readFile(path).startsWith("good");
}

bool setModified(const QString& path, const QDateTime& time)
{
    QFile file(path);
    return file.open(QIODevice::ReadWrite) &&
        file.setFileTime(time, QFileDevice::FileModificationTime);
}

} // namespace

class SaveLeftoversTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void settle_data();
    void settle();
};

void SaveLeftoversTest::settle_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("shape"); // file, folder, link, foreign (another owner's file)
    QTest::addColumn<QByteArray>("leftover");
    QTest::addColumn<int>("age"); // seconds the leftover is older than the store
    QTest::addColumn<QByteArray>("store"); // empty: no store; "link": a link to "good-old"
    QTest::addColumn<QByteArray>("storeAfter");
    QTest::addColumn<QStringList>("filesAfter");

    const QString store = QStringLiteral("Store.json");
    const QString copy = QStringLiteral("Store.json.AbCdEf");
    QTest::newRow("interrupted save completed")
        << copy << "file" << QByteArray("good-new") << -1 << QByteArray("good-old")
        << QByteArray("good-new") << QStringList {store};
    QTest::newRow("no store") << copy << "file" << QByteArray("good-new") << -1 << QByteArray()
                              << QByteArray("good-new") << QStringList {store};
    QTest::newRow("copy removed") << copy << "file" << QByteArray("good-old") << 1
                                  << QByteArray("good-old") << QByteArray("good-old")
                                  << QStringList {store};
    QTest::newRow("damaged store kept aside first")
        << copy << "file" << QByteArray("good-new") << -1 << QByteArray("damaged")
        << QByteArray("good-new")
        << QStringList {store, store + QStringLiteral(".unreadable-20261207T100000")};
    QTest::newRow("older leftover kept aside")
        << copy << "file" << QByteArray("good-new") << 1 << QByteArray("good-old")
        << QByteArray("good-old")
        << QStringList {store, copy + QStringLiteral(".superseded-20261207T100000")};
    QTest::newRow("damaged leftover kept aside")
        << copy << "file" << QByteArray("damaged") << -1 << QByteArray("good-old")
        << QByteArray("good-old")
        << QStringList {store, copy + QStringLiteral(".unreadable-20261207T100000")};
    const auto notOurs = [&](const char* row, const QString& name, const char* shape,
                             const QByteArray& storeBytes) {
        QTest::newRow(row) << name << shape << QByteArray("good-new") << -1 << storeBytes
                           << QByteArray("good-old")
                           << QStringList {store, name, QStringLiteral("target")};
    };
    notOurs("a digit", QStringLiteral("Store.json.AbC1Ef"), "file", "good-old");
    notOurs("seven letters", QStringLiteral("Store.json.AbCdEfG"), "file", "good-old");
    notOurs("another store's", QStringLiteral("Other.json.AbCdEf"), "file", "good-old");
    notOurs("a folder", copy, "folder", "good-old");
    notOurs("a link", copy, "link", "good-old");
    notOurs("a linked store", copy, "file", "link");
    if (::geteuid() == 0) {
        notOurs("another owner's", copy, "foreign", "good-old");
    }
}

void SaveLeftoversTest::settle()
{
    QFETCH(QString, name);
    QFETCH(QString, shape);
    QFETCH(QByteArray, leftover);
    QFETCH(int, age);
    QFETCH(QByteArray, store);
    QFETCH(QByteArray, storeAfter);
    QFETCH(QStringList, filesAfter);
    QTemporaryDir dir;
    const QDir folder(dir.path());
    const QString storePath = folder.filePath(QStringLiteral("Store.json"));
    const QString leftoverPath = folder.filePath(name);
    const QDateTime saved = QDateTime::currentDateTimeUtc().addSecs(-60);
    const bool notOurs = filesAfter.contains(QStringLiteral("target"));
    if (notOurs) {
        QVERIFY(writeFile(folder.filePath(QStringLiteral("target")), "good-old"));
    }
    if (store == "link") {
        QVERIFY(QFile::link(folder.filePath(QStringLiteral("target")), storePath));
    } else if (!store.isEmpty()) {
        QVERIFY(writeFile(storePath, store));
        QVERIFY(setModified(storePath, saved));
    }
    if (shape == QLatin1String("folder")) {
        QVERIFY(folder.mkdir(name));
    } else if (shape == QLatin1String("link")) {
        QVERIFY(QFile::link(folder.filePath(QStringLiteral("target")), leftoverPath));
    } else {
        QVERIFY(writeFile(leftoverPath, leftover));
        QVERIFY(setModified(leftoverPath, saved.addSecs(-age)));
        if (shape == QLatin1String("foreign")) {
            QCOMPARE(::chown(QFile::encodeName(leftoverPath).constData(), 65534, 65534), 0);
        }
    }
    const QDateTime now(QDate(2026, 12, 7), QTime(10, 0), QTimeZone::utc());
    const QStringList lines = SaveLeftovers::settle(storePath, &parses, now);

    QCOMPARE(lines.size(), notOurs ? 0 : 1);
    QCOMPARE(readFile(storePath), storeAfter);
    QStringList files =
        folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    filesAfter.sort();
    QCOMPARE(files, filesAfter);
    // Whatever was kept aside holds what it held.
    for (const QString& file : std::as_const(files)) {
        if (file.startsWith(name + QLatin1Char('.'))) {
            QCOMPARE(readFile(folder.filePath(file)), leftover);
        } else if (file.startsWith(QStringLiteral("Store.json.unreadable"))) {
            QCOMPARE(readFile(folder.filePath(file)), store);
        }
    }
}

NORVALE_TEST_CLASS(SaveLeftoversTest)
#include "tst_saveleftovers.moc"
