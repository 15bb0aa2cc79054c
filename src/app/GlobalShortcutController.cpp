#include "GlobalShortcutController.h"

#include "platform/KeyCodes.h"
#include "platform/Scheduler.h"

#include <QCoreApplication>
#include <QKeyEvent>

GlobalShortcutController::GlobalShortcutController(
    GlobalKeyMonitor& monitor, Scheduler& scheduler, Actions actions, QObject* parent)
    : QObject(parent)
    , m_monitor(monitor)
    , m_scheduler(scheduler)
    , m_actions(std::move(actions))
    , m_recognizer([this](ShortcutSlot slot) { fire(slot); })
{
    connect(&m_monitor, &GlobalKeyMonitor::keyEvent, this,
        [this](const GlobalKeyEvent& event) { handleShortcutEvent(event); });
}

GlobalShortcutController::~GlobalShortcutController()
{
    removeMonitors();
}

void GlobalShortcutController::setShortcut(
    ShortcutSlot slot, const std::optional<LeftClickShortcut>& shortcut)
{
    const auto current = m_shortcuts.constFind(slot);
    const bool had = current != m_shortcuts.constEnd();
    if (had == shortcut.has_value() && (!had || current.value() == *shortcut)) {
        return;
    }
    if (shortcut) {
        m_shortcuts.insert(slot, *shortcut);
    } else {
        m_shortcuts.remove(slot);
    }
    configureShortcutMonitors();
}

void GlobalShortcutController::configureShortcutMonitors()
{
    removeMonitors();
    m_recognizer.configure(m_shortcuts);
    const GlobalKeyEvent::Types types = m_recognizer.eventTypes();
    if (!types) {
        return;
    }
    if (!m_monitor.isAvailable() && !m_unavailabilityLogged) {
        m_unavailabilityLogged = true;
        qWarning("Norvale: %s", qUtf8Printable(unavailableWarning()));
    }
    m_monitor.install(types);
    if (QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->installEventFilter(this);
    }
    m_monitorsInstalled = true;
}

void GlobalShortcutController::removeMonitors()
{
    if (!m_monitorsInstalled) {
        return;
    }
    m_monitor.remove();
    if (QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->removeEventFilter(this);
    }
    m_monitorsInstalled = false;
}

void GlobalShortcutController::leftClickShortcutRecorderActiveChanged(const QVariantMap& userInfo)
{
    const QVariant active = userInfo.value(QStringLiteral("isActive"));
    m_shortcutRecorderActive = active.typeId() == QMetaType::Bool && active.toBool();
}

QString GlobalShortcutController::unavailableWarning() const
{
    return m_monitor.isAvailable()
        ? QString()
        : QStringLiteral("global shortcuts are unavailable: this session lets no application "
                         "observe keys system-wide (XInput2 on X11 is needed)");
}

bool GlobalShortcutController::isPaused() const
{
    return m_shortcutRecorderActive ||
        (m_actions.suppressShortcutHandling && m_actions.suppressShortcutHandling());
}

bool GlobalShortcutController::handleShortcutEvent(const GlobalKeyEvent& event)
{
    return m_recognizer.handle(event, isPaused());
}

void GlobalShortcutController::fire(ShortcutSlot slot)
{
    switch (slot) {
    case ShortcutSlot::LeftClickMenu: {
        const double now = m_scheduler.uptime();
        if (m_lastShortcutPopoverToggleTime &&
            now - *m_lastShortcutPopoverToggleTime < shortcutPopoverToggleDebounceInterval) {
            return;
        }
        m_lastShortcutPopoverToggleTime = now;
        if (m_actions.toggleQuickPanelAtPointer) {
            m_actions.toggleQuickPanelAtPointer();
        }
        return;
    }
    case ShortcutSlot::WindowPlacementApply:
        if (m_actions.applyWindowPlacement) {
            m_actions.applyWindowPlacement();
        }
        return;
    }
}

bool GlobalShortcutController::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride) {
        return QObject::eventFilter(watched, event);
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    GlobalKeyEvent keyDown;
    keyDown.keyCode = canonicalKeyCode(key->key(), key->modifiers());
    keyDown.isRepeat = key->isAutoRepeat();
    keyDown.modifierFlags = canonicalModifierFlags(key->modifiers());
    return !isPaused() && m_recognizer.matchesKeyCombination(keyDown);
}
