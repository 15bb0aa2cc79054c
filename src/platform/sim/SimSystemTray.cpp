#include "SimSystemTray.h"

SimSystemTray::SimSystemTray(QObject* parent)
    : SystemTray(parent)
{ }

void SimSystemTray::install(const QIcon&)
{
    m_installed = true;
    showIfPossible();
}

void SimSystemTray::remove()
{
    m_installed = false;
    m_shown = false;
    m_menu.clear();
}

void SimSystemTray::setToolTip(const QString& toolTip)
{
    m_toolTip = toolTip;
}

void SimSystemTray::showMenu(const QList<StatusMenuEntry>& entries, const QPoint&)
{
    m_menu = entries;
}

void SimSystemTray::setHostAvailable()
{
    m_hostAvailable = true;
    showIfPossible();
}

void SimSystemTray::showIfPossible()
{
    if (m_installed && m_hostAvailable && !m_shown) {
        m_shown = true;
        Q_EMIT shown();
    }
}

void SimSystemTray::click()
{
    if (m_shown) {
        Q_EMIT leftClicked(m_iconGeometry);
    }
}

void SimSystemTray::rightClick(const QPoint& position)
{
    if (m_shown) {
        Q_EMIT contextMenuRequested(position);
    }
}

bool SimSystemTray::choose(const QString& title)
{
    const QList<StatusMenuEntry> entries = std::exchange(m_menu, {});
    for (const StatusMenuEntry& entry : entries) {
        if (!entry.separator && entry.title == title) {
            if (entry.action) {
                entry.action();
            }
            return true;
        }
    }
    return false;
}
