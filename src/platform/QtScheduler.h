#pragma once

// Production scheduler: QTimer on the thread that created it (the main thread).

#include "Scheduler.h"

#include <QElapsedTimer>
#include <QObject>

class QtScheduler final : public Scheduler
{
public:
    QtScheduler();
    ~QtScheduler() override;

    QDateTime now() const override;
    double uptime() const override;
    void post(std::function<void()> fn) override;
    TimerHandle postDelayed(double seconds, std::function<void()> fn) override;
    TimerHandle repeating(double intervalSeconds, std::function<void()> fn) override;

private:
    TimerHandle startTimer(double seconds, bool repeat, std::function<void()> fn);

    QObject m_context;
    QElapsedTimer m_clock;
};
