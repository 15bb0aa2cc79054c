#include "PhraseTestSupport.h"
#include "common/TestMain.h"
#include "phrases/FixedPhraseFileTransfer.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace PhraseTest;

namespace {

const QString tooLarge = QStringLiteral("CSVファイルが50MBを超えています");
const QString notUtf8 = QStringLiteral("CSVファイルをUTF-8として読み込めません");

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
    return result.failure ? result.failure->description() : QString();
}

} // namespace

class FixedPhraseFileTransferTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void neverReadsPastTheLimit()
    {
        EndlessDevice device;
        QCOMPARE(descriptionOf(FixedPhraseFileTransfer::readCSV(device)), tooLarge);
        QCOMPARE(device.handedOut, 52'428'801);
    }

    void readsStrictly_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("failure");

        // "定型文,内容" in Shift_JIS.
        QTest::newRow("Shift_JIS")
            << QByteArray("\x92\xe8\x8c\x5e\x95\xb6,\x93\xe0\x97\x65\n") << notUtf8;
        QTest::newRow("overlong slash") << QByteArray("A,,t,\xc0\xaf\n") << notUtf8;
        QTest::newRow("overlong three bytes") << QByteArray("A,,t,\xe0\x80\xaf\n") << notUtf8;
        QTest::newRow("UTF-16 surrogate") << QByteArray("A,,t,\xed\xa0\x80\n") << notUtf8;
        QTest::newRow("above U+10FFFF") << QByteArray("A,,t,\xf4\x90\x80\x80\n") << notUtf8;
        QTest::newRow("F5 lead byte") << QByteArray("A,,t,\xf5\x80\x80\x80\n") << notUtf8;
        QTest::newRow("truncated at the end") << QByteArray("A,,t,\xe3\x81") << notUtf8;
        QTest::newRow("truncated before a comma") << QByteArray("A,,t\xe3\x81,x\n") << notUtf8;
        QTest::newRow("four-byte character, U+FFFF, U+10FFFF, U+D7FF")
            << QByteArray("A,,t,\xf0\x9f\x98\x80\xef\xbf\xbf\xf4\x8f\xbf\xbf\xed\x9f\xbf\n")
            << QString();
        QTest::newRow("empty file") << QByteArray() << QString();
        QTest::newRow("byte order mark only") << QByteArray(FixedPhraseCSV::utf8BOM) << QString();
        QTest::newRow("unclosed quote") << QByteArray("A,,t,\"never closed\nB,,u,v\n")
                                        << QStringLiteral("CSVの引用符が閉じられていません");
        // The byte order mark counts; size is checked before the encoding, as if the whole
        // file had been read first.
        QTest::newRow("exactly 50 MiB") << csvOfSize(52'428'800) << QString();
        QTest::newRow("one byte more") << csvOfSize(52'428'801) << tooLarge;
        QByteArray largeAndInvalid = csvOfSize(52'428'801);
        largeAndInvalid[10] = '\xff';
        QTest::newRow("too large wins over invalid UTF-8") << largeAndInvalid << tooLarge;
    }

    // From a real file, as an import reads it.
    void readsStrictly()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, failure);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("in.csv"));
        QVERIFY(writeFile(path, bytes));
        const auto result = FixedPhraseFileTransfer::readCSV(path);
        QCOMPARE(descriptionOf(result), failure);
        // A failure gives no folders; every row with a data line gives some.
        QCOMPARE(result.folders.isEmpty(), !failure.isEmpty() || bytes.size() <= 3);
    }

    // Only regular files: a FIFO nobody writes to would hold the worker, and with it the
    // transfer slot and quit, for good.
    void importsOnlyRegularFiles_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("FIFO") << "fifo";
        QTest::newRow("folder") << "folder";
        QTest::newRow("device") << "device";
    }

    void importsOnlyRegularFiles()
    {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        QString path = dir.filePath(QStringLiteral("in.csv"));
        if (kind == QLatin1String("fifo")) {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else if (kind == QLatin1String("folder")) {
            QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("in.csv")));
        } else {
            path = QStringLiteral("/dev/zero");
        }
        QCOMPARE(descriptionOf(FixedPhraseFileTransfer::readCSV(path)),
            QStringLiteral("CSVファイルが通常のファイルではありません"));
    }

    // A write failure's own description is pinned through the model's export message.
    void readErrorIsThePlatforms()
    {
        QTemporaryDir dir;
        const auto read =
            FixedPhraseFileTransfer::readCSV(dir.filePath(QStringLiteral("none.csv")));
        QVERIFY(read.failure);
        QVERIFY(std::holds_alternative<QString>(read.failure->reason()));
        QVERIFY(!read.failure->description().isEmpty());
    }

    // An export replaces an existing file as a whole (a second name of the old file keeps the
    // old bytes), and a failed one leaves it as it was, without a temporary file.
    void exportReplacesAnExistingFileAtomically()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("out.csv"));
        QVERIFY(writeFile(path, "old"));
        QVERIFY(::link(qPrintable(path), qPrintable(dir.filePath(QStringLiteral("old.csv")))) == 0);
        const FixedPhraseFolderList folders {
            folder(1, QStringLiteral("A"), {phrase(2, QStringLiteral("t"), QString(4096, 'x'))})};
        {
            FileSizeLimit limit(1024);
            QVERIFY(FixedPhraseFileTransfer::writeCSV(folders, path));
        }
        QCOMPARE(readFile(path), QByteArray("old"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
            QStringList({"old.csv", "out.csv"}));

        QVERIFY(!FixedPhraseFileTransfer::writeCSV(folders, path));
        QCOMPARE(
            readFile(path), FixedPhraseCSV::utf8BOM + FixedPhraseCSV::encode(folders).toUtf8());
        QCOMPARE(readFile(dir.filePath(QStringLiteral("old.csv"))), QByteArray("old"));
    }
};

NORVALE_TEST_CLASS(FixedPhraseFileTransferTest)
#include "tst_fixedphrasefiletransfer.moc"
