#pragma once

// What the shortcut recorder does with the keys it captures, without a widget: the recording
// switch, the live prompt and the shortcut that results. While recording it accepts
// - a key with modifiers (the modifiers held since all were last released count too),
// - two or more modifiers pressed together and released,
// - one modifier released twice within 0.45 s, measured between the releases.
// A key without modifiers keeps recording and asks for modifiers.
//
// Taking and giving up the keyboard, and announcing that recording started or ended, happen
// on the next turn of the event loop, after the change that caused them. The time of a
// modifier release is the scheduler's monotonic clock when the release is handled.

#include "platform/Scheduler.h"
#include "shortcuts/LeftClickShortcut.h"

#include <QObject>

#include <optional>

class ShortcutRecorderCoordinator final : public QObject
{
    Q_OBJECT

public:
    static constexpr double doubleTapInterval = 0.45;

    explicit ShortcutRecorderCoordinator(Scheduler& scheduler, QObject* parent = nullptr);

    const std::optional<LeftClickShortcut>& shortcut() const { return m_shortcut; }
    // The shortcut as the model holds it; recording goes on undisturbed.
    void setShortcut(const std::optional<LeftClickShortcut>& shortcut);
    bool isRecording() const { return m_isRecording; }
    const std::optional<QString>& statusText() const { return m_statusText; }
    // The box's text: the prompt while recording, else the shortcut or "未設定".
    QString displayText() const;

    void startRecording();
    void clear();

    // A key press while recording: its canonical key code (none for keys without one), the
    // characters it types without modifiers, and the canonical modifier flags.
    void handleKeyDown(
        std::optional<std::uint16_t> keyCode, const QString& characters, quint64 modifierFlags);
    // The modifiers held after a modifier key went down or up.
    void handleFlagsChanged(quint64 modifierFlags);

Q_SIGNALS:
    // The user recorded or cleared a shortcut.
    void shortcutEdited(const std::optional<LeftClickShortcut>& shortcut);
    void displayChanged();
    void captureRequested(bool capture);
    void recordingActiveChanged(bool active);

private:
    struct ModifierTap
    {
        quint64 modifier = 0;
        double time = 0;
    };

    void setRecording(bool recording, const std::optional<QString>& statusText);
    void setStatusText(const std::optional<QString>& text);
    void save(const LeftClickShortcut& shortcut);
    // Follows the recording switch: takes or gives up the keyboard on the next turn.
    void update();
    void postLater(bool active);

    Scheduler& m_scheduler;
    std::optional<LeftClickShortcut> m_shortcut;
    bool m_isRecording = false;
    std::optional<QString> m_statusText;
    quint64 m_heldModifiers = 0;
    bool m_capturedKeyDuringHold = false;
    std::optional<ModifierTap> m_lastModifierTap;
    bool m_isCapturing = false;
};
