#pragma once

// Streaming JSON writer that reproduces the byte formats Norvale's files are known by.
//
// Pretty form (as the platform's pretty encoder writes it): two-space indentation, one
// member or element per line, `"key" : value`, an empty array or object as the opening
// bracket, two line feeds and the closing bracket. Compact form: no white space at all.
// Both: no line feed after the last bracket; `"`, `\` and `/` escaped as `\"`, `\\`, `\/`;
// \b \f \n \r \t for those controls, `\u00xx` (lower-case hex) for the other controls below
// U+0020; everything else as UTF-8 (U+2028 and U+2029 too). A lone UTF-16 surrogate has no
// UTF-8 form and is written as U+FFFD; NaN and infinities, which JSON cannot express, as null.
//
// Key order is the caller's: write keys in the order the format wants (sorted or fixed).
// Output goes to a QIODevice in chunks, so a multi-gigabyte document never sits in memory
// twice; the device's first write error is kept and reported by ok().

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <vector>

class QIODevice;

class JsonWriter final
{
public:
    enum class Style
    {
        Pretty,
        Compact
    };

    // Writes into device (flushing every few hundred KiB and at finish()).
    JsonWriter(QIODevice* device, Style style);
    // Writes into an internal buffer; take it with result().
    explicit JsonWriter(Style style);
    ~JsonWriter();
    JsonWriter(const JsonWriter&) = delete;
    JsonWriter& operator=(const JsonWriter&) = delete;

    void beginArray();
    void endArray();
    void beginObject();
    void endObject();
    void key(QStringView name);

    void value(QStringView text);
    void value(const QString& text) { value(QStringView(text)); }
    void value(const char* latin1) = delete;
    // The Base64 of bytes (standard alphabet, padded) as a JSON string, "/" escaped as "\/"
    // like every other slash; encoded straight into the output, a slice at a time.
    void base64Value(const QByteArray& bytes);
    // The same for bytes that arrive in pieces (read from a file): every piece but the last
    // must be a multiple of 3 bytes long, so that no padding lands inside the string.
    void beginBase64Value();
    void appendBase64(QByteArrayView bytes);
    void endBase64Value();
    void value(bool b);
    void value(qint64 n);
    void value(int n) { value(static_cast<qint64>(n)); }
    // The shortest decimal form that reads back as the same double ("100", "0.1", "1e+300").
    void value(double d);

    // Flushes the buffer to the device; false when any write failed or the document is not
    // complete (a container left open, a key without its value).
    bool finish();
    bool ok() const { return m_ok; }
    QByteArray result() const { return m_buffer; }

private:
    struct Level
    {
        bool isObject = false;
        int count = 0;
    };

    void beforeValue();
    void newlineIndent(int depth);
    void appendEscaped(QStringView text);
    void maybeFlush();
    void flushBuffer();
    void endContainer(char bracket);

    QIODevice* m_device = nullptr;
    Style m_style;
    QByteArray m_buffer;
    std::vector<Level> m_stack;
    bool m_afterKey = false;
    bool m_unbalanced = false;
    bool m_ok = true;
};
