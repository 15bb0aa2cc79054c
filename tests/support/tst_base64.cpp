#include "common/TestMain.h"
#include "support/Base64.h"

#include <QRandomGenerator>
#include <QTest>

class Base64Test final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void roundTripsEveryLength()
    {
        QRandomGenerator random(1234);
        for (int length = 0; length <= 300; ++length) {
            QByteArray bytes(length, Qt::Uninitialized);
            for (char& b : bytes) {
                b = static_cast<char>(random.bounded(256));
            }
            const QByteArray encoded = Base64::encode(bytes);
            // Qt's encoder is the reference for the standard padded alphabet; random bytes
            // reach every value.
            QCOMPARE(encoded, bytes.toBase64());
            const auto decoded = Base64::decode(encoded.toStdString());
            QVERIFY(decoded.has_value());
            QCOMPARE(*decoded, bytes);
        }
    }

    void decodes_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QByteArray>("bytes");

        // Unused low bits before the padding are accepted (RFC 4648 leaves it open).
        QTest::newRow("non-zero pad bits") << QByteArray("QR==") << true << QByteArray("A");

        const QByteArray none;
        QTest::newRow("length 3 without padding") << QByteArray("QUI") << false << none;
        QTest::newRow("three padding") << QByteArray("Q===") << false << none;
        QTest::newRow("padding in the middle of a quad") << QByteArray("QU=D") << false << none;
        QTest::newRow("padding before the last quad") << QByteArray("QQ==QUJD") << false << none;
        QTest::newRow("URL alphabet minus") << QByteArray("QUJ-") << false << none;
        QTest::newRow("non-ASCII") << QByteArray("QU\xc3\xa9") << false << none;
        QTest::newRow("bad character far in")
            << QByteArray(4000, 'A') + QByteArray("AA*A") + QByteArray(400, 'A') << false << none;
    }

    void decodes()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, valid);
        QFETCH(QByteArray, bytes);
        const auto decoded = Base64::decode({text.constData(), std::size_t(text.size())});
        QCOMPARE(decoded.has_value(), valid);
        if (valid) {
            QCOMPARE(*decoded, bytes);
        }
    }
};

NORVALE_TEST_CLASS(Base64Test)
#include "tst_base64.moc"
