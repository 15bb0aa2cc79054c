#include "ClipboardTestSupport.h"
#include "clipboard/ClipboardHistoryStorage.h"
#include "clipboard/ClipboardImageSpill.h"
#include "common/TestMain.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <unistd.h>

using namespace ClipboardTest;

namespace {

using Items = QList<ClipboardHistoryItem>;

const QString ValidId = QStringLiteral("1B4E28BA-2FA1-11D2-883F-0016D3CCA427");
ClipboardHistoryItem item(ClipboardHistoryKind kind, std::optional<QString> text,
    std::optional<QByteArray> imageData = std::nullopt, const QString& id = ValidId,
    const QDateTime& createdAt = Now)
{
    ClipboardHistoryItem result;
    result.id = QUuid::fromString(id);
    result.kind = kind;
    result.createdAt = createdAt;
    result.text = std::move(text);
    if (imageData) {
        result.imageData = *imageData;
    }
    result.fingerprint = ClipboardHistoryItem::makeFingerprint(kind, result.text, imageData);
    return result;
}

ClipboardHistoryItem textItem(const QString& text)
{
    return item(ClipboardHistoryKind::Text, text);
}

// A good element (a text without text) with some keys given other values, or removed
// (nullptr); other keys are added at the end.
QByteArray element(std::initializer_list<std::pair<const char*, const char*>> changes = {})
{
    QList<QPair<QByteArray, QByteArray>> members {{"createdAt", "\"2024-05-01T09:30:00Z\""},
        {"id", "\"1B4E28BA-2FA1-11D2-883F-0016D3CCA427\""}, {"kind", "\"text\""}};
    for (const auto& [name, value] : changes) {
        const QByteArray key(name);
        members.removeIf([&key](const auto& member) { return member.first == key; });
        if (value != nullptr) {
            members.append(qMakePair(key, QByteArray(value)));
        }
    }
    QByteArray json = "{";
    for (const auto& [name, text] : std::as_const(members)) {
        json += (json.size() > 1 ? "," : "") + ('"' + name + "\":") + text;
    }
    return json + '}';
}

const QByteArray GoodObject = element({{"text", "\"a\""}});
const QByteArray GoodImage = element({{"kind", "\"image\""}, {"imageData", "\"q83v\""}});

} // namespace

class ClipboardStorageTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void encodeIsByteExact()
    {
        Items items {
            item(ClipboardHistoryKind::Url, QStringLiteral("https://a")),
            // A date in another zone is written in UTC; "+/+/" proves slashes in Base64 are
            // escaped like any other.
            item(ClipboardHistoryKind::Image, std::nullopt, QByteArray::fromHex("fbffbf0001"),
                QStringLiteral("6ba7b810-9dad-11d1-80b4-00c04fd430c8"),
                QDateTime(QDate(2024, 5, 1), QTime(18, 30, 5), QTimeZone(9 * 3600))),
            item(ClipboardHistoryKind::Text,
                QString::fromUtf8("q\"b\\s/\b\f\n\r\t\x01\x1f\x7f é 日本 😀"), std::nullopt,
                QStringLiteral("00000000-0000-0000-0000-000000000000")),
            textItem(QString()),
            item(ClipboardHistoryKind::Text, std::nullopt),
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
        // The same bytes when the image is streamed from a spill file.
        QTemporaryDir dir;
        ClipboardImageSpill spill(dir.path());
        items[1].imageData = spill.spill(QByteArray::fromHex("fbffbf0001"));
        QVERIFY(items[1].imageData->isSpilled());
        QCOMPARE(ClipboardHistoryStorage::encode(items), expected);
    }

    // Over 16 MB, so the file is decoded in several parts at once: the items still come back
    // in file order, and a bad element in any part still spoils the whole file.
    void largeFileRoundTrip()
    {
        Items items {
            item(ClipboardHistoryKind::Text, QStringLiteral("}]{[\"\\ \\\"\n"), std::nullopt,
                QStringLiteral("00000000-0000-0000-0000-000000000001"), Now.addDays(-400)),
            item(ClipboardHistoryKind::Url, QStringLiteral("  https://a/b?c=d")),
            item(ClipboardHistoryKind::Image, std::nullopt),
        };
        QByteArray image(256 * 1024, Qt::Uninitialized);
        QRandomGenerator(11).fillRange(reinterpret_cast<quint32*>(image.data()), image.size() / 4);
        for (int i = 0; i < 48; ++i) {
            image[0] = static_cast<char>(i);
            items.append(
                item(ClipboardHistoryKind::Image, std::nullopt, image, ValidId, Now.addSecs(-i)));
            items.append(textItem(QString::number(i)));
        }
        const QByteArray json = ClipboardHistoryStorage::encode(items);
        QVERIFY(json.size() > 16 * 1024 * 1024);
        QVERIFY(ClipboardHistoryStorage::decode(json) == items);

        for (const double at : {0.1, 0.5, 0.9}) {
            QByteArray broken = json;
            const qsizetype kind =
                broken.indexOf("\"kind\" : \"text\"", qsizetype(broken.size() * at));
            QVERIFY(kind > 0);
            broken.replace(kind, 15, "\"kind\" : \"texx\"");
            QVERIFY2(!ClipboardHistoryStorage::decode(broken), QByteArray::number(at).constData());
        }

        // Streamed into folders the save creates, and loaded back with every image spilled.
        QTemporaryDir dir;
        ClipboardHistoryStorage storage(dir.path() + QStringLiteral("/a/b/Norvale"));
        QVERIFY(storage.saveSynchronously(items, nullptr));
        ClipboardImageSpill spill(dir.path());
        const auto loaded = storage.load([&spill](QByteArray bytes) { return spill.spill(bytes); });
        QVERIFY(loaded.items == items);
        QCOMPARE(QDir(spill.directory()).entryList(QDir::Files).size(), 48);
    }

    void decodeAccepts_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<Items>("expected");

        const auto one =
            [](std::initializer_list<std::pair<const char*, const char*>> changes) -> QByteArray {
            return "[" + element(changes) + "]";
        };
        const auto withFingerprint = [](ClipboardHistoryItem item, const char* fingerprint) {
            item.fingerprint = QString::fromUtf8(fingerprint);
            return Items {item};
        };

        QTest::newRow("missing fingerprint of a text is computed")
            << one({{"kind", "\"url\""}, {"text", "\"https:\\/\\/a\""}})
            << withFingerprint(
                   item(ClipboardHistoryKind::Url, QStringLiteral("https://a")), "text:https://a");
        QTest::newRow("missing fingerprint of an image is computed")
            << one({{"kind", "\"image\""}, {"imageData", "\"q83v\""}})
            << withFingerprint(
                   item(ClipboardHistoryKind::Image, std::nullopt, QByteArray::fromHex("abcdef")),
                   "image:3:995da3cf545787d65f9ced52674e92ee8171c87c7a4008aa4349ec47d21609a7");
        QTest::newRow("missing fingerprint of an image without bytes is computed")
            << one({{"kind", "\"image\""}})
            << withFingerprint(item(ClipboardHistoryKind::Image, std::nullopt), "image:");
        QTest::newRow("stored fingerprint is kept")
            << one({{"text", "\"a\""}, {"fingerprint", "\"text:b\""}})
            << withFingerprint(textItem(QStringLiteral("a")), "text:b");
    }

    void decodeAccepts()
    {
        QFETCH(QByteArray, json);
        QFETCH(Items, expected);
        QCOMPARE(ClipboardHistoryStorage::decode(json), std::optional<Items>(expected));
    }

    // Every row is one broken element: after a good one or alone, the whole file is refused.
    void decodeRejectsElement_data()
    {
        QTest::addColumn<QByteArray>("element");
        const auto row = [](const char* name, const char* key, const char* value) {
            QTest::newRow(name) << element({{key, value}});
        };
        row("missing id", "id", nullptr);
        row("missing kind", "kind", nullptr);
        row("missing createdAt", "createdAt", nullptr);
        row("unknown kind", "kind", "\"file\"");
        row("kind in other case", "kind", "\"Text\"");
        row("date with fraction", "createdAt", "\"2024-05-01T09:30:00.5Z\"");
        row("Base64 bad character", "imageData", "\"QQ=*\"");
    }

    // Loaded with its images spilled, a refused file leaves no spill file of its good images.
    void decodeRejectsElement()
    {
        QFETCH(QByteArray, element);
        QVERIFY(!ClipboardHistoryStorage::decode("[" + GoodObject + "," + element + "]"));
        QVERIFY(!ClipboardHistoryStorage::decode("[" + element + "]"));

        QTemporaryDir dir;
        ClipboardImageSpill spill(dir.path());
        ClipboardHistoryStorage storage(dir.path());
        QVERIFY(writeFile(storage.filePath(), "[" + GoodImage + "," + element + "]"));
        const auto loaded = storage.load([&spill](QByteArray bytes) { return spill.spill(bytes); });
        QCOMPARE(loaded.status, ClipboardHistoryStorage::LoadStatus::Unreadable);
        QCOMPARE(QDir(spill.directory()).entryList(QDir::Files), QStringList());
    }

    // Loading creates nothing; a folder left open by an earlier build is tightened.
    void loadTightensTheFolder()
    {
        QTemporaryDir dir;
        ClipboardHistoryStorage storage(dir.path() + QStringLiteral("/Norvale"));
        QCOMPARE(storage.load().status, ClipboardHistoryStorage::LoadStatus::Missing);
        QVERIFY(!QFileInfo::exists(storage.directory()));
        QVERIFY(QDir().mkpath(storage.directory()));
        QVERIFY(::chmod(QFile::encodeName(storage.directory()).constData(), 0755) == 0);
        QCOMPARE(storage.load().status, ClipboardHistoryStorage::LoadStatus::Missing);
        QCOMPARE(fileMode(storage.directory()), 0700);
    }
};

NORVALE_TEST_CLASS(ClipboardStorageTest)
#include "tst_storage.moc"
