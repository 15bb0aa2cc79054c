#pragma once

// Qt's screens (RandR monitors) with work areas computed from the panels' struts. Qt's
// availableGeometry() equals geometry() as soon as there are several monitors, and
// _NET_WORKAREA is one rectangle for the whole desktop, so each monitor's work area is its
// frame minus every _NET_WM_STRUT_PARTIAL (or _NET_WM_STRUT) of the windows in
// _NET_CLIENT_LIST that reaches into it.

#include "platform/Displays.h"

#include <QSize>

#include <array>
#include <cstdint>
#include <memory>

class X11Connection;
class QScreen;

struct Strut
{
    // _NET_WM_STRUT_PARTIAL order: left, right, top, bottom, left_start_y, left_end_y,
    // right_start_y, right_end_y, top_start_x, top_end_x, bottom_start_x, bottom_end_x.
    // Coordinates are the root window's (device pixels).
    std::array<uint32_t, 12> values {};

    static Strut fromPartial(const QList<uint32_t>& cardinals);
    // The old four-value form reserves the whole length of its edge.
    static Strut fromFull(const QList<uint32_t>& cardinals, const QSize& rootSize);
};

class LinuxDisplays final : public Displays
{
    Q_OBJECT

public:
    explicit LinuxDisplays(QObject* parent = nullptr);
    ~LinuxDisplays() override;

    QList<DisplayInfo> displays() const override;
    // Both through the X server: QCursor queries and warps the pointer on the xcb connection
    // (XWarpPointer; no synthetic input events).
    QPoint pointerLocation() const override;
    void warpPointer(const QPoint& location) override;

    // The part of monitor (root coordinates) left free by the struts; the frame itself when a
    // strut would leave nothing.
    static QRect workArea(const QRect& monitor, const QList<Strut>& struts, const QSize& rootSize);
    static bool isBuiltInConnector(const QString& name);

private:
    void watchScreen(QScreen* screen);
    void scheduleRefresh();
    void refresh();
    void handleEvent(const void* event);
    QList<Strut> readStruts();

    std::shared_ptr<X11Connection> m_x11;
    QList<DisplayInfo> m_displays;
    QList<uint32_t> m_watchedClients;
    bool m_refreshScheduled = false;
};
