#include "PhraseModelHarness.h"
#include "common/TestMain.h"

#include <QDir>
#include <QElapsedTimer>
#include <QSemaphore>
#include <QTest>

using namespace PhraseTest;

namespace {

QString status(const FixedPhraseModel& model)
{
    return model.statusMessage().value_or(QString());
}

} // namespace

namespace {

const QString movedAsideName = QStringLiteral("FixedPhrases.json.unreadable-20260101T090000");

} // namespace

class FixedPhrasePersistenceTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void firstRunStartsEmptyAndWritesOnTheFirstChange()
    {
        PhraseModelHarness h;
        FixedPhraseModel& model = h.create();
        QVERIFY(model.folders().isEmpty());
        h.scheduler.advance(10);
        QCOMPARE(h.executor.pendingCount(), 0);
        QVERIFY(!QFileInfo::exists(h.folderPath()));

        const QUuid id = model.addFolder();
        h.scheduler.advance(0.35);
        h.drain();
        QCOMPARE(h.storeBytes(), FixedPhraseStorage::encode(model.folders()));
        QCOMPARE(fileMode(h.folderPath()), 0700);
        QCOMPARE(fileMode(h.storePath()), 0600);

        model.removeFolders({id});
        h.scheduler.advance(0.35);
        h.drain();
        QCOMPARE(h.storeBytes(), QByteArray("[]"));

        // A new model reads what was written.
        h.create();
        QVERIFY(h.model->folders().isEmpty());
    }

    void loadsTheStoredFolders()
    {
        PhraseModelHarness h;
        const FixedPhraseFolderList stored {folder(1, QStringLiteral("A"),
            {phrase(2, QStringLiteral("t"), QStringLiteral("c"), false)}, false)};
        QVERIFY(QDir().mkpath(h.folderPath()));
        QVERIFY(writeFile(h.storePath(), FixedPhraseStorage::encode(stored)));
        QCOMPARE(h.create().folders(), stored);
        QVERIFY(h.model->visibleFolders().isEmpty());
    }

    void burstOfEditsGivesOneWriteOfTheLastState()
    {
        PhraseModelHarness h;
        FixedPhraseModel& model = h.create();
        h.recordWrites();
        const QUuid id = model.addFolder();
        h.scheduler.advance(0.1);
        model.updateFolderTitle(id, QStringLiteral("renamed"));
        h.scheduler.advance(0.1);
        model.addPhrase(id);
        h.scheduler.advance(0.349);
        QCOMPARE(h.executor.pendingCount(), 0);
        h.scheduler.advance(0.002);
        QCOMPARE(h.executor.pendingCount(), 1);
        h.drain();
        QCOMPARE(h.writes.size(), 1);
        QCOMPARE(h.writes.first(), model.folders());
        QCOMPARE(h.writes.first().first().title, QStringLiteral("renamed"));
        QCOMPARE(h.writes.first().first().phrases.size(), 1);
        QVERIFY(!model.hasPendingSave());
    }

    void olderSnapshotNeverOverwritesANewerOne_data()
    {
        QTest::addColumn<bool>("newerFirst");
        QTest::newRow("newer job finishes first") << true;
        QTest::newRow("jobs finish in order") << false;
    }

    void olderSnapshotNeverOverwritesANewerOne()
    {
        QFETCH(bool, newerFirst);
        PhraseModelHarness h;
        FixedPhraseModel& model = h.create();
        h.recordWrites();
        model.addFolder();
        h.scheduler.advance(0.35);
        const FixedPhraseFolderList first = model.folders();
        model.addFolder();
        h.scheduler.advance(0.35);
        QCOMPARE(h.executor.pendingCount(), 2);
        if (newerFirst) {
            h.runJob(1);
            h.runJob(0);
            QCOMPARE(h.writes.size(), 1);
        } else {
            h.runJob(0);
            h.runJob(0);
            QCOMPARE(h.writes.size(), 2);
            QCOMPARE(h.writes.first(), first);
        }
        QCOMPARE(h.storeBytes(), FixedPhraseStorage::encode(model.folders()));
        QCOMPARE(model.persistence().latestSavedGeneration(), model.saveGeneration());
        QVERIFY(!model.statusMessage().has_value());
    }

    void saveFailureIsShownOnlyForTheNewestGeneration_data()
    {
        QTest::addColumn<bool>("newerSaveScheduled");
        QTest::addColumn<QString>("message");
        QTest::newRow("newest save fails")
            << false << QStringLiteral("定型文を保存できませんでした: disk full");
        QTest::newRow("older save fails while a newer one waits") << true << QString();
    }

    void saveFailureIsShownOnlyForTheNewestGeneration()
    {
        QFETCH(bool, newerSaveScheduled);
        QFETCH(QString, message);
        PhraseModelHarness h;
        FixedPhraseModel& model = h.create();
        h.recordWrites();
        model.addFolder();
        h.scheduler.advance(0.35);
        if (newerSaveScheduled) {
            model.addFolder();
        }
        h.failWrites = 1;
        h.runJob(0);
        QCOMPARE(model.statusMessage(),
            message.isEmpty() ? std::nullopt : std::optional<QString>(message));
        QCOMPARE(model.hasPendingSave(), newerSaveScheduled);
        QVERIFY(!QFileInfo::exists(h.storePath()));

        // The folders stay and the next change saves them.
        model.addFolder();
        h.scheduler.advance(0.35);
        h.drain();
        QCOMPARE(h.storeBytes(), FixedPhraseStorage::encode(model.folders()));
        QCOMPARE(model.folders().size(), newerSaveScheduled ? 3 : 2);
    }

    void terminationWritesAChangeStillInItsDelay()
    {
        PhraseModelHarness h;
        FixedPhraseModel& model = h.create();
        h.recordWrites();
        model.addFolder();
        h.scheduler.advance(0.05);
        QVERIFY(model.prepareForApplicationTermination());
        QCOMPARE(h.storeBytes(), FixedPhraseStorage::encode(model.folders()));
        QCOMPARE(h.writes.size(), 1);
        // The debounced save was cancelled, not merely overtaken.
        h.scheduler.advance(1);
        QCOMPARE(h.executor.pendingCount(), 0);
        QVERIFY(!model.hasPendingSave());
    }

    void terminationIsNotUndoneByALateOlderSave()
    {
        PhraseModelHarness h;
        FixedPhraseModel& model = h.create();
        h.recordWrites();
        model.addFolder();
        h.scheduler.advance(0.35); // its write waits on the executor
        model.addFolder();
        QVERIFY(model.prepareForApplicationTermination());
        h.drain();
        QCOMPARE(h.writes.size(), 1);
        QCOMPARE(h.writes.first().size(), 2);
        QCOMPARE(h.storeBytes(), FixedPhraseStorage::encode(model.folders()));
    }

    void terminationWaitsNoLongerThanItsTimeout()
    {
        PhraseModelHarness h;
        FixedPhraseModel& model = h.create();
        auto gate = std::make_shared<QSemaphore>(0);
        auto done = std::make_shared<QSemaphore>(0);
        const FixedPhraseStorage storage = model.persistence().storage();
        model.persistence().setWriteFunction(
            [gate, done, storage](const FixedPhraseFolderList& folders, QString* error) {
                gate->acquire();
                const bool ok = storage.save(folders, error);
                done->release();
                return ok;
            });
        model.addFolder();
        QElapsedTimer timer;
        timer.start();
        QVERIFY(!model.prepareForApplicationTermination(std::chrono::milliseconds(100)));
        QVERIFY(timer.elapsed() < 2000);
        gate->release();
        QVERIFY(done->tryAcquire(1, 10000));
        QCOMPARE(h.storeBytes(), FixedPhraseStorage::encode(model.folders()));
    }

    void unreadableFileIsMovedAside_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("not JSON") << QByteArray("not json at all");
        QTest::newRow("one bad UUID")
            << QByteArray(R"([{"id":"00000000-0000-4000-8000-000000000001","title":"A","phrases":[)"
                          R"({"id":"nope","title":"t","content":"keep me"}]}])");
        QTest::newRow("a phrase without content")
            << QByteArray(R"([{"id":"00000000-0000-4000-8000-000000000001","title":"A","phrases":[)"
                          R"({"id":"00000000-0000-4000-8000-000000000002","title":"t"}]}])");
        QTest::newRow("empty file") << QByteArray();
    }

    void unreadableFileIsMovedAside()
    {
        QFETCH(QByteArray, bytes);
        PhraseModelHarness h;
        QVERIFY(QDir().mkpath(h.folderPath()));
        QVERIFY(writeFile(h.storePath(), bytes));
        FixedPhraseModel& model = h.create();
        QVERIFY(model.folders().isEmpty());
        QVERIFY(!model.statusMessage().has_value());
        const QString moved = h.folderPath() + QLatin1Char('/') + movedAsideName;
        QVERIFY(!QFileInfo::exists(h.storePath()));
        QCOMPARE(readFile(moved), bytes);
        QCOMPARE(fileMode(moved), 0600);

        model.addFolder();
        h.scheduler.advance(0.35);
        h.drain();
        QCOMPARE(h.storeBytes(), FixedPhraseStorage::encode(model.folders()));
        QCOMPARE(readFile(moved), bytes);
    }

    void unreadableFileThatCannotBeMovedIsNeverOverwritten()
    {
        PhraseModelHarness h;
        QVERIFY(QDir().mkpath(h.folderPath()));
        const QByteArray damaged("[{\"damaged\"");
        QVERIFY(writeFile(h.storePath(), damaged));
        // Every name the file could be moved to is taken.
        const QString base = h.folderPath() + QLatin1Char('/') + movedAsideName;
        QVERIFY(writeFile(base, "taken"));
        for (int n = 2; n <= 1000; ++n) {
            QVERIFY(writeFile(base + QLatin1Char('-') + QString::number(n), "taken"));
        }
        FixedPhraseModel& model = h.create();
        QVERIFY(model.folders().isEmpty());
        QCOMPARE(h.storeBytes(), damaged);

        model.addFolder();
        h.scheduler.advance(0.35);
        h.drain();
        QCOMPARE(h.storeBytes(), damaged);
        QVERIFY(status(model).startsWith(QStringLiteral("定型文を保存できませんでした: ")));

        QVERIFY(model.importCSV(h.csv(QStringLiteral("in.csv"), "A,,t,c\n")));
        h.drain();
        QCOMPARE(h.storeBytes(), damaged);
        QVERIFY(status(model).startsWith(QStringLiteral("定型文を読み込めませんでした: ")));
        QCOMPARE(model.folders().size(), 1);
        QCOMPARE(model.folders().first().title, QStringLiteral("新規フォルダ"));

        // Termination does not write over it either.
        model.prepareForApplicationTermination();
        QCOMPARE(h.storeBytes(), damaged);
    }

    void modelGoneBeforeItsWriteReports()
    {
        PhraseModelHarness h;
        FixedPhraseModel& model = h.create();
        model.addFolder();
        const FixedPhraseFolderList folders = model.folders();
        h.scheduler.advance(0.35);
        h.model.reset();
        // The write still happens; its report finds no model.
        h.drain();
        QCOMPARE(h.storeBytes(), FixedPhraseStorage::encode(folders));
    }
};

NORVALE_TEST_CLASS(FixedPhrasePersistenceTest)
#include "tst_fixedphrasepersistence.moc"
