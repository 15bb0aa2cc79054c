#pragma once

// One ordinary window open on the desktop, as the registration picker lists it. Bounds are in
// the global top-left desktop space, like every window frame.

#include <QRectF>
#include <QString>

struct RunningWindowSnapshot
{
    QString id; // "<pid>-<window number>"
    qint32 pid = 0;
    QString appBundleIdentifier;
    QString appName;
    QString windowTitle;
    qint64 windowNumber = 0;
    QRectF bounds;

    // "<title or (無題)> / <w>x<h> @ (<x>, <y>)", the bounds rounded half away from zero.
    QString detailLine() const;

    bool operator==(const RunningWindowSnapshot& other) const = default;
};
