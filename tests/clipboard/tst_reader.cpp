#include "clipboard/ClipboardPasteboardReader.h"
#include "common/TestMain.h"
#include "platform/sim/SimPasteboard.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QRegularExpression>
#include <QTest>
#include <QtEndian>

namespace {

using Contents = QList<QPair<QString, QByteArray>>;

const QDateTime Now = QDateTime(QDate(2024, 5, 1), QTime(9, 30), Qt::UTC);
const QByteArray PngSignature = QByteArray::fromHex("89504e470d0a1a0a");
// A TIFF header and an empty directory: no image.
const QByteArray BrokenTiff("II*\0\x08\0\0\0\0\0", 10);

QImage sampleImage()
{
    QImage image(3, 2, QImage::Format_ARGB32);
    const QRgb colours[] = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(10, 20, 30),
        qRgb(255, 255, 255), qRgb(1, 2, 3)};
    for (int i = 0; i < 6; ++i) {
        image.setPixel(i % 3, i / 3, colours[i]);
    }
    return image;
}

QByteArray encoded(const QImage& image, const char* format, int compression = 0)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setCompression(compression);
    if (!writer.write(image)) {
        return {};
    }
    return bytes;
}

QImage decoded(const QByteArray& bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAllocationLimit(1024);
    return reader.read();
}

// An RGB TIFF of one grey level, PackBits-compressed row by row: a couple of MB for a picture
// that decodes to hundreds, built in a moment where Qt's own writer takes seconds.
QByteArray greyTiff(quint32 width, quint32 height, char grey)
{
    QByteArray row;
    for (quint32 remaining = width * 3; remaining > 0;) {
        const quint32 run = std::min<quint32>(remaining, 128);
        row.append(static_cast<char>(1 - static_cast<int>(run))); // repeat the next byte run times
        row.append(grey);
        remaining -= run;
    }
    const QByteArray strip = row.repeated(static_cast<qsizetype>(height));

    QByteArray tiff("II*\0", 4);
    auto put16 = [&tiff](quint16 v) {
        tiff.append(reinterpret_cast<const char*>(&v), 2);
    };
    auto put32 = [&tiff](quint32 v) {
        tiff.append(reinterpret_cast<const char*>(&v), 4);
    };
    static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN);
    constexpr quint16 Entries = 10;
    const quint32 bitsOffset = 8 + 2 + Entries * 12 + 4;
    const quint32 stripOffset = bitsOffset + 6;
    put32(8);
    put16(Entries);
    auto entry = [&](quint16 tag, quint16 type, quint32 count, quint32 value) {
        put16(tag);
        put16(type);
        put32(count);
        put32(value); // a SHORT sits in the low half, little-endian
    };
    constexpr quint16 Short = 3;
    constexpr quint16 Long = 4;
    entry(256, Long, 1, width);
    entry(257, Long, 1, height);
    entry(258, Short, 3, bitsOffset); // BitsPerSample 8, 8, 8
    entry(259, Short, 1, 32773); // PackBits
    entry(262, Short, 1, 2); // RGB
    entry(273, Long, 1, stripOffset);
    entry(277, Short, 1, 3); // samples per pixel
    entry(278, Long, 1, height); // one strip
    entry(279, Long, 1, static_cast<quint32>(strip.size()));
    entry(284, Short, 1, 1); // interleaved
    put32(0); // no further directory
    put16(8);
    put16(8);
    put16(8);
    return tiff + strip;
}

// What a reader row expects: no item, or an item of a kind with a text or image bytes.
struct Expected
{
    QString kind; // empty: no item
    QString text;
    QByteArray image;
};

} // namespace

Q_DECLARE_METATYPE(Expected)

class ClipboardReaderTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void makeItem_data()
    {
        QTest::addColumn<Contents>("contents");
        QTest::addColumn<bool>("saveExcelCopiesAsText");
        QTest::addColumn<Expected>("expected");

        const QString string = PasteboardType::string;
        const QString tabular = PasteboardType::tabularText;
        const QString png = PasteboardType::png;
        const QString tiff = PasteboardType::tiff;
        const QString bundle = PasteboardType::microsoftAppBundleId;
        const QString hint = PasteboardType::passwordManagerHint;
        const QByteArray pngBytes = encoded(sampleImage(), "png");
        const QByteArray tiffBytes = encoded(sampleImage(), "tiff");
        const Expected none;
        const auto text = [](const char* t) {
            return Expected {QStringLiteral("text"), QString::fromUtf8(t), {}};
        };
        const auto url = [](const char* t) {
            return Expected {QStringLiteral("url"), QString::fromUtf8(t), {}};
        };
        const auto image = [](const QByteArray& b) {
            return Expected {QStringLiteral("image"), {}, b};
        };
        const Contents excelCells {
            {string, "1\t2"}, {tabular, "1\t2"}, {bundle, "com.microsoft.Excel"}, {png, pngBytes}};

        for (const bool flag : {false, true}) {
            const QByteArray suffix = flag ? " (excel as text)" : "";
            auto row = [&suffix](const char* name) {
                return &QTest::newRow(QByteArray(QByteArray(name) + suffix).constData());
            };
            *row("plain text") << Contents {{string, "hello"}} << flag << text("hello");
            *row("https url") << Contents {{string, "https://a"}} << flag << url("https://a");
            *row("url with leading blanks keeps them")
                << Contents {{string, "  https://a"}} << flag << url("  https://a");
            *row("upper-case scheme is text")
                << Contents {{string, "HTTPS://A"}} << flag << text("HTTPS://A");
            *row("blank text is recorded") << Contents {{string, "   "}} << flag << text("   ");
            *row("empty text falls back to the image")
                << Contents {{string, ""}, {png, pngBytes}} << flag << image(pngBytes);
            *row("empty text alone") << Contents {{string, ""}} << flag << none;
            *row("tab-separated text when there is no plain text")
                << Contents {{tabular, "a\tb"}} << flag << text("a\tb");
            *row("plain text before tab-separated")
                << Contents {{tabular, "a\tb"}, {string, "a b"}} << flag << text("a b");
            *row("text before image")
                << Contents {{png, pngBytes}, {string, "t"}} << flag << text("t");
            *row("spreadsheet cells") << excelCells << flag << (flag ? text("1\t2") : none);
            *row("spreadsheet type name in any case")
                << Contents {{string, "x"},
                       {QStringLiteral("application/vnd.oasis.opendocument.SpreadSheet"), ""}}
                << flag << (flag ? text("x") : none);
            *row("excel in a type name")
                << Contents {{QStringLiteral("application/x-EXCEL-biff"), ""}, {tabular, "x"}}
                << flag << (flag ? text("x") : none);
            *row("spreadsheet image only is never recorded")
                << Contents {{QStringLiteral("application/vnd.ms-excel"), ""}, {png, pngBytes}}
                << flag << none;
            *row("spreadsheet with empty text")
                << Contents {{bundle, "com.microsoft.Excel"}, {string, ""}, {png, pngBytes}} << flag
                << none;
            *row("another Microsoft application")
                << Contents {{bundle, "com.microsoft.Word"}, {string, "w"}} << flag << text("w");
            *row("bundle id compared exactly")
                << Contents {{bundle, "com.microsoft.excel"}, {string, "w"}} << flag << text("w");
            *row("secret text") << Contents {{string, "hunter2"}, {hint, "secret"}} << flag << none;
            *row("secret image") << Contents {{hint, "secret"}, {png, pngBytes}} << flag << none;
            *row("secret with a line feed")
                << Contents {{string, "hunter2"}, {hint, "secret\n"}} << flag << none;
            *row("hint without secret")
                << Contents {{string, "public"}, {hint, "public"}} << flag << text("public");
            *row("nothing") << Contents {} << flag << none;
            *row("other types only") << Contents {{QStringLiteral("text/html"), "<b>x</b>"},
                                            {QStringLiteral("text/uri-list"), "file:///x"}}
                                     << flag << none;
            *row("png stored unchanged")
                << Contents {{png, "not even a png"}} << flag << image("not even a png");
            *row("png preferred to tiff")
                << Contents {{tiff, tiffBytes}, {png, pngBytes}} << flag << image(pngBytes);
            *row("tiff that cannot be converted is kept")
                << Contents {{tiff, BrokenTiff}} << flag << image(BrokenTiff);
            *row("empty image data") << Contents {{png, ""}} << flag << none;
        }
    }

    void makeItem()
    {
        QFETCH(Contents, contents);
        QFETCH(bool, saveExcelCopiesAsText);
        QFETCH(Expected, expected);

        SimPasteboard pasteboard;
        pasteboard.setContents(contents);
        const std::optional<ClipboardHistoryItem> item =
            ClipboardPasteboardReader::makeItem(pasteboard, saveExcelCopiesAsText, Now);
        if (expected.kind.isEmpty()) {
            QVERIFY(!item);
            return;
        }
        QVERIFY(item);
        QCOMPARE(clipboardHistoryKindName(item->kind), expected.kind);
        QCOMPARE(item->createdAt, Now);
        QVERIFY(!item->id.isNull());
        if (expected.kind == QStringLiteral("image")) {
            QVERIFY(!item->text);
            QCOMPARE(item->imageData.value_or(QByteArray()), expected.image);
            QCOMPARE(item->fingerprint,
                ClipboardHistoryItem::makeFingerprint(item->kind, std::nullopt, expected.image));
        } else {
            QVERIFY(!item->imageData);
            QCOMPARE(item->text.value_or(QString()), expected.text);
            QCOMPARE(item->fingerprint, QStringLiteral("text:") + expected.text);
        }
    }

    void tiffOnlyIsStoredAsPng()
    {
        SimPasteboard pasteboard;
        pasteboard.setContents({{PasteboardType::tiff, encoded(sampleImage(), "tiff")}});
        const auto item = ClipboardPasteboardReader::makeItem(pasteboard, false, Now);
        QVERIFY(item && item->imageData);
        QVERIFY(item->imageData->startsWith(PngSignature));
        const QImage image = decoded(*item->imageData);
        QCOMPARE(image.size(), QSize(3, 2));
        QCOMPARE(image.convertToFormat(QImage::Format_ARGB32), sampleImage());
        QCOMPARE(item->fingerprint,
            ClipboardHistoryItem::makeFingerprint(
                ClipboardHistoryKind::Image, std::nullopt, *item->imageData));
    }

    void pngDataRefusesWhatIsNotAnImage()
    {
        QVERIFY(!ClipboardPasteboardReader::pngData(QByteArray()));
        QVERIFY(!ClipboardPasteboardReader::pngData(BrokenTiff));
        const auto png = ClipboardPasteboardReader::pngData(encoded(sampleImage(), "bmp"));
        QVERIFY(png && png->startsWith(PngSignature));
    }

    // 8000 x 5000 decodes to 32 bits a pixel, 160 MB: over Qt's default limit of 128 MB.
    void imageOverQtsDefaultLimitConverts()
    {
        const QByteArray tiff = greyTiff(8000, 5000, 0x60);
        const int previousLimit = QImageReader::allocationLimit();
        QImageReader::setAllocationLimit(128);
        {
            // The case the raised limit is for.
            QBuffer buffer;
            buffer.setData(tiff);
            buffer.open(QIODevice::ReadOnly);
            QImageReader reader(&buffer);
            QCOMPARE(reader.size(), QSize(8000, 5000));
            QTest::ignoreMessage(
                QtWarningMsg, QRegularExpression(QStringLiteral("allocation limit")));
            QVERIFY(reader.read().isNull());
        }
        const std::optional<QByteArray> png = ClipboardPasteboardReader::pngData(tiff);
        QImageReader::setAllocationLimit(std::max(previousLimit, QImageReader::allocationLimit()));
        QVERIFY(png);
        QVERIFY(png->startsWith(PngSignature));
        // IHDR: width and height at bytes 16 and 20, big-endian.
        QCOMPARE(qFromBigEndian<quint32>(png->constData() + 16), 8000u);
        QCOMPARE(qFromBigEndian<quint32>(png->constData() + 20), 5000u);
    }

    void captureChecksTheChangeCount()
    {
        SimPasteboard pasteboard;
        pasteboard.setText(QStringLiteral("x"));
        const qint64 count = pasteboard.changeCount();

        const auto item = ClipboardPasteboardReader::captureItem(pasteboard, count, false, Now);
        QVERIFY(item);
        QCOMPARE(item->text.value_or(QString()), QStringLiteral("x"));

        // Moved on before the capture started.
        QVERIFY(!ClipboardPasteboardReader::captureItem(pasteboard, count - 1, false, Now));

        // Changed while it was being read: the half-read content is not recorded.
        pasteboard.setOnNextRead([&pasteboard] { pasteboard.setText(QStringLiteral("y")); });
        QVERIFY(!ClipboardPasteboardReader::captureItem(pasteboard, count, false, Now));
        const qint64 afterRace = pasteboard.changeCount();
        QCOMPARE(afterRace, count + 1);

        // A count bump alone during the read counts as a change too.
        pasteboard.setOnNextRead([&pasteboard] { pasteboard.bumpChangeCount(); });
        QVERIFY(!ClipboardPasteboardReader::captureItem(pasteboard, afterRace, false, Now));

        // A capture that finds nothing to record returns nothing, count unchanged or not.
        pasteboard.setContents(
            {{PasteboardType::string, "s"}, {PasteboardType::passwordManagerHint, "secret"}});
        QVERIFY(!ClipboardPasteboardReader::captureItem(
            pasteboard, pasteboard.changeCount(), true, Now));
    }

    void isMarkedSecret_data()
    {
        QTest::addColumn<Contents>("contents");
        QTest::addColumn<bool>("secret");
        const QString hint = PasteboardType::passwordManagerHint;
        QTest::newRow("secret") << Contents {{hint, "secret"}} << true;
        QTest::newRow("secret with blanks") << Contents {{hint, " secret\r\n"}} << true;
        QTest::newRow("other value") << Contents {{hint, "Secret"}} << false;
        QTest::newRow("empty value") << Contents {{hint, ""}} << false;
        QTest::newRow("no hint") << Contents {{PasteboardType::string, "secret"}} << false;
    }

    void isMarkedSecret()
    {
        QFETCH(Contents, contents);
        QFETCH(bool, secret);
        SimPasteboard pasteboard;
        pasteboard.setContents(contents);
        QCOMPARE(ClipboardPasteboardReader::isMarkedSecret(pasteboard, pasteboard.types()), secret);
    }
};

NORVALE_TEST_CLASS(ClipboardReaderTest)
#include "tst_reader.moc"
