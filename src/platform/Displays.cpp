#include "Displays.h"

#include <algorithm>

namespace {

bool containsCentre(const QRect& frame, const QRect& rect)
{
    // Doubled coordinates keep the halves of odd sizes exact.
    const qint64 cx = 2 * qint64(rect.left()) + rect.width();
    const qint64 cy = 2 * qint64(rect.top()) + rect.height();
    return cx >= 2 * qint64(frame.left()) && cx < 2 * (qint64(frame.left()) + frame.width()) &&
        cy >= 2 * qint64(frame.top()) && cy < 2 * (qint64(frame.top()) + frame.height());
}

qint64 overlapArea(const QRect& frame, const QRect& rect)
{
    const QRect overlap = frame.intersected(rect);
    return overlap.isEmpty() ? 0 : qint64(overlap.width()) * overlap.height();
}

const DisplayInfo* match(const QRect& rect, const QList<DisplayInfo>& displays, DisplayMatch rule)
{
    const DisplayInfo* best = nullptr;
    qint64 bestArea = 0;
    for (const DisplayInfo& display : displays) {
        switch (rule) {
        case DisplayMatch::ContainsCentre:
            if (containsCentre(display.frame, rect)) {
                return &display;
            }
            break;
        case DisplayMatch::LargestOverlap:
            if (const qint64 area = overlapArea(display.frame, rect); area > bestArea) {
                bestArea = area;
                best = &display;
            }
            break;
        }
    }
    return best;
}

} // namespace

std::optional<QRect> visibleFrameFor(
    const QRect& rect, const QList<DisplayInfo>& displays, DisplayMatch rule)
{
    if (const DisplayInfo* display = match(rect, displays, rule)) {
        return display->visibleFrame;
    }
    const auto primary = std::find_if(displays.cbegin(), displays.cend(),
        [](const DisplayInfo& display) { return display.isPrimary; });
    if (primary != displays.cend()) {
        return primary->visibleFrame;
    }
    if (!displays.isEmpty()) {
        return displays.first().visibleFrame;
    }
    return std::nullopt;
}

QRect bottomUpFrame(const DisplayInfo& display, const QList<DisplayInfo>& displays)
{
    const auto primary = std::find_if(displays.cbegin(), displays.cend(),
        [](const DisplayInfo& candidate) { return candidate.isPrimary; });
    const QRect reference = primary != displays.cend() ? primary->frame
        : displays.isEmpty()                           ? display.frame
                                                       : displays.first().frame;
    const int bottom = reference.top() + reference.height();
    return QRect(display.frame.left() - reference.left(),
        bottom - (display.frame.top() + display.frame.height()), display.frame.width(),
        display.frame.height());
}
