#pragma once

// The two global shortcuts of the running application: the quick panel at the pointer and
// window placement's apply-now. It keeps the key monitors installed exactly while a shortcut is
// configured (for the kinds of events the shortcuts need), runs recognition on every event
// and fires the slot's action; the quick panel toggles at most once per 0.2 s.
//
// Recognition pauses, keeping its modifier tracking, while the shortcut recorder records
// (leftClickShortcutRecorderActiveChanged) and while a synthetic paste is in flight, so that
// neither pressing the current shortcut to replace it nor our own Ctrl+V sets anything off.
//
// The global monitor sees every key, those typed into Norvale's own windows included, so it
// alone fires. The local monitor, an event filter on the application, only consumes the key
// presses in our own windows that recognition takes, so that a key combination pressed while
// the quick panel's search field has the focus does not also type into it.

#include "platform/GlobalKeyMonitor.h"
#include "shortcuts/ShortcutRecognizer.h"

#include <QObject>
#include <QVariantMap>

#include <functional>
#include <optional>

class Scheduler;

class GlobalShortcutController final : public QObject
{
    Q_OBJECT

public:
    static constexpr double shortcutPopoverToggleDebounceInterval = 0.2;

    struct Actions
    {
        std::function<void()> toggleQuickPanelAtPointer;
        // Empty until window placement offers it: its shortcut then does nothing.
        std::function<void()> applyWindowPlacement;
        // True while a synthetic paste is in flight.
        std::function<bool()> suppressShortcutHandling;
    };

    GlobalShortcutController(GlobalKeyMonitor& monitor, Scheduler& scheduler, Actions actions,
        QObject* parent = nullptr);
    ~GlobalShortcutController() override;

    // A changed shortcut rebuilds the monitors from scratch; the same one again changes nothing.
    void setShortcut(ShortcutSlot slot, const std::optional<LeftClickShortcut>& shortcut);
    void removeMonitors();

    // The recorder's notification: "isActive" holds a Boolean; absent or not one means false.
    void leftClickShortcutRecorderActiveChanged(const QVariantMap& userInfo);

    // Empty where global shortcuts work, else why they do not (for `norvale status`).
    QString unavailableWarning() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void configureShortcutMonitors();
    bool handleShortcutEvent(const GlobalKeyEvent& event);
    void fire(ShortcutSlot slot);
    bool isPaused() const;

    GlobalKeyMonitor& m_monitor;
    Scheduler& m_scheduler;
    Actions m_actions;
    ShortcutRecognizer m_recognizer;
    QHash<ShortcutSlot, LeftClickShortcut> m_shortcuts;
    bool m_monitorsInstalled = false;
    bool m_shortcutRecorderActive = false;
    // Uptime of the last toggle from a shortcut; none before the first.
    std::optional<double> m_lastShortcutPopoverToggleTime;
    bool m_unavailabilityLogged = false;
};
