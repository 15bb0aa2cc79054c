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
        QFETCH(QByteArray, expected);
        QCOMPARE(FixedPhraseCommands::formatList(folders, json), expected);
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

    void transferReportsItsFinalStatus()
    {
        PhraseModelHarness h;
        FixedPhraseModel& model = h.create();
        std::optional<Outcome> first;
        std::optional<Outcome> second;
        const QString csv = h.csv(QStringLiteral("in.csv"), "A,,t,c\n");
        FixedPhraseCommands::start(model, Transfer::importCSV, csv, [&](Outcome o) { first = o; });
        // A second request while the first runs is refused at once.
        FixedPhraseCommands::start(model, Transfer::exportCSV,
            h.dir.filePath(QStringLiteral("out.csv")), [&](Outcome o) { second = o; });
        QVERIFY(second);
        QVERIFY(!second->succeeded);
        QVERIFY(!first);
        h.drain();
        QVERIFY(first);
        QVERIFY(first->succeeded);
        QCOMPARE(first->statusLine, QStringLiteral("定型文を読み込みました"));

        // The first callback does not fire again for a later transfer.
        std::optional<Outcome> third;
        FixedPhraseCommands::start(model, Transfer::importCSV,
            h.dir.filePath(QStringLiteral("none.csv")), [&](Outcome o) { third = o; });
        first.reset();
        h.drain();
        QVERIFY(!first);
        QVERIFY(third);
        QVERIFY(!third->succeeded);
        QVERIFY(third->statusLine.startsWith(QStringLiteral("定型文を読み込めませんでした: ")));
    }

    // A running instance answers at once with a number and keeps each outcome for later.
    void transferLogNumbersTransfersAndKeepsTheirOutcomes()
    {
        PhraseModelHarness h;
        FixedPhraseModel& model = h.create();
        FixedPhraseTransferLog& log = FixedPhraseTransferLog::of(model);
        QCOMPARE(&FixedPhraseTransferLog::of(model), &log);
        const std::optional<qint64> first =
            log.start(Transfer::importCSV, h.csv(QStringLiteral("in.csv"), "A,,t,c\n"));
        QCOMPARE(first, std::optional<qint64>(1));
        QCOMPARE(
            log.start(Transfer::exportCSV, h.dir.filePath(QStringLiteral("o.csv"))), std::nullopt);
        QVERIFY(log.contains(1));
        QVERIFY(!log.contains(2));
        QVERIFY(!log.outcome(1));
        h.drain();
        QVERIFY(log.outcome(1));
        QVERIFY(log.outcome(1)->succeeded);
        QCOMPARE(log.outcome(1)->statusLine, QStringLiteral("定型文を読み込みました"));

        QCOMPARE(log.start(Transfer::importCSV, h.dir.filePath(QStringLiteral("none.csv"))),
            std::optional<qint64>(2));
        h.drain();
        QVERIFY(!log.outcome(2)->succeeded);
        QVERIFY(log.outcome(1)->succeeded);
    }

    // The flow of `norvale phrases import|export` with no instance running, on the real
    // scheduler and thread pool.
    void standaloneFlow()
    {
        PhraseModelHarness h;
        const QString csv = h.csv(QStringLiteral("in.csv"),
            "\xef\xbb\xbf分類,分類の表示,タイトル,内容,定型文の表示\nA,非表示,t,\"a,b\",表示\n");
        const Outcome imported =
            FixedPhraseCommands::runStandalone(h.locations, Transfer::importCSV, csv);
        QVERIFY(imported.succeeded);
        QCOMPARE(imported.statusLine, QStringLiteral("定型文を読み込みました"));
        QString error;
        const auto store = FixedPhraseCommands::readStore(h.locations, &error);
        QVERIFY(store);
        QCOMPARE(store->size(), 1);
        QCOMPARE(store->first().isVisible, false);
        QCOMPARE(fileMode(h.storePath()), 0600);

        const QString out = h.dir.filePath(QStringLiteral("out.csv"));
        const Outcome exported =
            FixedPhraseCommands::runStandalone(h.locations, Transfer::exportCSV, out);
        QVERIFY(exported.succeeded);
        QCOMPARE(exported.statusLine, QStringLiteral("定型文を書き出しました"));
        QCOMPARE(readFile(out), readFile(csv));

        const Outcome failed = FixedPhraseCommands::runStandalone(
            h.locations, Transfer::importCSV, h.csv(QStringLiteral("bad.csv"), "A,\"x\n"));
        QVERIFY(!failed.succeeded);
        QCOMPARE(failed.statusLine,
            QStringLiteral("定型文を読み込めませんでした: CSVの引用符が閉じられていません"));
        QCOMPARE(FixedPhraseCommands::readStore(h.locations, &error), store);
    }
};

NORVALE_TEST_CLASS(FixedPhraseCommandsTest)
#include "tst_fixedphrasecommands.moc"
