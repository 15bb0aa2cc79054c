#pragma once

// General settings: launch at login, whether the quick panel closes after a copy, the two
// interface scales (settings window and quick panel) and the quick panel's global shortcut.
// Each value is written to the defaults store as soon as it is set. A stored scale is
// normalised when read and a value set is normalised before it is kept (UIScale), so the store
// only ever receives a normalised scale.
//
// The shortcut is kept as its JSON bytes under menu.leftClickShortcut; no shortcut removes the
// key. Bytes that do not read as a shortcut give no shortcut and stay in the store untouched
// until a shortcut is set.
//
// Launch at login is not stored here: the login-item service is its only record, re-read by
// refresh() (at construction, whenever the settings window opens, and after each change).

#include "platform/LoginItem.h"
#include "platform/Setting.h"
#include "shortcuts/LeftClickShortcut.h"

#include <QObject>
#include <QString>

#include <optional>

class AppSettingsModel final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool launchAtLoginEnabled READ launchAtLoginEnabled NOTIFY launchAtLoginChanged)
    Q_PROPERTY(std::optional<QString> statusMessage READ statusMessage NOTIFY launchAtLoginChanged)
    Q_PROPERTY(bool requiresApproval READ requiresApproval NOTIFY launchAtLoginChanged)
    Q_PROPERTY(bool closeLeftClickMenuOnCopy READ closeLeftClickMenuOnCopy WRITE
            setCloseLeftClickMenuOnCopy NOTIFY closeLeftClickMenuOnCopyChanged)
    Q_PROPERTY(double settingsUIScale READ settingsUIScale WRITE setSettingsUIScale NOTIFY
            settingsUIScaleChanged)
    Q_PROPERTY(double leftClickUIScale READ leftClickUIScale WRITE setLeftClickUIScale NOTIFY
            leftClickUIScaleChanged)

public:
    static inline const QString closeOnCopyKey = QStringLiteral("menu.closeOnCopy");
    static inline const QString settingsUIScaleKey = QStringLiteral("settings.uiScale");
    static inline const QString leftClickUIScaleKey = QStringLiteral("menu.uiScale");
    static inline const QString leftClickShortcutKey = QStringLiteral("menu.leftClickShortcut");

    AppSettingsModel(DefaultsStore& defaults, LoginItem& loginItem, QObject* parent = nullptr);

    bool launchAtLoginEnabled() const { return m_launchAtLoginEnabled; }
    std::optional<QString> statusMessage() const { return m_statusMessage; }
    bool requiresApproval() const { return m_requiresApproval; }
    // Registers or unregisters the login item, then reads its state back.
    void setLaunchAtLoginEnabled(bool enabled);

    bool closeLeftClickMenuOnCopy() const { return m_closeLeftClickMenuOnCopy.value(); }
    void setCloseLeftClickMenuOnCopy(bool close) { m_closeLeftClickMenuOnCopy.set(close); }

    double settingsUIScale() const { return m_settingsUIScale.value(); }
    void setSettingsUIScale(double scale) { m_settingsUIScale.set(scale); }

    double leftClickUIScale() const { return m_leftClickUIScale.value(); }
    void setLeftClickUIScale(double scale) { m_leftClickUIScale.set(scale); }

    const std::optional<LeftClickShortcut>& leftClickShortcut() const
    {
        return m_leftClickShortcut;
    }
    void setLeftClickShortcut(const std::optional<LeftClickShortcut>& shortcut);

    // Re-reads the login item's state.
    void refresh();

Q_SIGNALS:
    void launchAtLoginChanged();
    void closeLeftClickMenuOnCopyChanged(bool close);
    void settingsUIScaleChanged(double scale);
    void leftClickUIScaleChanged(double scale);
    void leftClickShortcutChanged();

private:
    static Setting<double>::Rules scaleRules(std::function<void(const double&)> changed);

    DefaultsStore& m_defaults;
    LoginItem& m_loginItem;
    bool m_launchAtLoginEnabled = false;
    std::optional<QString> m_statusMessage;
    bool m_requiresApproval = false;
    Setting<bool> m_closeLeftClickMenuOnCopy;
    Setting<double> m_settingsUIScale;
    Setting<double> m_leftClickUIScale;
    std::optional<LeftClickShortcut> m_leftClickShortcut;
};
