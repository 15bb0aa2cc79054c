#include "clipboard/ClipboardHistoryImageCache.h"
#include "clipboard/ClipboardHistoryItem.h"
#include "common/TestMain.h"

#include <QBuffer>
#include <QImage>
#include <QTest>

namespace {

const QDateTime Now = QDateTime(QDate(2024, 5, 1), QTime(9, 30), Qt::UTC);

QString repeated(const QString& piece, int count)
{
    QString result;
    for (int i = 0; i < count; ++i) {
        result += piece;
    }
    return result;
}

QByteArray pngOf(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

ClipboardHistoryItem textItem(ClipboardHistoryKind kind, std::optional<QString> text)
{
    ClipboardHistoryItem item;
    item.kind = kind;
    item.text = std::move(text);
    item.fingerprint = ClipboardHistoryItem::makeFingerprint(kind, item.text, std::nullopt);
    return item;
}

} // namespace

class ClipboardItemsTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { ClipboardHistoryImageCache::shared().resetForTesting(); }
    void cleanupTestCase() { ClipboardHistoryImageCache::shared().resetForTesting(); }

    void kindNames()
    {
        QCOMPARE(clipboardHistoryKindName(ClipboardHistoryKind::Text), QStringLiteral("text"));
        QCOMPARE(clipboardHistoryKindName(ClipboardHistoryKind::Url), QStringLiteral("url"));
        QCOMPARE(clipboardHistoryKindName(ClipboardHistoryKind::Image), QStringLiteral("image"));
        for (const auto kind :
            {ClipboardHistoryKind::Text, ClipboardHistoryKind::Url, ClipboardHistoryKind::Image}) {
            QVERIFY(clipboardHistoryKindFromName(clipboardHistoryKindName(kind)) == kind);
        }
        for (const char16_t* bad : {u"Text", u"URL", u"", u"images", u" text"}) {
            QVERIFY2(!clipboardHistoryKindFromName(QStringView(bad)).has_value(),
                qPrintable(QString::fromUtf16(bad)));
        }
    }

    void fingerprint_data()
    {
        QTest::addColumn<ClipboardHistoryKind>("kind");
        QTest::addColumn<std::optional<QString>>("text");
        QTest::addColumn<std::optional<QByteArray>>("imageData");
        QTest::addColumn<QString>("expected");

        const std::optional<QString> noText;
        const std::optional<QByteArray> noBytes;
        QTest::newRow("text") << ClipboardHistoryKind::Text
                              << std::optional<QString>(QStringLiteral(" a\n")) << noBytes
                              << QStringLiteral("text: a\n");
        QTest::newRow("url shares the text form")
            << ClipboardHistoryKind::Url << std::optional<QString>(QStringLiteral("https://a"))
            << noBytes << QStringLiteral("text:https://a");
        QTest::newRow("text absent")
            << ClipboardHistoryKind::Text << noText << noBytes << QStringLiteral("text:");
        QTest::newRow("image AB CD EF")
            << ClipboardHistoryKind::Image << noText << std::optional(QByteArray::fromHex("abcdef"))
            << QStringLiteral(
                   "image:3:995da3cf545787d65f9ced52674e92ee8171c87c7a4008aa4349ec47d21609a7");
        QTest::newRow("image of zero bytes")
            << ClipboardHistoryKind::Image << noText << std::optional(QByteArray())
            << QStringLiteral(
                   "image:0:e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
        QTest::newRow("image without bytes")
            << ClipboardHistoryKind::Image << noText << noBytes << QStringLiteral("image:");
        QTest::newRow("image ignores text")
            << ClipboardHistoryKind::Image << std::optional<QString>(QStringLiteral("x")) << noBytes
            << QStringLiteral("image:");
    }

    void fingerprint()
    {
        QFETCH(ClipboardHistoryKind, kind);
        QFETCH(std::optional<QString>, text);
        QFETCH(std::optional<QByteArray>, imageData);
        QFETCH(QString, expected);
        QCOMPARE(ClipboardHistoryItem::makeFingerprint(kind, text, imageData), expected);
    }

    void kindFor_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<ClipboardHistoryKind>("kind");
        const auto Url = ClipboardHistoryKind::Url;
        const auto Text = ClipboardHistoryKind::Text;
        QTest::newRow("https") << QStringLiteral("https://example.com") << Url;
        QTest::newRow("http") << QStringLiteral("http://example.com") << Url;
        QTest::newRow("scheme only") << QStringLiteral("https://") << Url;
        QTest::newRow("leading blanks") << QStringLiteral("  https://a") << Url;
        QTest::newRow("line breaks around") << QStringLiteral("\n\thttps://a\r\n") << Url;
        QTest::newRow("ideographic space") << QStringLiteral("\u3000https://a") << Url;
        QTest::newRow("next line") << QStringLiteral("\u0085http://a") << Url;
        QTest::newRow("upper-case scheme") << QStringLiteral("HTTPS://a") << Text;
        QTest::newRow("mixed-case scheme") << QStringLiteral("Http://a") << Text;
        QTest::newRow("other scheme") << QStringLiteral("ftp://a") << Text;
        QTest::newRow("one slash") << QStringLiteral("https:/a") << Text;
        QTest::newRow("url later in text") << QStringLiteral("see https://a") << Text;
        QTest::newRow("empty") << QString() << Text;
        QTest::newRow("zero-width space is not white space")
            << QStringLiteral("\u200bhttps://a") << Text;
    }

