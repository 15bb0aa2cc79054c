#include "common/TestMain.h"
#include "support/Text.h"

#include <QLocale>
#include <QTest>

class TextTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { QLocale::setDefault(QLocale::system()); }

    void trimmed_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");

        QTest::newRow("ASCII blanks and line breaks")
            << QStringLiteral(" \t\r\n\v\f a b \r\n\t ") << QStringLiteral("a b");
        QTest::newRow("Unicode white space")
            << QString::fromUtf16(u"\x85\u00a0\u2028\u1680\u2000\u200a\u202f\u205f日本\u2029\u3000")
            << QStringLiteral("日本");
        QTest::newRow("inner white space kept")
            << QStringLiteral(" a\u3000\n b ") << QStringLiteral("a\u3000\n b");
        QTest::newRow("only white space") << QStringLiteral(" \u3000\n\t") << QString();
        QTest::newRow("zero-width space and BOM are not white space")
            << QStringLiteral("\u200bx\ufeff") << QStringLiteral("\u200bx\ufeff");
    }

    void trimmed()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(Text::trimmed(text), expected);
    }

    void graphemes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("prefixLength");
        QTest::addColumn<QString>("prefix");

        QTest::newRow("CR LF is one")
            << QStringLiteral("a\r\nb") << 3 << 2 << QStringLiteral("a\r\n");
        QTest::newRow("combining accent")
            << QStringLiteral("e\u0301e\u0301") << 2 << 1 << QStringLiteral("e\u0301");
        QTest::newRow("flags") << QStringLiteral("🇯🇵🇫🇷") << 2 << 1 << QStringLiteral("🇯🇵");
        QTest::newRow("family ZWJ sequence")
            << QStringLiteral("👨\u200d👩\u200d👧x") << 2 << 1 << QStringLiteral("👨\u200d👩\u200d👧");
        QTest::newRow("prefix longer than text")
            << QStringLiteral("é😀") << 2 << 10 << QStringLiteral("é😀");
        QTest::newRow("empty") << QString() << 0 << 5 << QString();
    }

    void graphemes()
    {
        QFETCH(QString, text);
        QFETCH(int, count);
        QFETCH(int, prefixLength);
        QFETCH(QString, prefix);
        QCOMPARE(Text::graphemeCount(text), count);
        QCOMPARE(Text::graphemePrefix(text, prefixLength), prefix);
    }

    void nameOrder_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<int>("expected");

        // "C" is what LANG=C.UTF-8 gives: QCollator would compare code points there.
        for (const QString& locale :
            {QStringLiteral("C"), QStringLiteral("en_US"), QStringLiteral("ja_JP")}) {
            auto row = [&](const char* name) -> QTestData& {
                return QTest::newRow(qPrintable(locale + QLatin1String(": ") + name));
            };
            row("digit runs by value")
                << locale << QStringLiteral("item 2") << QStringLiteral("item 10") << -1;
            row("case ignored in words")
                << locale << QStringLiteral("Display") << QStringLiteral("display") << 0;
            row("not code-point order")
                << locale << QStringLiteral("apple") << QStringLiteral("Banana") << -1;
        }
    }

    void nameOrder()
    {
        QFETCH(QString, locale);
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(int, expected);
        QLocale::setDefault(QLocale(locale));
        QCOMPARE(Text::compareNames(a, b), expected);
        QCOMPARE(Text::compareNames(b, a), -expected);
        QCOMPARE(Text::nameLess(a, b), expected < 0);
    }

    void followsALocaleChange()
    {
        // Swedish sorts "ä" after "z", English next to "a": the cached collator must follow.
        QLocale::setDefault(QLocale(QStringLiteral("en_US")));
        QCOMPARE(Text::compareNames(QStringLiteral("ä"), QStringLiteral("z")), -1);
        QLocale::setDefault(QLocale(QStringLiteral("sv_SE")));
        QCOMPARE(Text::compareNames(QStringLiteral("ä"), QStringLiteral("z")), 1);
    }
};

NORVALE_TEST_CLASS(TextTest)
#include "tst_text.moc"
