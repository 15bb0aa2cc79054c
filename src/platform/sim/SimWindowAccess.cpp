#include "SimWindowAccess.h"

#include <algorithm>

std::optional<QList<WindowListEntry>> SimWindowAccess::windowList() const
{
    if (!m_windowListReadable) {
        return std::nullopt;
    }
    QList<WindowListEntry> entries;
    for (const Window& window : m_windows) {
        WindowListEntry entry;
        entry.layer = window.layer;
        entry.ownerName = window.ownerName;
        entry.number = static_cast<qint64>(window.element.id);
        entry.ownerProcessIdentifier = window.processIdentifier;
        entry.bounds = window.frame;
        entry.isOnScreen = window.isOnScreen;
        entry.alpha = window.alpha;
        entry.name = window.title;
        entries.append(entry);
    }
    return entries;
}

std::optional<QList<WindowElement>> SimWindowAccess::windows(qint32 processIdentifier) const
{
    QList<WindowElement> elements;
    for (const Window& window : m_windows) {
        if (window.processIdentifier == processIdentifier) {
            elements.append(window.element);
        }
    }
    return elements;
}

std::optional<QPointF> SimWindowAccess::position(WindowElement element) const
{
    const Window* found = window(element);
    if (found == nullptr || !found->frameReadable) {
        return std::nullopt;
    }
    return found->frame.topLeft();
}

std::optional<QSizeF> SimWindowAccess::size(WindowElement element) const
{
    const Window* found = window(element);
    if (found == nullptr || !found->frameReadable) {
        return std::nullopt;
    }
    return found->frame.size();
}

std::optional<QString> SimWindowAccess::title(WindowElement element) const
{
    const Window* found = window(element);
    return found != nullptr ? found->title : std::nullopt;
}

bool SimWindowAccess::setPosition(WindowElement element, const QPointF& position)
{
    Window* found = find(element);
    if (found == nullptr) {
        return false;
    }
    if (found->acceptsPosition) {
        found->frame.moveTopLeft(position);
    }
    m_writes.append({element, true, found->frame});
    return found->acceptsPosition;
}

bool SimWindowAccess::setSize(WindowElement element, const QSizeF& size)
{
    Window* found = find(element);
    if (found == nullptr) {
        return false;
    }
    if (found->acceptsSize) {
        found->frame.setSize(size);
    }
    m_writes.append({element, false, found->frame});
    return found->acceptsSize;
}

bool SimWindowAccess::isTrusted(bool prompt)
{
    if (prompt && !m_trusted) {
        ++m_prompts;
    }
    return m_trusted;
}

void SimWindowAccess::setApplications(const QList<ApplicationRecord>& applications)
{
    m_applications = applications;
}

void SimWindowAccess::launch(const ApplicationRecord& application)
{
    if (!m_applications.contains(application)) {
        m_applications.append(application);
    }
    Q_EMIT applicationLaunched(application);
}

void SimWindowAccess::addWindow(const Window& window)
{
    m_windows.append(window);
}

void SimWindowAccess::removeWindow(WindowElement element)
{
    m_windows.removeIf([&](const Window& window) { return window.element == element; });
}

const SimWindowAccess::Window* SimWindowAccess::window(WindowElement element) const
{
    const auto found = std::find_if(m_windows.cbegin(), m_windows.cend(),
        [&](const Window& window) { return window.element == element; });
    return found != m_windows.cend() ? &*found : nullptr;
}

SimWindowAccess::Window* SimWindowAccess::find(WindowElement element)
{
    const auto found = std::find_if(m_windows.begin(), m_windows.end(),
        [&](const Window& window) { return window.element == element; });
    return found != m_windows.end() ? &*found : nullptr;
}