    void kindFor()
    {
        QFETCH(QString, text);
        QFETCH(ClipboardHistoryKind, kind);
        QCOMPARE(ClipboardHistoryItem::kindFor(text), kind);
    }

    void makeTextKeepsTheTextExactly()
    {
        const QString copied = QStringLiteral("  https://a\n");
        const ClipboardHistoryItem first = ClipboardHistoryItem::makeText(copied, Now);
        const ClipboardHistoryItem second = ClipboardHistoryItem::makeText(copied, Now);
        QCOMPARE(first.kind, ClipboardHistoryKind::Url);
        QCOMPARE(first.text.value_or(QString()), copied);
        QVERIFY(!first.imageData);
        QCOMPARE(first.createdAt, Now);
        QCOMPARE(first.fingerprint, QStringLiteral("text:") + copied);
        QCOMPARE(first.fingerprint, second.fingerprint);
        QVERIFY(!first.id.isNull());
        QVERIFY(first.id != second.id);

        const ClipboardHistoryItem image =
            ClipboardHistoryItem::makeImage(QByteArray::fromHex("abcdef"), Now);
        QCOMPARE(image.kind, ClipboardHistoryKind::Image);
        QVERIFY(!image.text);
        QCOMPARE(image.imageData.value_or(QByteArray()), QByteArray::fromHex("abcdef"));
        QVERIFY(image.fingerprint.startsWith(QStringLiteral("image:3:995da3cf")));
    }

