#include "PhraseTestSupport.h"
#include "common/TestMain.h"
#include "phrases/FixedPhraseFileTransfer.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QTest>

using namespace PhraseTest;

namespace {

// An endless file: hands out bytes for as long as it is read and counts them.
class EndlessDevice final : public QIODevice
{
public:
    EndlessDevice() { open(QIODevice::ReadOnly | QIODevice::Unbuffered); }
    bool isSequential() const override { return true; }
    qint64 handedOut = 0;

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        std::fill_n(data, maxSize, 'a');
        handedOut += maxSize;
        return maxSize;
    }
    qint64 writeData(const char*, qint64) override { return -1; }
};

// A CSV of exactly size bytes (byte order mark included): one phrase whose content pads it.
QByteArray csvOfSize(qint64 size)
{
    QByteArray bytes = QByteArray(FixedPhraseCSV::utf8BOM) + "A,,t,";
    bytes.append(size - bytes.size() - 1, 'x');
    bytes.append('\n');
    return bytes;
}

QString descriptionOf(const FixedPhraseFileTransfer::ImportResult& result)
{
    return result.failure ? result.failure->localizedDescription() : QString();
}

} // namespace

class FixedPhraseFileTransferTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void sizeLimitCountsEveryByte_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QString>("failure");

        QTest::newRow("exactly 50 MiB with its byte order mark") << qint64(52'428'800) << QString();
        QTest::newRow("one byte more")
            << qint64(52'428'801) << QStringLiteral("CSVファイルが50MBを超えています");
    }

    void sizeLimitCountsEveryByte()
    {
        QFETCH(qint64, size);
        QFETCH(QString, failure);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("big.csv"));
        QVERIFY(writeFile(path, csvOfSize(size)));
        QCOMPARE(QFileInfo(path).size(), size);
        const FixedPhraseFileTransfer::ImportResult result = FixedPhraseFileTransfer::readCSV(path);
        QCOMPARE(descriptionOf(result), failure);
        if (failure.isEmpty()) {
            QCOMPARE(result.folders.size(), 1);
            QCOMPARE(result.folders.first().phrases.first().content.size(), size - 9);
        } else {
            QVERIFY(result.folders.isEmpty());
        }
    }

    void neverReadsPastTheLimit()
    {
        EndlessDevice device;
        const auto result = FixedPhraseFileTransfer::readCSV(device);
        QCOMPARE(descriptionOf(result), QStringLiteral("CSVファイルが50MBを超えています"));
        QCOMPARE(device.handedOut, FixedPhraseFileTransfer::importSizeLimit + 1);
    }

    // Size is checked before the encoding, as if the whole file had been read first.
    void tooLargeWinsOverInvalidUtf8()
    {
        QByteArray bytes = csvOfSize(52'428'801);
        bytes[10] = '\xff';
        QBuffer buffer(&bytes);
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        QCOMPARE(descriptionOf(FixedPhraseFileTransfer::readCSV(buffer)),
            QStringLiteral("CSVファイルが50MBを超えています"));
    }

    void strictUtf8_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("valid");

        // "定型文,内容" in Shift_JIS.
        QTest::newRow("Shift_JIS")
            << QByteArray("\x92\xe8\x8c\x5e\x95\xb6,\x93\xe0\x97\x65\n") << false;
        QTest::newRow("overlong slash") << QByteArray("A,,t,\xc0\xaf\n") << false;
        QTest::newRow("overlong three bytes") << QByteArray("A,,t,\xe0\x80\xaf\n") << false;
        QTest::newRow("UTF-16 surrogate") << QByteArray("A,,t,\xed\xa0\x80\n") << false;
        QTest::newRow("above U+10FFFF") << QByteArray("A,,t,\xf4\x90\x80\x80\n") << false;
        QTest::newRow("F5 lead byte") << QByteArray("A,,t,\xf5\x80\x80\x80\n") << false;
        QTest::newRow("stray continuation byte") << QByteArray("A,,t,\x80\n") << false;
        QTest::newRow("truncated at the end") << QByteArray("A,,t,\xe3\x81") << false;
        QTest::newRow("truncated before a comma") << QByteArray("A,,t\xe3\x81,x\n") << false;
        QTest::newRow("Japanese") << QByteArray("定型文,,内容,あ\n") << true;
        QTest::newRow("four-byte character and U+FFFF")
            << QByteArray("A,,t,\xf0\x9f\x98\x80\xef\xbf\xbf\xf4\x8f\xbf\xbf\n") << true;
        QTest::newRow("last code point before surrogates")
            << QByteArray("A,,t,\xed\x9f\xbf\n") << true;
        QTest::newRow("empty file") << QByteArray() << true;
    }

    void strictUtf8()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, valid);
        QBuffer buffer(&bytes);
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        const auto result = FixedPhraseFileTransfer::readCSV(buffer);
        QCOMPARE(descriptionOf(result),
            valid ? QString() : QStringLiteral("CSVファイルをUTF-8として読み込めません"));
    }

    void importErrors_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("description");

        QTest::newRow("unclosed quote") << QByteArray("A,,t,\"never closed\nB,,u,v\n")
                                        << QStringLiteral("CSVの引用符が閉じられていません");
        QTest::newRow("byte order mark only") << QByteArray(FixedPhraseCSV::utf8BOM) << QString();
    }

    void importErrors()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, description);
        QBuffer buffer(&bytes);
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        const auto result = FixedPhraseFileTransfer::readCSV(buffer);
        QCOMPARE(descriptionOf(result), description);
        QVERIFY(result.folders.isEmpty());
    }

    void missingFileIsAPlatformError()
    {
        QTemporaryDir dir;
        const auto result =
            FixedPhraseFileTransfer::readCSV(dir.filePath(QStringLiteral("none.csv")));
        QVERIFY(result.failure);
        QVERIFY(std::holds_alternative<QString>(result.failure->reason()));
        QVERIFY(!result.failure->localizedDescription().isEmpty());
    }

    void exportsWithByteOrderMark()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Norvale-定型文.csv"));
        QVERIFY(!FixedPhraseFileTransfer::writeCSV({}, path));
        QCOMPARE(readFile(path),
            QByteArray("\xef\xbb\xbf") +
                QStringLiteral("分類,分類の表示,タイトル,内容,定型文の表示\n").toUtf8());

        const FixedPhraseFolderList folders {folder(1, QStringLiteral("A"),
            {phrase(2, QStringLiteral("t"), QStringLiteral("a,\"b\"\nc"))})};
        QVERIFY(!FixedPhraseFileTransfer::writeCSV(folders, path));
        QCOMPARE(readFile(path),
            QByteArray("\xef\xbb\xbf") +
                QStringLiteral("分類,分類の表示,タイトル,内容,定型文の表示\nA,表示,t,\"a,"
                               "\"\"b\"\"\nc\",表示\n")
                    .toUtf8());
    }

    void failedExportLeavesNoFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("missing/folder/out.csv"));
        const auto failure =
            FixedPhraseFileTransfer::writeCSV({folder(1, QStringLiteral("A"))}, path);
        QVERIFY(failure);
        QVERIFY(std::holds_alternative<QString>(failure->reason()));
        QVERIFY(!QFileInfo::exists(path));
    }

    void exportThenImportRoundTrip()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("round.csv"));
        const FixedPhraseFolderList folders {
            folder(1, QStringLiteral("仕事"),
                {phrase(
                     2, QStringLiteral("挨拶"), QStringLiteral("お世話に\nなっております"), false),
                    phrase(3, QStringLiteral("署名"), QStringLiteral("--\r\n山田"))},
                false),
            folder(4, QStringLiteral("空")),
            folder(
                5, QStringLiteral("😀"), {phrase(6, QStringLiteral("x"), QStringLiteral("\"q\""))}),
        };
        QVERIFY(!FixedPhraseFileTransfer::writeCSV(folders, path));
        const auto result = FixedPhraseFileTransfer::readCSV(path);
        QVERIFY(!result.failure);
        QVERIFY2(shapes(result.folders) == shapes(folders),
            qPrintable(describe(shapes(result.folders))));
        QVERIFY(result.folders.first().id != folders.first().id);
    }

    void errorMessages()
    {
        QCOMPARE(localizedDescription(FixedPhraseFileTransferError::importFileTooLarge),
            QStringLiteral("CSVファイルが50MBを超えています"));
        QCOMPARE(localizedDescription(FixedPhraseFileTransferError::invalidUTF8),
            QStringLiteral("CSVファイルをUTF-8として読み込めません"));
    }
};

NORVALE_TEST_CLASS(FixedPhraseFileTransferTest)
#include "tst_fixedphrasefiletransfer.moc"
