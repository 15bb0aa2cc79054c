// The Linux pasteboard's pure parts (target mapping, text decoding) and its behaviour without
// an X display: the count follows QClipboard, reads give nothing.

#include "common/TestMain.h"
#include "platform/linux/LinuxPasteboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QTest>

using ByteArrays = QList<QByteArray>;

class LinuxPasteboardOffscreenTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void typesForTargets_data();
    void typesForTargets();
    void decodeText_data();
    void decodeText();
    void withoutDisplayCountsChangesAndReadsNothing();
};

void LinuxPasteboardOffscreenTest::typesForTargets_data()
{
    QTest::addColumn<ByteArrays>("targets");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("xclip text") << ByteArrays {"TARGETS", "UTF8_STRING"}
                                << QStringList {QStringLiteral("text/plain")};
    QTest::newRow("a Qt owner")
        << ByteArrays {"text/plain", "UTF8_STRING", "STRING", "TEXT", "image/png",
               "x-kde-passwordManagerHint", "application/vnd.oasis.opendocument.spreadsheet",
               "TARGETS", "MULTIPLE", "TIMESTAMP", "SAVE_TARGETS"}
        << QStringList {QStringLiteral("text/plain"), QStringLiteral("image/png"),
               QStringLiteral("x-kde-passwordManagerHint"),
               QStringLiteral("application/vnd.oasis.opendocument.spreadsheet")};
    QTest::newRow("text reported once, where the first text target stands")
        << ByteArrays {"image/png", "STRING", "text/tab-separated-values", "UTF8_STRING",
               "text/plain;charset=UTF-8", "COMPOUND_TEXT", "TEXT"}
        << QStringList {QStringLiteral("image/png"), QStringLiteral("text/plain"),
               QStringLiteral("text/tab-separated-values")};
    QTest::newRow("protocol targets only")
        << ByteArrays {"TARGETS", "MULTIPLE", "TIMESTAMP", "SAVE_TARGETS", "DELETE"}
        << QStringList {};
    QTest::newRow("a repeated target once")
        << ByteArrays {"image/tiff", "image/tiff", "text/html", "image/tiff"}
        << QStringList {QStringLiteral("image/tiff"), QStringLiteral("text/html")};
    QTest::newRow("names are kept as offered")
        << ByteArrays {"Biff8", "XML Spreadsheet", "chromium/x-web-custom-data", "text/html"}
        << QStringList {QStringLiteral("Biff8"), QStringLiteral("XML Spreadsheet"),
               QStringLiteral("chromium/x-web-custom-data"), QStringLiteral("text/html")};
    QTest::newRow("nothing offered") << ByteArrays {} << QStringList {};
}

void LinuxPasteboardOffscreenTest::typesForTargets()
{
    QFETCH(ByteArrays, targets);
    QFETCH(QStringList, expected);
    QCOMPARE(LinuxPasteboard::typesForTargets(targets), expected);
}

void LinuxPasteboardOffscreenTest::decodeText_data()
{
    QTest::addColumn<QByteArray>("type");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<std::optional<QString>>("expected");
    QTest::newRow("UTF8_STRING") << QByteArray("UTF8_STRING") << QByteArray("\xe3\x81\x82 a")
                                 << std::optional<QString>(QStringLiteral("あ a"));
    QTest::newRow("STRING is Latin-1") << QByteArray("STRING") << QByteArray("\xe9t\xe9")
                                       << std::optional<QString>(QStringLiteral("été"));
    QTest::newRow("text/plain is UTF-8") << QByteArray("text/plain") << QByteArray("\xc3\xa9")
                                         << std::optional<QString>(QStringLiteral("é"));
    QTest::newRow("ASCII compound text") << QByteArray("COMPOUND_TEXT") << QByteArray("plain ascii")
                                         << std::optional<QString>(QStringLiteral("plain ascii"));
    QTest::newRow("compound text with an escape sequence")
        << QByteArray("COMPOUND_TEXT") << QByteArray("\x1b$)B\xa4\xa2") << std::optional<QString>();
    QTest::newRow("empty") << QByteArray("UTF8_STRING") << QByteArray()
                           << std::optional<QString>(QString());
}

void LinuxPasteboardOffscreenTest::decodeText()
{
    QFETCH(QByteArray, type);
    QFETCH(QByteArray, bytes);
    QFETCH(std::optional<QString>, expected);
    QCOMPARE(LinuxPasteboard::decodeText(type, bytes), expected);
}

void LinuxPasteboardOffscreenTest::withoutDisplayCountsChangesAndReadsNothing()
{
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        QSKIP("runs without an X display");
    }
    LinuxPasteboard pasteboard;
    QVERIFY(!pasteboard.canReadContents());
    const qint64 start = pasteboard.changeCount();

    pasteboard.write({{PasteboardType::string, "text"}, {PasteboardType::png, "png"}});
    QCOMPARE(pasteboard.changeCount(), start + 1);
    pasteboard.clear();
    QCOMPARE(pasteboard.changeCount(), start + 2);
    // Another part of the process copying counts as well.
    QGuiApplication::clipboard()->setText(QStringLiteral("widget"));
    QCOMPARE(pasteboard.changeCount(), start + 3);
    QGuiApplication::clipboard()->setText(QStringLiteral("primary"), QClipboard::Selection);
    QCOMPARE(pasteboard.changeCount(), start + 3);

    QCOMPARE(pasteboard.types(), QStringList());
    QCOMPARE(pasteboard.string(PasteboardType::string), std::nullopt);
    QCOMPARE(pasteboard.data(PasteboardType::string), std::nullopt);
    QCOMPARE(pasteboard.name(), QStringLiteral("CLIPBOARD"));
}

NORVALE_TEST_CLASS(LinuxPasteboardOffscreenTest)
#include "tst_linuxpasteboardoffscreen.moc"
