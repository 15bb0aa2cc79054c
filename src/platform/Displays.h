#pragma once

// The attached displays in Qt's global coordinates (origin top-left, y downwards, logical
// pixels). The visible frame is the work area: the frame minus the panels' struts
// (_NET_WM_STRUT_PARTIAL), since with several monitors Qt's availableGeometry() equals the
// full geometry.

#include <QList>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QString>

struct DisplayInfo
{
    QString id; // stable across restarts (connector name, or EDID-derived when known)
    QString name;
    QRect frame;
    QRect visibleFrame;
    double devicePixelRatio = 1.0;
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

Q_SIGNALS:
    void displaysChanged();
};
