#include "ShortcutRecorderCoordinator.h"

#include <QPointer>

ShortcutRecorderCoordinator::ShortcutRecorderCoordinator(Scheduler& scheduler, QObject* parent)
    : QObject(parent)
    , m_scheduler(scheduler)
{ }

void ShortcutRecorderCoordinator::setShortcut(const std::optional<LeftClickShortcut>& shortcut)
{
    if (m_shortcut != shortcut) {
        m_shortcut = shortcut;
        Q_EMIT displayChanged();
    }
}

QString ShortcutRecorderCoordinator::displayText() const
{
    if (m_isRecording) {
        return m_statusText.value_or(QStringLiteral("入力待ち"));
    }
    return m_shortcut ? m_shortcut->displayText() : QStringLiteral("未設定");
}

void ShortcutRecorderCoordinator::startRecording()
{
    setRecording(true, std::nullopt);
}

void ShortcutRecorderCoordinator::clear()
{
    m_shortcut.reset();
    Q_EMIT shortcutEdited(m_shortcut);
    setRecording(false, std::nullopt);
}

void ShortcutRecorderCoordinator::handleKeyDown(
    std::optional<std::uint16_t> keyCode, const QString& characters, quint64 modifierFlags)
{
    if (!m_isRecording) {
        return;
    }
    const quint64 modifiers = ShortcutModifiers::masked(modifierFlags) | m_heldModifiers;
    if (keyCode && !characters.isEmpty()) {
        if (const auto candidate =
                LeftClickShortcut::keyCombination(*keyCode, characters, modifiers)) {
            m_capturedKeyDuringHold = true;
            m_lastModifierTap.reset();
            save(*candidate);
            return;
        }
    }
    setStatusText(QStringLiteral("修飾キーと一緒に入力"));
}

void ShortcutRecorderCoordinator::handleFlagsChanged(quint64 modifierFlags)
{
    if (!m_isRecording) {
        return;
    }
    const quint64 flags = ShortcutModifiers::masked(modifierFlags);
    const quint64 held = m_heldModifiers;
    if (flags != 0) {
        m_heldModifiers = held | flags;
        setStatusText(
            ShortcutModifiers::modifierDisplayText(m_heldModifiers) + QStringLiteral(" ..."));
        return;
    }
    m_heldModifiers = 0;
    if (m_capturedKeyDuringHold) {
        m_capturedKeyDuringHold = false;
        return;
    }
    if (ShortcutModifiers::allowedModifierCount(held) >= 2) {
        if (const auto candidate = LeftClickShortcut::modifierCombination(held)) {
            m_lastModifierTap.reset();
            save(*candidate);
        }
        return;
    }
    const auto single = ShortcutModifiers::singleAllowedModifier(held);
    if (!single) {
        return;
    }
    const double now = m_scheduler.uptime();
    if (m_lastModifierTap && m_lastModifierTap->modifier == *single &&
        now - m_lastModifierTap->time <= doubleTapInterval) {
        m_lastModifierTap.reset();
        save(LeftClickShortcut::modifierDoubleTap(*single));
        return;
    }
    m_lastModifierTap = ModifierTap {*single, now};
    setStatusText(ShortcutModifiers::modifierDisplayText(*single) +
        QStringLiteral(" ... (もう一度で2回押し)"));
}

void ShortcutRecorderCoordinator::setRecording(
    bool recording, const std::optional<QString>& statusText)
{
    m_statusText = statusText;
    m_isRecording = recording;
    update();
    Q_EMIT displayChanged();
}

void ShortcutRecorderCoordinator::setStatusText(const std::optional<QString>& text)
{
    m_statusText = text;
    Q_EMIT displayChanged();
}

void ShortcutRecorderCoordinator::save(const LeftClickShortcut& shortcut)
{
    m_shortcut = shortcut;
    Q_EMIT shortcutEdited(m_shortcut);
    m_lastModifierTap.reset();
    Q_EMIT recordingActiveChanged(false);
    setRecording(false, std::nullopt);
}

void ShortcutRecorderCoordinator::update()
{
    if (!m_isRecording) {
        m_lastModifierTap.reset();
        m_isCapturing = false;
        postLater(false);
    } else if (!m_isCapturing) {
        m_lastModifierTap.reset();
        // Keys released after the last recording ended never reached us: start afresh, or the
        // first release would be taken for the end of a key combination already recorded.
        m_heldModifiers = 0;
        m_capturedKeyDuringHold = false;
        m_isCapturing = true;
        postLater(true);
    }
}

void ShortcutRecorderCoordinator::postLater(bool active)
{
    QPointer<ShortcutRecorderCoordinator> self(this);
    m_scheduler.post([self, active] {
        if (self) {
            Q_EMIT self->captureRequested(active);
            Q_EMIT self->recordingActiveChanged(active);
        }
    });
}
