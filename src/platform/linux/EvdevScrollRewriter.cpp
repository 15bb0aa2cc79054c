#include "EvdevScrollRewriter.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <linux/input.h>
#include <unistd.h>

namespace {

// 120 high-resolution units are one notch, one line; 65536 is one line in 16.16.
constexpr qint64 HighResolutionUnit = 120;
constexpr qint64 FixedPointUnit = 65536;

#if !defined(REL_WHEEL_HI_RES)
constexpr quint16 REL_WHEEL_HI_RES = 0x0b;
constexpr quint16 REL_HWHEEL_HI_RES = 0x0c;
#endif

input_event eventAt(const QByteArray& bytes, qsizetype index)
{
    input_event event {};
    std::memcpy(
        &event, bytes.constData() + index * qsizetype(sizeof(input_event)), sizeof(input_event));
    return event;
}

void storeEventAt(QByteArray& bytes, qsizetype index, const input_event& event)
{
    std::memcpy(bytes.data() + index * qsizetype(sizeof(input_event)), &event, sizeof(input_event));
}

// The ScrollWheelEvent field a wheel event maps onto, or nullptr for other events.
qint64* wheelField(ScrollWheelEvent& wheel, const input_event& event)
{
    if (event.type != EV_REL) {
        return nullptr;
    }
    switch (event.code) {
    case REL_WHEEL:
        return &wheel.lineDeltas[0];
    case REL_HWHEEL:
        return &wheel.lineDeltas[1];
    case REL_WHEEL_HI_RES:
        return &wheel.fixedPointDeltas[0];
    case REL_HWHEEL_HI_RES:
        return &wheel.fixedPointDeltas[1];
    default:
        return nullptr;
    }
}

bool isHighResolution(const input_event& event)
{
    return event.code == REL_WHEEL_HI_RES || event.code == REL_HWHEEL_HI_RES;
}

qint32 clampedValue(qint64 value)
{
    return qint32(std::clamp<qint64>(
        value, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max()));
}

} // namespace

EvdevScrollRewriter::EvdevScrollRewriter(int inputFd, int outputFd, Handler handler)
    : m_inputFd(inputFd)
    , m_outputFd(outputFd)
    , m_handler(std::move(handler))
{ }

bool EvdevScrollRewriter::pump()
{
    char buffer[64 * sizeof(input_event)];
    const ssize_t count = ::read(m_inputFd, buffer, sizeof(buffer));
    if (count < 0) {
        return errno == EAGAIN || errno == EINTR;
    }
    if (count == 0) {
        return false;
    }
    m_partial.append(buffer, count);
    constexpr qsizetype RecordSize = sizeof(input_event);
    const qsizetype complete = m_partial.size() / RecordSize;
    for (qsizetype index = 0; index < complete; ++index) {
        const input_event event = eventAt(m_partial, index);
        m_frame.append(m_partial.constData() + index * RecordSize, RecordSize);
        if (event.type == EV_SYN && event.code == SYN_REPORT) {
            finishFrame();
        }
    }
    m_partial.remove(0, complete * RecordSize);
    return flush();
}

void EvdevScrollRewriter::finishFrame()
{
    const qsizetype count = m_frame.size() / qsizetype(sizeof(input_event));
    ScrollWheelEvent wheel;
    bool hasWheel = false;
    for (qsizetype index = 0; index < count; ++index) {
        const input_event event = eventAt(m_frame, index);
        if (qint64* field = wheelField(wheel, event)) {
            *field += isHighResolution(event)
                ? qint64(event.value) * FixedPointUnit / HighResolutionUnit
                : event.value;
            hasWheel = true;
        }
    }
    const std::optional<ScrollWheelEvent> replacement =
        hasWheel ? m_handler(wheel) : std::optional<ScrollWheelEvent>();
    if (replacement) {
        ScrollWheelEvent changed = *replacement;
        for (qsizetype index = 0; index < count; ++index) {
            input_event event = eventAt(m_frame, index);
            if (const qint64* field = wheelField(changed, event)) {
                event.value = clampedValue(isHighResolution(event)
                        ? *field * HighResolutionUnit / FixedPointUnit
                        : *field);
                storeEventAt(m_frame, index, event);
            }
        }
    }
    m_ready.append(m_frame);
    m_frame.clear();
}

bool EvdevScrollRewriter::flush()
{
    while (!m_ready.isEmpty()) {
        const ssize_t written = ::write(m_outputFd, m_ready.constData(), size_t(m_ready.size()));
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        m_ready.remove(0, written);
    }
    return true;
}
