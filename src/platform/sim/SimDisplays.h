#pragma once

// Scripted displays and pointer. setDisplays() emits displaysChanged when the list differs.

#include "platform/Displays.h"

class SimDisplays final : public Displays
{
    Q_OBJECT

public:
    using Displays::Displays;

    QList<DisplayInfo> displays() const override { return m_displays; }
    QPoint pointerLocation() const override { return m_pointer; }
    void warpPointer(const QPoint& location) override
    {
        m_pointer = location;
        m_warps.append(location);
    }

    void setDisplays(const QList<DisplayInfo>& displays);
    void setPointerLocation(const QPoint& location) { m_pointer = location; }
    // Every warp so far, oldest first.
    const QList<QPoint>& warps() const { return m_warps; }

    // A display whose visible frame equals its frame.
    static DisplayInfo display(const QString& id, const QRect& frame, bool primary = false);

private:
    QList<DisplayInfo> m_displays;
    QPoint m_pointer;
    QList<QPoint> m_warps;
};
