#include "common/TestMain.h"
#include "support/JsonWriter.h"

#include <QIODevice>
#include <QTest>

#include <functional>
#include <limits>

namespace {

// Records how the writer feeds a device: the bytes so far and the largest single write.
// Optionally fails once a byte budget is spent.
class RecordingDevice final : public QIODevice
{
public:
    explicit RecordingDevice(qint64 failAfter = -1)
        : m_failAfter(failAfter)
    {
        open(QIODevice::WriteOnly);
    }

    QByteArray bytes;
    qint64 largestWrite = 0;
    int writesAfterFailure = 0;

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override
    {
        if (m_failed) {
            ++writesAfterFailure;
            return -1;
        }
        if (m_failAfter >= 0 && bytes.size() + size > m_failAfter) {
            m_failed = true;
            return -1;
        }
        bytes.append(data, size);
        largestWrite = std::max(largestWrite, size);
        return size;
    }

private:
    qint64 m_failAfter;
    bool m_failed = false;
};

using Build = std::function<void(JsonWriter&)>;

} // namespace

Q_DECLARE_METATYPE(Build)

class JsonWriterTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void documents_data()
    {
        QTest::addColumn<Build>("build");
        QTest::addColumn<QByteArray>("pretty");
        QTest::addColumn<QByteArray>("compact");

        QTest::newRow("empty array") << Build([](JsonWriter& w) {
            w.beginArray();
            w.endArray();
        }) << QByteArray("[\n\n]") << QByteArray("[]");
        QTest::newRow("empty object") << Build([](JsonWriter& w) {
            w.beginObject();
            w.endObject();
        }) << QByteArray("{\n\n}") << QByteArray("{}");
        QTest::newRow("nested, empty containers inside")
            << Build([](JsonWriter& w) {
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
               })
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
            << Build([](JsonWriter& w) {
                   w.beginArray();
                   w.value(false);
                   w.value(std::numeric_limits<qint64>::min());
                   w.asciiValue("QUJD", 4);
                   for (const double d : {2.0, 0.1, 1e16, 1e300, 1.5e-7, 0.30000000000000004, -0.0,
                            std::numeric_limits<double>::quiet_NaN(),
                            std::numeric_limits<double>::infinity()}) {
                       w.value(d);
                   }
                   w.endArray();
               })
            << QByteArray("[\n  false,\n  -9223372036854775808,\n  \"QUJD\",\n  2,\n  0.1,\n"
                          "  10000000000000000,\n  1e+300,\n  1.5e-07,\n  0.30000000000000004,\n"
                          "  -0,\n  null,\n  null\n]")
            << QByteArray("[false,-9223372036854775808,\"QUJD\",2,0.1,10000000000000000,"
                          "1e+300,1.5e-07,0.30000000000000004,-0,null,null]");
    }

    void documents()
    {
        QFETCH(Build, build);
        QFETCH(QByteArray, pretty);
        QFETCH(QByteArray, compact);
        const std::pair<JsonWriter::Style, QByteArray> cases[] {
            {JsonWriter::Style::Pretty, pretty}, {JsonWriter::Style::Compact, compact}};
        for (const auto& [style, expected] : cases) {
            JsonWriter w(style);
            build(w);
            QVERIFY(w.finish());
            QCOMPARE(w.result(), expected);
        }
    }

    void escaping_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("expected");

        // Quotes, backslashes, slashes, the short forms, DEL and UTF-8 are pinned by the
        // history file test; these are the rest.
        QTest::newRow("every other control")
            << QString::fromUtf16(u"\x00\x01\x02\x03\x04\x05\x06\x07\x0b\x0e\x0f\x10\x11"
                                  u"\x12\x13\x14\x15\x16\x17\x18\x19\x1a\x1b\x1c\x1d\x1e\x1f",
                   27)
            << QByteArray("\"\\u0000\\u0001\\u0002\\u0003\\u0004\\u0005\\u0006\\u0007\\u000b"
                          "\\u000e\\u000f\\u0010\\u0011\\u0012\\u0013\\u0014\\u0015\\u0016"
                          "\\u0017\\u0018\\u0019\\u001a\\u001b\\u001c\\u001d\\u001e\\u001f\"");
        QTest::newRow("line and paragraph separators as UTF-8")
            << QString::fromUtf16(u"\u2028\u2029") << QByteArray("\"\xe2\x80\xa8\xe2\x80\xa9\"");
        QTest::newRow("lone surrogates") << QString::fromUtf16(u"\xde00"
                                                               u"a\xd83dz\xd83d",
                                                5)
                                         << QByteArray("\"\xef\xbf\xbd"
                                                       "a\xef\xbf\xbdz\xef\xbf\xbd\"");
        // The writer escapes in steps of 32 Ki UTF-16 units: a pair on every side of a step
        // boundary stays whole.
        for (int offset : {32766, 32767, 32768, 65535}) {
            QString text(70000, u'x');
            text.replace(offset, 2, QStringLiteral("😀"));
            text[offset + 3] = QChar(u'é');
            QTest::addRow("pair at %d", offset) << text << '"' + text.toUtf8() + '"';
        }
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

    void streamingMatchesBufferAndStaysBounded()
    {
        // About 17 MB with escapes, non-ASCII and long strings. The device must receive
        // bounded chunks while the document is being written, not one block at the end, so a
        // multi-gigabyte history never sits in memory.
        const QString longText = QStringLiteral("Ab/\"\n日本語😀\x01 ").repeated(20'000);
        const QByteArray base64(300'000, 'Q');
        const auto write = [&](JsonWriter& w, RecordingDevice* device) {
            w.beginArray();
            for (int i = 0; i < 20; ++i) {
                w.beginObject();
                w.key(u"imageData");
                w.asciiValue(base64.constData(), base64.size());
                w.key(u"text");
                w.value(longText);
                w.endObject();
            }
            // Most of the document has already reached the device before finish().
            QVERIFY(device == nullptr || device->bytes.size() > 15'000'000);
            w.endArray();
            QVERIFY(w.finish());
        };

        JsonWriter inMemory(JsonWriter::Style::Pretty);
        write(inMemory, nullptr);
        RecordingDevice device;
        JsonWriter streamed(&device, JsonWriter::Style::Pretty);
        write(streamed, &device);
        QVERIFY(device.bytes == inMemory.result());
        QVERIFY2(device.largestWrite <= 512 * 1024, QByteArray::number(device.largestWrite));
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
        // A container left open or a key without its value never passes for a whole file.
        JsonWriter open(JsonWriter::Style::Pretty);
        open.beginArray();
        open.beginObject();
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
