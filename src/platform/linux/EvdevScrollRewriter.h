#pragma once

// The wheel rewriting loop between a grabbed evdev device and a uinput device, over plain file
// descriptors so that it runs over pipes as well. Events are read as input_event records and
// grouped into frames ending in SYN_REPORT. A frame that carries wheel motion is offered to the
// handler as one ScrollWheelEvent (REL_WHEEL and REL_HWHEEL as lines on axes 1 and 2, their
// high-resolution twins, 120 units a notch, as 16.16 fixed point); when the handler returns a
// replacement, the wheel values of the frame are replaced by its deltas. Every other event is
// written on unchanged, in the order it came.

#include "platform/ScrollWheelEvent.h"

#include <QByteArray>

#include <functional>
#include <optional>

class EvdevScrollRewriter final
{
public:
    using Handler = std::function<std::optional<ScrollWheelEvent>(const ScrollWheelEvent&)>;

    EvdevScrollRewriter(int inputFd, int outputFd, Handler handler);

    // Reads what the input offers now (one read) and writes the finished frames. False at end of
    // input or on a read or write error.
    bool pump();

private:
    void finishFrame();
    bool flush();

    int m_inputFd;
    int m_outputFd;
    Handler m_handler;
    QByteArray m_partial;
    QByteArray m_frame;
    QByteArray m_ready;
};
