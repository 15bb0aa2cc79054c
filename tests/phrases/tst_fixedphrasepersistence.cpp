#include "PhraseModelHarness.h"
#include "common/TestMain.h"

#include <QTest>

using namespace PhraseTest;

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

        model.addFolder();
        h.settle();
        QCOMPARE(h.storeBytes(), FixedPhraseStorage::encode(model.folders()));
        QCOMPARE(fileMode(h.folderPath()), 0700);
        QCOMPARE(fileMode(h.storePath()), 0600);
        // create() replaces the model, so what it wrote is kept before reloading.
        const FixedPhraseFolderList written = model.folders();
        QCOMPARE(h.create().folders(), written);
    }

    void burstOfEditsGivesOneWriteOfTheLastState()
    {
        PhraseModelHarness h;
        FixedPhraseModel& model = h.create();
        h.recordWrites();
        model.updateFolderTitle(model.addFolder(), QStringLiteral("renamed"));
        h.scheduler.advance(0.349);
        QCOMPARE(h.executor.pendingCount(), 0);
        h.scheduler.advance(0.002);
        QCOMPARE(h.executor.pendingCount(), 1);
        h.drain();
        QCOMPARE(h.writes.size(), 1);
        QCOMPARE(notation(h.writes.first()), QStringLiteral("renamed[]"));
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
        QCOMPARE(h.status(), message);
        QCOMPARE(model.hasPendingSave(), newerSaveScheduled);
        QVERIFY(!QFileInfo::exists(h.storePath()));
    }
};

NORVALE_TEST_CLASS(FixedPhrasePersistenceTest)
#include "tst_fixedphrasepersistence.moc"
