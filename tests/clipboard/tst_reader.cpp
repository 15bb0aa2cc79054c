#include "ClipboardTestSupport.h"
#include "clipboard/ClipboardPasteboardReader.h"
#include "common/TestMain.h"
#include "platform/sim/SimPasteboard.h"

#include <QTest>

using namespace ClipboardTest;

namespace {

using Contents = QList<QPair<QString, QByteArray>>;

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
        const QString bundle = PasteboardType::microsoftAppBundleId;
        const QString hint = PasteboardType::passwordManagerHint;
        const QByteArray pngBytes = ClipboardTest::pngBytes(3, 2, qRgb(10, 20, 30));
        // A TIFF header and an empty directory: no image.
        const QByteArray brokenTiff("II*\0\x08\0\0\0\0\0", 10);
        const Expected none;
        const auto text = [](const char* t) {
            return Expected {QStringLiteral("text"), QString::fromUtf8(t), {}};
        };
        const auto image = [](const QByteArray& b) {
            return Expected {QStringLiteral("image"), {}, b};
        };
        const auto row = [](const char* name, const Contents& contents, const Expected& expected,
                             bool excelAsText = true) {
            QTest::newRow(name) << contents << excelAsText << expected;
        };

        row("blank text is recorded", {{string, "   "}}, text("   "));
        row("empty text falls back to the image", {{string, ""}, {png, pngBytes}}, image(pngBytes));
        row("empty text alone", {{string, ""}}, none);
        row("tab-separated text when there is no plain text", {{tabular, "a\tb"}}, text("a\tb"));
        row("plain text before tab-separated", {{tabular, "a\tb"}, {string, "a b"}}, text("a b"));
        row("text before image", {{png, pngBytes}, {string, "t"}}, text("t"));

        const Contents excelCells {
            {string, "1\t2"}, {tabular, "1\t2"}, {bundle, "com.microsoft.Excel"}, {png, pngBytes}};
        row("spreadsheet cells as text", excelCells, text("1\t2"));
        row("spreadsheet cells, switch off", excelCells, none, false);
        const Contents spreadsheetType {
            {string, "x"}, {QStringLiteral("application/vnd.oasis.opendocument.SpreadSheet"), ""}};
        row("spreadsheet type name in any case", spreadsheetType, text("x"));
        row("spreadsheet image only is never recorded",
            {{QStringLiteral("application/vnd.ms-excel"), ""}, {png, pngBytes}}, none);
        row("spreadsheet with empty text",
            {{bundle, "com.microsoft.Excel"}, {string, ""}, {png, pngBytes}}, none);
        row("bundle id compared exactly", {{bundle, "com.microsoft.excel"}, {string, "w"}},
            text("w"), false);

        row("secret with blanks", {{string, "hunter2"}, {hint, " secret\r\n"}}, none);
        row("hint in other case", {{string, "public"}, {hint, "Secret"}}, text("public"));

        row("other types only",
            {{QStringLiteral("text/html"), "<b>x</b>"},
                {QStringLiteral("text/uri-list"), "file:///x"}},
            none);
        row("png stored unchanged", {{png, "not even a png"}}, image("not even a png"));
        row("png preferred to tiff",
            {{PasteboardType::tiff, encodeImage(solid(3, 2, qRgb(10, 20, 30)), "TIFF")},
                {png, pngBytes}},
            image(pngBytes));
        row("tiff that cannot be converted is kept", {{PasteboardType::tiff, brokenTiff}},
            image(brokenTiff));
        row("empty image data", {{png, ""}}, none);
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
        QCOMPARE(item.has_value(), !expected.kind.isEmpty());
        if (!item) {
            return;
        }
        QCOMPARE(clipboardHistoryKindName(item->kind), expected.kind);
        QCOMPARE(item->createdAt, Now);
        if (expected.kind == QStringLiteral("image")) {
            QVERIFY(!item->text);
            QCOMPARE(item->imageBytes().value_or(QByteArray()), expected.image);
        } else {
            QVERIFY(!item->imageData);
            QCOMPARE(item->text.value_or(QString()), expected.text);
        }
    }

    void captureChecksTheChangeCount()
    {
        SimPasteboard pasteboard;
        pasteboard.setText(QStringLiteral("x"));
        const qint64 count = pasteboard.changeCount();
        QVERIFY(ClipboardPasteboardReader::captureItem(pasteboard, count, false, Now));

        // Moved on before the capture started.
        QVERIFY(!ClipboardPasteboardReader::captureItem(pasteboard, count - 1, false, Now));
        // Changed while it was being read: the half-read content is not recorded.
        pasteboard.setOnNextRead([&pasteboard] { pasteboard.setText(QStringLiteral("y")); });
        QVERIFY(!ClipboardPasteboardReader::captureItem(pasteboard, count, false, Now));
        // A count bump alone during the read counts as a change too.
        pasteboard.setOnNextRead([&pasteboard] { pasteboard.bumpChangeCount(); });
        QVERIFY(!ClipboardPasteboardReader::captureItem(pasteboard, count + 1, false, Now));
    }
};

NORVALE_TEST_CLASS(ClipboardReaderTest)
#include "tst_reader.moc"
