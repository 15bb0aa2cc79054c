#include "PhraseModelHarness.h"
#include "common/TestMain.h"
#include "phrases/FixedPhraseOrdering.h"

#include <QSignalSpy>
#include <QTest>

using namespace PhraseTest;

namespace {

QString status(const FixedPhraseModel& model)
{
    return model.statusMessage().value_or(QString());
}

} // namespace

namespace {

using Operation = std::function<void(FixedPhraseModel&)>;

// Three folders A (phrases a1, a2, a3), B (no phrases), C (phrase c1), ids 1..7.
FixedPhraseFolderList sampleFolders()
{
    return {
        folder(1, QStringLiteral("A"),
            {phrase(2, QStringLiteral("a1")), phrase(3, QStringLiteral("a2")),
                phrase(4, QStringLiteral("a3"))}),
        folder(5, QStringLiteral("B")),
        folder(6, QStringLiteral("C"), {phrase(7, QStringLiteral("c1"))}),
    };
}

QStringList folderTitles(const FixedPhraseFolderList& folders)
{
    QStringList titles;
    for (const FixedPhraseFolder& f : folders) {
        titles.append(f.title);
    }
    return titles;
}

QStringList phraseTitles(const FixedPhraseFolder& f)
{
    QStringList titles;
    for (const FixedPhrase& p : f.phrases) {
        titles.append(p.title);
    }
    return titles;
}

// A harness whose model starts with sampleFolders().
void createWithSample(PhraseModelHarness& h)
{
    QDir().mkpath(h.folderPath());
    writeFile(h.storePath(), FixedPhraseStorage::encode(sampleFolders()));
    h.create();
}

const QByteArray importedCsv = "\xef\xbb\xbf"
                               "分類,分類の表示,タイトル,内容,定型文の表示\n"
                               "新,表示,n1,本文,表示\n"
                               "新,表示,n2,\"a,b\",非表示\n"
                               "別,非表示,,,\n";

} // namespace

Q_DECLARE_METATYPE(Operation)

class FixedPhraseModelTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void nextTitle_data()
    {
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QString>("expected");
        QTest::newRow("free base") << QStringList() << QStringLiteral("新規フォルダ");
        QTest::newRow("base taken")
            << QStringList {"新規フォルダ"} << QStringLiteral("新規フォルダ 2");
        QTest::newRow("gap") << QStringList {"新規フォルダ", "新規フォルダ 3"}
                             << QStringLiteral("新規フォルダ 2");
        QTest::newRow("user title 2, base free")
            << QStringList {"新規フォルダ 2"} << QStringLiteral("新規フォルダ");
        QTest::newRow("compared exactly")
            << QStringList {"新規フォルダ ", "新規フォルダ2", "新規フォルダ 02"}
            << QStringLiteral("新規フォルダ");
        QTest::newRow("sequence") << QStringList {"新規フォルダ", "新規フォルダ 2",
                                         "新規フォルダ 3"}
                                  << QStringLiteral("新規フォルダ 4");
    }

    void nextTitle()
    {
        QFETCH(QStringList, titles);
        QFETCH(QString, expected);
        QCOMPARE(FixedPhraseOrdering::nextTitle(
                     QStringLiteral("新規フォルダ"), QSet<QString>(titles.begin(), titles.end())),
            expected);
    }

    void newFoldersAndPhrasesAreNumbered()
    {
        PhraseModelHarness h;
        FixedPhraseModel& model = h.create();
        const QUuid first = model.addFolder();
        const QUuid second = model.addFolder();
        model.addFolder();
        QCOMPARE(folderTitles(model.folders()),
            (QStringList {"新規フォルダ", "新規フォルダ 2", "新規フォルダ 3"}));
        model.removeFolders({second});
        model.addFolder();
        QCOMPARE(folderTitles(model.folders()),
            (QStringList {"新規フォルダ", "新規フォルダ 3", "新規フォルダ 2"}));
        model.updateFolderTitle(first, QStringLiteral("新規フォルダ 5"));
        model.addFolder();
        QCOMPARE(model.folders().last().title, QStringLiteral("新規フォルダ"));

        // Phrases count within their own folder only.
        const QUuid other = model.folders().at(1).id;
        model.addPhrase(first);
        model.addPhrase(first);
        model.addPhrase(other);
        QCOMPARE(phraseTitles(*model.folder(first)), (QStringList {"新規定型文", "新規定型文 2"}));
        QCOMPARE(phraseTitles(*model.folder(other)), (QStringList {"新規定型文"}));
        const FixedPhrase added = model.folder(first)->phrases.first();
        QVERIFY(added.content.isEmpty());
        QVERIFY(added.isVisible);
        QVERIFY(model.folder(first)->isVisible);
    }

    void movingItems_data()
    {
        QTest::addColumn<QList<int>>("offsets");
        QTest::addColumn<int>("destination");
        QTest::addColumn<QString>("expected");
        QTest::newRow("first to 2") << QList<int> {0} << 2 << QStringLiteral("BAC");
        QTest::newRow("first to 3") << QList<int> {0} << 3 << QStringLiteral("BCA");
        QTest::newRow("last to 0") << QList<int> {2} << 0 << QStringLiteral("CAB");
        QTest::newRow("onto itself") << QList<int> {1} << 1 << QStringLiteral("ABC");
        QTest::newRow("just after itself") << QList<int> {1} << 2 << QStringLiteral("ABC");
        QTest::newRow("two as a block") << QList<int> {0, 2} << 1 << QStringLiteral("ACB");
        QTest::newRow("two to the end") << QList<int> {0, 1} << 3 << QStringLiteral("CAB");
        QTest::newRow("destination past the end clamped")
            << QList<int> {0} << 10 << QStringLiteral("BCA");
        QTest::newRow("no offsets") << QList<int>() << 0 << QStringLiteral("ABC");
        QTest::newRow("offset out of range ignored")
            << QList<int> {7, 2} << 0 << QStringLiteral("CAB");
    }

    void movingItems()
    {
        QFETCH(QList<int>, offsets);
        QFETCH(int, destination);
        QFETCH(QString, expected);
        const QList<QChar> items {QLatin1Char('A'), QLatin1Char('B'), QLatin1Char('C')};
        const QList<QChar> moved = FixedPhraseOrdering::movingItems(
            items, QSet<int>(offsets.begin(), offsets.end()), destination);
        QCOMPARE(QString(moved.constData(), moved.size()), expected);
    }

    void stepMoves_data()
    {
        QTest::addColumn<int>("folderNumber"); // 1, 5 or 6: A, B, C
        QTest::addColumn<int>("step");
        QTest::addColumn<QString>("expected");
        QTest::newRow("first up: nothing") << 1 << -1 << QStringLiteral("ABC");
        QTest::newRow("last down: nothing") << 6 << 1 << QStringLiteral("ABC");
        QTest::newRow("first down") << 1 << 1 << QStringLiteral("BAC");
        QTest::newRow("last up") << 6 << -1 << QStringLiteral("ACB");
        QTest::newRow("big step clamped") << 1 << 10 << QStringLiteral("BCA");
        QTest::newRow("zero step") << 5 << 0 << QStringLiteral("ABC");
    }

    void stepMoves()
    {
        QFETCH(int, folderNumber);
        QFETCH(int, step);
        QFETCH(QString, expected);
        PhraseModelHarness h;
        createWithSample(h);
        FixedPhraseModel& model = h.model.operator*();
        const qint64 generation = model.saveGeneration();
        model.moveFolder(uuid(folderNumber), step);
        QCOMPARE(folderTitles(model.folders()).join(QString()), expected);
        QCOMPARE(model.saveGeneration() - generation, expected == QStringLiteral("ABC") ? 0 : 1);
    }

    void phraseStepMovesAndDragging()
    {
        PhraseModelHarness h;
        createWithSample(h);
        FixedPhraseModel& model = *h.model;
        const qint64 generation = model.saveGeneration();
        model.movePhrase(uuid(1), uuid(2), -1);
        model.movePhrase(uuid(1), uuid(4), 1);
        QCOMPARE(model.saveGeneration(), generation);
        model.movePhrase(uuid(1), uuid(2), 1);
        QCOMPARE(phraseTitles(*model.folder(uuid(1))), (QStringList {"a2", "a1", "a3"}));
        model.movePhrases(uuid(1), {0}, 3);
        QCOMPARE(phraseTitles(*model.folder(uuid(1))), (QStringList {"a1", "a3", "a2"}));
        model.moveFolders({2}, 0);
        QCOMPARE(folderTitles(model.folders()), (QStringList {"C", "A", "B"}));
        QCOMPARE(model.saveGeneration(), generation + 3);
    }

    void operationsOnMissingItemsChangeAndSaveNothing_data()
    {
        QTest::addColumn<Operation>("operation");
        const QUuid none = uuid(99);
        QTest::newRow("updateFolderTitle")
            << Operation([none](FixedPhraseModel& m) { m.updateFolderTitle(none, "x"); });
        QTest::newRow("setFolderVisible")
            << Operation([none](FixedPhraseModel& m) { m.setFolderVisible(none, false); });
        QTest::newRow("moveFolder")
            << Operation([none](FixedPhraseModel& m) { m.moveFolder(none, 1); });
        QTest::newRow("removeFolders")
            << Operation([none](FixedPhraseModel& m) { m.removeFolders({none}); });
        QTest::newRow("addPhrase")
            << Operation([none](FixedPhraseModel& m) { QVERIFY(!m.addPhrase(none)); });
        QTest::newRow("updatePhrase, unknown folder") << Operation([none](FixedPhraseModel& m) {
            m.updatePhrase(none, uuid(2), QStringLiteral("x"), {});
        });
        QTest::newRow("updatePhrase, unknown phrase") << Operation([none](FixedPhraseModel& m) {
            m.updatePhrase(uuid(1), none, QStringLiteral("x"), {});
        });
        QTest::newRow("updatePhrase, phrase of another folder") << Operation(
            [](FixedPhraseModel& m) { m.updatePhrase(uuid(5), uuid(2), QStringLiteral("x"), {}); });
        QTest::newRow("setPhraseVisible")
            << Operation([none](FixedPhraseModel& m) { m.setPhraseVisible(uuid(1), none, false); });
        QTest::newRow("setAllPhrasesVisible")
            << Operation([none](FixedPhraseModel& m) { m.setAllPhrasesVisible(none, false); });
        QTest::newRow("removePhrase")
            << Operation([none](FixedPhraseModel& m) { m.removePhrase(uuid(1), none); });
        QTest::newRow("movePhrase")
            << Operation([none](FixedPhraseModel& m) { m.movePhrase(uuid(1), none, 1); });
        QTest::newRow("movePhrases")
            << Operation([none](FixedPhraseModel& m) { m.movePhrases(none, {0}, 2); });
    }

    void operationsOnMissingItemsChangeAndSaveNothing()
    {
        QFETCH(Operation, operation);
        PhraseModelHarness h;
        createWithSample(h);
        FixedPhraseModel& model = *h.model;
        QSignalSpy changed(&model, &FixedPhraseModel::foldersChanged);
        operation(model);
        QCOMPARE(model.folders(), sampleFolders());
        QCOMPARE(model.saveGeneration(), 0);
        QCOMPARE(changed.count(), 0);
        h.scheduler.advance(1);
        QCOMPARE(h.executor.pendingCount(), 0);
    }

    void operationsChangeAndSaveOnce_data()
    {
        QTest::addColumn<Operation>("operation");
        QTest::addColumn<QString>("expected"); // the store after it, in a compact notation

        QTest::newRow("updateFolderTitle keeps the text exactly")
            << Operation(
                   [](FixedPhraseModel& m) { m.updateFolderTitle(uuid(5), QStringLiteral(" b ")); })
            << QStringLiteral("A[a1 a2 a3] |  b [] | C[c1]");
        QTest::newRow("updateFolderTitle to empty")
            << Operation([](FixedPhraseModel& m) { m.updateFolderTitle(uuid(5), QString()); })
            << QStringLiteral("A[a1 a2 a3] | [] | C[c1]");
        QTest::newRow("setFolderVisible")
            << Operation([](FixedPhraseModel& m) { m.setFolderVisible(uuid(6), false); })
            << QStringLiteral("A[a1 a2 a3] | B[] | C-[c1]");
        QTest::newRow("setAllFoldersVisible leaves phrases") << Operation([](FixedPhraseModel& m) {
            m.setPhraseVisible(uuid(6), uuid(7), false);
            m.setAllFoldersVisible(false);
        }) << QStringLiteral("A-[a1 a2 a3] | B-[] | C-[c1-]");
        QTest::newRow("updatePhrase title only") << Operation([](FixedPhraseModel& m) {
            m.updatePhrase(uuid(1), uuid(3), QStringLiteral("t"), {});
        }) << QStringLiteral("A[a1 t a3] | B[] | C[c1]");
        QTest::newRow("updatePhrase neither still saves")
            << Operation([](FixedPhraseModel& m) { m.updatePhrase(uuid(1), uuid(3), {}, {}); })
            << QStringLiteral("A[a1 a2 a3] | B[] | C[c1]");
        QTest::newRow("setAllPhrasesVisible")
            << Operation([](FixedPhraseModel& m) { m.setAllPhrasesVisible(uuid(1), false); })
            << QStringLiteral("A[a1- a2- a3-] | B[] | C[c1]");
        QTest::newRow("removePhrase")
            << Operation([](FixedPhraseModel& m) { m.removePhrase(uuid(1), uuid(2)); })
            << QStringLiteral("A[a2 a3] | B[] | C[c1]");
        QTest::newRow("removeFolders") << Operation([](FixedPhraseModel& m) {
            m.removeFolders({uuid(1), uuid(6), uuid(99)});
        }) << QStringLiteral("B[]");
        QTest::newRow("addPhrase")
            << Operation([](FixedPhraseModel& m) { QVERIFY(m.addPhrase(uuid(5))); })
            << QStringLiteral("A[a1 a2 a3] | B[新規定型文] | C[c1]");
    }

    void operationsChangeAndSaveOnce()
    {
        QFETCH(Operation, operation);
        QFETCH(QString, expected);
        PhraseModelHarness h;
        createWithSample(h);
        FixedPhraseModel& model = *h.model;
        h.recordWrites();
        const qint64 before = model.saveGeneration();
        operation(model);
        QStringList parts;
        for (const FixedPhraseFolder& f : model.folders()) {
            QStringList phrases;
            for (const FixedPhrase& p : f.phrases) {
                phrases.append(p.title + (p.isVisible ? QString() : QStringLiteral("-")));
            }
            parts.append(f.title + (f.isVisible ? QString() : QStringLiteral("-")) +
                QLatin1Char('[') + phrases.join(QLatin1Char(' ')) + QLatin1Char(']'));
        }
        QCOMPARE(parts.join(QStringLiteral(" | ")), expected);
        const qint64 operations = expected.startsWith(QStringLiteral("A-")) ? 2 : 1;
        QCOMPARE(model.saveGeneration() - before, operations);
        h.scheduler.advance(0.35);
        h.drain();
        QCOMPARE(h.writes.size(), 1);
        QCOMPARE(h.storeBytes(), FixedPhraseStorage::encode(model.folders()));
    }

    void setAllFoldersVisibleSavesAnEmptyStore()
    {
        PhraseModelHarness h;
        FixedPhraseModel& model = h.create();
        model.setAllFoldersVisible(true);
        QCOMPARE(model.saveGeneration(), 1);
        h.scheduler.advance(0.35);
        h.drain();
        QCOMPARE(h.storeBytes(), QByteArray("[]"));
    }

    void lookups()
    {
        PhraseModelHarness h;
        createWithSample(h);
        const FixedPhraseModel& model = *h.model;
        QCOMPARE(model.folder(std::nullopt), std::nullopt);
        QCOMPARE(model.folder(uuid(99)), std::nullopt);
        QCOMPARE(model.folder(uuid(5))->title, QStringLiteral("B"));
        QCOMPARE(model.phrase(uuid(1), uuid(3))->title, QStringLiteral("a2"));
        QCOMPARE(model.phrase(uuid(6), uuid(3)), std::nullopt);
        QCOMPARE(model.phrase(std::nullopt, uuid(3)), std::nullopt);
        QCOMPARE(model.phrase(uuid(1), std::nullopt), std::nullopt);
    }

    void exportFlow()
    {
        PhraseModelHarness h;
        createWithSample(h);
        FixedPhraseModel& model = *h.model;
        QSignalSpy finished(&model, &FixedPhraseModel::fileTransferFinished);
        const QString path = h.dir.filePath(QStringLiteral("out.csv"));
        QVERIFY(model.exportCSV(path));
        QVERIFY(model.isFileTransferInProgress());
        QCOMPARE(status(model), QStringLiteral("定型文を書き出しています..."));
        // A second transfer while this one runs is ignored.
        QVERIFY(!model.importCSV(path));
        QVERIFY(!model.exportCSV(path));
        QCOMPARE(status(model), QStringLiteral("定型文を書き出しています..."));
        h.drain();
        QVERIFY(!model.isFileTransferInProgress());
        QCOMPARE(status(model), QStringLiteral("定型文を書き出しました"));
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.first().first().toBool(), true);
        QCOMPARE(readFile(path),
            QByteArray("\xef\xbb\xbf") +
                QStringLiteral(
                    "分類,分類の表示,タイトル,内容,定型文の表示\nA,表示,a1,,表示\nA,表示,a2,,表示\n"
                    "A,表示,a3,,表示\nB,表示,,,表示\nC,表示,c1,,表示\n")
                    .toUtf8());

        QVERIFY(model.exportCSV(h.dir.filePath(QStringLiteral("no/such/folder/out.csv"))));
        h.drain();
        QVERIFY(status(model).startsWith(QStringLiteral("定型文を書き出せませんでした: ")));
        QVERIFY(status(model).size() > QStringLiteral("定型文を書き出せませんでした: ").size());
        QCOMPARE(finished.last().first().toBool(), false);
        QCOMPARE(model.saveGeneration(), 0);
    }

    void importReplacesTheStoreAfterWritingIt()
    {
        PhraseModelHarness h;
        createWithSample(h);
        FixedPhraseModel& model = *h.model;
        const QByteArray previousFile = h.storeBytes();
        QSignalSpy finished(&model, &FixedPhraseModel::fileTransferFinished);
        QVERIFY(model.importCSV(h.csv(QStringLiteral("in.csv"), importedCsv)));
        QCOMPARE(status(model), QStringLiteral("定型文を読み込んでいます..."));
        QVERIFY(!model.exportCSV(h.dir.filePath(QStringLiteral("x.csv"))));
        h.runJob(); // reading
        QCOMPARE(model.folders(), sampleFolders());
        QVERIFY(model.isFileTransferInProgress());
        h.runJob(); // the import's write
        QCOMPARE(folderTitles(model.folders()), (QStringList {"新", "別"}));
        // The replaced list waits for a worker to free it, not the main thread.
        QCOMPARE(h.executor.pendingCount(), 1);
        QCOMPARE(model.folders().at(0).phrases.at(1).content, QStringLiteral("a,b"));
        QCOMPARE(model.folders().at(0).phrases.at(1).isVisible, false);
        QCOMPARE(model.folders().at(1).isVisible, false);
        QCOMPARE(status(model), QStringLiteral("定型文を読み込みました"));
        QVERIFY(!model.isFileTransferInProgress());
        QCOMPARE(finished.count(), 1);
        QCOMPARE(h.storeBytes(), FixedPhraseStorage::encode(model.folders()));
        const QString kept = h.storePath() + QStringLiteral(".before-import");
        QCOMPARE(readFile(kept), previousFile);
        QCOMPARE(fileMode(kept), 0600);
        QCOMPARE(fileMode(h.storePath()), 0600);
        // Nothing else is scheduled: the write was the save.
        QVERIFY(!model.hasPendingSave());
        h.drain();
        h.scheduler.advance(1);
        QCOMPARE(h.executor.pendingCount(), 0);
    }

    void emptyImportKeepsThePreviousFile()
    {
        PhraseModelHarness h;
        createWithSample(h);
        FixedPhraseModel& model = *h.model;
        const QByteArray previousFile = h.storeBytes();
        QVERIFY(model.importCSV(h.csv(QStringLiteral("empty.csv"),
            "\xef\xbb\xbf分類,分類の表示,タイトル,内容,定型文の表示\n")));
        h.drain();
        QVERIFY(model.folders().isEmpty());
        QCOMPARE(h.storeBytes(), QByteArray("[]"));
        QCOMPARE(readFile(h.storePath() + QStringLiteral(".before-import")), previousFile);

        // The next import replaces the kept copy with the file as it is then.
        QVERIFY(model.importCSV(h.csv(QStringLiteral("in.csv"), importedCsv)));
        h.drain();
        QCOMPARE(readFile(h.storePath() + QStringLiteral(".before-import")), QByteArray("[]"));
    }

    void importCancelsAPendingSave_data()
    {
        QTest::addColumn<bool>("pastItsDelay");
        QTest::newRow("save still in its delay") << false;
        QTest::newRow("save's write already queued") << true;
    }

    void importCancelsAPendingSave()
    {
        QFETCH(bool, pastItsDelay);
        PhraseModelHarness h;
        createWithSample(h);
        FixedPhraseModel& model = *h.model;
        h.recordWrites();
        model.addFolder();
        if (pastItsDelay) {
            h.scheduler.advance(0.35);
            QCOMPARE(h.executor.pendingCount(), 1);
        }
        QVERIFY(model.importCSV(h.csv(QStringLiteral("in.csv"), importedCsv)));
        const int readJob = pastItsDelay ? 1 : 0;
        h.runJob(readJob);
        const int importWrite = h.executor.pendingCount() - 1;
        h.runJob(importWrite);
        QCOMPARE(status(model), QStringLiteral("定型文を読み込みました"));
        // Whatever ran before is left to run late now: it must not touch the file.
        h.drain();
        h.scheduler.advance(2);
        h.drain();
        QCOMPARE(folderTitles(model.folders()), (QStringList {"新", "別"}));
        QCOMPARE(h.storeBytes(), FixedPhraseStorage::encode(model.folders()));
        QCOMPARE(h.writes.size(), 1);
    }

    void editDuringTheImportWriteEndsWithFileAndMemoryEqual_data()
    {
        QTest::addColumn<bool>("staleSaveReachesTheWriter");
        QTest::newRow("stale save still in its delay when the import lands") << false;
        QTest::newRow("stale save written after the import") << true;
    }

    void editDuringTheImportWriteEndsWithFileAndMemoryEqual()
    {
        QFETCH(bool, staleSaveReachesTheWriter);
        PhraseModelHarness h;
        createWithSample(h);
        FixedPhraseModel& model = *h.model;
        h.recordWrites();
        QVERIFY(model.importCSV(h.csv(QStringLiteral("in.csv"), importedCsv)));
        h.runJob(); // reading; the import's write is now queued and slow
        model.updateFolderTitle(uuid(1), QStringLiteral("edited meanwhile"));
        if (staleSaveReachesTheWriter) {
            h.scheduler.advance(0.35); // a save of the old list joins the queue
            QCOMPARE(h.executor.pendingCount(), 2);
        }
        h.runJob(0); // the import's write finishes
        QCOMPARE(folderTitles(model.folders()), (QStringList {"新", "別"}));
        QVERIFY(model.hasPendingSave());
        h.drain(); // the stale save, if queued, lands after the import
        h.scheduler.advance(0.35);
        h.drain();
        QCOMPARE(h.storeBytes(), FixedPhraseStorage::encode(model.folders()));
        QCOMPARE(h.writes.last(), model.folders());
    }

    void failedImportChangesNothing_data()
    {
        QTest::addColumn<QByteArray>("csv"); // empty: the file does not exist
        QTest::addColumn<int>("failingWrites");
        QTest::addColumn<QString>("message");

        QTest::newRow("unclosed quote")
            << QByteArray("A,,t,\"open\n") << 0
            << QStringLiteral("定型文を読み込めませんでした: CSVの引用符が閉じられていません");
        QTest::newRow("Shift_JIS")
            << QByteArray("\x92\xe8\x8c\x5e\x95\xb6,\x93\xe0\x97\x65\n") << 0
            << QStringLiteral(
                   "定型文を読み込めませんでした: CSVファイルをUTF-8として読み込めません");
        QTest::newRow("missing file") << QByteArray() << 0 << QString();
        QTest::newRow("the import's write fails")
            << importedCsv << 1 << QStringLiteral("定型文を読み込めませんでした: disk full");
    }

    void failedImportChangesNothing()
    {
        QFETCH(QByteArray, csv);
        QFETCH(int, failingWrites);
        QFETCH(QString, message);
        PhraseModelHarness h;
        createWithSample(h);
        FixedPhraseModel& model = *h.model;
        h.recordWrites();
        model.updateFolderTitle(uuid(5), QStringLiteral("unsaved edit"));
        const FixedPhraseFolderList before = model.folders();
        const QByteArray fileBefore = h.storeBytes();
        h.failWrites = failingWrites;
        const QString path = csv.isEmpty() ? h.dir.filePath(QStringLiteral("none.csv"))
                                           : h.csv(QStringLiteral("in.csv"), csv);
        QSignalSpy finished(&model, &FixedPhraseModel::fileTransferFinished);
        QVERIFY(model.importCSV(path));
        h.drain();
        if (message.isEmpty()) {
            QVERIFY(status(model).startsWith(QStringLiteral("定型文を読み込めませんでした: ")));
            QVERIFY(status(model).size() > 16);
        } else {
            QCOMPARE(status(model), message);
        }
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.first().first().toBool(), false);
        QVERIFY(!model.isFileTransferInProgress());
        QCOMPARE(model.folders(), before);
        QCOMPARE(h.storeBytes(), fileBefore);
        QCOMPARE(
            QFileInfo::exists(h.storePath() + QStringLiteral(".before-import")), failingWrites > 0);
        // The edit made before the import is still saved: a failed import's write reschedules
        // the save it cancelled.
        h.scheduler.advance(0.35);
        h.drain();
        QCOMPARE(h.storeBytes(), FixedPhraseStorage::encode(before));
    }
};

NORVALE_TEST_CLASS(FixedPhraseModelTest)
#include "tst_fixedphrasemodel.moc"
