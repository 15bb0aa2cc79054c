#pragma once

// Which windows window placement may use, over the records of WindowAccess: the listing the
// registration picker shows, the owner of a window, the window of an application that best
// matches a rule, and reading and writing a frame.
//
// Listing: layer at most 50, at least 80 x 60, not transparent, on screen, owned by a regular
// application that is not Norvale and not one of the desktop's own notification and control
// surfaces; one window per application and title (the larger), in displayed-name order.
//
// Matching: the windows of the application whose title equals the target (all windows for an
// empty target; all of them again when none matches and the fallback is allowed), the one
// whose centre is nearest to the target frame's centre, the first of equally near ones.

#include "RunningWindowSnapshot.h"
#include "platform/WindowAccess.h"

#include <QList>
#include <QRectF>
#include <QString>

#include <optional>

class WindowPlacementAccess final
{
public:
    explicit WindowPlacementAccess(WindowAccess& access);

    QList<RunningWindowSnapshot> captureAvailableWindows(
        const std::optional<QString>& ownBundleIdentifier) const;
    std::optional<QString> resolveBundleIdentifier(
        const std::optional<ApplicationRecord>& application, qint32 ownerProcessIdentifier,
        const QString& ownerName) const;
    std::optional<WindowElement> findBestMatchingWindow(qint32 processIdentifier,
        const QString& targetTitle, const QRectF& targetFrame, const QList<WindowElement>& excluded,
        bool allowTitleMismatchFallback) const;
    std::optional<QRectF> frameOfWindow(WindowElement window) const;
    // Position, then size, each once; true only when both were accepted.
    bool setFrame(const QRectF& frame, WindowElement window);

    WindowAccess& platform() const { return m_access; }

private:
    WindowAccess& m_access;
};
