#pragma once

// General settings: whether the quick panel closes after a copy and the two interface scales
// (settings window and quick panel). Each value is written to the defaults store as soon as
// it is set. A stored scale is normalised when read and a value set is normalised before it
// is kept (UIScale), so the store only ever receives a normalised scale.
//
// Launch at login and the quick-panel shortcut are not handled here yet; refresh() is the
// point where the login-item state will be re-read when the settings window opens.

#include "platform/Setting.h"

#include <QObject>
#include <QString>

class AppSettingsModel final : public QObject
{
    Q_OBJECT
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

    explicit AppSettingsModel(DefaultsStore& defaults, QObject* parent = nullptr);

    bool closeLeftClickMenuOnCopy() const { return m_closeLeftClickMenuOnCopy.value(); }
    void setCloseLeftClickMenuOnCopy(bool close) { m_closeLeftClickMenuOnCopy.set(close); }

    double settingsUIScale() const { return m_settingsUIScale.value(); }
    void setSettingsUIScale(double scale) { m_settingsUIScale.set(scale); }

    double leftClickUIScale() const { return m_leftClickUIScale.value(); }
    void setLeftClickUIScale(double scale) { m_leftClickUIScale.set(scale); }

    void refresh();

Q_SIGNALS:
    void closeLeftClickMenuOnCopyChanged(bool close);
    void settingsUIScaleChanged(double scale);
    void leftClickUIScaleChanged(double scale);

private:
    static Setting<double>::Rules scaleRules(std::function<void(const double&)> changed);

    Setting<bool> m_closeLeftClickMenuOnCopy;
    Setting<double> m_settingsUIScale;
    Setting<double> m_leftClickUIScale;
};
