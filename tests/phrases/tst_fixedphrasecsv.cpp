#include "PhraseTestSupport.h"
#include "common/TestMain.h"
#include "phrases/FixedPhraseCSV.h"

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
        QTest::newRow("folder without phrases")
            << FixedPhraseFolderList {folder(1, QStringLiteral("A"))}
            << header + QStringLiteral("A,表示,,,表示\n");
        QTest::newRow("hidden folder without phrases")
            << FixedPhraseFolderList {folder(1, QStringLiteral("A"), {}, false)}
            << header + QStringLiteral("A,非表示,,,表示\n");
        QTest::newRow("one row per phrase in order, visibility words")
            << FixedPhraseFolderList {
                   folder(1, QStringLiteral("A"),
                       { phrase(2, QStringLiteral("x"), QStringLiteral("1")),
                           phrase(3, QStringLiteral("y"), QStringLiteral("2"), false) },
                       false),
                   folder(4, QStringLiteral("B"), { phrase(5, QStringLiteral("z"), QString()) }),
               }
            << header
                + QStringLiteral("A,非表示,x,1,表示\nA,非表示,y,2,非表示\nB,表示,z,,表示\n");
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
        QTest::addColumn<bool>("ok");
        QTest::addColumn<Rows>("rows");

        QTest::newRow("empty text") << QString() << true << Rows();
        QTest::newRow("final LF adds no row")
            << QStringLiteral("a,b\nc\n") << true << Rows {{"a", "b"}, {"c"}};
        QTest::newRow("no final LF")
            << QStringLiteral("a,b\nc") << true << Rows {{"a", "b"}, {"c"}};
        QTest::newRow("CR LF") << QStringLiteral("a,b\r\nc\r\n") << true
                               << Rows {{"a", "b"}, {"c"}};
        QTest::newRow("lone CR outside quotes dropped")
            << QStringLiteral("a\rb,c\r") << true << Rows {{"ab", "c"}};
        QTest::newRow("blank line in the middle")
            << QStringLiteral("a\n\nb") << true << Rows {{"a"}, {""}, {"b"}};
        QTest::newRow("empty fields") << QStringLiteral(",\n") << true << Rows {{"", ""}};
        QTest::newRow("quote in the middle of an unquoted field")
            << QStringLiteral("a\"b,c\"\n") << true << Rows {{"a\"b", "c\""}};
        QTest::newRow("quoted field with comma and doubled quote")
            << QStringLiteral("\"a,b\",\"say \"\"hi\"\"\"") << true << Rows {{"a,b", "say \"hi\""}};
        QTest::newRow("text after a closing quote joins the field")
            << QStringLiteral("\"ab\"c,d") << true << Rows {{"abc", "d"}};
        QTest::newRow("quote after a closing quote is ordinary")
            << QStringLiteral("\"x\" \"y\"") << true << Rows {{"x \"y\""}};
        QTest::newRow("line breaks kept inside quotes")
            << QStringLiteral("\"l1\r\nl2\nl3\",x\ny") << true
            << Rows {{"l1\r\nl2\nl3", "x"}, {"y"}};
        QTest::newRow("empty quoted field")
            << QStringLiteral("a,\"\"\n") << true << Rows {{"a", ""}};
        QTest::newRow("only an empty quoted field") << QStringLiteral("\"\"") << true << Rows();
        QTest::newRow("unclosed quote") << QStringLiteral("a,\"b\nc") << false << Rows();
        QTest::newRow("unclosed after a doubled quote")
            << QStringLiteral("\"a\"\"") << false << Rows();
        QTest::newRow("just a quote") << QStringLiteral("\"") << false << Rows();
    }

    void tokenizes()
    {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(Rows, rows);
        const std::optional<Rows> parsed = FixedPhraseCSV::parse(text);
        QCOMPARE(parsed.has_value(), ok);
        if (ok) {
            QCOMPARE(*parsed, rows);
        } else {
            QVERIFY(!FixedPhraseCSV::decode(text).has_value());
        }
    }

    void decodes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<Shape>>("expected");

        using P = std::tuple<QString, QString, bool>;
        const QString bom = QString(QChar(0xFEFF));

        QTest::newRow("empty text") << QString() << QList<Shape>();
        QTest::newRow("header only") << header << QList<Shape>();
        QTest::newRow("byte order mark and header")
            << bom + header + QStringLiteral("A,表示,x,1,表示\n")
            << QList<Shape> {{"A", true, {P("x", "1", true)}}};
        QTest::newRow("only one byte order mark is removed")
            << bom + bom + QStringLiteral("A,表示,x,1\n")
            << QList<Shape> {{bom + "A", true, {P("x", "1", true)}}};
        QTest::newRow("header cells trimmed")
            << QStringLiteral(" 分類 ,分類の表示,\u3000タイトル,内容 ,定型文の表示\nA,,x,1\n")
            << QList<Shape> {{"A", true, {P("x", "1", true)}}};
        QTest::newRow("no header row: the first line is data")
            << QStringLiteral("A,表示,x,1,表示\nA,表示,y,2,表示\n")
            << QList<Shape> {{"A", true, {P("x", "1", true), P("y", "2", true)}}};
        QTest::newRow("English header is a data row")
            << QStringLiteral("Category,Visible,Title,Content,Shown\nA,,x,1\n")
            << QList<Shape> {{"Category", true, {P("Title", "Content", true)}},
                   {"A", true, {P("x", "1", true)}}};
        QTest::newRow("header with four columns is data")
            << QStringLiteral("分類,分類の表示,タイトル,内容\n")
            << QList<Shape> {{"分類", true, {P("タイトル", "内容", true)}}};
        QTest::newRow("folder visibility from its first row only")
            << QStringLiteral("A,非表示,x,1\nA,表示,y,2\n")
            << QList<Shape> {{"A", false, {P("x", "1", true), P("y", "2", true)}}};
        QTest::newRow("folders merge by trimmed title, in order of first appearance")
            << QStringLiteral(" A ,,x,1\nB,,y,2\nA\u3000,,z,3\n")
            << QList<Shape> {{"A", true, {P("x", "1", true), P("z", "3", true)}},
                   {"B", true, {P("y", "2", true)}}};
        QTest::newRow("empty or blank folder title skips the row")
            << QStringLiteral(",,x,1\n   ,表示,y,2\n\u3000\t,,z,3\nA,,w,4\n")
            << QList<Shape> {{"A", true, {P("w", "4", true)}}};
        QTest::newRow("blank lines skipped") << QStringLiteral("\n\nA,,x,1\n\n,,,,\n")
                                             << QList<Shape> {{"A", true, {P("x", "1", true)}}};
        QTest::newRow("row without phrase title and content declares the folder")
            << QStringLiteral("A,非表示,,\nB\n")
            << QList<Shape> {{"A", false, {}}, {"B", true, {}}};
        QTest::newRow("untitled phrase with content is named")
            << QStringLiteral("A,, ,text\nA,,,  \n")
            << QList<Shape> {
                   {"A", true, {P("名称未設定", "text", true), P("名称未設定", "  ", true)}}};
        QTest::newRow("phrase title trimmed, content untouched")
            << QStringLiteral("A,,\u3000t \n,\"  two\nlines \"\n")
            << QList<Shape> {{"A", true, {P("t", "", true)}}};
        QTest::newRow("content kept as written")
            << QStringLiteral("A,,t,\"  two\r\nlines \"\n")
            << QList<Shape> {{"A", true, {P("t", "  two\r\nlines ", true)}}};
        QTest::newRow("cells after the fifth ignored")
            << QStringLiteral("A,,t,c,非表示,extra,\"more\"\n")
            << QList<Shape> {{"A", true, {P("t", "c", false)}}};
        QTest::newRow("missing cells are empty")
            << QStringLiteral("A,,t\n") << QList<Shape> {{"A", true, {P("t", "", true)}}};
        QTest::newRow("duplicate titles stay")
            << QStringLiteral("A,,t,1\nA,,t,2\n")
            << QList<Shape> {{"A", true, {P("t", "1", true), P("t", "2", true)}}};
    }

    void decodes()
    {
        QFETCH(QString, text);
        QFETCH(QList<Shape>, expected);
        const std::optional<FixedPhraseFolderList> folders = FixedPhraseCSV::decode(text);
        QVERIFY(folders.has_value());
        QVERIFY2(shapes(*folders) == expected,
            qPrintable(describe(shapes(*folders)) + QStringLiteral(" != ") + describe(expected)));
    }

    void decodeCreatesNewIdentifiers()
    {
        const QString text = QStringLiteral("A,,x,1\nA,,y,2\nB,,z,3\n");
        const auto first = FixedPhraseCSV::decode(text);
        const auto second = FixedPhraseCSV::decode(text);
        QVERIFY(first && second);
        QSet<QUuid> ids;
        for (const auto* list : {&*first, &*second}) {
            for (const FixedPhraseFolder& f : *list) {
                ids.insert(f.id);
                for (const FixedPhrase& p : f.phrases) {
                    ids.insert(p.id);
                }
            }
        }
        QCOMPARE(ids.size(), 10);
        QVERIFY(!ids.contains(QUuid()));
    }

    void boolValue_data()
    {
        QTest::addColumn<QString>("cell");
        QTest::addColumn<bool>("defaultValue");
        QTest::addColumn<bool>("expected");

        for (const char* word : {"true", "1", "yes", "y", "on", " YES ", "True", "ON"}) {
            QTest::newRow(word) << QString::fromUtf8(word) << false << true;
        }
        for (const char* word : {"false", "0", "no", "n", "off", "N", "\tOff\n", "FALSE"}) {
            QTest::newRow(word) << QString::fromUtf8(word) << true << false;
        }
        QTest::newRow("表示") << QStringLiteral("表示") << false << true;
        QTest::newRow("非表示 between ideographic spaces")
            << QStringLiteral("\u3000非表示\u3000") << true << false;
        QTest::newRow("unlisted word, default true") << QStringLiteral("maybe") << true << true;
        QTest::newRow("unlisted word, default false") << QStringLiteral("2") << false << false;
        QTest::newRow("empty cell") << QString() << true << true;
        QTest::newRow("only spaces") << QStringLiteral("  ") << true << true;
    }

    void boolValue()
    {
        QFETCH(QString, cell);
        QFETCH(bool, defaultValue);
        QFETCH(bool, expected);
        QCOMPARE(FixedPhraseCSV::boolValue(cell, defaultValue), expected);
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
        const auto expected = FixedPhraseCSV::decode(QString::fromUtf8(bytes));
        QVERIFY(expected);
        QCOMPARE(expected->size(), 2);
        QCOMPARE(expected->at(0).phrases.at(0).title, QStringLiteral("挨拶\"1\""));
        for (int piece = 1; piece <= 7; ++piece) {
            FixedPhraseCSVReader reader;
            for (qsizetype i = 0; i < bytes.size(); i += piece) {
                reader.feed(bytes.constData() + i, std::min<qsizetype>(piece, bytes.size() - i));
            }
            const auto folders = reader.finish();
            QVERIFY(folders);
            QVERIFY2(shapes(*folders) == shapes(*expected), qPrintable(QString::number(piece)));
        }
    }

    void roundTrip()
    {
        const FixedPhraseFolderList folders {
            folder(1, QStringLiteral(" 仕事 "),
                {phrase(2, QStringLiteral("挨拶"),
                     QStringLiteral("お世話に\r\nなっております、\"様\""), false),
                    phrase(3, QString(), QStringLiteral("本文だけ")),
                    phrase(4, QString(), QString()),
                    phrase(5, QStringLiteral("\u3000題\u3000"), QStringLiteral("  keep  "))},
                false),
            folder(6, QStringLiteral("空")),
            folder(7, QStringLiteral("仕事"),
                {phrase(8, QStringLiteral("merged"), QStringLiteral("m"))}),
            folder(9, QStringLiteral("  "),
                {phrase(10, QStringLiteral("dropped"), QStringLiteral("d"))}),
            folder(11, QStringLiteral("a,b"),
                {phrase(12, QStringLiteral("t"), QStringLiteral(",\"\n"))}),
        };
        const auto decoded = FixedPhraseCSV::decode(FixedPhraseCSV::encode(folders));
        QVERIFY(decoded);
        using P = std::tuple<QString, QString, bool>;
        const QList<Shape> expected {
            {"仕事", false,
                {P("挨拶", "お世話に\r\nなっております、\"様\"", false),
                    P("名称未設定", "本文だけ", true), P("題", "  keep  ", true),
                    P("merged", "m", true)}},
            {"空", true, {}},
            {"a,b", true, {P("t", ",\"\n", true)}},
        };
        QVERIFY2(shapes(*decoded) == expected, qPrintable(describe(shapes(*decoded))));
    }

    void errorMessage()
    {
        QCOMPARE(localizedDescription(FixedPhraseCSVError::unclosedQuote),
            QStringLiteral("CSVの引用符が閉じられていません"));
    }
};

NORVALE_TEST_CLASS(FixedPhraseCSVTest)
#include "tst_fixedphrasecsv.moc"
