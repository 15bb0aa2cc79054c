#pragma once

// A scriptable tray for tests and --simulate: the test decides when a host appears, clicks
// the icon, and reads or triggers the menu that is shown.

#include "platform/SystemTray.h"

class SimSystemTray final : public SystemTray
{
    Q_OBJECT

public:
    explicit SimSystemTray(QObject* parent = nullptr);

    void install(const QIcon& icon) override;
    void remove() override;
    void setToolTip(const QString& toolTip) override;
    QRect iconGeometry() const override { return m_iconGeometry; }
    void showMenu(const QList<StatusMenuEntry>& entries, const QPoint& position) override;

    // A tray host appears: an installed icon is shown now, a later one at once.
    void setHostAvailable();
    bool isShown() const { return m_shown; }
    QString toolTip() const { return m_toolTip; }
    void setIconGeometry(const QRect& geometry) { m_iconGeometry = geometry; }

    void click();
    void rightClick(const QPoint& position);
    // The menu on screen; empty when none is.
    QList<StatusMenuEntry> menu() const { return m_menu; }
    // Chooses the entry with this title from the menu on screen (which closes it); false when
    // there is no such entry.
    bool choose(const QString& title);

private:
    void showIfPossible();

    QString m_toolTip;
    QRect m_iconGeometry;
    QList<StatusMenuEntry> m_menu;
    bool m_hostAvailable = false;
    bool m_installed = false;
    bool m_shown = false;
};
