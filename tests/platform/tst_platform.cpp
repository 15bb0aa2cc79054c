#include "PlatformTestTypes.h"
#include "common/TestMain.h"
#include "platform/QtScheduler.h"
#include "platform/ScreenSpace.h"
#include "platform/Setting.h"
#include "platform/ThreadPoolExecutor.h"
#include "platform/sim/ManualExecutor.h"
#include "platform/sim/ManualScheduler.h"
#include "platform/sim/MemoryDefaultsStore.h"
#include "platform/sim/SimDisplays.h"

#include <QElapsedTimer>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTest>

#include <atomic>
#include <cmath>

Q_DECLARE_METATYPE(ScreenFrame)

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

    // Three settings on one store: a count clamped to 1...12 (default 4), a scale clamped to
    // 0...2 when read but rounded to halves when set, refusing NaN (default 1.0), and a flag
    // (default true). "assigned" absent: the setting is only read.
    void setting_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<DefaultsValue>("stored");
        QTest::addColumn<DefaultsValue>("assigned");
        QTest::addColumn<DefaultsValue>("value");
        QTest::addColumn<DefaultsValue>("inStore");
        QTest::addColumn<int>("changes");
        const auto row = [](const char* name, const char* key, const DefaultsValue& stored,
                             const DefaultsValue& assigned, const DefaultsValue& value,
                             const DefaultsValue& inStore, int changes = 0) {
            QTest::newRow(name) << QString::fromLatin1(key) << stored << assigned << value
                                << inStore << changes;
        };
        const DefaultsValue none;
        const qint64 four = 4;
        row("absent: the default is written", "count", none, none, four, four);
        row("a double default stays a double", "scale", none, none, 1.0, 1.0);
        row("read: clamped, not written back", "count", qint64 {40}, none, qint64 {12},
            qint64 {40});
        row("read: a double as an integer", "count", 7.9, none, qint64 {7}, 7.9);
        row("read: an integer as a double", "scale", qint64 {2}, none, 2.0, qint64 {2});
        row("read: the read normaliser", "scale", 2.7, none, 2.0, 2.7);
        row("read: a string is not a number", "count", QStringLiteral("7"), none, four,
            QStringLiteral("7"));
        row("read: a flag is not a number", "count", true, none, four, true);
        row("read: a number is not a flag", "flag", qint64 {0}, none, true, qint64 {0});
        row("set: normalised and written", "count", none, qint64 {13}, qint64 {12}, qint64 {12}, 1);
        row("set: the set normaliser", "scale", none, 1.3, 1.5, 1.5, 1);
        row("set: the same value is written, no change", "count", 5.0, qint64 {5}, qint64 {5},
            qint64 {5});
        row("set: a refused value changes nothing", "scale", 1.5, std::nan(""), 1.5, 1.5);
        row("set: a flag", "flag", none, false, false, false, 1);
    }

    void setting()
    {
        QFETCH(QString, key);
        QFETCH(DefaultsValue, stored);
        QFETCH(DefaultsValue, assigned);
        MemoryDefaultsStore store;
        if (defaultsTypeOf(stored) != DefaultsType::Absent) {
            store.set(key, stored);
        }
        int changes = 0;
        const auto changed = [&changes](const auto&) {
            ++changes;
        };
        Setting<qint64> count(store, QStringLiteral("count"), 4,
            {.normalize = Setting<qint64>::clampedTo(1, 12), .changed = changed});
        Setting<double> scale(store, QStringLiteral("scale"), 1.0,
            {.normalize = [](double v) -> std::optional<double> {
                 return std::isnan(v) ? std::nullopt : std::optional(std::round(v * 2) / 2);
             },
                .normalizeRead = Setting<double>::clampedTo(0, 2),
                .changed = changed});
        Setting<bool> flag(store, QStringLiteral("flag"), true, {.changed = changed});
        const auto run = [&](auto& setting) {
            count.registerDefault();
            scale.registerDefault();
            flag.registerDefault();
            setting.load();
            if (defaultsTypeOf(assigned) != DefaultsType::Absent) {
                setting.set(std::get<std::decay_t<decltype(setting.value())>>(assigned));
            }
            return DefaultsValue(setting.value());
        };
        QTEST(key == QLatin1String("count")     ? run(count)
                : key == QLatin1String("scale") ? run(scale)
                                                : run(flag),
            "value");
        QTEST(store.value(key), "inStore");
        QTEST(changes, "changes");
        QCOMPARE(store.keys().size(), 3);
    }

    void screenSpaceFlipsAroundThePrimaryBottom_data()
    {
        QTest::addColumn<QList<DisplayInfo>>("displays");
        QTest::addColumn<QRectF>("qtRect");
        QTest::addColumn<QRectF>("yUpRect");
        QTest::addColumn<QList<ScreenFrame>>("screens");
        // The secondary is listed first and hangs 200 above the primary's top.
        DisplayInfo primary = SimDisplays::display(QStringLiteral("P"), {0, 0, 1920, 1080}, true);
        primary.visibleFrame = QRect(0, 32, 1920, 1048);
        const DisplayInfo secondary =
            SimDisplays::display(QStringLiteral("S"), {1920, -200, 1280, 1024});
        QTest::newRow("a window near the primary's top")
            << QList<DisplayInfo> {secondary, primary} << QRectF(100, 50, 200, 30)
            << QRectF(100, 1000, 200, 30)
            << QList<ScreenFrame> {{{0, 0, 1920, 1080}, {0, 0, 1920, 1048}},
                   {{1920, 256, 1280, 1024}, {1920, 256, 1280, 1024}}};
        const DisplayInfo offset =
            SimDisplays::display(QStringLiteral("O"), {-1280, 100, 1280, 800}, true);
        QTest::newRow("a primary away from Qt's origin")
            << QList<DisplayInfo> {offset} << QRectF(-1180, 150, 10, 10) << QRectF(100, 740, 10, 10)
            << QList<ScreenFrame> {{{0, 0, 1280, 800}, {0, 0, 1280, 800}}};
        QTest::newRow("no display: y changes sign")
            << QList<DisplayInfo>() << QRectF(5, 10, 20, 30) << QRectF(5, -40, 20, 30)
            << QList<ScreenFrame>();
    }

    void screenSpaceFlipsAroundThePrimaryBottom()
    {
        QFETCH(QList<DisplayInfo>, displays);
        QFETCH(QRectF, qtRect);
        QFETCH(QRectF, yUpRect);
        const ScreenSpace space(displays);
        QCOMPARE(space.toYUp(qtRect), yUpRect);
        QCOMPARE(space.fromYUp(yUpRect), qtRect);
        QCOMPARE(space.toYUp(qtRect.topLeft()), yUpRect.topLeft() + QPointF(0, yUpRect.height()));
        QTEST(space.screens(), "screens");
    }
};

NORVALE_TEST_CLASS(PlatformTest)
#include "tst_platform.moc"
