#include "common/TestMain.h"
#include "support/JsonArrayScanner.h"
#include "support/JsonArrayStream.h"
#include "support/StrictJsonObject.h"
#include "support/StrictJsonParser.h"

#include <QBuffer>
#include <QTest>

namespace {

using Spans = std::vector<JsonArrayScanner::Span>;

// Parses and checks the objects at spans, each with a member of every kind the data files
// use, and appends what was read; returns why an object was refused, or nothing.
QString readObjects(const char* data, const Spans& spans, QStringList* read)
{
    static constexpr std::string_view Names[] = {"id", "name", "note", "flag", "list"};
    StrictJsonParser parser;
    for (const JsonArrayScanner::Span& span : spans) {
        simdjson::dom::element root;
        if (parser.parse(data + span.begin, span.end - span.begin, &root) !=
            StrictJsonParser::Outcome::Parsed) {
            return QStringLiteral("refused");
        }
        QString error;
        StrictJsonObject object(Names, &error);
        QUuid id;
        QString name;
        std::optional<QString> note;
        bool flag = true;
        simdjson::dom::array list;
        if (!object.read(root) || !object.uuid(0, &id) || !object.string(1, &name) ||
            !object.optionalString(2, &note) || !object.optionalBool(3, &flag) ||
            !object.array(4, &list)) {
            return error;
        }
        read->append(QStringLiteral("%1 [%2] %3 %4 %5")
                         .arg(id.toString(QUuid::WithoutBraces).left(4), name,
                             note.value_or(QStringLiteral("-")), QVariant(flag).toString())
                         .arg(list.size()));
    }
    return {};
}

// Reads an array of objects the way the data files do: whole (window 0, JsonArrayScanner) or
// a window of that many bytes at a time (JsonArrayStream). The result lists what was read, or
// why the document was refused ("refused" when the scanner or the parser refused it).
QString read(const QByteArray& json, std::size_t window)
{
    QStringList read;
    QString error;
    Spans spans;
    if (window == 0) {
        const simdjson::padded_string whole(json.constData(), static_cast<size_t>(json.size()));
        if (!JsonArrayScanner::scan(whole.data(), whole.size(), &spans)) {
            return QStringLiteral("refused");
        }
        error = readObjects(whole.data(), spans, &read);
    } else {
        QBuffer device;
        device.setData(json);
        device.open(QIODevice::ReadOnly);
        JsonArrayStream stream(device, window);
        JsonArrayStream::Outcome outcome = JsonArrayStream::Outcome::Objects;
        while (error.isEmpty() &&
            (outcome = stream.next(&spans)) == JsonArrayStream::Outcome::Objects) {
            error = readObjects(stream.data(), spans, &read);
        }
        if (error.isEmpty() && outcome != JsonArrayStream::Outcome::End) {
            return QStringLiteral("refused");
        }
    }
    return error.isEmpty() ? read.join(QLatin1Char('|')) : error;
}

} // namespace

class StrictJsonTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readsStrictly_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("expected");
        const QByteArray id = "\"id\":\"a1b2c3d4-e5f6-4a7b-8c9d-0e1f2a3b4c5d\",\"name\":\"n\"";
        const auto row = [&id](const char* name, const QByteArray& members, const char* expected) {
            QTest::newRow(name) << "[{" + id + members + "}]" << QString::fromUtf8(expected);
        };
        const auto document = [](const char* name, const QByteArray& json, const char* expected) {
            QTest::newRow(name) << json << QString::fromUtf8(expected);
        };
        const char* plain = "a1b2 [n] - true 0";

        row("every member and escape, a backslash last",
            ",\"note\":\"\\/"
            "\\\"\\b\\f\\n\\r\\t\\u00e9\\ud83d\\ude00\\\\\",\"flag\":false,\"list\":[1,2]",
            "a1b2 [n] /\"\b\f\n\r\té😀\\ false 2");
        row("optional members null", ",\"note\":null,\"flag\":null,\"list\":[]", plain);
        row("unknown members of every kind, repeated",
            ",\"x\":[1,-0.5,2E-3,true,null,\"}]\",{\"y\":{}}],\"x\":0,\"list\":[]", plain);
        row("escaped member name", ",\"\\u006cist\":[]", plain);
        document("U+FEFF and controls kept, white space, any order",
            " [\n{ \"list\" : [ ] ,\t\"name\":\"\xef\xbb\xbf\\u0001\",\"id\":\"A1B2C3D4-E5F6-4A7B-"
            "8C9D-0E1F2A3B4C5D\"}\r\n, {" +
                id + ",\"list\":[]} ] ",
            "a1b2 [\xef\xbb\xbf\x01] - true 0|a1b2 [n] - true 0");

        row("repeated known member", ",\"list\":[],\"flag\":true,\"flag\":true",
            "\"flag\" appears twice");
        row("required member missing", "", "\"list\" is missing");
        row("required member null", ",\"list\":null", "\"list\" is not an array");
        row("number for a string", ",\"note\":1,\"list\":[]", "\"note\" is not a string");
        row("string for a boolean", ",\"flag\":\"true\",\"list\":[]", "\"flag\" is not a boolean");
        row("object for an array", ",\"list\":{}", "\"list\" is not an array");
        document("UUID without hyphens", "[{\"id\":\"a1b2c3d4e5f64a7b8c9d0e1f2a3b4c5d\"}]",
            "\"id\" is not a UUID");

        row("invalid UTF-8 in an unknown member", ",\"x\":\"\x92\xe8\",\"list\":[]", "refused");
        row("raw line feed in a string", ",\"x\":\"a\nb\",\"list\":[]", "refused");
        row("unknown escape", ",\"x\":\"\\x\",\"list\":[]", "refused");
        row("unpaired high surrogate", ",\"x\":\"\\ud83d!\",\"list\":[]", "refused");
        row("unpaired low surrogate", ",\"x\":\"\\ude00\",\"list\":[]", "refused");
        row("leading zero", ",\"x\":01,\"list\":[]", "refused");
        row("misspelt literal", ",\"x\":tru,\"list\":[]", "refused");
        row("trailing comma in an object", ",\"list\":[1],", "refused");
        row("unbalanced brackets", ",\"x\":[},\"list\":[]", "refused");
        row("deep nesting in an unknown member",
            ",\"x\":" + QByteArray(600, '[') + QByteArray(600, ']') + ",\"list\":[]", "refused");

        document("empty array", "[]", "");
        document("empty file", "", "refused");
        document("top-level object", "{" + id + "}", "refused");
        document("element not an object", "[1]", "refused");
        document("trailing comma", "[{" + id + ",\"list\":[]},]", "refused");
        document("missing comma", "[{" + id + ",\"list\":[]} {}]", "refused");
        document("trailing garbage", "[{" + id + ",\"list\":[]}] x", "refused");
        document("NUL after the document", QByteArray("[]\0", 3), "refused");
        document("unterminated array", "[{" + id + ",\"list\":[]}", "refused");
    }

    void readsStrictly()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, expected);
        // Whole, and read through windows that split every token, that hold a few, and that
        // hold the document.
        for (const std::size_t window : {0, 1, 7, 64, 4096}) {
            QCOMPARE(read(json, window), expected);
        }
    }
};

NORVALE_TEST_CLASS(StrictJsonTest)
#include "tst_strictjson.moc"
