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
        const auto accept = [](const char* name, const QByteArray& json, const QString& folders) {
            QTest::newRow(name) << json << folders;
        };
        const auto refuse = [](const char* name, const QByteArray& json) {
            QTest::newRow(name) << json << QStringLiteral("refused");
        };

        accept("no isVisible anywhere", withPhrase(",\"title\":\"T\",\"content\":\"C\""), "F[T=C]");

        refuse("phrase without content", withPhrase(",\"title\":\"T\""));
        refuse("folder without id", "[{\"title\":\"F\",\"phrases\":[]}]");
    }

    void readsStrictly()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, expected);
        const std::optional<FixedPhraseFolderList> folders = FixedPhraseStorage::decode(json);
        QCOMPARE(folders ? notation(*folders) : QStringLiteral("refused"), expected);
    }
};

NORVALE_TEST_CLASS(FixedPhraseStorageTest)
#include "tst_fixedphrasestorage.moc"
