#include "common/TestMain.h"
#include "support/JsonWriter.h"

#include <QIODevice>
#include <QTest>

#include <functional>
#include <limits>

namespace {

// Records the bytes a device receives and its largest single write; fails every write once
// failAfter bytes would be exceeded.
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
        if (m_failed || (m_failAfter >= 0 && bytes.size() + size > m_failAfter)) {
            writesAfterFailure += m_failed ? 1 : 0;
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

} // namespace

class JsonWriterTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The history file test pins the pretty layout of objects in an array; these are the rest.
    void documents()
    {
        const auto render = [](JsonWriter::Style style,
                                const std::function<void(JsonWriter&)>& build) {
            JsonWriter w(style);
            build(w);
            return w.finish() ? w.result() : QByteArray("<unfinished>");
        };
        const auto emptyArray = [](JsonWriter& w) {
            w.beginArray();
            w.endArray();
        };
        QCOMPARE(render(JsonWriter::Style::Pretty, emptyArray), QByteArray("[\n\n]"));
        QCOMPARE(render(JsonWriter::Style::Compact, emptyArray), QByteArray("[]"));

        const auto nested = [](JsonWriter& w) {
            w.beginObject();
            w.key(u"a");
            w.beginArray();
            w.beginArray();
            w.endArray();
            w.beginObject();
            w.endObject();
            w.endArray();
            w.key(u"b");
            w.value(std::numeric_limits<qint64>::min());
            w.endObject();
        };
        QCOMPARE(render(JsonWriter::Style::Pretty, nested),
            QByteArray("{\n  \"a\" : [\n    [\n\n    ],\n    {\n\n    }\n  ],\n"
                       "  \"b\" : -9223372036854775808\n}"));
        QCOMPARE(render(JsonWriter::Style::Compact, nested),
            QByteArray("{\"a\":[[],{}],\"b\":-9223372036854775808}"));

        // A container left open never passes for a whole file.
        QCOMPARE(render(JsonWriter::Style::Pretty,
                     [](JsonWriter& w) {
                         w.beginArray();
                         w.beginObject();
                         w.endObject();
                     }),
            "<unfinished>");
    }

    void escaping_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("expected");

        // The controls without a short form, each side of \b..\r and up to U+001F.
        QTest::newRow("other controls, lower-case hex")
            << QString::fromUtf16(u"\x00\x07\x0b\x0e\x1a\x1f", 6)
            << QByteArray("\"\\u0000\\u0007\\u000b\\u000e\\u001a\\u001f\"");
        QTest::newRow("line and paragraph separators as UTF-8")
            << QString::fromUtf16(u"\u2028\u2029") << QByteArray("\"\xe2\x80\xa8\xe2\x80\xa9\"");
        QTest::newRow("lone surrogates")
            << QString::fromUtf16(u"\xde00-\xd83d-\xd83d", 5)
            << QByteArray("\"\xef\xbf\xbd-\xef\xbf\xbd-\xef\xbf\xbd\"");
        // Escaped in steps of 32 Ki UTF-16 units: a pair each side of the boundary stays whole.
        for (int offset : {32766, 32767, 32768}) {
            QString text(40000, u'x');
            text.replace(offset, 2, QStringLiteral("😀"));
            QTest::addRow("pair at %d", offset) << text << '"' + text.toUtf8() + '"';
        }
    }

    void escaping()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, expected);
        JsonWriter w(JsonWriter::Style::Compact);
        w.value(text);
        QVERIFY(w.finish());
        QCOMPARE(w.result(), expected);
    }

    // About 17 MB: the device receives bounded chunks while the document is written, so a
    // multi-gigabyte history never sits in memory.
    void streamsInBoundedChunks()
    {
        const QString longText = QStringLiteral("Ab/\"\n日本語😀\x01 ").repeated(20'000);
        const QByteArray image(225'000, '\xff');
        const auto write = [&](JsonWriter& w) {
            w.beginArray();
            for (int i = 0; i < 20; ++i) {
                w.beginObject();
                w.key(u"imageData");
                w.base64Value(image);
                w.key(u"text");
                w.value(longText);
                w.endObject();
            }
            w.endArray();
        };
        JsonWriter inMemory(JsonWriter::Style::Pretty);
        write(inMemory);
        QVERIFY(inMemory.finish());
        RecordingDevice device;
        JsonWriter streamed(&device, JsonWriter::Style::Pretty);
        write(streamed);
        QVERIFY(device.bytes.size() > 15'000'000); // before finish()
        QVERIFY(streamed.finish());
        QVERIFY(device.bytes == inMemory.result());
        QVERIFY2(device.largestWrite <= 512 * 1024, QByteArray::number(device.largestWrite));

        // A device failing part-way: reported, and nothing more is pushed at it.
        RecordingDevice failing(300'000);
        JsonWriter broken(&failing, JsonWriter::Style::Compact);
        write(broken);
        QVERIFY(!broken.finish());
        QCOMPARE(failing.writesAfterFailure, 0);
    }
};

NORVALE_TEST_CLASS(JsonWriterTest)
#include "tst_jsonwriter.moc"
