#include "app/LegacySettingsMigrator.h"
#include "common/TestFiles.h"
#include "common/TestMain.h"
#include "platform/sim/MemoryDefaultsStore.h"

#include <QDirIterator>
#include <QTemporaryDir>
#include <QTest>

#include <cstdlib>
#include <plist/plist.h>

namespace {

const QString bundleIdentifier = QStringLiteral("app.norvale.Norvale");
const QString containerPreferences = QStringLiteral(
    "Library/Containers/app.norvale.Norvale/Data/Library/Preferences/app.norvale.Norvale.plist");
const QString ordinaryPreferences = QStringLiteral("Library/Preferences/app.norvale.Norvale.plist");
const QString plainDataFolder = QStringLiteral("Library/Application Support/Norvale/");
const QString containerDataFolder = QStringLiteral(
    "Library/Containers/app.norvale.Norvale/Data/Library/Application Support/Norvale/");
const QString dataFolder = QStringLiteral(".local/share/Norvale");
const QString preferencesLog =
    QStringLiteral("Norvale: Debug/旧環境からUserDefaultsを移行しました（%1件）");
const QString filesLog =
    QStringLiteral("Norvale: Debug/旧環境からApplication Supportファイルを移行しました");

// A property list made with libplist's own writers from the body of an XML document.
QByteArray propertyList(const QString& body, bool binary)
{
    const QByteArray text = "<plist version=\"1.0\">" + body.toUtf8() + "</plist>";
    plist_t node = nullptr;
    plist_from_xml(text.constData(), uint32_t(text.size()), &node);
    char* bytes = nullptr;
    uint32_t length = 0;
    (binary ? plist_to_bin : plist_to_xml)(node, &bytes, &length);
    const QByteArray result(bytes, length);
    std::free(bytes);
    plist_free(node);
    return result;
}

QByteArray xml(const QString& body)
{
    return propertyList(body, false);
}

// "type:value"; data that holds an XML property list as its body without layout.
QString describe(const DefaultsValue& value)
{
    const QString type = defaultsTypeName(defaultsTypeOf(value)) + QLatin1Char(':');
    if (const auto* b = std::get_if<bool>(&value)) {
        return type + (*b ? QStringLiteral("true") : QStringLiteral("false"));
    }
    if (const auto* n = std::get_if<qint64>(&value)) {
        return type + QString::number(*n);
    }
    if (const auto* d = std::get_if<double>(&value)) {
        return type + QString::number(*d);
    }
    if (const auto* s = std::get_if<QString>(&value)) {
        return type + *s;
    }
    const QByteArray bytes = std::get<QByteArray>(value);
    if (!bytes.startsWith("<?xml")) {
        return type + QString::fromLatin1(bytes.toHex());
    }
    QString body = QString::fromUtf8(bytes).section(QStringLiteral("<plist version=\"1.0\">"), 1);
    return QStringLiteral("plist:") +
        body.remove(QLatin1Char('\n')).remove(QLatin1Char('\t')).chopped(8);
}

QStringList settingsOf(const DefaultsStore& store)
{
    QStringList lines;
    for (const QString& key : store.keys()) {
        lines << key + QLatin1Char('=') + describe(store.value(key));
    }
    lines.sort();
    return lines;
}

void writeFiles(const QString& root, const QVariantMap& files)
{
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        if (it.key().endsWith(QLatin1Char('/'))) {
            QDir().mkpath(root + QLatin1Char('/') + it.key());
        } else {
            const QString path = root + QLatin1Char('/') + it.key();
            QVERIFY(writeFile(path, it.value().toByteArray()));
            QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));
        }
    }
}

// Every file under folder with its bytes; every entry must be private.
QVariantMap privateContents(const QString& folder)
{
    QVariantMap files;
    if (QFileInfo::exists(folder) && fileMode(folder) != 0700) {
        files.insert(QStringLiteral("<mode>"), fileMode(folder));
    }
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
        QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString name = QDir(folder).relativeFilePath(path);
        const int wanted = it.fileInfo().isDir() ? 0700 : 0600;
        if (fileMode(path) != wanted) {
            files.insert(name + QStringLiteral(" <mode>"), fileMode(path));
        } else if (!it.fileInfo().isDir()) {
            files.insert(name, readFile(path));
        }
    }
    return files;
}

