#include "common/TestMain.h"
#include "support/IsoDate.h"
#include "support/Uuid.h"

#include <QTest>

// UUIDs and dates as the data files write and read them. The history file tests pin the
// written forms and the common refusals; these are the finer points of reading.
class IdentifiersTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void uuidParse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");

        QTest::newRow("mixed case")
            << QStringLiteral("1b4E28bA-2Fa1-11d2-883F-0016d3CCA427") << true;
        QTest::newRow("braces") << QStringLiteral("{1B4E28BA-2FA1-11D2-883F-0016D3CCA427}")
                                << false;
        QTest::newRow("dash moved")
            << QStringLiteral("1B4E28B-A2FA1-11D2-883F-0016D3CCA427") << false;
        QTest::newRow("non-hex letter")
            << QStringLiteral("1B4E28BG-2FA1-11D2-883F-0016D3CCA427") << false;
        QTest::newRow("full-width digit")
            << QStringLiteral("１B4E28BA-2FA1-11D2-883F-0016D3CCA427") << false;
    }

    void uuidParse()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        const auto uuid = Uuid::parse(text);
        QCOMPARE(uuid.has_value(), valid);
        if (valid) {
            QCOMPARE(Uuid::toText(*uuid), text.toUpper());
        }
    }

    void dateFormat_data()
    {
        QTest::addColumn<QDateTime>("dateTime");
        QTest::addColumn<QString>("iso");
        QTest::addColumn<QString>("stamp");

        QTest::newRow("offset converted to UTC")
            << QDateTime(QDate(2024, 1, 1), QTime(8, 5, 7), Qt::OffsetFromUTC, 9 * 3600)
            << QStringLiteral("2023-12-31T23:05:07Z") << QStringLiteral("20231231T230507");
        QTest::newRow("fraction dropped, not rounded")
            << QDateTime(QDate(2024, 12, 31), QTime(23, 59, 59, 999), Qt::UTC)
            << QStringLiteral("2024-12-31T23:59:59Z") << QStringLiteral("20241231T235959");
        QTest::newRow("before 1970")
            << QDateTime(QDate(1969, 7, 20), QTime(20, 17, 40, 500), Qt::UTC)
            << QStringLiteral("1969-07-20T20:17:40Z") << QStringLiteral("19690720T201740");
        QTest::newRow("invalid") << QDateTime() << QString() << QString();
    }

    void dateFormat()
    {
        QFETCH(QDateTime, dateTime);
        QFETCH(QString, iso);
        QFETCH(QString, stamp);
        QCOMPARE(IsoDate::format(dateTime), iso);
        QCOMPARE(IsoDate::compactStamp(dateTime), stamp);
    }

    void dateParse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDateTime>("expected"); // invalid: rejected

        const QDateTime none;
        QTest::newRow("leap day") << QStringLiteral("2024-02-29T23:59:59Z")
                                  << QDateTime(QDate(2024, 2, 29), QTime(23, 59, 59), Qt::UTC);
        QTest::newRow("no zone") << QStringLiteral("2024-05-01T09:30:00") << none;
        QTest::newRow("lower-case z") << QStringLiteral("2024-05-01T09:30:00z") << none;
        QTest::newRow("space separator") << QStringLiteral("2024-05-01 09:30:00Z") << none;
        QTest::newRow("not a leap year") << QStringLiteral("2023-02-29T00:00:00Z") << none;
        QTest::newRow("hour 24") << QStringLiteral("2024-05-01T24:00:00Z") << none;
        QTest::newRow("second 60") << QStringLiteral("2024-06-30T23:59:60Z") << none;
        QTest::newRow("sign in a field") << QStringLiteral("2024-05-01T09:-3:00Z") << none;
        QTest::newRow("year zero") << QStringLiteral("0000-01-01T00:00:00Z") << none;
        QTest::newRow("trailing space") << QStringLiteral("2024-05-01T09:30:00Z ") << none;
    }

    void dateParse()
    {
        QFETCH(QString, text);
        QFETCH(QDateTime, expected);
        const auto parsed = IsoDate::parse(text);
        QCOMPARE(parsed.has_value(), expected.isValid());
        if (parsed) {
            QCOMPARE(*parsed, expected);
            QCOMPARE(parsed->timeSpec(), Qt::UTC);
        }
    }
};

NORVALE_TEST_CLASS(IdentifiersTest)
#include "tst_identifiers.moc"
