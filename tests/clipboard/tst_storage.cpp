#include "clipboard/ClipboardHistoryStorage.h"
#include "common/TestMain.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const QDateTime Now = QDateTime(QDate(2024, 5, 1), QTime(9, 30), Qt::UTC);
const QString ValidId = QStringLiteral("1B4E28BA-2FA1-11D2-883F-0016D3CCA427");

// One valid member list; rows replace or add members.
const QByteArray GoodObject = "{\"createdAt\":\"2024-05-01T09:30:00Z\",\"id\":\"1B4E28BA-2FA1-11D2-"
                              "883F-0016D3CCA427\",\"kind\":\"text\",\"text\":\"a\"}";

ClipboardHistoryItem item(const QString& id, ClipboardHistoryKind kind, const QDateTime& createdAt,
    std::optional<QString> text, std::optional<QByteArray> imageData)
{
    ClipboardHistoryItem result;
    result.id = QUuid::fromString(id);
    result.kind = kind;
    result.createdAt = createdAt;
    result.text = std::move(text);
    result.imageData = std::move(imageData);
    result.fingerprint = ClipboardHistoryItem::makeFingerprint(kind, result.text, result.imageData);
    return result;
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return file.readAll();
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

int modeOf(const QString& path)
{
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
        return -1;
    }
    return static_cast<int>(info.st_mode & 07777);
}

class UmaskScope final
{
public:
    explicit UmaskScope(mode_t mask)
        : m_previous(::umask(mask))
    { }
    ~UmaskScope() { ::umask(m_previous); }
    UmaskScope(const UmaskScope&) = delete;
    UmaskScope& operator=(const UmaskScope&) = delete;

private:
    mode_t m_previous;
};

} // namespace

class ClipboardStorageTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void encodeIsByteExact()
    {
        const QList<ClipboardHistoryItem> items {
            item(
                ValidId, ClipboardHistoryKind::Url, Now, QStringLiteral("https://a"), std::nullopt),
            // A date in another zone is written in UTC; "+/+/" proves slashes in Base64 are
            // escaped like any other.
            item(QStringLiteral("6ba7b810-9dad-11d1-80b4-00c04fd430c8"),
                ClipboardHistoryKind::Image,
                QDateTime(QDate(2024, 5, 1), QTime(18, 30, 5), QTimeZone(9 * 3600)), std::nullopt,
                QByteArray::fromHex("fbffbf0001")),
            item(QStringLiteral("00000000-0000-0000-0000-000000000000"), ClipboardHistoryKind::Text,
                Now, QString::fromUtf8("q\"b\\s/\b\f\n\r\t\x01\x1f\x7f é 日本 😀"), std::nullopt),
            item(ValidId, ClipboardHistoryKind::Text, Now, QString(), std::nullopt),
            item(ValidId, ClipboardHistoryKind::Text, Now, std::nullopt, std::nullopt),
        };
        // Written out as C strings: the escapes are the point of this test.
        const QByteArray expected = QByteArray(
            "[\n"
            "  {\n"
            "    \"createdAt\" : \"2024-05-01T09:30:00Z\",\n"
            "    \"fingerprint\" : \"text:https:\\/\\/a\",\n"
            "    \"id\" : \"1B4E28BA-2FA1-11D2-883F-0016D3CCA427\",\n"
            "    \"kind\" : \"url\",\n"
            "    \"text\" : \"https:\\/\\/a\"\n"
            "  },\n"
            "  {\n"
            "    \"createdAt\" : \"2024-05-01T09:30:05Z\",\n"
            "    \"fingerprint\" : "
            "\"image:5:0a7bcec50ede227010f09dd62aed4b9373a8b0accca7aeee206f85a7df95d80b\",\n"
            "    \"id\" : \"6BA7B810-9DAD-11D1-80B4-00C04FD430C8\",\n"
            "    \"imageData\" : \"+\\/+\\/AAE=\",\n"
            "    \"kind\" : \"image\"\n"
            "  },\n"
            "  {\n"
            "    \"createdAt\" : \"2024-05-01T09:30:00Z\",\n"
            "    \"fingerprint\" : \"text:q\\\"b\\\\s\\/\\b\\f\\n\\r\\t\\u0001\\u001f\x7f"
            " é 日本 😀\",\n"
            "    \"id\" : \"00000000-0000-0000-0000-000000000000\",\n"
            "    \"kind\" : \"text\",\n"
            "    \"text\" : \"q\\\"b\\\\s\\/\\b\\f\\n\\r\\t\\u0001\\u001f\x7f"
            " é 日本 😀\"\n"
            "  },\n"
            "  {\n"
            "    \"createdAt\" : \"2024-05-01T09:30:00Z\",\n"
            "    \"fingerprint\" : \"text:\",\n"
            "    \"id\" : \"1B4E28BA-2FA1-11D2-883F-0016D3CCA427\",\n"
            "    \"kind\" : \"text\",\n"
            "    \"text\" : \"\"\n"
            "  },\n"
            "  {\n"
            "    \"createdAt\" : \"2024-05-01T09:30:00Z\",\n"
            "    \"fingerprint\" : \"text:\",\n"
            "    \"id\" : \"1B4E28BA-2FA1-11D2-883F-0016D3CCA427\",\n"
            "    \"kind\" : \"text\"\n"
            "  }\n"
            "]");
        QCOMPARE(ClipboardHistoryStorage::encode(items), expected);
        QCOMPARE(ClipboardHistoryStorage::encode({}), QByteArray("[\n\n]"));
    }

    void decodeReadsWhatEncodeWrites()
    {
        QByteArray large(1 << 20, Qt::Uninitialized);
        QRandomGenerator generator(7);
        generator.fillRange(reinterpret_cast<quint32*>(large.data()), large.size() / 4);
        const QList<ClipboardHistoryItem> items {
            item(ValidId, ClipboardHistoryKind::Image, Now.addSecs(-5), std::nullopt, large),
            item(QStringLiteral("00000000-0000-0000-0000-000000000001"), ClipboardHistoryKind::Text,
                Now.addDays(-400), QStringLiteral("}]{[\"\\ \\\"\n"), std::nullopt),
            item(QStringLiteral("00000000-0000-0000-0000-000000000002"), ClipboardHistoryKind::Url,
                Now, QStringLiteral("  https://a/b?c=d"), std::nullopt),
            item(QStringLiteral("00000000-0000-0000-0000-000000000003"),
                ClipboardHistoryKind::Image, Now, std::nullopt, std::nullopt),
        };
        const std::optional<QList<ClipboardHistoryItem>> decoded =
            ClipboardHistoryStorage::decode(ClipboardHistoryStorage::encode(items));
        QVERIFY(decoded);
        QCOMPARE(decoded->size(), items.size());
        for (qsizetype i = 0; i < items.size(); ++i) {
            QVERIFY2(decoded->at(i) == items.at(i), qPrintable(QString::number(i)));
        }
    }

    // Large files are decoded in several parts at once: the items still come back in file
    // order, and a bad element in any part still spoils the whole file.
    void largeFileKeepsOrderAndStrictness()
    {
        QList<ClipboardHistoryItem> items;
        QByteArray image(256 * 1024, Qt::Uninitialized);
        QRandomGenerator generator(11);
        generator.fillRange(reinterpret_cast<quint32*>(image.data()), image.size() / 4);
        for (int i = 0; i < 48; ++i) {
            image[0] = static_cast<char>(i);
            items.append(
                item(ValidId, ClipboardHistoryKind::Image, Now.addSecs(-i), std::nullopt, image));
            items.append(item(ValidId, ClipboardHistoryKind::Text, Now.addSecs(-i),
                QString::number(i), std::nullopt));
        }
        const QByteArray json = ClipboardHistoryStorage::encode(items);
        QVERIFY(json.size() > 16 * 1024 * 1024);
        const auto decoded = ClipboardHistoryStorage::decode(json);
        QVERIFY(decoded);
        QVERIFY(*decoded == items);

        for (const double at : {0.1, 0.5, 0.9}) {
            QByteArray broken = json;
            const qsizetype kind =
                broken.indexOf("\"kind\" : \"text\"", qsizetype(broken.size() * at));
            QVERIFY(kind > 0);
            broken.replace(kind, 15, "\"kind\" : \"texx\"");
            QVERIFY2(!ClipboardHistoryStorage::decode(broken), QByteArray::number(at).constData());
        }

        QTemporaryDir dir;
        ClipboardHistoryStorage storage(dir.path());
        QString error;
        QVERIFY2(storage.saveSynchronously(items, &error), qPrintable(error));
        const auto loaded = ClipboardHistoryStorage(dir.path()).load(Now);
        QCOMPARE(loaded.status, ClipboardHistoryStorage::LoadStatus::Loaded);
        QVERIFY(loaded.items == items);
    }

    void decodeAccepts_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<std::optional<QString>>("text");
        QTest::addColumn<std::optional<QByteArray>>("imageData");
        QTest::addColumn<QString>("fingerprint");
        QTest::addColumn<QString>("id");

        const std::optional<QString> noText;
        const std::optional<QByteArray> noBytes;
        const QByteArray base = "\"createdAt\":\"2024-05-01T09:30:00Z\",\"id\":\"1B4E28BA-2FA1-"
                                "11D2-883F-0016D3CCA427\"";
        auto doc = [&base](const QByteArray& members) -> QByteArray {
            return QByteArray("[{") + base + ',' + members + "}]";
        };

        QTest::newRow("missing fingerprint of a text is computed")
            << doc("\"kind\":\"url\",\"text\":\"https:\\/\\/a\"") << QStringLiteral("url")
            << std::optional(QStringLiteral("https://a")) << noBytes
            << QStringLiteral("text:https://a") << ValidId;
        QTest::newRow("missing fingerprint of an image is computed")
            << doc("\"kind\":\"image\",\"imageData\":\"q83v\"") << QStringLiteral("image") << noText
            << std::optional(QByteArray::fromHex("abcdef"))
            << QStringLiteral(
                   "image:3:995da3cf545787d65f9ced52674e92ee8171c87c7a4008aa4349ec47d21609a7")
            << ValidId;
        QTest::newRow("stored fingerprint is kept")
            << doc("\"kind\":\"text\",\"text\":\"a\",\"fingerprint\":\"text:b\"")
            << QStringLiteral("text") << std::optional(QStringLiteral("a")) << noBytes
            << QStringLiteral("text:b") << ValidId;
        QTest::newRow("null optionals are absent")
            << doc("\"kind\":\"image\",\"text\":null,\"imageData\":null,\"fingerprint\":null")
            << QStringLiteral("image") << noText << noBytes << QStringLiteral("image:") << ValidId;
        QTest::newRow("lower-case id")
            << QByteArray(
                   "[{\"createdAt\":\"2024-05-01T09:30:00Z\",\"id\":\"1b4e28ba-2fa1-11d2-883f-"
                   "0016d3cca427\",\"kind\":\"text\"}]")
            << QStringLiteral("text") << noText << noBytes << QStringLiteral("text:") << ValidId;
        QTest::newRow("all-zero id")
            << QByteArray(
                   "[{\"createdAt\":\"2024-05-01T09:30:00Z\",\"id\":\"00000000-0000-0000-0000-"
                   "000000000000\",\"kind\":\"text\"}]")
            << QStringLiteral("text") << noText << noBytes << QStringLiteral("text:")
            << QStringLiteral("00000000-0000-0000-0000-000000000000");
        QTest::newRow("unknown keys of any type are ignored")
            << doc("\"kind\":\"text\",\"x\":{\"a\":[1,2,{\"}\":\"]\"}]},\"y\":null,\"z\":-1.5e3,"
                   "\"w\":true")
            << QStringLiteral("text") << noText << noBytes << QStringLiteral("text:") << ValidId;
        QTest::newRow("escapes in strings")
            << doc("\"kind\":\"text\",\"text\":\"\\u00e9\\ud83d\\ude00 \\\"}]\\\\\"")
            << QStringLiteral("text") << std::optional(QStringLiteral("\u00e9\U0001F600 \"}]\\"))
            << noBytes << QStringLiteral("text:\u00e9\U0001F600 \"}]\\") << ValidId;
        QTest::newRow("text ending in a backslash")
            << doc("\"kind\":\"text\",\"text\":\"\\\\\"") << QStringLiteral("text")
            << std::optional(QStringLiteral("\\")) << noBytes << QStringLiteral("text:\\")
            << ValidId;
        QTest::newRow("slashes unescaped in Base64")
            << doc("\"kind\":\"image\",\"imageData\":\"+/+/AAE=\"") << QStringLiteral("image")
            << noText << std::optional(QByteArray::fromHex("fbffbf0001"))
            << QStringLiteral(
                   "image:5:0a7bcec50ede227010f09dd62aed4b9373a8b0accca7aeee206f85a7df95d80b")
            << ValidId;
        QTest::newRow("white space everywhere")
            << QByteArray(
                   QByteArray(
                       " \r\n\t[ \n {\"createdAt\" : \"2024-05-01T09:30:00Z\" ,\n\"id\":\"") +
                   ValidId.toLatin1() + "\", \"kind\" :\"text\" }\n ]\n\n")
            << QStringLiteral("text") << noText << noBytes << QStringLiteral("text:") << ValidId;
    }

    void decodeAccepts()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, kind);
        QFETCH(std::optional<QString>, text);
        QFETCH(std::optional<QByteArray>, imageData);
        QFETCH(QString, fingerprint);
        QFETCH(QString, id);

        const std::optional<QList<ClipboardHistoryItem>> items =
            ClipboardHistoryStorage::decode(json);
        QVERIFY(items);
        QCOMPARE(items->size(), 1);
        const ClipboardHistoryItem& decoded = items->first();
        QCOMPARE(clipboardHistoryKindName(decoded.kind), kind);
        QVERIFY(decoded.text == text);
        QVERIFY(decoded.imageData == imageData);
        QCOMPARE(decoded.fingerprint, fingerprint);
        QCOMPARE(decoded.id, QUuid::fromString(id));
        QCOMPARE(decoded.createdAt, Now);
        QCOMPARE(decoded.createdAt.timeSpec(), Qt::UTC);
    }

    void decodeEmptyArrays()
    {
        for (const QByteArray& json :
            {QByteArray("[]"), QByteArray("[\n\n]"), QByteArray(" [ ] \n")}) {
            const auto items = ClipboardHistoryStorage::decode(json);
            QVERIFY2(items && items->isEmpty(), json.constData());
        }
    }

    void decodeKeepsOrder()
    {
        QByteArray json = "[";
        for (int i = 0; i < 3; ++i) {
            json += QByteArray(i > 0 ? "," : "") +
                "{\"createdAt\":\"2024-05-01T09:30:00Z\",\"id\":\"1B4E28BA-2FA1-11D2-883F-"
                "0016D3CCA427\",\"kind\":\"text\",\"text\":\"" +
                QByteArray::number(i) + "\"}";
        }
        json += "]";
        const auto items = ClipboardHistoryStorage::decode(json);
        QVERIFY(items);
        QCOMPARE(items->size(), 3);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(items->at(i).text.value_or(QString()), QString::number(i));
        }
    }

    // Every row is one broken element after a good one: the whole file is refused.
    void decodeRejectsElement_data()
    {
        QTest::addColumn<QByteArray>("members");
        const auto row = [](const char* name, const QByteArray& members) {
            QTest::newRow(name) << members;
        };
        const QByteArray date = "\"createdAt\":\"2024-05-01T09:30:00Z\"";
        const QByteArray id = "\"id\":\"1B4E28BA-2FA1-11D2-883F-0016D3CCA427\"";
        const QByteArray kind = "\"kind\":\"text\"";

        row("missing id", date + ',' + kind);
        row("missing kind", date + ',' + id);
        row("missing createdAt", id + ',' + kind);
        row("null id", date + ',' + kind + ",\"id\":null");
        row("null kind", date + ',' + id + ",\"kind\":null");
        row("null createdAt", id + ',' + kind + ",\"createdAt\":null");
        row("number id", date + ',' + kind + ",\"id\":1");
        row("number kind", date + ',' + id + ",\"kind\":0");
        row("number createdAt", id + ',' + kind + ",\"createdAt\":736000000");
        row("number text", date + ',' + id + ',' + kind + ",\"text\":5");
        row("boolean text", date + ',' + id + ',' + kind + ",\"text\":true");
        row("object text", date + ',' + id + ',' + kind + ",\"text\":{}");
        row("array imageData", date + ',' + id + ',' + kind + ",\"imageData\":[\"QQ==\"]");
        row("number fingerprint", date + ',' + id + ',' + kind + ",\"fingerprint\":1");
        row("unknown kind", date + ',' + id + ",\"kind\":\"file\"");
        row("kind in other case", date + ',' + id + ",\"kind\":\"Text\"");
        row("date with fraction", id + ',' + kind + ",\"createdAt\":\"2024-05-01T09:30:00.5Z\"");
        row("date without zone", id + ',' + kind + ",\"createdAt\":\"2024-05-01T09:30:00\"");
        row("date with offset", id + ',' + kind + ",\"createdAt\":\"2024-05-01T09:30:00+00:00\"");
        row("date only", id + ',' + kind + ",\"createdAt\":\"2024-05-01\"");
        row("date with blank", id + ',' + kind + ",\"createdAt\":\"2024-05-01 09:30:00Z\"");
        row("impossible date", id + ',' + kind + ",\"createdAt\":\"2024-02-30T09:30:00Z\"");
        row("id without dashes",
            date + ',' + kind + ",\"id\":\"1B4E28BA2FA111D2883F0016D3CCA427\"");
        row("id in braces",
            date + ',' + kind + ",\"id\":\"{1B4E28BA-2FA1-11D2-883F-0016D3CCA427}\"");
        row("id too short", date + ',' + kind + ",\"id\":\"1B4E28BA-2FA1-11D2-883F-0016D3CCA42\"");
        row("id not hex", date + ',' + kind + ",\"id\":\"1B4E28BA-2FA1-11D2-883F-0016D3CCA42G\"");
        row("empty id", date + ',' + kind + ",\"id\":\"\"");
        row("Base64 bad character", date + ',' + id + ',' + kind + ",\"imageData\":\"QQ=*\"");
        row("Base64 without padding", date + ',' + id + ',' + kind + ",\"imageData\":\"QQ\"");
        row("Base64 with blank", date + ',' + id + ',' + kind + ",\"imageData\":\"QU Jj\"");
        row("Base64 with line break",
            date + ',' + id + ',' + kind + ",\"imageData\":\"QUJj\\nREVG\"");
        row("Base64 URL alphabet", date + ',' + id + ',' + kind + ",\"imageData\":\"-_-_AAE=\"");
        row("duplicate known key", date + ',' + id + ',' + kind + ",\"kind\":\"url\"");
        row("duplicate text", date + ',' + id + ',' + kind + ",\"text\":\"a\",\"text\":\"b\"");
        row("broken unknown value", date + ',' + id + ',' + kind + ",\"x\":tru");
        row("raw line break in string", date + ',' + id + ',' + kind + ",\"text\":\"a\nb\"");
        row("invalid UTF-8", date + ',' + id + ',' + kind + ",\"text\":\"\xff\"");
        row("bad escape", date + ',' + id + ',' + kind + ",\"text\":\"\\x41\"");
        row("unbalanced brackets", date + ',' + id + ',' + kind + ",\"x\":[}");
    }

    void decodeRejectsElement()
    {
        QFETCH(QByteArray, members);
        const QByteArray json = "[" + GoodObject + ",{" + members + "}]";
        QVERIFY(!ClipboardHistoryStorage::decode(json));
        // The same element alone is refused too; a good element alone is read.
        QVERIFY(!ClipboardHistoryStorage::decode("[{" + members + "}]"));
        QVERIFY(ClipboardHistoryStorage::decode("[" + GoodObject + "]"));
    }

    void decodeRejectsDocument_data()
    {
        QTest::addColumn<QByteArray>("json");
        const auto row = [](const char* name, const QByteArray& json) {
            QTest::newRow(name) << json;
        };
        row("empty file", QByteArray());
        row("only white space", QByteArray(" \n"));
        row("top-level object", GoodObject);
        row("top-level string", QByteArray("\"[]\""));
        row("null", QByteArray("null"));
        row("number element", QByteArray("[1]"));
        row("null element", QByteArray("[null]"));
        row("array element", QByteArray("[[]]"));
        row("object then number", "[" + GoodObject + ",1]");
        row("trailing garbage", "[" + GoodObject + "] x");
        row("second array", QByteArray("[][]"));
        row("extra bracket", "[" + GoodObject + "]]");
        row("object after array", "[" + GoodObject + "]" + GoodObject);
        row("trailing comma", "[" + GoodObject + ",]");
        row("leading comma", "[," + GoodObject + "]");
        row("missing comma", "[" + GoodObject + " " + GoodObject + "]");
        row("unterminated array", "[" + GoodObject);
        row("unterminated object", "[" + GoodObject.chopped(1));
        row("unterminated string", QByteArray("[{\"id\":\"abc"));
        row("only opening bracket", QByteArray("["));
        row("nul after document", QByteArray("[]\0", 3));
        row("comment", "[" + GoodObject + "] // x");
    }

    void decodeRejectsDocument()
    {
        QFETCH(QByteArray, json);
        QVERIFY(!ClipboardHistoryStorage::decode(json));
    }

    void loadMissingFile()
    {
        QTemporaryDir dir;
        ClipboardHistoryStorage storage(dir.path() + QStringLiteral("/Norvale"));
        QCOMPARE(storage.fileURL(), dir.path() + QStringLiteral("/Norvale/ClipboardHistory.json"));
        const auto result = storage.load(Now);
        QCOMPARE(result.status, ClipboardHistoryStorage::LoadStatus::Missing);
        QVERIFY(result.items.isEmpty());
        QVERIFY(!storage.isWriteProtected());
        // Loading does not create the folder.
        QVERIFY(!QFileInfo::exists(storage.directory()));
    }

    void saveThenLoad()
    {
        QTemporaryDir dir;
        ClipboardHistoryStorage storage(dir.path() + QStringLiteral("/a/b/Norvale"));
        const QList<ClipboardHistoryItem> items {
            item(ValidId, ClipboardHistoryKind::Text, Now, QStringLiteral("日本語"), std::nullopt),
            item(QStringLiteral("00000000-0000-0000-0000-00000000000a"),
                ClipboardHistoryKind::Image, Now.addSecs(-60), std::nullopt,
                QByteArray(300, '\xfe')),
        };
        QString error;
        QVERIFY2(storage.saveSynchronously(items, &error), qPrintable(error));
        QCOMPARE(readFile(storage.fileURL()), ClipboardHistoryStorage::encode(items));

        ClipboardHistoryStorage reopened(storage.directory());
        const auto result = reopened.load(Now);
        QCOMPARE(result.status, ClipboardHistoryStorage::LoadStatus::Loaded);
        QVERIFY(result.items == items);

        QVERIFY(storage.saveSynchronously({}, &error));
        const auto empty = reopened.load(Now);
        QCOMPARE(empty.status, ClipboardHistoryStorage::LoadStatus::Loaded);
        QVERIFY(empty.items.isEmpty());
    }

    void loadMovesABadFileAside_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<bool>("directory");
        QTest::newRow("not JSON") << QByteArray("garbage") << false;
        QTest::newRow("one bad element")
            << QByteArray("[" + GoodObject +
                   ",{\"id\":\"x\",\"kind\":\"text\",\"createdAt\":\"2024-05-01T09:30:00Z\"}]")
            << false;
        QTest::newRow("empty file") << QByteArray() << false;
        QTest::newRow("a folder in the file's place") << QByteArray() << true;
    }

    void loadMovesABadFileAside()
    {
        QFETCH(QByteArray, contents);
        QFETCH(bool, directory);
        QTemporaryDir dir;
        ClipboardHistoryStorage storage(dir.path());
        if (directory) {
            QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("ClipboardHistory.json")));
        } else {
            QVERIFY(writeFile(storage.fileURL(), contents));
            QVERIFY(QFile::setPermissions(storage.fileURL(),
                QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                    QFileDevice::ReadOther));
        }

        const auto result = storage.load(Now);
        QCOMPARE(result.status, ClipboardHistoryStorage::LoadStatus::MovedAside);
        QVERIFY(result.items.isEmpty());
        QCOMPARE(result.movedAsidePath,
            dir.path() + QStringLiteral("/ClipboardHistory.json.unreadable-20240501T093000"));
        QVERIFY(!QFileInfo::exists(storage.fileURL()));
        QVERIFY(!storage.isWriteProtected());
        if (!directory) {
            QCOMPARE(readFile(result.movedAsidePath), contents);
            QCOMPARE(modeOf(result.movedAsidePath), 0600);
        }

        // The next save writes a fresh file and leaves the kept copy alone.
        const QList<ClipboardHistoryItem> items {
            item(ValidId, ClipboardHistoryKind::Text, Now, QStringLiteral("new"), std::nullopt)};
        QString error;
        QVERIFY2(storage.saveSynchronously(items, &error), qPrintable(error));
        QCOMPARE(readFile(storage.fileURL()), ClipboardHistoryStorage::encode(items));
        if (!directory) {
            QCOMPARE(readFile(result.movedAsidePath), contents);
        }

        // A second bad file on the same second gets its own name.
        QVERIFY(writeFile(storage.fileURL(), "again"));
        const auto second = ClipboardHistoryStorage(dir.path()).load(Now);
        QCOMPARE(second.status, ClipboardHistoryStorage::LoadStatus::MovedAside);
        QCOMPARE(second.movedAsidePath, result.movedAsidePath + QStringLiteral("-2"));
    }

    void loadMovesAFileWeCannotReadAside()
    {
        if (::geteuid() == 0) {
            QSKIP("file permissions do not stop root from reading");
        }
        QTemporaryDir dir;
        ClipboardHistoryStorage storage(dir.path());
        QVERIFY(writeFile(storage.fileURL(), "[" + GoodObject + "]"));
        QVERIFY(QFile::setPermissions(storage.fileURL(), QFileDevice::Permissions()));
        const auto result = storage.load(Now);
        QCOMPARE(result.status, ClipboardHistoryStorage::LoadStatus::MovedAside);
        QCOMPARE(modeOf(result.movedAsidePath), 0600);
        QVERIFY(!QFileInfo::exists(storage.fileURL()));
    }

    // The rename fails because the kept-aside name would pass PATH_MAX while the file's own
    // path does not: this fails for root as well as for anyone else.
    void untouchableFileIsNeverWrittenOver()
    {
        QTemporaryDir dir;
        QString folder = dir.path();
        constexpr int Wanted = 4060; // + "/ClipboardHistory.json" < 4096 <= + ".unreadable-..."
        while (folder.size() < Wanted) {
            const int room = Wanted - static_cast<int>(folder.size()) - 1;
            folder += QLatin1Char('/') + QString(std::min(room, 200), QLatin1Char('d'));
        }
        QCOMPARE(folder.size(), Wanted);
        QVERIFY(QDir().mkpath(folder));
        ClipboardHistoryStorage storage(folder);
        const QByteArray bad = "[{\"broken\"";
        QVERIFY(writeFile(storage.fileURL(), bad));

        const auto result = storage.load(Now);
        QCOMPARE(result.status, ClipboardHistoryStorage::LoadStatus::Untouchable);
        QVERIFY(result.items.isEmpty());
        QVERIFY(result.movedAsidePath.isEmpty());
        QVERIFY(storage.isWriteProtected());

        QString error;
        QVERIFY(!storage.saveSynchronously(
            {item(ValidId, ClipboardHistoryKind::Text, Now, QStringLiteral("x"), std::nullopt)},
            &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(readFile(storage.fileURL()), bad);
        QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
            QStringList {QStringLiteral("ClipboardHistory.json")});
    }

    void saveFailureIsReported()
    {
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.path() + QStringLiteral("/file"), "x"));
        ClipboardHistoryStorage storage(dir.path() + QStringLiteral("/file/Norvale"));
        QString error;
        QVERIFY(!storage.saveSynchronously({}, &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!storage.saveSynchronously({}, nullptr));
    }

    void fileAndFolderModes_data()
    {
        QTest::addColumn<int>("mask");
        QTest::newRow("umask 0") << 0;
        QTest::newRow("umask 022") << 022;
        QTest::newRow("umask 077") << 077;
    }

    void fileAndFolderModes()
    {
        QFETCH(int, mask);
        const UmaskScope umaskScope(static_cast<mode_t>(mask));
        QTemporaryDir dir;
        ClipboardHistoryStorage storage(dir.path() + QStringLiteral("/Norvale"));
        QString error;
        QVERIFY2(storage.saveSynchronously({}, &error), qPrintable(error));
        QCOMPARE(modeOf(storage.directory()), 0700);
        QCOMPARE(modeOf(storage.fileURL()), 0600);
        // Overwriting keeps it private and leaves no temporary file behind.
        QVERIFY(QFile::setPermissions(storage.fileURL(),
            QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther));
        QVERIFY(storage.saveSynchronously({}, &error));
        QCOMPARE(modeOf(storage.fileURL()), 0600);
        QCOMPARE(QDir(storage.directory())
                     .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
            QStringList {QStringLiteral("ClipboardHistory.json")});
    }

    void loadTightensAnOpenFolder()
    {
        QTemporaryDir dir;
        const QString folder = dir.path() + QStringLiteral("/Norvale");
        QVERIFY(QDir().mkdir(folder));
        QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0755) == 0);
        ClipboardHistoryStorage storage(folder);
        QCOMPARE(storage.load(Now).status, ClipboardHistoryStorage::LoadStatus::Missing);
        QCOMPARE(modeOf(folder), 0700);
    }
};

NORVALE_TEST_CLASS(ClipboardStorageTest)
#include "tst_storage.moc"
