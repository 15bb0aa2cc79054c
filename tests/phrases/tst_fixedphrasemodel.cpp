#include "PhraseModelHarness.h"
#include "common/TestMain.h"
#include "phrases/FixedPhraseOrdering.h"

#include <QSaveFile>
#include <QSignalSpy>
#include <QTest>

#include <unistd.h>

using namespace PhraseTest;

namespace {

using Operation = std::function<void(FixedPhraseModel&)>;

const QUuid none = uuid(99);

// A (ids 1; phrases a1 a2 a3: 2, 3, 4), B (5, no phrases), C (6; phrase c1: 7).
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

const QByteArray importedCsv = "\xef\xbb\xbf"
                               "分類,分類の表示,タイトル,内容,定型文の表示\n"
                               "新,表示,n1,本文,表示\n"
                               "新,表示,n2,\"a,b\",非表示\n"
                               "別,非表示,,,\n";
const QString imported = QStringLiteral("新[n1=本文, n2-=a,b] | 別-[]");

} // namespace

Q_DECLARE_METATYPE(Operation)

class FixedPhraseModelTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void newFoldersAndPhrasesAreNumbered()
    {
        PhraseModelHarness h;
        FixedPhraseModel& model = h.create();
        const QUuid first = model.addFolder();
        const QUuid second = model.addFolder();
        model.addFolder();
        model.removeFolders({second});
        model.addFolder();
        QCOMPARE(notation(model.folders()),
            QStringLiteral("新規フォルダ[] | 新規フォルダ 3[] | 新規フォルダ 2[]"));

        // Phrases count within their own folder only, and start visible and empty.
        const QUuid other = model.folders().at(1).id;
        model.addPhrase(first);
        model.addPhrase(first);
        model.addPhrase(other);
        QCOMPARE(notation(model.folders()),
            QStringLiteral("新規フォルダ[新規定型文, 新規定型文 2] | 新規フォルダ 3[新規定型文] | "
                           "新規フォルダ 2[]"));
        const QUuid phraseOfFirst = model.folder(first)->phrases.at(1).id;
        QCOMPARE(model.phrase(first, phraseOfFirst)->title, QStringLiteral("新規定型文 2"));
        QCOMPARE(model.phrase(other, phraseOfFirst), std::nullopt);

        // Titles are compared exactly, and a taken number does not take the base title.
        const QStringList titles {
            "新規フォルダ 2", "新規フォルダ ", "新規フォルダ2", "新規フォルダ 02"};
        QCOMPARE(FixedPhraseOrdering::nextTitle(
                     QStringLiteral("新規フォルダ"), QSet<QString>(titles.begin(), titles.end())),
            QStringLiteral("新規フォルダ"));
    }

    void movingItems_data()
    {
        QTest::addColumn<QList<int>>("offsets");
        QTest::addColumn<int>("destination");
        QTest::addColumn<QString>("expected");
        QTest::newRow("first to 2") << QList<int> {0} << 2 << QStringLiteral("BAC");
        QTest::newRow("last to 0") << QList<int> {2} << 0 << QStringLiteral("CAB");
        QTest::newRow("onto itself") << QList<int> {1} << 1 << QStringLiteral("ABC");
        QTest::newRow("just after itself") << QList<int> {1} << 2 << QStringLiteral("ABC");
        QTest::newRow("two as a block") << QList<int> {0, 2} << 1 << QStringLiteral("ACB");
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
        const QList<QChar> items {QLatin1Char('A'), QLatin1Char('B'), QLatin1Char('C')};
        const QList<QChar> moved = FixedPhraseOrdering::movingItems(
            items, QSet<int>(offsets.begin(), offsets.end()), destination);
        QTEST(QString(moved.constData(), moved.size()), "expected");
    }

    void operationsThatChangeNothingSaveNothing_data()
    {
        QTest::addColumn<Operation>("operation");
        using M = FixedPhraseModel;
        const auto row = [](const char* name, Operation operation) {
            QTest::newRow(name) << operation;
        };
        row("updateFolderTitle", [](M& m) { m.updateFolderTitle(none, "x"); });
        row("setFolderVisible", [](M& m) { m.setFolderVisible(none, false); });
        row("moveFolder, first up", [](M& m) { m.moveFolder(uuid(1), -1); });
        row("moveFolder, last down", [](M& m) { m.moveFolder(uuid(6), 1); });
        row("moveFolder, zero step", [](M& m) { m.moveFolder(uuid(5), 0); });
        row("removeFolders", [](M& m) { m.removeFolders({none}); });
        row("addPhrase", [](M& m) { QVERIFY(!m.addPhrase(none)); });
        row("updatePhrase, unknown phrase", [](M& m) { m.updatePhrase(uuid(1), none, "x", {}); });
        row("updatePhrase, phrase of another folder",
            [](M& m) { m.updatePhrase(uuid(5), uuid(2), "x", {}); });
        row("setPhraseVisible", [](M& m) { m.setPhraseVisible(uuid(1), none, false); });
        row("setAllPhrasesVisible", [](M& m) { m.setAllPhrasesVisible(none, false); });
        row("removePhrase", [](M& m) { m.removePhrase(uuid(1), none); });
        row("movePhrase, last down", [](M& m) { m.movePhrase(uuid(1), uuid(4), 1); });
        row("movePhrases, unknown folder", [](M& m) { m.movePhrases(none, {0}, 2); });
    }

    void operationsThatChangeNothingSaveNothing()
    {
        QFETCH(Operation, operation);
        PhraseModelHarness h;
        FixedPhraseModel& model = h.createWith(sampleFolders());
        QSignalSpy changed(&model, &FixedPhraseModel::foldersChanged);
        operation(model);
        QCOMPARE(model.folders(), sampleFolders());
        QCOMPARE(changed.count(), 0);
        h.scheduler.advance(1);
        QCOMPARE(h.executor.pendingCount(), 0);
    }

    void operationsChangeAndSaveOnce_data()
    {
        QTest::addColumn<QString>("expected");
        QTest::addColumn<Operation>("operation");
        using M = FixedPhraseModel;
        const auto row = [](const char* name, const char* expected, Operation operation) {
            QTest::newRow(name) << QString::fromUtf8(expected) << operation;
        };
        row("updateFolderTitle keeps the text exactly", "A[a1, a2, a3] |  b [] | C[c1]",
            [](M& m) { m.updateFolderTitle(uuid(5), " b "); });
        row("setFolderVisible", "A[a1, a2, a3] | B[] | C-[c1]",
            [](M& m) { m.setFolderVisible(uuid(6), false); });
        row("setAllFoldersVisible leaves phrases", "A-[a1, a2, a3] | B-[] | C-[c1]",
            [](M& m) { m.setAllFoldersVisible(false); });
        row("updatePhrase title only", "A[a1, t, a3] | B[] | C[c1]",
            [](M& m) { m.updatePhrase(uuid(1), uuid(3), "t", {}); });
        row("updatePhrase content only", "A[a1, a2=c, a3] | B[] | C[c1]",
            [](M& m) { m.updatePhrase(uuid(1), uuid(3), {}, "c"); });
        row("updatePhrase neither still saves", "A[a1, a2, a3] | B[] | C[c1]",
            [](M& m) { m.updatePhrase(uuid(1), uuid(3), {}, {}); });
        row("setAllPhrasesVisible", "A[a1-, a2-, a3-] | B[] | C[c1]",
            [](M& m) { m.setAllPhrasesVisible(uuid(1), false); });
        row("removePhrase", "A[a2, a3] | B[] | C[c1]",
            [](M& m) { m.removePhrase(uuid(1), uuid(2)); });
        row("removeFolders", "B[]", [](M& m) { m.removeFolders({uuid(1), uuid(6), none}); });
        row("addPhrase", "A[a1, a2, a3] | B[新規定型文] | C[c1]",
            [](M& m) { QVERIFY(m.addPhrase(uuid(5))); });
        row("moveFolder, first down", "B[] | A[a1, a2, a3] | C[c1]",
            [](M& m) { m.moveFolder(uuid(1), 1); });
        row("moveFolder, big step clamped", "B[] | C[c1] | A[a1, a2, a3]",
            [](M& m) { m.moveFolder(uuid(1), 10); });
        row("moveFolders", "C[c1] | A[a1, a2, a3] | B[]", [](M& m) { m.moveFolders({2}, 0); });
        row("movePhrase", "A[a2, a1, a3] | B[] | C[c1]",
            [](M& m) { m.movePhrase(uuid(1), uuid(2), 1); });
        row("movePhrases", "A[a2, a3, a1] | B[] | C[c1]",
            [](M& m) { m.movePhrases(uuid(1), {0}, 3); });
    }

    void operationsChangeAndSaveOnce()
    {
        QFETCH(Operation, operation);
        PhraseModelHarness h;
        FixedPhraseModel& model = h.createWith(sampleFolders());
        h.recordWrites();
        operation(model);
        QTEST(notation(model.folders()), "expected");
        h.settle();
        QCOMPARE(h.writes.size(), 1);
        QCOMPARE(h.storeBytes(), FixedPhraseStorage::encode(model.folders()));
    }

    void exportFlow()
    {
        PhraseModelHarness h;
        FixedPhraseModel& model = h.createWith(sampleFolders());
        QSignalSpy finished(&model, &FixedPhraseModel::fileTransferFinished);
        const QString path = h.dir.filePath(QStringLiteral("out.csv"));
        QVERIFY(model.exportCSV(path));
        QVERIFY(model.isFileTransferInProgress());
        QCOMPARE(h.status(), QStringLiteral("定型文を書き出しています..."));
        QVERIFY(!model.importCSV(path)); // one transfer at a time
        h.drain();
        QCOMPARE(finished.first().first().toBool(), true);
        QCOMPARE(readFile(path),
            FixedPhraseCSV::utf8BOM + FixedPhraseCSV::encode(sampleFolders()).toUtf8());

        QSaveFile missingFolder(h.dir.filePath(QStringLiteral("no/such/folder/out.csv")));
        QVERIFY(model.exportCSV(missingFolder.fileName()) && !missingFolder.open(QFile::WriteOnly));
        h.drain(); // the platform's own description follows the prefix
        QCOMPARE(h.status(),
            QStringLiteral("定型文を書き出せませんでした: ") + missingFolder.errorString());
        QCOMPARE(finished.last().first().toBool(), false);
        QCOMPARE(model.saveGeneration(), 0); // an export changes nothing
    }

    void importReplacesTheStoreAfterWritingIt_data()
    {
        QTest::addColumn<bool>("symlinked");
        QTest::newRow("store file") << false;
        // Kept in a synced folder: the link stays, its target is replaced, the backup is a copy.
        QTest::newRow("store is a link") << true;
    }

    void importReplacesTheStoreAfterWritingIt()
    {
        QFETCH(bool, symlinked);
        PhraseModelHarness h;
        const QString target =
            symlinked ? h.dir.filePath(QStringLiteral("synced/FixedPhrases.json")) : h.storePath();
        QVERIFY(writeFile(target, FixedPhraseStorage::encode(sampleFolders())));
        const QString kept = h.storePath() + QStringLiteral(".before-import");
        if (symlinked) {
            QVERIFY(QDir().mkpath(h.folderPath()) && QFile::link(target, h.storePath()));
            // A staging name an earlier version left behind, sharing the store's bytes.
            QVERIFY(::link(qPrintable(target), qPrintable(kept + QStringLiteral(".tmp"))) == 0);
        }
        FixedPhraseModel& model = h.create();
        const QByteArray previousFile = h.storeBytes();
        QVERIFY(model.importCSV(h.csv(QStringLiteral("in.csv"), importedCsv)));
        QCOMPARE(h.status(), QStringLiteral("定型文を読み込んでいます..."));
        h.runJob(); // reading
        QCOMPARE(model.folders(), sampleFolders()); // not before the file holds the import
        h.runJob(); // the import's write
        QCOMPARE(notation(model.folders()), imported);
        // The replaced list waits for a worker to free it, not the main thread.
        QCOMPARE(h.executor.pendingCount(), 1);
        QCOMPARE(h.status(), QStringLiteral("定型文を読み込みました"));
        QCOMPARE(readFile(target), FixedPhraseStorage::encode(model.folders()));
        QCOMPARE(fileMode(target), 0600);
        QCOMPARE(QFileInfo(h.storePath()).isSymLink(), symlinked);
        QVERIFY(!QFileInfo(kept).isSymLink() && !QFileInfo::exists(kept + QStringLiteral(".tmp")));
        QCOMPARE(readFile(kept), previousFile);
        QCOMPARE(fileMode(kept), 0600);
        // Nothing else is scheduled: the write was the save.
        h.drain();
        h.scheduler.advance(1);
        QCOMPARE(h.executor.pendingCount(), 0);

        // Even an empty import keeps what it replaced, and the next one replaces the copy.
        const QByteArray importedFile = h.storeBytes();
        QVERIFY(model.importCSV(h.csv(QStringLiteral("empty.csv"), "\xef\xbb\xbf")));
        h.drain();
        QVERIFY(model.folders().isEmpty());
        QCOMPARE(h.storeBytes(), QByteArray("[]"));
        QCOMPARE(readFile(kept), importedFile);
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
        FixedPhraseModel& model = h.createWith(sampleFolders());
        h.recordWrites();
        QVERIFY(model.importCSV(h.csv(QStringLiteral("in.csv"), importedCsv)));
        h.runJob(); // reading; the import's write is now queued and slow
        model.updateFolderTitle(uuid(1), QStringLiteral("edited meanwhile"));
        if (staleSaveReachesTheWriter) {
            h.scheduler.advance(0.35); // a save of the old list queues
            QCOMPARE(h.executor.pendingCount(), 2);
        }
        h.runJob(0); // the import's write finishes
        QCOMPARE(notation(model.folders()), imported);
        QVERIFY(model.hasPendingSave());
        h.drain(); // the stale save, if queued, lands after the import
        h.settle();
        QCOMPARE(h.storeBytes(), FixedPhraseStorage::encode(model.folders()));
        QCOMPARE(h.writes.last(), model.folders());
    }

    void failedImportChangesNothing_data()
    {
        QTest::addColumn<QByteArray>("csv");
        QTest::addColumn<bool>("unsavedEdit");
        QTest::addColumn<int>("failingWrites");
        QTest::addColumn<QString>("message");

        const QString diskFull = QStringLiteral("定型文を読み込めませんでした: disk full");
        QTest::newRow("unclosed quote")
            << QByteArray("A,,t,\"open\n") << true << 0
            << QStringLiteral("定型文を読み込めませんでした: CSVの引用符が閉じられていません");
        // The import cancelled the edit's save: the edit is saved after all.
        QTest::newRow("the import's write fails, an edit waits")
            << importedCsv << true << 1 << diskFull;
        // Nothing to save again: a second write, failing for the same reason, would replace
        // the import's message.
        QTest::newRow("the import's write fails, nothing waits")
            << importedCsv << false << 2 << diskFull;
    }

    void failedImportChangesNothing()
    {
        QFETCH(QByteArray, csv);
        QFETCH(bool, unsavedEdit);
        QFETCH(int, failingWrites);
        QFETCH(QString, message);
        PhraseModelHarness h;
        FixedPhraseModel& model = h.createWith(sampleFolders());
        h.recordWrites();
        if (unsavedEdit) {
            model.updateFolderTitle(uuid(5), QStringLiteral("unsaved edit"));
        }
        const FixedPhraseFolderList before = model.folders();
        const QByteArray fileBefore = h.storeBytes();
        h.failWrites = failingWrites;
        QSignalSpy finished(&model, &FixedPhraseModel::fileTransferFinished);
        QVERIFY(model.importCSV(h.csv(QStringLiteral("in.csv"), csv)));
        h.drain();
        QCOMPARE(h.status(), message);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.first().first().toBool(), false);
        QCOMPARE(model.folders(), before);
        QCOMPARE(h.storeBytes(), fileBefore);
        QCOMPARE(
            QFileInfo::exists(h.storePath() + QStringLiteral(".before-import")), failingWrites > 0);
        h.scheduler.advance(0.36);
        h.drain();
        QCOMPARE(h.status(), message);
        QCOMPARE(h.storeBytes(), FixedPhraseStorage::encode(before));
    }
};

NORVALE_TEST_CLASS(FixedPhraseModelTest)
#include "tst_fixedphrasemodel.moc"
