#include "QtScheduler.h"

#include <QPointer>
#include <QTimer>

#include <cmath>

QtScheduler::QtScheduler()
{
    m_clock.start();
}

QtScheduler::~QtScheduler() = default;

QDateTime QtScheduler::now() const
{
    return QDateTime::currentDateTimeUtc();
}

double QtScheduler::uptime() const
{
    return static_cast<double>(m_clock.nsecsElapsed()) / 1e9;
}

void QtScheduler::post(std::function<void()> fn)
{
    QMetaObject::invokeMethod(&m_context, std::move(fn), Qt::QueuedConnection);
}

TimerHandle QtScheduler::postDelayed(double seconds, std::function<void()> fn)
{
    return startTimer(seconds, false, std::move(fn));
}

TimerHandle QtScheduler::repeating(double intervalSeconds, std::function<void()> fn)
{
    return startTimer(intervalSeconds, true, std::move(fn));
}

TimerHandle QtScheduler::startTimer(double seconds, bool repeat, std::function<void()> fn)
{
    auto state = std::make_shared<TimerHandle::State>();
    auto* timer = new QTimer(&m_context);
    timer->setTimerType(Qt::PreciseTimer);
    timer->setSingleShot(!repeat);
    timer->setInterval(static_cast<int>(std::lround(std::max(0.0, seconds) * 1000.0)));
    std::weak_ptr<TimerHandle::State> weak = state;
    QObject::connect(timer, &QTimer::timeout, timer, [timer, weak, repeat, fn = std::move(fn)] {
        auto s = weak.lock();
        if (!s || s->cancelled) {
            return;
        }
        if (!repeat) {
            s->finished = true;
            timer->deleteLater();
        }
        fn();
    });
    QPointer<QTimer> guard(timer);
    state->stop = [guard] {
        if (guard) {
            guard->stop();
            guard->deleteLater();
        }
    };
    timer->start();
    return TimerHandle(state);
}
