// The store writer on mock time; real threads only where the wait at termination is tested.

#include "common/TestFiles.h"
#include "common/TestMain.h"
#include "platform/QtScheduler.h"
#include "platform/ThreadPoolExecutor.h"
#include "platform/sim/ManualExecutor.h"
#include "platform/sim/ManualScheduler.h"
#include "support/PersistentStoreWriter.h"
#include "support/PrivateFiles.h"

#include <QElapsedTimer>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTest>

namespace {

using Snapshot = PersistentStoreWriter::Snapshot;

Snapshot bytes(const QByteArray& contents)
{
    return {
        [contents](QIODevice& device) { return device.write(contents) == contents.size(); }, {}};
}

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
}

// A writer of "<folder>/store.json" whose state is `state`; it counts the writes that reach
// the disk and collects the failures it reports.
struct Harness
{
    explicit Harness(double debounce = 0, const QString& folder = {})
        : path((folder.isEmpty() ? dir.path() : folder) + QStringLiteral("/store.json"))
        , writer(scheduler, executor, path, [this] { return bytes(state); },
              {debounce, Executor::Priority::Utility})
    {
        writer.setSaveFailedHandler([this](const auto& outcome) { failures << *outcome.error; });
        writer.setFileWriteForTesting(
            [this](const QString& target, const auto& encode, QString* error) {
                ++writes;
                return PrivateFiles::writeAtomically(target, encode, error);
            });
    }
    void runJob(int index = 0)
    {
        executor.runJob(index);
        scheduler.runPending();
    }

    QTemporaryDir dir;
    ManualScheduler scheduler;
    ManualExecutor executor {scheduler};
    QByteArray state = "first";
    int writes = 0;
    QStringList failures;
    const QString path;
    PersistentStoreWriter writer;
};

} // namespace

class PersistentStoreWriterTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A snapshot older than the last one written is skipped, as a success, whatever order the
    // executor runs the jobs in.
    void olderSnapshotNeverOverwritesANewerOne_data()
    {
        QTest::addColumn<bool>("newerFirst");
        QTest::newRow("newer job finishes first") << true;
        QTest::newRow("jobs finish in order") << false;
    }

    void olderSnapshotNeverOverwritesANewerOne()
    {
        QFETCH(bool, newerFirst);
        Harness h;
        h.writer.requestSave();
        std::optional<PersistentStoreWriter::Outcome> outcome;
        h.writer.writeNow(bytes("newer"), [&](const auto& result) { outcome = result; });
        QCOMPARE(h.executor.pendingCount(), 2);
        h.runJob(newerFirst ? 1 : 0);
        h.runJob(0);
        QCOMPARE(readFile(h.path), QByteArray("newer"));
        QCOMPARE(h.writes, newerFirst ? 1 : 2);
        QVERIFY(outcome && !outcome->error && h.failures.isEmpty());
    }

    // Without a delay: one write now and at most one more, with the newest state.
    void burstWhileWritingGivesOneMoreWrite()
    {
        Harness h;
        for (const char* state : {"first", "1", "2", "3"}) {
            h.state = state;
            h.writer.requestSave();
        }
        QCOMPARE(h.executor.pendingCount(), 1);
        h.runJob();
        QCOMPARE(readFile(h.path), QByteArray("first"));
        QCOMPARE(h.executor.pendingCount(), 1);
        h.runJob();
        QCOMPARE(readFile(h.path), QByteArray("3"));
        QVERIFY(h.executor.pendingCount() == 0 && !h.writer.hasPendingSave());
    }

    // With a delay: the write starts that long after the last request, with the state then;
    // a cancellation drops it.
    void debounce_data()
    {
        QTest::addColumn<QString>("interruption");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("requests 0.1 s apart") << QString() << QByteArray("last");
        QTest::newRow("cancelled in its delay") << "cancel" << QByteArray("<unreadable>");
        QTest::newRow("superseded by a write now") << "writeNow" << QByteArray("now");
    }

    void debounce()
    {
        QFETCH(QString, interruption);
        Harness h(0.35);
        h.writer.requestSave();
        h.scheduler.advance(0.1);
        h.state = "last";
        h.writer.requestSave();
        h.scheduler.advance(0.349);
        QCOMPARE(h.executor.pendingCount(), 0);
        if (interruption == QLatin1String("cancel")) {
            QVERIFY(h.writer.cancelPendingSave());
        } else if (interruption == QLatin1String("writeNow")) {
            QVERIFY(h.writer.writeNow(bytes("now"), [](const auto&) {}).cancelledPendingSave);
        }
        h.scheduler.advance(0.002);
        QCOMPARE(h.executor.pendingCount(), interruption == QLatin1String("cancel") ? 0 : 1);
        h.executor.runAll();
        QTEST(readFile(h.path), "written");
    }

    // At termination the event loop no longer runs: what waits is written on the spot, newest
    // first, and nothing is reported twice afterwards; past its deadline nothing is written.
    void flushWritesWhatWaits_data()
    {
        QTest::addColumn<int>("deadlineMs");
        QTest::newRow("in time") << 5000;
        QTest::newRow("deadline already passed") << 0;
    }

    void flushWritesWhatWaits()
    {
        QFETCH(int, deadlineMs);
        Harness h;
        h.writer.requestSave(); // its job is queued, not started
        h.state = "newest";
        h.writer.requestSave(); // waits behind it
        QCOMPARE(h.writer.flush(QDeadlineTimer(deadlineMs)), deadlineMs > 0);
        QCOMPARE(
            entries(h.dir.path()), deadlineMs > 0 ? QStringList {"store.json"} : QStringList());
        h.executor.runAll();
        h.scheduler.advance(1);
        QCOMPARE(h.writes, deadlineMs > 0 ? 1 : 0); // the older snapshot was skipped
        QCOMPARE(readFile(h.path), deadlineMs > 0 ? QByteArray("newest") : "<unreadable>");
    }

    // A write running on a worker is waited for until the deadline, then abandoned: it stops,
    // leaves the file as it was and no temporary file behind.
    void flushAbandonsAWriteStillRunningAtItsDeadline()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("store.json"));
        QVERIFY(writeFile(path, "before"));
        QtScheduler scheduler;
        ThreadPoolExecutor executor(scheduler);
        PersistentStoreWriter writer(scheduler, executor, path, [] { return bytes("new"); }, {});
        QSemaphore started;
        QSemaphore gate;
        writer.setFileWriteForTesting(
            [&](const QString& target, const auto& encode, QString* error) {
                started.release();
                gate.acquire();
                return PrivateFiles::writeAtomically(target, encode, error);
            });
        writer.requestSave();
        QVERIFY(started.tryAcquire(1, 10000));
        QElapsedTimer timer;
        timer.start();
        QVERIFY(!writer.flush(QDeadlineTimer(100)));
        QVERIFY(timer.elapsed() >= 100 && timer.elapsed() < 2000);
        gate.release();
        QVERIFY(executor.waitForDone(10000));
        QCOMPARE(readFile(path), QByteArray("before"));
        QCOMPARE(entries(dir.path()), QStringList {QStringLiteral("store.json")});
    }

    // An unreadable file is kept under another name before anything could replace it; when it
    // cannot be moved, every write of the run is refused with the reason.
    void keepsAnUnreadableFileAside_data()
    {
        QTest::addColumn<QString>("store");
        QTest::newRow("moved aside") << "file";
        // The link stays, the kept file is a copy of its target, the target is written.
        QTest::newRow("a link to a file elsewhere") << "link";
        QTest::newRow("cannot be moved") << "stuck";
    }

    void keepsAnUnreadableFileAside()
    {
        QFETCH(QString, store);
        const bool movable = store != QLatin1String("stuck");
        QTemporaryDir base;
        Harness h(0, movable ? QString() : folderNearPathMax(base.path()));
        const QString target =
            store == QLatin1String("link") ? base.filePath(QStringLiteral("synced")) : h.path;
        QVERIFY(writeFile(target, "damaged") && (target == h.path || QFile::link(target, h.path)));
        const QString aside = h.path + QStringLiteral(".unreadable-20260101T090000");
        const QString reason = QStringLiteral("not over the damaged file");
        // The interface stays silent; the journal says where the user's data went.
        QTest::ignoreMessage(QtWarningMsg,
            qPrintable(movable
                    ? QStringLiteral("Norvale: could not read %1; kept it as %2").arg(h.path, aside)
                    : QStringLiteral("Norvale: could not read %1 nor move it aside; not writing it")
                          .arg(h.path)));
        QCOMPARE(h.writer.keepUnreadableFile(reason), movable ? aside : QString());
        QCOMPARE(readFile(movable ? aside : h.path), QByteArray("damaged"));

        h.writer.requestSave();
        std::optional<QString> importError;
        h.writer.writeNow(
            bytes("import"), [&](const auto& outcome) { importError = outcome.error; });
        QVERIFY(h.writer.flush(QDeadlineTimer(5000)));
        h.scheduler.runPending();
        if (movable) {
            QCOMPARE(readFile(target), QByteArray("import"));
            QCOMPARE(QFileInfo(h.path).isSymLink(), target != h.path);
            QVERIFY(!QFileInfo(aside).isSymLink() && readFile(aside) == "damaged");
            QCOMPARE(fileMode(aside), 0600);
            QCOMPARE(h.failures, QStringList());
            return;
        }
        QCOMPARE(h.executor.pendingCount(), 0); // no write is even attempted
        QCOMPARE(h.failures, QStringList {reason});
        QCOMPARE(importError, std::optional(reason));
        QCOMPARE(readFile(h.path), QByteArray("damaged"));
    }
};

NORVALE_TEST_CLASS(PersistentStoreWriterTest)
#include "tst_persistentstorewriter.moc"
