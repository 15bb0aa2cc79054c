#pragma once

// A placement rule: while the monitor configuration with this signature is attached, the
// window of this application with this title belongs at this frame. Frames are in the global
// top-left desktop space (y downwards), the space windows are read and moved in.
//
// createdAt is kept as the stored number itself, seconds since 2001-01-01 00:00:00 UTC, so
// that a rule read and written again keeps its bytes (a date type would round it to
// milliseconds).

#include <QDateTime>
#include <QHashFunctions>
#include <QString>
#include <QUuid>

struct WindowRect
{
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    bool operator==(const WindowRect& other) const = default;
};

struct RuleIdentity
{
    QString monitorSignature;
    QString appBundleIdentifier;
    QString windowTitle;

    bool operator==(const RuleIdentity& other) const = default;
};

inline size_t qHash(const RuleIdentity& identity, size_t seed = 0)
{
    return qHashMulti(
        seed, identity.monitorSignature, identity.appBundleIdentifier, identity.windowTitle);
}

struct WindowPlacementRule
{
    QUuid id;
    QString monitorSignature;
    QString monitorDescription;
    QString appBundleIdentifier;
    QString appName;
    QString windowTitle;
    WindowRect targetFrame;
    double createdAt = 0; // seconds since 2001-01-01 00:00:00 UTC

    RuleIdentity identity() const { return {monitorSignature, appBundleIdentifier, windowTitle}; }

    bool operator==(const WindowPlacementRule& other) const = default;
};

namespace PlacementDates {
// Seconds since 2001-01-01 00:00:00 UTC.
double secondsSinceReferenceDate(const QDateTime& dateTime);
} // namespace PlacementDates

// The title as lists and messages show it: "(無題)" for an untitled window.
QString displayedWindowTitle(const QString& title);
