#include "PhraseTestSupport.h"
#include "common/TestMain.h"
#include "phrases/FixedPhraseStorage.h"

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
                   "A\",\"isVisible\":true,\"phrases\":[{\"id\":\"00000000-0000-4000-8000-"
                   "000000000002\",\"title\":\"\xef\xbb\xbf\",\"content\":\"\xef\xbb\xbf"
                   "\xef\xbb\xbfx\",\"isVisible\":true}]}]");
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

    // One wrong detail anywhere refuses the whole document.
    void readsStrictly_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("expected"); // notation(), or "refused"

        const QByteArray id = R"("00000000-0000-4000-8000-000000000001")";
        const QByteArray id2 = R"("00000000-0000-4000-8000-000000000002")";
        const auto doc = [&](const QByteArray& folderExtra,
                             const QByteArray& phraseBody) -> QByteArray {
            return "[{\"id\":" + id + ",\"title\":\"F\"" + folderExtra + ",\"phrases\":[" +
                phraseBody + "]}]";
        };
        const auto withPhrase = [&](const QByteArray& members) -> QByteArray {
            return doc("", "{\"id\":" + id2 + members + "}");
        };
        const QByteArray goodPhrase = "{\"id\":" + id2 + ",\"title\":\"T\",\"content\":\"C\"}";
        const QByteArray good = doc("", goodPhrase);
        const auto accept = [](const char* name, const QByteArray& json, const QString& folders) {
            QTest::newRow(name) << json << folders;
        };
        const auto refuse = [](const char* name, const QByteArray& json) {
            QTest::newRow(name) << json << QStringLiteral("refused");
        };

        accept("empty array", "[]", "");
        accept("white space and any key order",
            " [ {\n \"phrases\" : [ ] , \"title\" : \"F\" , \"id\" : " + id + " } ]\n", "F[]");
        accept("no isVisible anywhere", good, "F[T=C]");
        accept("isVisible null is visible",
            withPhrase(",\"title\":\"T\",\"content\":\"C\",\"isVisible\":null"), "F[T=C]");
        accept("explicit false, every escape",
            doc(",\"isVisible\":false",
                "{\"id\":" + id2 +
                    ",\"title\":\"T\",\"content\":\"a\\/b\\u3042\\ud83d\\ude00\\\"\\\\\\b\\f\\n"
                    "\\r\\t\\u0000\",\"isVisible\":false}"),
            QStringLiteral("F-[T-=a/bあ😀\"\\\b\f\n\r\t") + QChar(0) + QLatin1Char(']'));
        accept("unknown members of every kind",
            doc(",\"a\":[1,-0.5,2e10,1E-3,true,false,null,\"s\\u00e9\",{\"x\":{}},[]]", ""), "F[]");
        accept("escaped member name", "[{\"\\u0069d\":" + id + ",\"title\":\"F\",\"phrases\":[]}]",
            "F[]");
        accept("lower-case UUID",
            R"([{"id":"a1b2c3d4-e5f6-4a7b-8c9d-0e1f2a3b4c5d","title":"F","phrases":[]}])", "F[]");
        accept("moderate nesting in an unknown member",
            doc(",\"x\":" + QByteArray(100, '[') + QByteArray(100, ']'), ""), "F[]");

        refuse("UUID with braces",
            R"([{"id":"{00000000-0000-4000-8000-000000000001}","title":"F","phrases":[]}])");
        refuse("UUID without hyphens",
            R"([{"id":"00000000000040008000000000000001","title":"F","phrases":[]}])");
        refuse("UUID with a non-hex digit in a phrase",
            withPhrase(
                R"(,"id":"00000000-0000-4000-8000-00000000000g","title":"T","content":"C")"));
        refuse("phrase without content", withPhrase(",\"title\":\"T\""));
        refuse("folder without id", "[{\"title\":\"F\",\"phrases\":[]}]");
        refuse("title is a number", "[{\"id\":" + id + ",\"title\":5,\"phrases\":[]}]");
        refuse("isVisible as a string", doc(",\"isVisible\":\"true\"", ""));
        refuse("phrases is an object", "[{\"id\":" + id + ",\"title\":\"F\",\"phrases\":{}}]");
        refuse("top level object", "{\"folders\":[]}");
        refuse("array element not an object", "[1]");
        refuse("trailing garbage", "[] x");
        refuse("truncated", good.chopped(2));
        refuse("empty file", "");
        refuse("leading zero in an unknown number", doc(",\"n\":01", ""));
        refuse("bare minus", doc(",\"n\":-", ""));
        refuse("misspelt literal in an unknown member", doc(",\"n\":tru", ""));
        refuse("trailing comma in an array", doc("", goodPhrase + ","));
        refuse("raw line feed in a string", withPhrase(",\"title\":\"T\",\"content\":\"a\nb\""));
        refuse("unknown escape", withPhrase(",\"title\":\"T\",\"content\":\"\\x\""));
        refuse("unpaired high surrogate", withPhrase(",\"title\":\"T\",\"content\":\"\\ud83d!\""));
        refuse("unpaired low surrogate in an unknown member", doc(",\"x\":\"\\ude00\"", ""));
        refuse("deep nesting in an unknown member",
            doc(",\"x\":" + QByteArray(600, '[') + QByteArray(600, ']'), ""));
        refuse("invalid UTF-8 in a title",
            "[{\"id\":" + id + ",\"title\":\"\x92\xe8\",\"phrases\":[]}]");
    }

    void readsStrictly()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, expected);
        const std::optional<FixedPhraseFolderList> folders = FixedPhraseStorage::decode(json);
        QCOMPARE(folders ? notation(*folders) : QStringLiteral("refused"), expected);
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
        QCOMPARE(
            notation(visibleFolders(folders)), QStringLiteral("A[a1, a3] | only hidden phrases[]"));
    }
};

NORVALE_TEST_CLASS(FixedPhraseStorageTest)
#include "tst_fixedphrasestorage.moc"
