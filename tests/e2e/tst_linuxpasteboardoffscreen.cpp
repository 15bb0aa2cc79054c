// The Linux pasteboard's pure parts (target mapping, text decoding) and, without an X display,
// a count that follows QClipboard while reads give nothing. Real owners are in
// tst_linuxpasteboard.cpp.

#include "common/TestMain.h"
#include "platform/linux/LinuxPasteboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QTest>

using ByteArrays = QList<QByteArray>;

class LinuxPasteboardOffscreenTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void typesForTargets_data()
    {
        QTest::addColumn<ByteArrays>("targets");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("text reported once, where the first text target stands")
            << ByteArrays {"image/png", "STRING", "text/tab-separated-values", "UTF8_STRING",
                   "text/plain;charset=UTF-8", "COMPOUND_TEXT", "TEXT"}
            << QStringList {QStringLiteral("image/png"), QStringLiteral("text/plain"),
                   QStringLiteral("text/tab-separated-values")};
        QTest::newRow("protocol targets only")
            << ByteArrays {"TARGETS", "MULTIPLE", "TIMESTAMP", "SAVE_TARGETS", "DELETE"}
            << QStringList {};
        QTest::newRow("a repeated target once, names kept as offered")
            << ByteArrays {"Biff8", "XML Spreadsheet", "Biff8", "text/html"}
            << QStringList {QStringLiteral("Biff8"), QStringLiteral("XML Spreadsheet"),
                   QStringLiteral("text/html")};
    }

    void typesForTargets()
    {
        QFETCH(ByteArrays, targets);
        QFETCH(QStringList, expected);
        QCOMPARE(LinuxPasteboard::typesForTargets(targets), expected);
    }

    void decodeCompoundText_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<std::optional<QString>>("expected");
        QTest::newRow("ASCII") << QByteArray("plain ascii")
                               << std::optional<QString>(QStringLiteral("plain ascii"));
        QTest::newRow("an escape sequence")
            << QByteArray("\x1b$)B\xa4\xa2") << std::optional<QString>();
    }

    void decodeCompoundText()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(std::optional<QString>, expected);
        QCOMPARE(LinuxPasteboard::decodeText("COMPOUND_TEXT", bytes), expected);
    }

    void withoutDisplayCountsChangesAndReadsNothing()
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
        // Another part of the process copying counts as well; PRIMARY does not.
        QGuiApplication::clipboard()->setText(QStringLiteral("widget"));
        QCOMPARE(pasteboard.changeCount(), start + 3);
        QGuiApplication::clipboard()->setText(QStringLiteral("primary"), QClipboard::Selection);
        QCOMPARE(pasteboard.changeCount(), start + 3);
        QCOMPARE(pasteboard.types(), QStringList());
        QCOMPARE(pasteboard.string(PasteboardType::string), std::nullopt);
        QCOMPARE(pasteboard.data(PasteboardType::string), std::nullopt);
    }
};

NORVALE_TEST_CLASS(LinuxPasteboardOffscreenTest)
#include "tst_linuxpasteboardoffscreen.moc"
