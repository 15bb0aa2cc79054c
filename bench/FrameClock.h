#pragma once

// Ends of painted frames, for benchmarks that time an action to the frame showing its result.

#include <QApplication>
#include <QElapsedTimer>
#include <QString>

#include <functional>

// Wall time (what the user waits for, including time the main thread waited for a core on a
// busy machine) and the main thread's CPU time (what the code itself costs).
struct FrameTiming
{
    double wallMs = -1;
    double cpuMs = -1;
    QString text() const;
};

// The application of a benchmark, counting painted frames of the watched top-level widget (or
// of every top-level widget when none is watched): a frame is a delivery of an update or
// expose event to the widget or its window during which any widget painted. It runs offscreen
// unless QT_QPA_PLATFORM names a platform, and without cursor blinking, whose repaints are no
// answer to a keystroke.
class FrameClock final : public QApplication
{
public:
    FrameClock(int& argc, char** argv);

    void watch(QWidget* window) { m_watched = window; }
    int frames() const { return m_frames; }
    // CPU time of the main thread, which runs all the widgets.
    static qint64 cpuNs();

    // Runs action and times it to the end of the next frame painted after it (-1 when no frame
    // came within 10 s).
    static FrameTiming untilNextFrame(const std::function<void()>& action);

    bool notify(QObject* receiver, QEvent* event) override;

private:
    bool isFrameEvent(QObject* receiver, const QEvent* event) const;

    QElapsedTimer m_clock = [] {
        QElapsedTimer timer;
        timer.start();
        return timer;
    }();
    QWidget* m_watched = nullptr;
    int m_paints = 0;
    int m_frames = 0;
    qint64 m_lastFrameNs = 0;
    qint64 m_lastFrameCpuNs = 0;
};