    void normalizedTextPreview_data()
    {
        QTest::addColumn<std::optional<QString>>("text");
        QTest::addColumn<QString>("expected");

        const QString e = QStringLiteral("e\u0301"); // one character, two code points
        const QString flag = QStringLiteral("\U0001F1EF\U0001F1F5"); // one character, four units
        const QString family = QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467");

        QTest::newRow("blanks, line break and tab")
            << std::optional<QString>(QStringLiteral("  a\nb\tc  ")) << QStringLiteral("a b c");
        QTest::newRow("absent") << std::optional<QString>() << QStringLiteral("空のテキスト");
        QTest::newRow("empty") << std::optional<QString>(QString())
                               << QStringLiteral("空のテキスト");
        QTest::newRow("only white space")
            << std::optional<QString>(QStringLiteral(" \n\t\u3000\r\n"))
            << QStringLiteral("空のテキスト");
        QTest::newRow("CR LF is one break")
            << std::optional<QString>(QStringLiteral("a\r\nb")) << QStringLiteral("a b");
        QTest::newRow("each break is one blank")
            << std::optional<QString>(QStringLiteral("a\n\nb\r\rc")) << QStringLiteral("a  b  c");
        QTest::newRow("unicode breaks")
            << std::optional<QString>(QStringLiteral("a\u2028b\u2029c\u0085d\u000be\u000cf"))
            << QStringLiteral("a b c d e f");
        QTest::newRow("inner blanks kept")
            << std::optional<QString>(QStringLiteral("a   b")) << QStringLiteral("a   b");
        QTest::newRow("72 characters unchanged")
            << std::optional<QString>(repeated(QStringLiteral("x"), 72))
            << repeated(QStringLiteral("x"), 72);
        QTest::newRow("73 characters cut")
            << std::optional<QString>(repeated(QStringLiteral("x"), 73))
            << QString(repeated(QStringLiteral("x"), 72) + QStringLiteral("..."));
        QTest::newRow("blanks around are not counted")
            << std::optional<QString>(QStringLiteral("\n  ") + repeated(QStringLiteral("y"), 72) +
                   QStringLiteral("  \n"))
            << repeated(QStringLiteral("y"), 72);
        QTest::newRow("72 combining characters unchanged")
            << std::optional<QString>(repeated(e, 72)) << repeated(e, 72);
        QTest::newRow("73 combining characters cut between clusters")
            << std::optional<QString>(repeated(e, 73))
            << QString(repeated(e, 72) + QStringLiteral("..."));
        QTest::newRow("73 flags cut between clusters")
            << std::optional<QString>(repeated(flag, 73))
            << QString(repeated(flag, 72) + QStringLiteral("..."));
        QTest::newRow("joined emoji count once")
            << std::optional<QString>(repeated(family, 72)) << repeated(family, 72);
        QTest::newRow("japanese 73")
            << std::optional<QString>(repeated(QStringLiteral("あ"), 73))
            << QString(repeated(QStringLiteral("あ"), 72) + QStringLiteral("..."));
    }

    void normalizedTextPreview()
    {
        QFETCH(std::optional<QString>, text);
        QFETCH(QString, expected);
        QCOMPARE(textItem(ClipboardHistoryKind::Text, text).normalizedTextPreview(), expected);
    }

    void detail_data()
    {
        QTest::addColumn<ClipboardHistoryKind>("kind");
        QTest::addColumn<std::optional<QString>>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("twelve characters")
            << ClipboardHistoryKind::Text << std::optional<QString>(QStringLiteral("hello, world"))
            << QStringLiteral("12文字");
        QTest::newRow("absent text")
            << ClipboardHistoryKind::Text << std::optional<QString>() << QStringLiteral("0文字");
        QTest::newRow("clusters, not units")
            << ClipboardHistoryKind::Text
            << std::optional<QString>(QStringLiteral("e\u0301\U0001F1EF\U0001F1F5\r\n"))
            << QStringLiteral("3文字");
        QTest::newRow("blanks count")
            << ClipboardHistoryKind::Text << std::optional<QString>(QStringLiteral("  "))
            << QStringLiteral("2文字");
        QTest::newRow("url") << ClipboardHistoryKind::Url
                             << std::optional<QString>(QStringLiteral("https://a"))
                             << QStringLiteral("URL");
    }

    void detail()
    {
        QFETCH(ClipboardHistoryKind, kind);
        QFETCH(std::optional<QString>, text);
        QFETCH(QString, expected);
        QCOMPARE(textItem(kind, text).detail(), expected);
    }

    void imageDetailAndPreviewComeFromTheCache()
    {
        const ClipboardHistoryItem item =
            ClipboardHistoryItem::makeImage(QByteArray("image bytes"), Now);
        QCOMPARE(item.detail(), QStringLiteral("画像"));
        QVERIFY(item.image().isNull());

        ClipboardHistoryImageCache::shared().store({{item.fingerprint, pngOf(8, 6), 4000, 3000}});
        QCOMPARE(item.detail(), QStringLiteral("4000 x 3000"));
        QCOMPARE(item.image().size(), QSize(8, 6));

        // Without bytes there is no preview even when the cache knows the fingerprint.
        ClipboardHistoryItem noBytes = item;
        noBytes.imageData.reset();
        QVERIFY(noBytes.image().isNull());

        ClipboardHistoryImageCache::shared().evictAll();
        QVERIFY(item.image().isNull());
        QCOMPARE(item.detail(), QStringLiteral("4000 x 3000"));
    }
};

NORVALE_TEST_CLASS(ClipboardItemsTest)
#include "tst_items.moc"
