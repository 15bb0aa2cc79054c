#include "PhraseTestSupport.h"
#include "common/TestMain.h"
#include "phrases/FixedPhraseStorage.h"

#include <QTemporaryDir>
#include <QTest>

using namespace PhraseTest;

class FixedPhraseStorageTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void encodesTheFileByteExactly_data()
    {
        QTest::addColumn<FixedPhraseFolderList>("folders");
        QTest::addColumn<QByteArray>("expected");

        QTest::newRow("empty store") << FixedPhraseFolderList() << QByteArray("[]");
        QTest::newRow("folder without phrases")
            << FixedPhraseFolderList {folder(1, QStringLiteral("A"))}
            << QByteArray(R"([{"id":"00000000-0000-4000-8000-000000000001","title":"A",)"
                          R"("isVisible":true,"phrases":[]}])");
        QTest::newRow("escaping, UTF-8 and hidden items")
            << FixedPhraseFolderList {folder(10, QStringLiteral("仕事/メモ"),
                                          {phrase(11, QStringLiteral("挨拶"),
                                              QStringLiteral("お世話に\nなっております \"様\"\t\\"),
                                              false)},
                                          false),
                   folder(12, QString(), {phrase(13, QStringLiteral("x"), QString())})}
            << QByteArray(
                   "[{\"id\":\"00000000-0000-4000-8000-000000000010\",\"title\":\"仕事\\/メモ\","
                   R"("isVisible":false,"phrases":[{"id":"00000000-0000-4000-8000-000000000011",)"
                   "\"title\":\"挨拶\",\"content\":\"お世話に\\nなっております "
                   "\\\"様\\\"\\t\\\\\",\"isVisible\":false}]},"
                   R"({"id":"00000000-0000-4000-8000-000000000012","title":"","isVisible":true,)"
                   R"("phrases":[{"id":"00000000-0000-4000-8000-000000000013","title":"x",)"
                   R"("content":"","isVisible":true}]}])");
        QTest::newRow("text starting with U+FEFF keeps it")
            << FixedPhraseFolderList {folder(1, QStringLiteral("\uFEFFA"),
                   {phrase(2, QStringLiteral("\uFEFF"), QStringLiteral("\uFEFF\uFEFFx"))})}
            << QByteArray(
                   "[{\"id\":\"00000000-0000-4000-8000-000000000001\",\"title\":\"\xef\xbb\xbf"
                   "A\","
                   "\"isVisible\":true,\"phrases\":[{\"id\":\"00000000-0000-4000-8000-"
                   "000000000002\","
                   "\"title\":\"\xef\xbb\xbf\",\"content\":\"\xef\xbb\xbf\xef\xbb\xbfx\","
                   "\"isVisible\":true}]}]");
        QTest::newRow("identifiers in upper case")
            << FixedPhraseFolderList {FixedPhraseFolder {
                   QUuid(QStringLiteral("a1b2c3d4-e5f6-4a7b-8c9d-0e1f2a3b4c5d")),
                   QStringLiteral("t"), true, {}}}
            << QByteArray(R"([{"id":"A1B2C3D4-E5F6-4A7B-8C9D-0E1F2A3B4C5D","title":"t",)"
                          R"("isVisible":true,"phrases":[]}])");
    }

    void encodesTheFileByteExactly()
    {
        QFETCH(FixedPhraseFolderList, folders);
        QFETCH(QByteArray, expected);
        QCOMPARE(FixedPhraseStorage::encode(folders), expected);
        QCOMPARE(FixedPhraseStorage::decode(expected), std::optional(folders));
    }

    void readsStrictly_data()
    {
        QTest::addColumn<QByteArray>("json");
        // Number of folders read and phrases of the first folder, or -1 when the whole
        // document must be refused.
        QTest::addColumn<int>("folderCount");
        QTest::addColumn<int>("phraseCount");

        const QByteArray id = R"("00000000-0000-4000-8000-000000000001")";
        const QByteArray id2 = R"("00000000-0000-4000-8000-000000000002")";
        auto doc = [&](const QByteArray& folderExtra, const QByteArray& phraseBody) -> QByteArray {
            return "[{\"id\":" + id + ",\"title\":\"F\"" + folderExtra + ",\"phrases\":[" +
                phraseBody + "]}]";
        };
        const QByteArray goodPhrase =
            QByteArray("{\"id\":" + id2 + ",\"title\":\"T\",\"content\":\"C\"}");

        QTest::newRow("empty array") << QByteArray("[]") << 0 << 0;
        QTest::newRow("white space and any key order")
            << QByteArray(QByteArray(" [ {\n \"phrases\" : [ ] , \"title\" : \"F\" , \"id\" : ") +
                   id + QByteArray(" } ]\n"))
            << 1 << 0;
        QTest::newRow("no isVisible anywhere") << doc("", goodPhrase) << 1 << 1;
        QTest::newRow("unknown keys ignored")
            << doc(",\"colour\":{\"r\":1},\"n\":[1,2]",
                   QByteArray(
                       "{\"id\":" + id2 + ",\"title\":\"T\",\"content\":\"C\",\"extra\":null}"))
            << 1 << 1;
        QTest::newRow("lower-case UUID")
            << QByteArray(
                   R"([{"id":"a1b2c3d4-e5f6-4a7b-8c9d-0e1f2a3b4c5d","title":"F","phrases":[]}])")
            << 1 << 0;
        QTest::newRow("UUID with braces")
            << QByteArray(
                   R"([{"id":"{00000000-0000-4000-8000-000000000001}","title":"F","phrases":[]}])")
            << -1 << -1;
        QTest::newRow("UUID without hyphens")
            << QByteArray(R"([{"id":"00000000000040008000000000000001","title":"F","phrases":[]}])")
            << -1 << -1;
        QTest::newRow("UUID with a non-hex digit in a phrase")
            << doc("", R"({"id":"00000000-0000-4000-8000-00000000000g","title":"T","content":"C"})")
            << -1 << -1;
        QTest::newRow("phrase without content")
            << doc("", QByteArray("{\"id\":" + id2 + ",\"title\":\"T\"}")) << -1 << -1;
        QTest::newRow("phrase without title")
            << doc("", QByteArray("{\"id\":" + id2 + ",\"content\":\"C\"}")) << -1 << -1;
        QTest::newRow("folder without phrases key")
            << QByteArray("[{\"id\":" + id + ",\"title\":\"F\"}]") << -1 << -1;
        QTest::newRow("folder without id")
            << QByteArray("[{\"title\":\"F\",\"phrases\":[]}]") << -1 << -1;
        QTest::newRow("title is a number")
            << QByteArray("[{\"id\":" + id + ",\"title\":5,\"phrases\":[]}]") << -1 << -1;
        QTest::newRow("isVisible as a string") << doc(",\"isVisible\":\"true\"", "") << -1 << -1;
        QTest::newRow("isVisible as a number in a phrase")
            << doc("",
                   QByteArray(
                       "{\"id\":" + id2 + ",\"title\":\"T\",\"content\":\"C\",\"isVisible\":1}"))
            << -1 << -1;
        QTest::newRow("phrases is an object")
            << QByteArray("[{\"id\":" + id + ",\"title\":\"F\",\"phrases\":{}}]") << -1 << -1;
        QTest::newRow("top level object") << QByteArray("{\"folders\":[]}") << -1 << -1;
        QTest::newRow("array element not an object") << QByteArray("[1]") << -1 << -1;
        QTest::newRow("trailing garbage") << QByteArray("[] x") << -1 << -1;
        QTest::newRow("truncated") << QByteArray(doc("", goodPhrase)).chopped(2) << -1 << -1;
        QTest::newRow("empty file") << QByteArray() << -1 << -1;
        QTest::newRow("only white space") << QByteArray(" \n") << -1 << -1;
        QTest::newRow("unknown members of every kind")
            << doc(",\"a\":[1,-0.5,2e10,1E-3,true,false,null,\"s\\u00e9\",{\"x\":{}},[]]", "") << 1
            << 0;
        QTest::newRow("escaped member name")
            << QByteArray("[{\"\\u0069d\":" + id + ",\"title\":\"F\",\"phrases\":[]}]") << 1 << 0;
        QTest::newRow("leading zero in an unknown number") << doc(",\"n\":01", "") << -1 << -1;
        QTest::newRow("bare minus") << doc(",\"n\":-", "") << -1 << -1;
        QTest::newRow("fraction without digits") << doc(",\"n\":1.", "") << -1 << -1;
        QTest::newRow("misspelt literal in an unknown member") << doc(",\"n\":tru", "") << -1 << -1;
        QTest::newRow("trailing comma in an array") << doc("", goodPhrase + ",") << -1 << -1;
        QTest::newRow("trailing comma in an object") << doc(",\"n\":1,", "") << -1 << -1;
        QTest::newRow("single quotes") << QByteArray("[{'id':" + id + "}]") << -1 << -1;
        QTest::newRow("raw line feed in a string")
            << doc("", QByteArray("{\"id\":" + id2 + ",\"title\":\"T\",\"content\":\"a\nb\"}"))
            << -1 << -1;
        QTest::newRow("unknown escape")
            << doc("", QByteArray("{\"id\":" + id2 + ",\"title\":\"T\",\"content\":\"\\x\"}")) << -1
            << -1;
        QTest::newRow("unpaired high surrogate")
            << doc("", QByteArray("{\"id\":" + id2 + ",\"title\":\"T\",\"content\":\"\\ud83d!\"}"))
            << -1 << -1;
        QTest::newRow("unpaired low surrogate in an unknown member")
            << doc(",\"x\":\"\\ude00\"", "") << -1 << -1;
        QTest::newRow("deep nesting in an unknown member")
            << doc(",\"x\":" + QByteArray(600, '[') + QByteArray(600, ']'), "") << -1 << -1;
        QTest::newRow("moderate nesting in an unknown member")
            << doc(",\"x\":" + QByteArray(100, '[') + QByteArray(100, ']'), "") << 1 << 0;
        QTest::newRow("invalid UTF-8 in a title")
            << QByteArray("[{\"id\":" + id + ",\"title\":\"\x92\xe8\",\"phrases\":[]}]") << -1
            << -1;
    }

    void readsStrictly()
    {
        QFETCH(QByteArray, json);
        QFETCH(int, folderCount);
        QFETCH(int, phraseCount);
        const std::optional<FixedPhraseFolderList> folders = FixedPhraseStorage::decode(json);
        if (folderCount < 0) {
            QVERIFY(!folders.has_value());
            return;
        }
        QVERIFY(folders.has_value());
        QCOMPARE(folders->size(), folderCount);
        if (folderCount > 0) {
            QVERIFY(folders->first().isVisible);
            QCOMPARE(folders->first().phrases.size(), phraseCount);
            for (const FixedPhrase& p : folders->first().phrases) {
                QVERIFY(p.isVisible);
            }
        }
    }

    void explicitVisibilityIsRead()
    {
        const QByteArray json =
            R"([{"id":"00000000-0000-4000-8000-000000000001","title":"F",)"
            R"("isVisible":false,"phrases":[{"id":"00000000-0000-4000-8000-000000000002",)"
            "\"title\":\"T\",\"content\":\"a\\/"
            "b\\u3042\\ud83d\\ude00\\\"\\\\\\b\\f\\n\\r\\t\\u0000\",\"isVisible\":false}]}]";
        const auto folders = FixedPhraseStorage::decode(json);
        QVERIFY(folders);
        QCOMPARE(folders->first().isVisible, false);
        QCOMPARE(folders->first().phrases.first().isVisible, false);
        QCOMPARE(folders->first().phrases.first().content,
            QStringLiteral("a/bあ😀\"\\\b\f\n\r\t") + QChar(0));
    }

    void savesPrivatelyAndLoadsBack()
    {
        QTemporaryDir dir;
        const QString folderPath = dir.filePath(QStringLiteral("Norvale"));
        const FixedPhraseStorage storage(folderPath + QStringLiteral("/FixedPhrases.json"));
        QCOMPARE(storage.load().state, FixedPhraseStorage::LoadState::missing);

        const FixedPhraseFolderList folders {
            folder(1, QStringLiteral("A"), {phrase(2, QStringLiteral("t"), QStringLiteral("c"))})};
        QString error;
        QVERIFY2(storage.save(folders, &error), qPrintable(error));
        QCOMPARE(fileMode(folderPath), 0700);
        QCOMPARE(fileMode(storage.fileURL()), 0600);
        QCOMPARE(readFile(storage.fileURL()), FixedPhraseStorage::encode(folders));
        const FixedPhraseStorage::LoadResult loaded = storage.load();
        QCOMPARE(loaded.state, FixedPhraseStorage::LoadState::loaded);
        QCOMPARE(loaded.folders, folders);

        QVERIFY(writeFile(storage.fileURL(), "[{]"));
        QCOMPARE(storage.load().state, FixedPhraseStorage::LoadState::unreadable);
    }

    void keepsTheFileBeforeAnImport()
    {
        QTemporaryDir dir;
        const FixedPhraseStorage storage(dir.filePath(QStringLiteral("FixedPhrases.json")));
        QString error;
        // Nothing to keep yet.
        QVERIFY(storage.keepBeforeImport(&error));
        QCOMPARE(fileMode(storage.beforeImportPath()), -1);

        const FixedPhraseFolderList first {folder(1, QStringLiteral("first"))};
        const FixedPhraseFolderList second {folder(2, QStringLiteral("second"))};
        QVERIFY(storage.save(first, &error));
        QVERIFY(storage.keepBeforeImport(&error));
        QVERIFY(storage.save(second, &error));
        QCOMPARE(readFile(storage.beforeImportPath()), FixedPhraseStorage::encode(first));
        QCOMPARE(readFile(storage.fileURL()), FixedPhraseStorage::encode(second));
        QCOMPARE(fileMode(storage.beforeImportPath()), 0600);

        // The next import replaces the kept copy.
        QVERIFY(storage.keepBeforeImport(&error));
        QVERIFY(storage.save(first, &error));
        QCOMPARE(readFile(storage.beforeImportPath()), FixedPhraseStorage::encode(second));
        QCOMPARE(readFile(storage.fileURL()), FixedPhraseStorage::encode(first));
    }

    void visibleFoldersKeepOrderAndDropHiddenItems()
    {
        const FixedPhraseFolderList folders {
            folder(1, QStringLiteral("A"),
                {phrase(2, QStringLiteral("a1")), phrase(3, QStringLiteral("a2"), {}, false),
                    phrase(4, QStringLiteral("a3"))}),
            folder(5, QStringLiteral("hidden"), {phrase(6, QStringLiteral("h"))}, false),
            folder(7, QStringLiteral("only hidden phrases"),
                {phrase(8, QStringLiteral("x"), {}, false)}),
        };
        const FixedPhraseFolderList visible = visibleFolders(folders);
        QCOMPARE(visible.size(), 2);
        QCOMPARE(visible[0].title, QStringLiteral("A"));
        QCOMPARE(visible[0].phrases.size(), 2);
        QCOMPARE(visible[0].phrases[0].title, QStringLiteral("a1"));
        QCOMPARE(visible[0].phrases[1].title, QStringLiteral("a3"));
        QCOMPARE(visible[1].title, QStringLiteral("only hidden phrases"));
        QVERIFY(visible[1].phrases.isEmpty());
    }
};

NORVALE_TEST_CLASS(FixedPhraseStorageTest)
#include "tst_fixedphrasestorage.moc"