QStringList* s_messages = nullptr;

void captureMessage(QtMsgType, const QMessageLogContext&, const QString& message)
{
    s_messages->append(message);
}

struct Launch
{
    bool migrated = false;
    QStringList log;
};

Launch launch(MemoryDefaultsStore& store, const QString& home)
{
    QStringList messages;
    s_messages = &messages;
    const QtMessageHandler previous = qInstallMessageHandler(captureMessage);
    const bool migrated = LegacySettingsMigrator::migrateIfNeeded(
        store, {home, home + QLatin1Char('/') + dataFolder}, bundleIdentifier);
    qInstallMessageHandler(previous);
    s_messages = nullptr;
    return {migrated, messages};
}

} // namespace

class LegacySettingsMigratorTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void migratesOnce_data()
    {
        QTest::addColumn<int>("earlierLaunches");
        QTest::addColumn<bool>("existingSettings");
        QTest::addColumn<QVariantMap>("home");
        QTest::addColumn<bool>("migrated");
        QTest::addColumn<QStringList>("settings");
        QTest::addColumn<QVariantMap>("data");
        QTest::addColumn<QStringList>("log");

        const QString checked = QStringLiteral("legacyMigration.checked=bool:true");
        const QString ordinary =
            QStringLiteral("<dict><key>k</key><string>ordinary</string></dict>");
        const QStringList fromOrdinary {checked, QStringLiteral("k=string:ordinary")};
        const QStringList oneKey {preferencesLog.arg(1)};
        const QVariantMap none;
        const QStringList silent;

        QTest::newRow("container XML, every value type")
            << 0 << false
            << QVariantMap {{containerPreferences,
                   xml(QStringLiteral(
                       "<dict><key>feature.clipboardHistory.enabled</key><false/>"
                       "<key>feature.mouse.wheelSpeedLevel</key><integer>-3</integer>"
                       "<key>menu.uiScale</key><real>1.25</real>"
                       "<key>note</key><string>定型文</string>"
                       "<key>feature.windowPlacement.rules</key><data>W10=</data>"
                       "<key>list</key><array><integer>1</integer><string>two</string></array>"
                       "<key>map</key><dict><key>a</key><true/></dict>"
                       "<key>SULastCheckTime</key><date>2024-05-06T07:08:09Z</date>"
                       "</dict>"))}}
            << true
            << QStringList {checked, QStringLiteral("feature.clipboardHistory.enabled=bool:false"),
                   QStringLiteral("feature.mouse.wheelSpeedLevel=int:-3"),
                   QStringLiteral("menu.uiScale=double:1.25"), QStringLiteral("note=string:定型文"),
                   QStringLiteral("feature.windowPlacement.rules=data:5b5d"),
                   QStringLiteral(
                       "list=plist:<array><integer>1</integer><string>two</string></array>"),
                   QStringLiteral("map=plist:<dict><key>a</key><true/></dict>"),
                   QStringLiteral("SULastCheckTime=plist:<date>2024-05-06T07:08:09Z</date>")}
            << none << QStringList {preferencesLog.arg(8)};
        QTest::newRow("the container's preferences win, the ordinary file is not read")
            << 0 << false
            << QVariantMap {{containerPreferences,
                                propertyList(
                                    QStringLiteral("<dict><key>k</key><integer>1</integer></dict>"),
                                    true)},
                   {ordinaryPreferences,
                       xml(QStringLiteral("<dict><key>k</key><integer>2</integer>"
                                          "<key>j</key><integer>3</integer></dict>"))}}
            << true << QStringList {checked, QStringLiteral("k=int:1")} << none << oneKey;
        const auto skipped = [&](const char* name, const QByteArray& container) {
            QTest::newRow(name) << 0 << false
                                << QVariantMap {{containerPreferences, container},
                                       {ordinaryPreferences, xml(ordinary)}}
                                << true << fromOrdinary << none << oneKey;
        };
        skipped("malformed XML skipped", xml(ordinary).chopped(20));
        skipped("truncated binary skipped", propertyList(ordinary, true).left(12));
        skipped("root not a dictionary skipped",
            xml(QStringLiteral("<array><string>k</string></array>")));
        skipped("empty dictionary gives nothing", xml(QStringLiteral("<dict/>")));
        // Reading back a key with a NUL inside aborts in libplist.
        skipped("binary key with a NUL inside skipped",
            propertyList(QStringLiteral("<dict><key>éXé</key><true/></dict>"), true)
                .replace(QByteArray("\0\xe9\0X\0\xe9", 6), QByteArray("\0\xe9\0\0\0\xe9", 6)));
        QTest::newRow("existing settings win")
            << 0 << true << QVariantMap {{containerPreferences, xml(ordinary)}} << false
            << QStringList {checked, QStringLiteral("menu.uiScale=double:1.5")} << none << silent;
        QTest::newRow("a second launch does nothing even when the first found nothing")
            << 1 << false
            << QVariantMap {{containerPreferences, xml(ordinary)},
                   {containerDataFolder + QStringLiteral("FixedPhrases.json"), QByteArray("[]")}}
            << false << QStringList {checked} << none << silent;
        QTest::newRow("files of both folders, current copies kept, folders with contents")
            << 0 << false
            << QVariantMap {{dataFolder + QStringLiteral("/FixedPhrases.json"),
                                QByteArray("current")},
                   {containerDataFolder + QStringLiteral("FixedPhrases.json"), QByteArray("old")},
                   {containerDataFolder + QStringLiteral("ClipboardHistory.json"),
                       QByteArray("container")},
                   {containerDataFolder + QStringLiteral("images/a.png"), QByteArray("png")},
                   {containerDataFolder + QStringLiteral("empty/"), QByteArray()},
                   {containerDataFolder + QStringLiteral(".hidden"), QByteArray("h")},
                   {plainDataFolder + QStringLiteral("ClipboardHistory.json"), QByteArray("plain")}}
            << true << QStringList {checked}
            << QVariantMap {{QStringLiteral("FixedPhrases.json"), QByteArray("current")},
                   {QStringLiteral("ClipboardHistory.json"), QByteArray("plain")},
                   {QStringLiteral("images/a.png"), QByteArray("png")},
                   {QStringLiteral(".hidden"), QByteArray("h")}}
            << QStringList {filesLog};
        QTest::newRow("only files the data folder already has: no log")
            << 0 << false
            << QVariantMap {{dataFolder + QStringLiteral("/a.json"), QByteArray("current")},
                   {containerDataFolder + QStringLiteral("a.json"), QByteArray("old")},
                   {plainDataFolder, QByteArray()}}
            << false << QStringList {checked}
            << QVariantMap {{QStringLiteral("a.json"), QByteArray("current")}} << silent;
        QTest::newRow("preferences and files, both logged")
            << 0 << false
            << QVariantMap {{ordinaryPreferences, xml(ordinary)},
                   {containerDataFolder + QStringLiteral("a.json"), QByteArray("old")}}
            << true << fromOrdinary << QVariantMap {{QStringLiteral("a.json"), QByteArray("old")}}
            << QStringList {preferencesLog.arg(1), filesLog};
        QTest::newRow("nothing anywhere")
            << 0 << false << QVariantMap() << false << QStringList {checked} << QVariantMap()
            << QStringList();
    }

    void migratesOnce()
    {
        QFETCH(int, earlierLaunches);
        QFETCH(bool, existingSettings);
        QFETCH(QVariantMap, home);
        QFETCH(QStringList, settings);
        settings.sort();
        QTemporaryDir folder;
        const QString homePath = folder.path();
        MemoryDefaultsStore store;
        if (existingSettings) {
            store.set(QStringLiteral("menu.uiScale"), 1.5);
        }
        for (int i = 0; i < earlierLaunches; ++i) {
            QCOMPARE(launch(store, homePath).migrated, false);
        }
        writeFiles(homePath, home);

        const Launch first = launch(store, homePath);
        QTEST(first.migrated, "migrated");
        QTEST(first.log, "log");
        QCOMPARE(settingsOf(store), settings);
        const QString data = homePath + QLatin1Char('/') + dataFolder;
        QTEST(privateContents(data), "data");

        const Launch again = launch(store, homePath);
        QCOMPARE(again.migrated, false);
        QCOMPARE(again.log, QStringList());
        QCOMPARE(settingsOf(store), settings);
        QTEST(privateContents(data), "data");
    }
};

NORVALE_TEST_CLASS(LegacySettingsMigratorTest)

#include "tst_legacysettingsmigrator.moc"
