#include "LinuxSystemTray.h"

#include "X11Connection.h"

#include <QAction>
#include <QCursor>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QMenu>
#include <QSystemTrayIcon>

#include <xcb/xcb.h>

namespace {

const QString watcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString watcherPath = QStringLiteral("/StatusNotifierWatcher");

} // namespace

// Watches for a tray host without touching QSystemTrayIcon, and reports the first moment
// one exists: a StatusNotifierWatcher that says a host is registered, or an owner of the
// XEmbed tray selection.
class LinuxSystemTray::HostWatcher final : public QObject
{
    Q_OBJECT

public:
    explicit HostWatcher(std::function<void()> onHost)
        : m_onHost(std::move(onHost))
        , m_x11(X11Connection::shared())
    {
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (bus.isConnected()) {
            m_serviceWatcher = new QDBusServiceWatcher(
                watcherService, bus, QDBusServiceWatcher::WatchForOwnerChange, this);
            connect(m_serviceWatcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
                [this](const QString&, const QString&, const QString& newOwner) {
                    if (!newOwner.isEmpty()) {
                        queryStatusNotifierHost();
                    }
                });
            bus.connect(watcherService, watcherPath, watcherService,
                QStringLiteral("StatusNotifierHostRegistered"), this,
                SLOT(statusNotifierHostRegistered()));
            queryStatusNotifierHost();
        }
        if (m_x11) {
            const QByteArray name =
                "_NET_SYSTEM_TRAY_S" + QByteArray::number(m_x11->screenNumber());
            m_selection = m_x11->atom(name.constData());
            m_manager = m_x11->atom("MANAGER");
            // MANAGER announcements go to the root window with StructureNotify.
            m_x11->selectEvents(m_x11->root(), XCB_EVENT_MASK_STRUCTURE_NOTIFY);
            m_x11->subscribe(this, [this](const xcb_generic_event_t* event) {
                if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE) {
                    return;
                }
                const auto* message = reinterpret_cast<const xcb_client_message_event_t*>(event);
                if (message->type == m_manager && message->data.data32[1] == m_selection) {
                    found();
                }
            });
        }
    }

    // Checks the XEmbed selection now (the D-Bus answer comes asynchronously).
    bool xembedHostExists() const
    {
        return m_x11 && m_selection != XCB_ATOM_NONE &&
            m_x11->selectionOwner(m_selection) != XCB_NONE;
    }

private Q_SLOTS:
    void statusNotifierHostRegistered() { found(); }

private:
    void queryStatusNotifierHost()
    {
        QDBusMessage call = QDBusMessage::createMethodCall(watcherService, watcherPath,
            QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
        call << watcherService << QStringLiteral("IsStatusNotifierHostRegistered");
        auto* pending =
            new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call, 2000), this);
        connect(pending, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* watcher) {
                watcher->deleteLater();
                const QDBusPendingReply<QDBusVariant> reply = *watcher;
                if (!reply.isError() && reply.value().variant().toBool()) {
                    found();
                }
            });
    }

    void found()
    {
        if (m_onHost) {
            // Once is enough: Qt decides for the rest of the session at creation.
            auto onHost = std::move(m_onHost);
            m_onHost = nullptr;
            onHost();
        }
    }

    std::function<void()> m_onHost;
    std::shared_ptr<X11Connection> m_x11;
    QDBusServiceWatcher* m_serviceWatcher = nullptr;
    xcb_atom_t m_selection = XCB_ATOM_NONE;
    xcb_atom_t m_manager = XCB_ATOM_NONE;
};

LinuxSystemTray::LinuxSystemTray(QObject* parent)
    : SystemTray(parent)
{ }

LinuxSystemTray::~LinuxSystemTray()
{
    remove();
}

void LinuxSystemTray::install(const QIcon& icon)
{
    if (m_installed) {
        return;
    }
    m_installed = true;
    m_icon = icon;
    m_watcher = std::make_unique<HostWatcher>([this] {
        // Leave the watcher's callback before it is destroyed.
        QMetaObject::invokeMethod(
            this, [this] { createTrayIcon(); }, Qt::QueuedConnection);
    });
    if (m_watcher->xembedHostExists()) {
        createTrayIcon();
    }
}

void LinuxSystemTray::remove()
{
    closeMenu();
    m_watcher.reset();
    if (m_tray != nullptr) {
        m_tray->hide();
        delete m_tray;
        m_tray = nullptr;
    }
    m_installed = false;
}

void LinuxSystemTray::createTrayIcon()
{
    if (m_tray != nullptr || !m_installed) {
        return;
    }
    m_watcher.reset();
    m_tray = new QSystemTrayIcon(m_icon, this);
    m_tray->setToolTip(m_toolTip);
    connect(m_tray, &QSystemTrayIcon::activated, this,
        [this](QSystemTrayIcon::ActivationReason reason) {
            switch (reason) {
            case QSystemTrayIcon::Trigger:
                Q_EMIT leftClicked(iconGeometry());
                break;
            case QSystemTrayIcon::Context:
                Q_EMIT contextMenuRequested(QCursor::pos());
                break;
            default:
                break;
            }
        });
    m_tray->show();
    Q_EMIT shown();
}

void LinuxSystemTray::setToolTip(const QString& toolTip)
{
    m_toolTip = toolTip;
    if (m_tray != nullptr) {
        m_tray->setToolTip(toolTip);
    }
}

bool LinuxSystemTray::isShown() const
{
    return m_tray != nullptr && m_tray->isVisible();
}

QRect LinuxSystemTray::iconGeometry() const
{
    if (m_tray == nullptr) {
        return {};
    }
    const QRect geometry = m_tray->geometry();
    return geometry.isValid() ? geometry : QRect();
}

std::unique_ptr<QMenu> LinuxSystemTray::buildMenu(const QList<StatusMenuEntry>& entries)
{
    auto menu = std::make_unique<QMenu>();
    for (const StatusMenuEntry& entry : entries) {
        if (entry.separator) {
            menu->addSeparator();
            continue;
        }
        QAction* action = menu->addAction(entry.title);
        if (entry.checked.has_value()) {
            action->setCheckable(true);
            action->setChecked(*entry.checked);
        }
        if (!entry.shortcut.isEmpty()) {
            action->setShortcut(entry.shortcut);
            action->setShortcutVisibleInContextMenu(true);
        }
        if (entry.action) {
            connect(action, &QAction::triggered, action, [fn = entry.action] { fn(); });
        }
    }
    return menu;
}

void LinuxSystemTray::showMenu(const QList<StatusMenuEntry>& entries, const QPoint& position)
{
    closeMenu();
    QMenu* menu = buildMenu(entries).release();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    m_menu = menu;
    menu->popup(position);
}

void LinuxSystemTray::closeMenu()
{
    if (m_menu) {
        QMenu* menu = m_menu;
        m_menu.clear();
        menu->close(); // deletes it (WA_DeleteOnClose)
    }
}

#include "LinuxSystemTray.moc"
