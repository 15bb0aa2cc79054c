#pragma once

// The y-up screen space that the floating panels' placement rules are written in: the origin
// is the bottom-left corner of the primary display, y grows upwards, units are Qt's logical
// pixels. Qt's global coordinates (origin at the primary display's top-left, y downwards) are
// converted here and nowhere else, so the rules stay pure functions tested without a screen.
//
// Without any display the axis is the origin: y simply changes sign, which keeps the
// conversion its own inverse.

#include "Displays.h"

#include <QList>
#include <QPointF>
#include <QRectF>

// One display as the placement rules see it, in the y-up space.
struct ScreenFrame
{
    QRectF frame;
    QRectF visibleFrame;

    bool operator==(const ScreenFrame& other) const = default;
};

class ScreenSpace final
{
public:
    explicit ScreenSpace(const QList<DisplayInfo>& displays);

    QPointF toYUp(const QPointF& point) const;
    QPointF fromYUp(const QPointF& point) const;
    QRectF toYUp(const QRectF& rect) const;
    QRectF fromYUp(const QRectF& rect) const;

    // The displays in the y-up space, the primary (the "main screen") first.
    QList<ScreenFrame> screens() const { return m_screens; }

private:
    QPointF m_origin; // the primary display's bottom-left corner in Qt's coordinates
    QList<ScreenFrame> m_screens;
};
