#include "common/TestMain.h"
#include "platform/QtScheduler.h"
#include "platform/ThreadPoolExecutor.h"
#include "platform/sim/ManualExecutor.h"
#include "platform/sim/ManualScheduler.h"
#include "platform/sim/MemoryDefaultsStore.h"

#include <QSignalSpy>
#include <QTest>

class PlatformTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void manualSchedulerRunsInDueThenPostingOrder()
    {
        ManualScheduler scheduler;
        QStringList log;
        auto late = scheduler.postDelayed(0.5, [&] { log << QStringLiteral("late"); });
        auto early = scheduler.postDelayed(0.2, [&] {
            log << QStringLiteral("early");
            // Work scheduled while advancing runs in the same advance when it falls due.
            scheduler.post([&] { log << QStringLiteral("posted"); });
        });
        auto tie = scheduler.postDelayed(0.2, [&] { log << QStringLiteral("tie"); });
        scheduler.advance(0.1);
        QVERIFY(log.isEmpty());
        scheduler.advance(0.4);
        QCOMPARE(log, QStringList({ QStringLiteral("early"), QStringLiteral("tie"),
                          QStringLiteral("posted"), QStringLiteral("late") }));
        QVERIFY(!late.isActive());
        QCOMPARE(scheduler.uptime(), 0.5);
    }

    void repeatingTimerAndCancellation()
    {
        ManualScheduler scheduler;
        int ticks = 0;
        TimerHandle timer = scheduler.repeating(0.75, [&] { ++ticks; });
        scheduler.advance(3.0);
        QCOMPARE(ticks, 4);
        QVERIFY(timer.isActive());
        timer.cancel();
        scheduler.advance(3.0);
        QCOMPARE(ticks, 4);

        int fired = 0;
        {
            TimerHandle dropped = scheduler.postDelayed(1, [&] { ++fired; });
        }
        TimerHandle moved = scheduler.postDelayed(1, [&] { ++fired; });
        TimerHandle target = std::move(moved);
        scheduler.advance(2);
        QCOMPARE(fired, 1);
    }

    void repeatingTimerMayCancelItself()
    {
        ManualScheduler scheduler;
        int ticks = 0;
        TimerHandle timer;
        timer = scheduler.repeating(1, [&] {
            if (++ticks == 2) {
                timer.cancel();
            }
        });
        scheduler.advance(10);
        QCOMPARE(ticks, 2);
    }

    void wallClockFollowsMockTime()
    {
        const QDateTime start(QDate(2024, 5, 1), QTime(9, 30), Qt::UTC);
        ManualScheduler scheduler(start);
        scheduler.advance(90);
        QCOMPARE(scheduler.now(), start.addSecs(90));
    }

    void manualExecutorDeliversOnlyUncancelledResults()
    {
        ManualScheduler scheduler;
        ManualExecutor executor(scheduler);
        QList<int> results;
        TaskHandle first = executor.run<int>(Executor::Priority::Utility,
            [](const CancelToken&) { return 1; }, [&](int v) { results << v; });
        TaskHandle second = executor.run<int>(Executor::Priority::Utility,
            [](const CancelToken&) { return 2; }, [&](int v) { results << v; });
        QCOMPARE(executor.pendingCount(), 2);
        // Out of order on purpose: the newer job finishes first.
        executor.runJob(1);
        QVERIFY(results.isEmpty()); // delivery goes through the scheduler
        scheduler.runPending();
        QCOMPARE(results, QList<int>({ 2 }));
        executor.runJob(0);
        first.cancel(); // cancelled after the job ran but before delivery
        scheduler.runPending();
        QCOMPARE(results, QList<int>({ 2 }));
    }

    void threadPoolExecutorDeliversOnMainThread()
    {
        QtScheduler scheduler;
        ThreadPoolExecutor executor(scheduler, 2);
        QThread* mainThread = QThread::currentThread();
        QThread* jobThread = nullptr;
        QThread* doneThread = nullptr;
        bool done = false;
        TaskHandle task = executor.run<int>(Executor::Priority::UserInitiated,
            [&](const CancelToken&) {
                jobThread = QThread::currentThread();
                return 7;
            },
            [&](int) {
                doneThread = QThread::currentThread();
                done = true;
            });
        QTRY_VERIFY(done);
        QVERIFY(jobThread != mainThread);
        QCOMPARE(doneThread, mainThread);
    }

    void qtSchedulerHandleCancels()
    {
        QtScheduler scheduler;
        int fired = 0;
        TimerHandle handle = scheduler.postDelayed(0.01, [&] { ++fired; });
        handle.cancel();
        bool other = false;
        TimerHandle second = scheduler.postDelayed(0.02, [&] { other = true; });
        QTRY_VERIFY(other);
        QCOMPARE(fired, 0);
    }

    void typedDefaults_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("type");
        QTest::newRow("bool") << QStringLiteral("b") << int(DefaultsType::Bool);
        QTest::newRow("int") << QStringLiteral("i") << int(DefaultsType::Integer);
        QTest::newRow("double") << QStringLiteral("d") << int(DefaultsType::Double);
        QTest::newRow("string") << QStringLiteral("s") << int(DefaultsType::String);
        QTest::newRow("data") << QStringLiteral("x") << int(DefaultsType::Data);
        QTest::newRow("absent") << QStringLiteral("none") << int(DefaultsType::Absent);
    }

    void typedDefaults()
    {
        QFETCH(QString, key);
        QFETCH(int, type);
        MemoryDefaultsStore store;
        store.set(QStringLiteral("b"), true);
        store.set(QStringLiteral("i"), qint64(30));
        store.set(QStringLiteral("d"), 0.5);
        store.set(QStringLiteral("s"), QStringLiteral("テキスト"));
        store.set(QStringLiteral("x"), QByteArray("\x00\x01", 2));
        QCOMPARE(int(defaultsTypeOf(store.value(key))), type);
        QCOMPARE(store.contains(key), type != int(DefaultsType::Absent));
        // Numbers read as either numeric type; nothing else converts.
        QCOMPARE(store.integerValue(key).has_value(),
            type == int(DefaultsType::Integer) || type == int(DefaultsType::Double));
        QCOMPARE(store.boolValue(key).has_value(), type == int(DefaultsType::Bool));
        QVERIFY(!store.registerDefault(QStringLiteral("i"), qint64(80)));
        QCOMPARE(store.integerValue(QStringLiteral("i")), std::optional<qint64>(30));
    }
};

NORVALE_TEST_CLASS(PlatformTest)
#include "tst_platform.moc"
