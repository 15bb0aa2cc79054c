#pragma once

// The attached displays in Qt's global coordinates (origin top-left, y downwards, logical
// pixels). The visible frame is the work area: the frame minus the panels' struts
// (_NET_WM_STRUT_PARTIAL), since with several monitors Qt's availableGeometry() equals the
// full geometry.
//
// Which display a rectangle belongs to is decided in one place, visibleFrameFor(), by one of
// two named rules: a point-like anchor (the pointer, the tray icon) belongs to the first display
// whose frame contains its centre; a window belongs to the display holding the largest part of
// it (the first of equals), as a window's screen is reckoned by the desktop.
//
// The monitor signature of window placement reckons frames the other way up: origin at the
// bottom-left corner of the primary display, y upwards. bottomUpFrame() is that conversion,
// kept here so that the placement logic never sees Qt's top-left space for screens.

#include <QList>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include <optional>

struct DisplayInfo
{
    QString id; // stable across restarts (connector name, or EDID-derived when known)
    QString name;
    QRect frame;
    QRect visibleFrame;
    double devicePixelRatio = 1.0;
    // The display mode's size in device pixels when the backend knows it; otherwise the frame
    // times the device pixel ratio stands for it.
    std::optional<QSize> pixelSize;
    bool isBuiltIn = false; // eDP / LVDS / DSI connector
    bool isPrimary = false;

    bool operator==(const DisplayInfo& other) const = default;
};

class Displays : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    ~Displays() override = default;

    // Primary display first, then the others in the system's order.
    virtual QList<DisplayInfo> displays() const = 0;
    virtual QPoint pointerLocation() const = 0;
    // Moves the pointer (Qt's global coordinates) without any input event of our own making.
    virtual void warpPointer(const QPoint& location) = 0;

Q_SIGNALS:
    void displaysChanged();
};

enum class DisplayMatch
{
    ContainsCentre,
    LargestOverlap
};

// The visible frame of the display rect belongs to under the rule; else the primary display's,
// else the first display's; nothing without displays.
std::optional<QRect> visibleFrameFor(
    const QRect& rect, const QList<DisplayInfo>& displays, DisplayMatch rule);

// display's frame with the origin at the bottom-left corner of the primary display (the first
// of displays marked primary, else the first) and y growing upwards.
QRect bottomUpFrame(const DisplayInfo& display, const QList<DisplayInfo>& displays);
