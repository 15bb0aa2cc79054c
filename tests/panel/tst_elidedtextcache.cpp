#include "common/TestMain.h"
#include "panel/ElidedTextCache.h"

#include <QTest>

class ElidedTextCacheTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void linesAreElidedOnceAndKept_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("width");
        QTest::addColumn<bool>("elided");
        QTest::newRow("fits") << QStringLiteral("お世話になっております") << 400 << false;
        QTest::newRow("too wide") << QStringLiteral("お世話になっております。").repeated(8) << 120
                                  << true;
        QTest::newRow("empty") << QString() << 100 << false;
    }
    void linesAreElidedOnceAndKept()
    {
        QFETCH(QString, text);
        QFETCH(int, width);
        QFETCH(bool, elided);
        const QFont font = QFont();
        ElidedTextCache cache(font);
        const QStaticText& line = cache.line(text, width);
        QCOMPARE(line.text().endsWith(QChar(0x2026)), elided);
        QVERIFY(QFontMetrics(font).horizontalAdvance(line.text()) <= width);
        if (!elided) {
            QCOMPARE(line.text(), text);
        }
        // The same line again is the one laid out before; another width is another line.
        QCOMPARE(&cache.line(text, width), &line);
        QVERIFY(&cache.line(text, width + 1) != &line);
    }
};

NORVALE_TEST_CLASS(ElidedTextCacheTest)
#include "tst_elidedtextcache.moc"
