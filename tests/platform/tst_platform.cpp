#include "common/TestMain.h"
#include "platform/QtScheduler.h"
#include "platform/ThreadPoolExecutor.h"
#include "platform/sim/ManualExecutor.h"
#include "platform/sim/ManualScheduler.h"
#include "platform/sim/MemoryDefaultsStore.h"

#include <QElapsedTimer>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTest>

#include <atomic>

class PlatformTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void manualSchedulerRunsInDueThenPostingOrder()
    {
        const QDateTime start(QDate(2024, 5, 1), QTime(9, 30), Qt::UTC);
        ManualScheduler scheduler(start);
        QStringList log;
        TimerHandle late = scheduler.postDelayed(0.5, [&] { log << QStringLiteral("late"); });
        auto early = scheduler.postDelayed(0.2, [&] {
            log << QStringLiteral("early");
            // Work scheduled while advancing runs in the same advance when it falls due.
            scheduler.post([&] { log << QStringLiteral("posted"); });
        });
        auto tie = scheduler.postDelayed(0.2, [&] { log << QStringLiteral("tie"); });
        scheduler.advance(0.1);
        QVERIFY(log.isEmpty());
        scheduler.advance(0.4);
        QCOMPARE(log,
            QStringList({QStringLiteral("early"), QStringLiteral("tie"), QStringLiteral("posted"),
                QStringLiteral("late")}));
        QCOMPARE(scheduler.uptime(), 0.5);
        // The wall clock follows mock time.
        scheduler.advance(89.5);
        QCOMPARE(scheduler.now(), start.addSecs(90));
    }

    void repeatingTimerAndCancellation()
    {
        ManualScheduler scheduler;
        int ticks = 0;
        TimerHandle timer = scheduler.repeating(0.75, [&] { ++ticks; });
        scheduler.advance(3.0);
        QCOMPARE(ticks, 4);
        timer.cancel();
        scheduler.advance(3.0);
        QCOMPARE(ticks, 4);

        // A dropped handle cancels; a moved one does not; a timer may cancel itself.
        int fired = 0;
        {
            TimerHandle dropped = scheduler.postDelayed(1, [&] { ++fired; });
        }
        TimerHandle moved = scheduler.postDelayed(1, [&] { ++fired; });
        TimerHandle target = std::move(moved);
        timer = scheduler.repeating(1, [&] {
            if (++ticks == 6) {
                timer.cancel();
            }
        });
        scheduler.advance(10);
        QCOMPARE(fired, 1);
        QCOMPARE(ticks, 6);
    }

    void manualExecutorDeliversOnlyUncancelledResults()
    {
        ManualScheduler scheduler;
        ManualExecutor executor(scheduler);
        QList<int> results;
        TaskHandle first = executor.run<int>(
            Executor::Priority::Utility, [](const CancelToken&) { return 1; },
            [&](int v) { results << v; });
        TaskHandle second = executor.run<int>(
            Executor::Priority::Utility, [](const CancelToken&) { return 2; },
            [&](int v) { results << v; });
        // Out of order on purpose: the newer job finishes first.
        executor.runJob(1);
        QVERIFY(results.isEmpty()); // delivery goes through the scheduler
        scheduler.runPending();
        QCOMPARE(results, QList<int>({2}));
        executor.runJob(0);
        first.cancel(); // cancelled after the job ran but before delivery
        scheduler.runPending();
        QCOMPARE(results, QList<int>({2}));
    }

    void qtSchedulerAndThreadPool()
    {
        QtScheduler scheduler;
        int fired = 0;
        TimerHandle cancelled = scheduler.postDelayed(0.01, [&] { ++fired; });
        cancelled.cancel();

        // Jobs run on a worker; their results are delivered on the main thread.
        ThreadPoolExecutor executor(scheduler, 2);
        QThread* jobThread = nullptr;
        QThread* doneThread = nullptr;
        TaskHandle task = executor.run<int>(
            Executor::Priority::UserInitiated,
            [&](const CancelToken&) {
                jobThread = QThread::currentThread();
                return 7;
            },
            [&](int) { doneThread = QThread::currentThread(); });
        bool later = false;
        TimerHandle second = scheduler.postDelayed(0.02, [&] { later = true; });
        QTRY_VERIFY(later && doneThread != nullptr);
        QVERIFY(jobThread != QThread::currentThread());
        QCOMPARE(doneThread, QThread::currentThread());
        QCOMPARE(fired, 0);
    }

    // Quit must not hang on a job stuck in a system call; when that job ends after all, its
    // completion must not reach a scheduler that may be gone.
    void shutdownLeavesAStuckJobBehind()
    {
        QtScheduler scheduler;
        QSemaphore stuck;
        std::atomic_bool ended = false;
        bool delivered = false;
        QElapsedTimer timer;
        {
            ThreadPoolExecutor executor(scheduler, 1, std::chrono::milliseconds(100));
            executor
                .start(
                    Executor::Priority::Utility,
                    [&](const CancelToken&) {
                        stuck.acquire();
                        ended = true;
                    },
                    [&] { delivered = true; })
                .release();
            timer.start();
        }
        QVERIFY2(timer.elapsed() < 2000, qPrintable(QString::number(timer.elapsed())));
        stuck.release();
        QTRY_VERIFY(ended.load());
        QCoreApplication::processEvents();
        QVERIFY(!delivered);
    }

    void typedDefaults()
    {
        MemoryDefaultsStore store;
        store.set(QStringLiteral("b"), true);
        store.set(QStringLiteral("i"), qint64(30));
        store.set(QStringLiteral("d"), 7.9);
        store.set(QStringLiteral("s"), QStringLiteral("30"));
        // Numbers read as either numeric type; nothing else converts.
        QCOMPARE(store.integerValue(QStringLiteral("i")), std::optional<qint64>(30));
        QCOMPARE(store.integerValue(QStringLiteral("d")), std::optional<qint64>(7));
        QCOMPARE(store.integerValue(QStringLiteral("s")), std::nullopt);
        QCOMPARE(store.integerValue(QStringLiteral("b")), std::nullopt);
        QCOMPARE(store.boolValue(QStringLiteral("i")), std::nullopt);
    }
};

NORVALE_TEST_CLASS(PlatformTest)
#include "tst_platform.moc"
