#include "common/TestMain.h"
#include "support/JsonWriter.h"

#include <QBuffer>
#include <QTest>

#include <limits>

namespace {

// Records how the writer feeds a device: total bytes, the largest single write, and whether
// bytes arrived before finish(). Optionally fails once a byte budget is spent.
class RecordingDevice final : public QIODevice
{
public:
    explicit RecordingDevice(qint64 failAfter = -1)
        : m_failAfter(failAfter)
    {
        open(QIODevice::WriteOnly);
    }

    qint64 total = 0;
    qint64 largestWrite = 0;
    int writesAfterFailure = 0;
    QByteArray head; // the first bytes, for spot checks

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override
    {
        if (m_failed) {
            ++writesAfterFailure;
            return -1;
        }
        if (m_failAfter >= 0 && total + size > m_failAfter) {
            m_failed = true;
            return -1;
        }
        if (head.size() < 64) {
            head.append(data, std::min<qint64>(size, 64 - head.size()));
        }
        total += size;
        largestWrite = std::max(largestWrite, size);
        return size;
    }

private:
    qint64 m_failAfter;
    bool m_failed = false;
};

enum class Doc
{
    EmptyArray,
    EmptyObject,
    HistoryItem,
    Nested,
    Scalars,
    Doubles,
};

void build(JsonWriter& w, Doc doc)
{
    switch (doc) {
    case Doc::EmptyArray:
        w.beginArray();
        w.endArray();
        break;
    case Doc::EmptyObject:
        w.beginObject();
        w.endObject();
        break;
    case Doc::HistoryItem:
        w.beginArray();
        w.beginObject();
        w.key(u"createdAt");
        w.value(QStringLiteral("2024-05-01T09:30:00Z"));
        w.key(u"fingerprint");
        w.value(QStringLiteral("text:https://a"));
        w.key(u"id");
        w.value(QStringLiteral("1B4E28BA-2FA1-11D2-883F-0016D3CCA427"));
        w.key(u"kind");
        w.value(QStringLiteral("url"));
        w.key(u"text");
        w.value(QStringLiteral("https://a"));
        w.endObject();
        w.endArray();
        break;
    case Doc::Nested:
        w.beginObject();
        w.key(u"a");
        w.beginArray();
        w.value(1);
        w.beginArray();
        w.endArray();
        w.beginObject();
        w.endObject();
        w.beginArray();
        w.value(true);
        w.endArray();
        w.endArray();
        w.key(u"b");
        w.beginObject();
        w.key(u"c/d");
        w.nullValue();
        w.endObject();
        w.endObject();
        break;
    case Doc::Scalars:
        w.beginArray();
        w.value(true);
        w.value(false);
        w.nullValue();
        w.value(0);
        w.value(-42);
        w.value(std::numeric_limits<qint64>::max());
        w.value(std::numeric_limits<qint64>::min());
        w.asciiValue("QUJD", 4);
        w.endArray();
        break;
    case Doc::Doubles:
        w.beginArray();
        w.value(2.0);
        w.value(0.1);
        w.value(-1.5);
        w.value(1e16);
        w.value(1e300);
        w.value(1.5e-7);
        w.value(0.30000000000000004);
        w.value(-0.0);
        w.value(std::numeric_limits<double>::quiet_NaN());
        w.value(std::numeric_limits<double>::infinity());
        w.endArray();
        break;
    }
}

} // namespace

class JsonWriterTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void documents_data()
    {
        QTest::addColumn<int>("doc");
        QTest::addColumn<QByteArray>("pretty");
        QTest::addColumn<QByteArray>("compact");

        QTest::newRow("empty array")
            << int(Doc::EmptyArray) << QByteArray("[\n\n]") << QByteArray("[]");
        QTest::newRow("empty object")
            << int(Doc::EmptyObject) << QByteArray("{\n\n}") << QByteArray("{}");
        QTest::newRow("history item")
            << int(Doc::HistoryItem)
            << QByteArray("[\n"
                          "  {\n"
                          "    \"createdAt\" : \"2024-05-01T09:30:00Z\",\n"
                          "    \"fingerprint\" : \"text:https:\\/\\/a\",\n"
                          "    \"id\" : \"1B4E28BA-2FA1-11D2-883F-0016D3CCA427\",\n"
                          "    \"kind\" : \"url\",\n"
                          "    \"text\" : \"https:\\/\\/a\"\n"
                          "  }\n"
                          "]")
            << QByteArray("[{\"createdAt\":\"2024-05-01T09:30:00Z\","
                          "\"fingerprint\":\"text:https:\\/\\/a\","
                          "\"id\":\"1B4E28BA-2FA1-11D2-883F-0016D3CCA427\","
                          "\"kind\":\"url\",\"text\":\"https:\\/\\/a\"}]");
        QTest::newRow("nested, empty containers inside")
            << int(Doc::Nested)
            << QByteArray("{\n"
                          "  \"a\" : [\n"
                          "    1,\n"
                          "    [\n"
                          "\n"
                          "    ],\n"
                          "    {\n"
                          "\n"
                          "    },\n"
                          "    [\n"
                          "      true\n"
                          "    ]\n"
                          "  ],\n"
                          "  \"b\" : {\n"
                          "    \"c\\/d\" : null\n"
                          "  }\n"
                          "}")
            << QByteArray("{\"a\":[1,[],{},[true]],\"b\":{\"c\\/d\":null}}");
        QTest::newRow("scalars")
            << int(Doc::Scalars)
            << QByteArray("[\n  true,\n  false,\n  null,\n  0,\n  -42,\n"
                          "  9223372036854775807,\n  -9223372036854775808,\n  \"QUJD\"\n]")
            << QByteArray("[true,false,null,0,-42,9223372036854775807,-9223372036854775808,"
                          "\"QUJD\"]");
        QTest::newRow("doubles")
            << int(Doc::Doubles)
            << QByteArray("[\n  2,\n  0.1,\n  -1.5,\n  10000000000000000,\n  1e+300,\n"
                          "  1.5e-07,\n  0.30000000000000004,\n  -0,\n  null,\n  null\n]")
            << QByteArray("[2,0.1,-1.5,10000000000000000,1e+300,1.5e-07,0.30000000000000004,"
                          "-0,null,null]");
    }

    void documents()
    {
        QFETCH(int, doc);
        QFETCH(QByteArray, pretty);
        QFETCH(QByteArray, compact);

        JsonWriter p(JsonWriter::Style::Pretty);
        build(p, Doc(doc));
        QVERIFY(p.finish());
        QCOMPARE(p.result(), pretty);

        JsonWriter c(JsonWriter::Style::Compact);
        build(c, Doc(doc));
        QVERIFY(c.finish());
        QCOMPARE(c.result(), compact);

        // The same bytes through a device.
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        JsonWriter d(&buffer, JsonWriter::Style::Pretty);
        build(d, Doc(doc));
        QVERIFY(d.finish());
        QCOMPARE(buffer.data(), pretty);
    }

    void escaping_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("expected");

        QTest::newRow("empty") << QString() << QByteArray("\"\"");
        QTest::newRow("quote, backslash, slash")
            << QStringLiteral("a\"b\\c/d") << QByteArray("\"a\\\"b\\\\c\\/d\"");
        QTest::newRow("short control forms")
            << QStringLiteral("\b\f\n\r\t") << QByteArray("\"\\b\\f\\n\\r\\t\"");
        QTest::newRow("every other control")
            << QString::fromUtf16(u"\x00\x01\x02\x03\x04\x05\x06\x07\x0b\x0e\x0f\x10\x11"
                                  u"\x12\x13\x14\x15\x16\x17\x18\x19\x1a\x1b\x1c\x1d\x1e\x1f",
                   27)
            << QByteArray("\"\\u0000\\u0001\\u0002\\u0003\\u0004\\u0005\\u0006\\u0007\\u000b"
                          "\\u000e\\u000f\\u0010\\u0011\\u0012\\u0013\\u0014\\u0015\\u0016"
                          "\\u0017\\u0018\\u0019\\u001a\\u001b\\u001c\\u001d\\u001e\\u001f\"");
        QTest::newRow("DEL and space stay raw")
            << QStringLiteral(" \x7f ") << QByteArray("\" \x7f \"");
        QTest::newRow("latin, CJK, emoji as UTF-8")
            << QStringLiteral("é日本😀") << QByteArray("\"é日本😀\"");
        QTest::newRow("line and paragraph separators as UTF-8")
            << QString::fromUtf16(u"\u2028\u2029") << QByteArray("\"\xe2\x80\xa8\xe2\x80\xa9\"");
        QTest::newRow("U+0085 and U+00A0 as UTF-8")
            << QString::fromUtf16(u"\x85\u00a0") << QByteArray("\"\xc2\x85\xc2\xa0\"");
        QTest::newRow("lone high surrogate")
            << QString::fromUtf16(u"a\xd83dz", 3) << QByteArray("\"a\xef\xbf\xbdz\"");
        QTest::newRow("lone low surrogate")
            << QString::fromUtf16(u"a\xde00", 2) << QByteArray("\"a\xef\xbf\xbd\"");
        QTest::newRow("high surrogate at the end")
            << QString::fromUtf16(u"\xd83d", 1) << QByteArray("\"\xef\xbf\xbd\"");
        QTest::newRow("escapes between UTF-8")
            << QStringLiteral("日\n本\t/") << QByteArray("\"日\\n本\\t\\/\"");
    }

    void escaping()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, expected);
        QCOMPARE(JsonWriter::quoted(text), expected);

        JsonWriter w(JsonWriter::Style::Compact);
        w.beginObject();
        w.key(text);
        w.value(text);
        w.endObject();
        QVERIFY(w.finish());
        QCOMPARE(w.result(), "{" + expected + ":" + expected + "}");
    }

    void longStringsKeepSurrogatePairsAcrossChunks_data()
    {
        QTest::addColumn<int>("offset");
        // The writer escapes in steps of 32 Ki UTF-16 units; put a pair on every side of
        // a step boundary.
        for (int offset : {32766, 32767, 32768, 65535}) {
            QTest::newRow(qPrintable(QString::number(offset))) << offset;
        }
    }

    void longStringsKeepSurrogatePairsAcrossChunks()
    {
        QFETCH(int, offset);
        QString text(100000, u'x');
        text[offset] = QChar(0xd83d);
        text[offset + 1] = QChar(0xde00);
        text[offset + 3] = QChar(u'é');
        const QByteArray expected = '"' + text.toUtf8() + '"';
        QCOMPARE(JsonWriter::quoted(text), expected);
    }

    void streamingMatchesBufferAndStaysBounded()
    {
        // About 40 MB of output with escapes, non-ASCII and long strings. The device must
        // receive bounded chunks while the document is being written, not one block at the
        // end, so a multi-gigabyte history never sits in memory.
        QString unit = QStringLiteral("Ab/\"\n日本語😀\x01 ");
        QString longText;
        while (longText.size() < 1'000'000) {
            longText += unit;
        }
        const QByteArray base64(700'000, 'Q');

        auto write = [&](JsonWriter& w) {
            w.beginArray();
            for (int i = 0; i < 20; ++i) {
                w.beginObject();
                w.key(u"imageData");
                w.asciiValue(base64.constData(), base64.size());
                w.key(u"text");
                w.value(longText);
                w.endObject();
            }
            w.endArray();
        };

        JsonWriter inMemory(JsonWriter::Style::Pretty);
        write(inMemory);
        QVERIFY(inMemory.finish());
        const QByteArray expected = inMemory.result();

        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        JsonWriter streamed(&buffer, JsonWriter::Style::Pretty);
        write(streamed);
        QVERIFY(streamed.finish());
        QCOMPARE(buffer.data().size(), expected.size());
        QVERIFY(buffer.data() == expected);

        RecordingDevice device;
        {
            JsonWriter w(&device, JsonWriter::Style::Pretty);
            w.beginArray();
            for (int i = 0; i < 20; ++i) {
                w.value(longText);
            }
            // Most of the document has already reached the device before finish().
            QVERIFY(device.total > 30'000'000);
            w.endArray();
            QVERIFY(w.finish());
        }
        QVERIFY2(device.largestWrite <= 512 * 1024, QByteArray::number(device.largestWrite));
        QVERIFY(device.head.startsWith("[\n  \"Ab\\/\\\"\\n"));
    }

    void deviceFailureIsReported()
    {
        RecordingDevice device(300'000);
        JsonWriter w(&device, JsonWriter::Style::Compact);
        w.beginArray();
        const QString text(100'000, u'z');
        for (int i = 0; i < 10; ++i) {
            w.value(text);
        }
        w.endArray();
        QVERIFY(!w.finish());
        QVERIFY(!w.ok());
        // After the first failure nothing more is pushed at the device.
        QCOMPARE(device.writesAfterFailure, 0);
    }

    void incompleteDocumentIsNotFinished()
    {
        JsonWriter open(JsonWriter::Style::Pretty);
        open.beginArray();
        open.beginObject();
        open.key(u"a");
        open.value(1);
        open.endObject();
        QVERIFY(!open.finish());

        JsonWriter dangling(JsonWriter::Style::Compact);
        dangling.beginObject();
        dangling.key(u"a");
        QVERIFY(!dangling.finish());
    }
};

NORVALE_TEST_CLASS(JsonWriterTest)
#include "tst_jsonwriter.moc"
