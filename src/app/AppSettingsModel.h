#pragma once

// General settings: whether the quick panel closes after a copy and the two interface scales
// (settings window and quick panel). Each value is written to the defaults store as soon as
// it is set. Scales live in 0.8...1.8 in steps of 0.05; a stored value is normalised when
// read (0 counts as "never set" and gives 1.0) and a value set is normalised before it is
// kept, so the store only ever receives a normalised scale.
//
// A NaN scale (only reachable through a hand-edited store or a buggy caller) is treated as
// unreadable on read and ignored on set, rather than poisoning every size computed from it.
//
// Launch at login and the quick-panel shortcut are not handled here yet; refresh() is the
// point where the login-item state will be re-read when the settings window opens.

#include <QObject>
#include <QString>

class DefaultsStore;

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

    static constexpr double minimumScale = 0.8;
    static constexpr double maximumScale = 1.8;

    explicit AppSettingsModel(DefaultsStore& defaults, QObject* parent = nullptr);

    bool closeLeftClickMenuOnCopy() const { return m_closeLeftClickMenuOnCopy; }
    void setCloseLeftClickMenuOnCopy(bool close);

    double settingsUIScale() const { return m_settingsUIScale; }
    void setSettingsUIScale(double scale);

    double leftClickUIScale() const { return m_leftClickUIScale; }
    void setLeftClickUIScale(double scale);

    void refresh();

    // The scale a stored value reads as (absent or not a number counts as 0).
    static double normalizedStoredScale(double stored);
    // The scale a value set becomes.
    static double normalizedScale(double value);

Q_SIGNALS:
    void closeLeftClickMenuOnCopyChanged(bool close);
    void settingsUIScaleChanged(double scale);
    void leftClickUIScaleChanged(double scale);

private:
    bool setScale(double value, double& field, const QString& key);
    double readScale(const QString& key) const;

    DefaultsStore& m_defaults;
    bool m_closeLeftClickMenuOnCopy = false;
    double m_settingsUIScale = 1.0;
    double m_leftClickUIScale = 1.0;
};
