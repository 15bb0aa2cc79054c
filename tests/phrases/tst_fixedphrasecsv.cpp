#include "PhraseTestSupport.h"
#include "common/TestMain.h"
#include "phrases/FixedPhraseCSV.h"

#include <QSet>
#include <QTest>

using namespace PhraseTest;

using Rows = QList<QStringList>;

namespace {

const QString header = QStringLiteral("分類,分類の表示,タイトル,内容,定型文の表示\n");

} // namespace

class FixedPhraseCSVTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void encodes_data()
    {
        QTest::addColumn<FixedPhraseFolderList>("folders");
        QTest::addColumn<QString>("expected");

        QTest::newRow("empty store: the header row only") << FixedPhraseFolderList() << header;
        QTest::newRow("hidden folder without phrases")
            << FixedPhraseFolderList {folder(1, QStringLiteral("A"), {}, false)}
            << header + QStringLiteral("A,非表示,,,表示\n");
        QTest::newRow("one row per phrase in order, visibility words")
            << FixedPhraseFolderList {
                   folder(1, QStringLiteral("A"),
                       {phrase(2, QStringLiteral("x"), QStringLiteral("1")),
                           phrase(3, QStringLiteral("y"), QStringLiteral("2"), false)},
                       false),
                   folder(4, QStringLiteral("B"), {phrase(5, QStringLiteral("z"), QString())}),
               }
            << header + QStringLiteral("A,非表示,x,1,表示\nA,非表示,y,2,非表示\nB,表示,z,,表示\n");
        QTest::newRow("quoting comma, quote, CR and LF only")
            << FixedPhraseFolderList {folder(1, QStringLiteral("a,b"),
                   {phrase(2, QStringLiteral("say \"hi\""), QStringLiteral("l1\nl2")),
                       phrase(3, QStringLiteral("cr\rx"), QStringLiteral(" spaced ")),
                       phrase(4, QStringLiteral("ab\"c"), QStringLiteral("\r\n"))})}
            << header +
                QStringLiteral("\"a,b\",表示,\"say \"\"hi\"\"\",\"l1\nl2\",表示\n"
                               "\"a,b\",表示,\"cr\rx\", spaced ,表示\n"
                               "\"a,b\",表示,\"ab\"\"c\",\"\r\n\",表示\n");
    }

    void encodes()
    {
        QFETCH(FixedPhraseFolderList, folders);
        QFETCH(QString, expected);
        QCOMPARE(FixedPhraseCSV::encode(folders), expected);
        QByteArray bytes;
        QVERIFY(FixedPhraseCSV::encodeUtf8(folders, [&bytes](const QByteArray& chunk) {
            bytes += chunk;
            return true;
        }));
        QCOMPARE(bytes, expected.toUtf8());
    }

    void tokenizes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<std::optional<Rows>>("rows"); // nothing: an unclosed quote

        const auto row = [](const char* name, const QString& text, const Rows& rows) {
            QTest::newRow(name) << text << std::optional<Rows>(rows);
        };
        row("empty text", QString(), {});
        row("CR LF or LF; the final one adds no row", "a,b\r\nc\n", {{"a", "b"}, {"c"}});
        row("lone CR outside quotes dropped", "a\rb,c\r", {{"ab", "c"}});
        row("blank line in the middle", "a\n\nb", {{"a"}, {""}, {"b"}});
        row("empty fields", ",\n", {{"", ""}});
        row("quote in the middle of an unquoted field", "a\"b,c\"\n", {{"a\"b", "c\""}});
        row("quoted comma and doubled quote", "\"a,b\",\"say \"\"hi\"\"\"",
            {{"a,b", "say \"hi\""}});
        row("text after a closing quote joins the field", "\"ab\"c,d", {{"abc", "d"}});
        row("quote after a closing quote is ordinary", "\"x\" \"y\"", {{"x \"y\""}});
        row("line breaks kept inside quotes", "\"l1\r\nl2\nl3\",x\ny",
            {{"l1\r\nl2\nl3", "x"}, {"y"}});
        row("only an empty quoted field", "\"\"", {});
        QTest::newRow("unclosed quote") << QStringLiteral("a,\"b\nc") << std::optional<Rows>();
        QTest::newRow("unclosed after a doubled quote")
            << QStringLiteral("\"a\"\"") << std::optional<Rows>();
    }

    void tokenizes()
    {
        QFETCH(QString, text);
        QFETCH(std::optional<Rows>, rows);
        QCOMPARE(FixedPhraseCSV::parse(text), rows);
        if (!rows) {
            QVERIFY(!FixedPhraseCSV::decode(text).has_value());
        }
    }

    void decodes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected"); // notation()

        const QString bom = QString(QChar(0xFEFF));
        const auto row = [](const char* name, const QString& text, const QString& expected) {
            QTest::newRow(name) << text << expected;
        };
        row("header only", header, "");
        row("byte order mark and header", bom + header + "A,表示,x,1,表示\n", "A[x=1]");
        row("only one byte order mark is removed", bom + bom + "A,表示,x,1\n", bom + "A[x=1]");
        row("header cells trimmed",
            "  分類 ,分類の表示,\u3000タイトル,内容 ,定型文の表示\nA,,x,1\n", "A[x=1]");
        row("no header row: the first line is data", "A,表示,x,1,表示\nA,表示,y,2,表示\n",
            "A[x=1, y=2]");
        row("English header is a data row", "Category,Visible,Title,Content,Shown\nA,,x,1\n",
            "Category[Title=Content] | A[x=1]");
        row("header with four columns is data", "分類,分類の表示,タイトル,内容\n",
            "分類[タイトル=内容]");
        row("folder visibility from its first row only", "A,非表示,x,1\nA,表示,y,2\n",
            "A-[x=1, y=2]");
        row("folders merge by trimmed title, in order of first appearance",
            " A ,,x,1\nB,,y,2\nA\u3000,,z,3\n", "A[x=1, z=3] | B[y=2]");
        row("empty or blank folder title skips the row",
            ",,x,1\n   ,表示,y,2\n\u3000\t,,z,3\nA,,w,4\n", "A[w=4]");
        row("row without phrase title and content declares the folder", "A,非表示,,\nB\n",
            "A-[] | B[]");
        row("untitled phrase with content is named", "A,, ,text\nA,,,  \n",
            "A[名称未設定=text, 名称未設定=  ]");
        row("phrase title trimmed, content kept as written", "A,,\u3000t ,\"  two\r\nlines \"\n",
            "A[t=  two\r\nlines ]");
        row("cells after the fifth ignored", "A,,t,c,非表示,extra,\"more\"\n", "A[t-=c]");
        row("missing cells are empty", "A,,t\n", "A[t]");
    }

    void decodes()
    {
        QFETCH(QString, text);
        const std::optional<FixedPhraseFolderList> folders = FixedPhraseCSV::decode(text);
        QVERIFY(folders.has_value());
        QTEST(notation(*folders), "expected");
    }

    void boolValue_data()
    {
        QTest::addColumn<QString>("cell");
        QTest::addColumn<bool>("defaultValue");
        QTest::addColumn<bool>("expected");

        for (const char* word : {"true", "1", "yes", "y", "on", " YES ", "表示"}) {
            QTest::newRow(word) << QString::fromUtf8(word) << false << true;
        }
        for (const char* word : {"false", "0", "no", "n", "off", "\tOff\n", "\u3000非表示\u3000"}) {
            QTest::newRow(word) << QString::fromUtf8(word) << true << false;
        }
        QTest::newRow("unlisted word, default true") << QStringLiteral("maybe") << true << true;
        QTest::newRow("only spaces") << QStringLiteral("  ") << true << true;
    }

    void boolValue()
    {
        QFETCH(QString, cell);
        QFETCH(bool, defaultValue);
        QTEST(FixedPhraseCSV::boolValue(cell, defaultValue), "expected");
    }

    // Pieces of any size, split anywhere (inside a UTF-8 sequence, between two quotes of a
    // doubled quote, inside the byte order mark), read the same as the whole text.
    void streamingReadsTheSameInAnyPieces()
    {
        const QByteArray bytes = QByteArray(FixedPhraseCSV::utf8BOM) +
            QStringLiteral("分類,分類の表示,タイトル,内容,定型文の表示\r\n"
                           "仕事,非表示,\"挨拶\"\"1\"\"\",\"お世話に\r\nなっております\",表示\n"
                           "仕事,表示,b,\"\"\"\",no\n"
                           "\"私用\",,c,x\"y,\n")
                .toUtf8();
        const QString expected =
            QStringLiteral("仕事-[挨拶\"1\"=お世話に\r\nなっております, b-=\"] | 私用[c=x\"y]");
        QCOMPARE(notation(*FixedPhraseCSV::decode(QString::fromUtf8(bytes))), expected);
        for (int piece = 1; piece <= 7; ++piece) {
            FixedPhraseCSVReader reader;
            for (qsizetype i = 0; i < bytes.size(); i += piece) {
                reader.feed(bytes.constData() + i, std::min<qsizetype>(piece, bytes.size() - i));
            }
            const auto folders = reader.finish();
            QVERIFY(folders);
            QCOMPARE(notation(*folders), expected);
        }
    }

    // What an export quotes, an import reads back as it was.
    void roundTrip()
    {
        const FixedPhraseFolderList folders {
            folder(1, QStringLiteral("仕事"),
                {phrase(2, QStringLiteral("挨拶"),
                     QStringLiteral("お世話に\r\nなっております、\"様\""), false),
                    phrase(3, QStringLiteral("x"), QStringLiteral("  keep\r  "))},
                false),
            folder(4, QStringLiteral("空")),
            folder(5, QStringLiteral("a,\"b\""),
                {phrase(6, QStringLiteral("t"), QStringLiteral(",\"\n"))}),
        };
        const QString text = FixedPhraseCSV::encode(folders);
        QCOMPARE(notation(*FixedPhraseCSV::decode(text)), notation(folders));

        // Identifiers are never read from a file: each import makes new ones.
        QSet<QUuid> ids;
        for (const auto& decoded : {*FixedPhraseCSV::decode(text), *FixedPhraseCSV::decode(text)}) {
            for (const FixedPhraseFolder& f : decoded) {
                ids.insert(f.id);
                for (const FixedPhrase& p : f.phrases) {
                    ids.insert(p.id);
                }
            }
        }
        QCOMPARE(ids.size(), 12);
        QVERIFY(!ids.contains(QUuid()));
    }
};

NORVALE_TEST_CLASS(FixedPhraseCSVTest)
#include "tst_fixedphrasecsv.moc"
