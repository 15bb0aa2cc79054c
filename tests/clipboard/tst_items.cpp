#include "ClipboardTestSupport.h"
#include "clipboard/ClipboardHistoryItem.h"
#include "common/TestMain.h"

#include <QTest>

using namespace ClipboardTest;

namespace {

using OptionalText = std::optional<QString>;

ClipboardHistoryItem textItem(ClipboardHistoryKind kind, OptionalText text)
{
    ClipboardHistoryItem item;
    item.kind = kind;
    item.text = std::move(text);
    return item;
}

} // namespace

class ClipboardItemsTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void kindFor_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("url");
        QTest::newRow("http") << QStringLiteral("http://example.com") << true;
        QTest::newRow("line breaks around") << QStringLiteral("\n\thttps://a\r\n") << true;
        QTest::newRow("upper-case scheme") << QStringLiteral("HTTPS://a") << false;
        QTest::newRow("one slash") << QStringLiteral("https:/a") << false;
        QTest::newRow("url later in text") << QStringLiteral("see https://a") << false;
    }

    void kindFor()
    {
        QFETCH(QString, text);
        QFETCH(bool, url);
        QCOMPARE(ClipboardHistoryItem::kindFor(text) == ClipboardHistoryKind::Url, url);
    }

    void normalizedTextPreview_data()
    {
        QTest::addColumn<OptionalText>("text");
        QTest::addColumn<QString>("expected");

        const QString e = QStringLiteral("e\u0301"); // one character, two code points
        const QString x = QStringLiteral("x");
        const QString empty = QStringLiteral("空のテキスト");

        QTest::newRow("blanks, line break and tab")
            << OptionalText(QStringLiteral("  a\nb\tc  ")) << QStringLiteral("a b c");
        QTest::newRow("absent") << OptionalText() << empty;
        QTest::newRow("only white space")
            << OptionalText(QStringLiteral(" \n\t\u3000\r\n")) << empty;
        QTest::newRow("CR LF is one break")
            << OptionalText(QStringLiteral("a\r\nb")) << QStringLiteral("a b");
        QTest::newRow("each break is one blank")
            << OptionalText(QStringLiteral("a\n\nb\r\rc")) << QStringLiteral("a  b  c");
        QTest::newRow("unicode breaks")
            << OptionalText(QStringLiteral("a\u2028b\u2029c\u0085d\u000be\u000cf"))
            << QStringLiteral("a b c d e f");
        QTest::newRow("blanks around are not counted")
            << OptionalText(QStringLiteral("\n  ") + x.repeated(72) + QStringLiteral("  \n"))
            << x.repeated(72);
        QTest::newRow("72 combining characters unchanged")
            << OptionalText(e.repeated(72)) << e.repeated(72);
        QTest::newRow("73 combining characters cut between clusters")
            << OptionalText(e.repeated(73)) << e.repeated(72) + QStringLiteral("...");
    }

    void normalizedTextPreview()
    {
        QFETCH(OptionalText, text);
        QFETCH(QString, expected);
        QCOMPARE(textItem(ClipboardHistoryKind::Text, text).normalizedTextPreview(), expected);
    }

    void detail_data()
    {
        QTest::addColumn<ClipboardHistoryKind>("kind");
        QTest::addColumn<OptionalText>("text");
        QTest::addColumn<QString>("expected");
        const auto Text = ClipboardHistoryKind::Text;
        QTest::newRow("absent text") << Text << OptionalText() << QStringLiteral("0文字");
        QTest::newRow("clusters, not units")
            << Text << OptionalText(QStringLiteral("e\u0301\U0001F1EF\U0001F1F5\r\n"))
            << QStringLiteral("3文字");
        QTest::newRow("blanks count")
            << Text << OptionalText(QStringLiteral("  ")) << QStringLiteral("2文字");
        QTest::newRow("url") << ClipboardHistoryKind::Url
                             << OptionalText(QStringLiteral("https://a")) << QStringLiteral("URL");
    }

    void detail()
    {
        QFETCH(ClipboardHistoryKind, kind);
        QFETCH(OptionalText, text);
        QFETCH(QString, expected);
        QCOMPARE(textItem(kind, text).detail(), expected);
    }
};

NORVALE_TEST_CLASS(ClipboardItemsTest)
#include "tst_items.moc"
