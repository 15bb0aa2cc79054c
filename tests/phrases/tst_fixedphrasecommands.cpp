#include "PhraseModelHarness.h"
#include "common/TestMain.h"
#include "phrases/FixedPhraseCommands.h"

#include <QDir>
#include <QTest>

using namespace PhraseTest;
using FixedPhraseCommands::Outcome;
using FixedPhraseCommands::Transfer;

class FixedPhraseCommandsTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void listFormats_data()
    {
        QTest::addColumn<FixedPhraseFolderList>("folders");
        QTest::addColumn<bool>("json");
        QTest::addColumn<QByteArray>("expected");

        const FixedPhraseFolderList folders {
            folder(1, QStringLiteral("仕事"),
                {phrase(2, QStringLiteral("挨拶"), QStringLiteral("お世話に\r\nなっております")),
                    phrase(3, QStringLiteral("署名"), QString(70, QLatin1Char('x')), false)}),
            folder(4, QStringLiteral("私用"), {}, false),
        };
        QTest::newRow("empty text") << FixedPhraseFolderList() << false << QByteArray();
        QTest::newRow("empty json") << FixedPhraseFolderList() << true << QByteArray("[]\n");
        QTest::newRow("text") << folders << false
                              << QStringLiteral("仕事 (2)\n"
                                                "  挨拶: お世話に ⏎ なっております\n"
                                                "  署名 [非表示]: %1…\n"
                                                "私用 [非表示] (0)\n")
                                     .arg(QString(60, QLatin1Char('x')))
                                     .toUtf8();
        QTest::newRow("json is the phrase file and a line feed")
            << folders << true << FixedPhraseStorage::encode(folders) + '\n';
    }

    void listFormats()
    {
        QFETCH(FixedPhraseFolderList, folders);
        QFETCH(bool, json);
        QTEST(FixedPhraseCommands::formatList(folders, json), "expected");
    }

    void readStoreNeverTouchesTheFile()
    {
        PhraseModelHarness h;
        QString error;
        QCOMPARE(FixedPhraseCommands::readStore(h.locations, &error), FixedPhraseFolderList());
        QVERIFY(QDir().mkpath(h.folderPath()));
        QVERIFY(writeFile(h.storePath(), "[{oops"));
        QVERIFY(!FixedPhraseCommands::readStore(h.locations, &error));
        QVERIFY(error.contains(h.storePath()));
        QCOMPARE(h.storeBytes(), QByteArray("[{oops"));
        QCOMPARE(QDir(h.folderPath()).entryList(QDir::Files), QStringList {"FixedPhrases.json"});
    }

    // `norvale phrases import|export` with no instance running, on the real scheduler and
    // thread pool.
    void standaloneFlow()
    {
        PhraseModelHarness h;
        const QString csv = h.csv(QStringLiteral("in.csv"),
            "\xef\xbb\xbf分類,分類の表示,タイトル,内容,定型文の表示\nA,非表示,t,\"a,b\",表示\n");
        const Outcome imported =
            FixedPhraseCommands::runStandalone(h.locations, Transfer::ImportCSV, csv);
        QCOMPARE(imported.statusLine, QStringLiteral("定型文を読み込みました"));
        QString error;
        const auto store = FixedPhraseCommands::readStore(h.locations, &error);
        QCOMPARE(notation(store.value()), QStringLiteral("A-[t=a,b]"));

        const QString out = h.dir.filePath(QStringLiteral("out.csv"));
        const Outcome exported =
            FixedPhraseCommands::runStandalone(h.locations, Transfer::ExportCSV, out);
        QCOMPARE(exported.statusLine, QStringLiteral("定型文を書き出しました"));
        QCOMPARE(readFile(out), readFile(csv));

        const Outcome failed = FixedPhraseCommands::runStandalone(
            h.locations, Transfer::ImportCSV, h.csv(QStringLiteral("bad.csv"), "A,\"x\n"));
        QVERIFY(!failed.succeeded);
        QCOMPARE(failed.statusLine,
            QStringLiteral("定型文を読み込めませんでした: CSVの引用符が閉じられていません"));
        QCOMPARE(FixedPhraseCommands::readStore(h.locations, &error), store);
    }
};

NORVALE_TEST_CLASS(FixedPhraseCommandsTest)
#include "tst_fixedphrasecommands.moc"
