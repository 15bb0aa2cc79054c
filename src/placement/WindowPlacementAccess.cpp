#include "WindowPlacementAccess.h"

#include "support/Text.h"

#include <QHash>
#include <QSet>

#include <algorithm>

namespace {

constexpr qint64 MaximumLayer = 50;
constexpr double MinimumWidth = 80;
constexpr double MinimumHeight = 60;

bool isExcluded(const QString& bundleIdentifier, const QString& ownerName)
{
    static const QSet<QString> bundles {QStringLiteral("com.apple.notificationcenterui"),
        QStringLiteral("com.apple.controlcenter")};
    static const QSet<QString> owners {
        QStringLiteral("Notification Center"), QStringLiteral("Control Center")};
    return bundles.contains(bundleIdentifier) || owners.contains(ownerName);
}

bool isListable(const WindowListEntry& entry)
{
    return entry.layer <= MaximumLayer && entry.isOnScreen.value_or(true) &&
        entry.bounds.width() >= MinimumWidth && entry.bounds.height() >= MinimumHeight &&
        (!entry.alpha || *entry.alpha > 0);
}

double area(const QRectF& rect)
{
    return rect.width() * rect.height();
}

double squaredDistance(const QPointF& a, const QPointF& b)
{
    const QPointF d = a - b;
    return d.x() * d.x() + d.y() * d.y();
}

} // namespace

WindowPlacementAccess::WindowPlacementAccess(WindowAccess& access)
    : m_access(access)
{ }

QList<RunningWindowSnapshot> WindowPlacementAccess::captureAvailableWindows(
    const std::optional<QString>& ownBundleIdentifier) const
{
    const QList<ApplicationRecord> applications = m_access.runningApplications();
    QSet<QString> regular;
    for (const ApplicationRecord& application : applications) {
        if (application.isRegular && application.bundleIdentifier) {
            regular.insert(*application.bundleIdentifier);
        }
    }
    const std::optional<QList<WindowListEntry>> entries = m_access.windowList();
    if (!entries) {
        return {};
    }
    QList<RunningWindowSnapshot> snapshots;
    QHash<QString, qsizetype> byKey;
    for (const WindowListEntry& entry : *entries) {
        if (!isListable(entry)) {
            continue;
        }
        const std::optional<ApplicationRecord> owner =
            m_access.application(entry.ownerProcessIdentifier);
        const std::optional<QString> bundle =
            resolveBundleIdentifier(owner, entry.ownerProcessIdentifier, entry.ownerName);
        if (!bundle || bundle == ownBundleIdentifier || !regular.contains(*bundle) ||
            isExcluded(*bundle, entry.ownerName)) {
            continue;
        }
        RunningWindowSnapshot snapshot;
        snapshot.id = QString::number(entry.ownerProcessIdentifier) + QLatin1Char('-') +
            QString::number(entry.number);
        snapshot.pid = entry.ownerProcessIdentifier;
        snapshot.appBundleIdentifier = *bundle;
        snapshot.appName = owner && owner->localizedName ? *owner->localizedName : entry.ownerName;
        snapshot.windowTitle = Text::trimmed(entry.name.value_or(QString()));
        snapshot.windowNumber = entry.number;
        snapshot.bounds = entry.bounds;

        const QString key = *bundle + QLatin1Char('|') +
            (snapshot.windowTitle.isEmpty() ? QStringLiteral("(untitled)") : snapshot.windowTitle);
        const auto held = byKey.constFind(key);
        if (held == byKey.cend()) {
            byKey.insert(key, snapshots.size());
            snapshots.append(snapshot);
        } else if (area(snapshot.bounds) > area(snapshots.at(*held).bounds)) {
            snapshots[*held] = snapshot;
        }
    }
    std::stable_sort(snapshots.begin(), snapshots.end(),
        [](const RunningWindowSnapshot& a, const RunningWindowSnapshot& b) {
            if (const int byName = Text::compareNames(a.appName, b.appName); byName != 0) {
                return byName < 0;
            }
            if (const int byTitle = Text::compareNames(a.windowTitle, b.windowTitle);
                byTitle != 0) {
                return byTitle < 0;
            }
            return a.windowNumber < b.windowNumber;
        });
    return snapshots;
}

std::optional<QString> WindowPlacementAccess::resolveBundleIdentifier(
    const std::optional<ApplicationRecord>& application, qint32 ownerProcessIdentifier,
    const QString& ownerName) const
{
    if (application && application->bundleIdentifier) {
        return application->bundleIdentifier;
    }
    const QList<ApplicationRecord> applications = m_access.runningApplications();
    const auto byProcess = std::find_if(
        applications.cbegin(), applications.cend(), [&](const ApplicationRecord& candidate) {
            return candidate.processIdentifier == ownerProcessIdentifier;
        });
    if (byProcess != applications.cend() && byProcess->bundleIdentifier) {
        return byProcess->bundleIdentifier;
    }
    const auto byName = std::find_if(applications.cbegin(), applications.cend(),
        [&](const ApplicationRecord& candidate) { return candidate.localizedName == ownerName; });
    if (byName != applications.cend()) {
        return byName->bundleIdentifier;
    }
    return std::nullopt;
}

std::optional<WindowElement> WindowPlacementAccess::findBestMatchingWindow(qint32 processIdentifier,
    const QString& targetTitle, const QRectF& targetFrame, const QList<WindowElement>& excluded,
    bool allowTitleMismatchFallback) const
{
    const std::optional<QList<WindowElement>> windows = m_access.windows(processIdentifier);
    if (!windows || windows->isEmpty()) {
        return std::nullopt;
    }
    const QString target = Text::trimmed(targetTitle);
    struct Candidate
    {
        WindowElement window;
        QString title;
        QRectF frame;
    };
    QList<Candidate> candidates;
    for (const WindowElement window : *windows) {
        if (excluded.contains(window)) {
            continue;
        }
        const std::optional<QRectF> frame = frameOfWindow(window);
        if (!frame) {
            continue;
        }
        candidates.append(
            {window, Text::trimmed(m_access.title(window).value_or(QString())), *frame});
    }
    QList<Candidate> matches;
    std::copy_if(candidates.cbegin(), candidates.cend(), std::back_inserter(matches),
        [&](const Candidate& candidate) { return target.isEmpty() || candidate.title == target; });
    if (!target.isEmpty() && matches.isEmpty() && !allowTitleMismatchFallback) {
        return std::nullopt;
    }
    const QList<Candidate>& pool = matches.isEmpty() ? candidates : matches;
    const QPointF centre = targetFrame.center();
    const Candidate* best = nullptr;
    double bestDistance = 0;
    for (const Candidate& candidate : pool) {
        const double distance = squaredDistance(candidate.frame.center(), centre);
        if (best == nullptr || distance < bestDistance) {
            best = &candidate;
            bestDistance = distance;
        }
    }
    if (best == nullptr) {
        return std::nullopt;
    }
    return best->window;
}

std::optional<QRectF> WindowPlacementAccess::frameOfWindow(WindowElement window) const
{
    const std::optional<QPointF> position = m_access.position(window);
    const std::optional<QSizeF> size = position ? m_access.size(window) : std::nullopt;
    if (!size) {
        return std::nullopt;
    }
    return QRectF(*position, *size);
}

bool WindowPlacementAccess::setFrame(const QRectF& frame, WindowElement window)
{
    const bool positioned = m_access.setPosition(window, frame.topLeft());
    const bool sized = m_access.setSize(window, frame.size());
    return positioned && sized;
}
