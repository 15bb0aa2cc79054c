#include "common/TestMain.h"
#include "support/Base64.h"

#include <QElapsedTimer>
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
            // Qt's encoder is the reference for the standard padded alphabet.
            QCOMPARE(encoded, bytes.toBase64());
            const auto decoded = Base64::decode(encoded.toStdString());
            QVERIFY(decoded.has_value());
            QCOMPARE(*decoded, bytes);
        }
    }

    void everyByteValue()
    {
        QByteArray bytes;
        for (int i = 0; i < 256; ++i) {
            bytes.append(static_cast<char>(i));
        }
        const QByteArray encoded = Base64::encode(bytes);
        QVERIFY(encoded.startsWith("AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8gISIj"));
        QVERIFY(encoded.endsWith("8PHy8/T19vf4+fr7/P3+/w=="));
        QCOMPARE(Base64::decode(encoded.toStdString()), bytes);
    }

    void decodes_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QByteArray>("bytes");

        QTest::newRow("empty") << QByteArray() << true << QByteArray();
        QTest::newRow("one byte") << QByteArray("QQ==") << true << QByteArray("A");
        QTest::newRow("two bytes") << QByteArray("QUI=") << true << QByteArray("AB");
        QTest::newRow("three bytes") << QByteArray("QUJD") << true << QByteArray("ABC");
        QTest::newRow("plus and slash") << QByteArray("+/+/") << true << QByteArray("\xfb\xff\xbf");
        // Unused low bits before the padding are accepted (RFC 4648 leaves it open).
        QTest::newRow("non-zero pad bits") << QByteArray("QR==") << true << QByteArray("A");

        const QByteArray none;
        QTest::newRow("length 1") << QByteArray("Q") << false << none;
        QTest::newRow("length 3 without padding") << QByteArray("QUI") << false << none;
        QTest::newRow("length 5") << QByteArray("QUJDR") << false << none;
        QTest::newRow("padding only") << QByteArray("====") << false << none;
        QTest::newRow("three padding") << QByteArray("Q===") << false << none;
        QTest::newRow("padding in the middle of a quad") << QByteArray("QU=D") << false << none;
        QTest::newRow("padding before the last quad") << QByteArray("QQ==QUJD") << false << none;
        QTest::newRow("one padding before the last quad")
            << QByteArray("QUI=QUJD") << false << none;
        QTest::newRow("space") << QByteArray("QU J") << false << none;
        QTest::newRow("leading space") << QByteArray(" QUJ") << false << none;
        QTest::newRow("line feed") << QByteArray("QUJD\nQUJ") << false << none;
        QTest::newRow("trailing CR LF") << QByteArray("QU\r\n") << false << none;
        QTest::newRow("URL alphabet minus") << QByteArray("QUJ-") << false << none;
        QTest::newRow("URL alphabet underscore") << QByteArray("QUJ_") << false << none;
        QTest::newRow("NUL byte") << QByteArray("QU\0D", 4) << false << none;
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

    void decodesLargeInputQuickly()
    {
        // A history image is several MiB of Base64; print the rate for the record.
        QByteArray bytes(32 * 1024 * 1024, Qt::Uninitialized);
        QRandomGenerator random(7);
        random.fillRange(reinterpret_cast<quint32*>(bytes.data()), bytes.size() / 4);
        const QByteArray encoded = Base64::encode(bytes);
        QElapsedTimer timer;
        timer.start();
        const auto decoded = Base64::decode({encoded.constData(), std::size_t(encoded.size())});
        const qint64 ns = std::max<qint64>(timer.nsecsElapsed(), 1);
        QVERIFY(decoded.has_value());
        QVERIFY(*decoded == bytes);
        qInfo("Base64 decode: %.0f MB/s of encoded text", encoded.size() * 1000.0 / ns);
    }
};

NORVALE_TEST_CLASS(Base64Test)
#include "tst_base64.moc"
