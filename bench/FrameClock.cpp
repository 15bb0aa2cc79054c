#include "FrameClock.h"

#include "BenchSupport.h"

#include <QWidget>
#include <QWindow>

#include <ctime>

QString FrameTiming::text() const
{
    return QStringLiteral("%1 ms (%2 ms CPU)").arg(wallMs, 0, 'f', 1).arg(cpuMs, 0, 'f', 1);
}

namespace {

int& offscreenUnlessChosen(int& argc)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    return argc;
}

} // namespace

FrameClock::FrameClock(int& argc, char** argv)
    : QApplication(offscreenUnlessChosen(argc), argv)
{
    setCursorFlashTime(0);
}

qint64 FrameClock::cpuNs()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

FrameTiming FrameClock::untilNextFrame(const std::function<void()>& action)
{
    auto* clock = static_cast<FrameClock*>(QCoreApplication::instance());
    const int frames = clock->m_frames;
    const qint64 start = clock->m_clock.nsecsElapsed();
    const qint64 startCpu = cpuNs();
    action();
    if (!BenchSupport::runEventLoopUntil([&] { return clock->m_frames > frames; }, 10000)) {
        return {};
    }
    return {double(clock->m_lastFrameNs - start) / 1e6,
        double(clock->m_lastFrameCpuNs - startCpu) / 1e6};
}

bool FrameClock::isFrameEvent(QObject* receiver, const QEvent* event) const
{
    if (event->type() != QEvent::UpdateRequest && event->type() != QEvent::Expose) {
        return false;
    }
    if (m_watched != nullptr) {
        return receiver == m_watched || receiver == m_watched->windowHandle();
    }
    return receiver->isWindowType() ||
        (receiver->isWidgetType() && static_cast<QWidget*>(receiver)->isWindow());
}

bool FrameClock::notify(QObject* receiver, QEvent* event)
{
    if (event->type() == QEvent::Paint) {
        ++m_paints;
        return QApplication::notify(receiver, event);
    }
    const bool frameEvent = isFrameEvent(receiver, event);
    const int paintsBefore = m_paints;
    const bool result = QApplication::notify(receiver, event);
    if (frameEvent && m_paints > paintsBefore) {
        ++m_frames;
        m_lastFrameNs = m_clock.nsecsElapsed();
        m_lastFrameCpuNs = cpuNs();
    }
    return result;
}
