#include "LinuxWorkspace.h"

#include "X11Connection.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>

#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

namespace {

// EWMH source indication of a pager: focus-stealing prevention lets these through.
constexpr uint32_t sourcePager = 2;

QString windowClassFromProperty(const QByteArray& wmClass)
{
    // WM_CLASS is "instance\0class\0".
    const QList<QByteArray> parts = wmClass.split('\0');
    return parts.size() >= 2 ? QString::fromLocal8Bit(parts.at(1)) : QString();
}

} // namespace

LinuxWorkspace::LinuxWorkspace(QObject* parent)
    : Workspace(parent)
    , m_x11(X11Connection::shared())
{
    if (!m_x11) {
        return;
    }
    m_x11->subscribe(this, [this](const xcb_generic_event_t* event) { handleEvent(event); });
    m_x11->selectEvents(m_x11->root(), XCB_EVENT_MASK_PROPERTY_CHANGE);
    if (const auto front = frontmostApplication()) {
        m_lastActiveWindow = front->windowID;
        m_lastActiveProcess = front->processId;
    }
}

LinuxWorkspace::~LinuxWorkspace() = default;

bool LinuxWorkspace::isAvailable() const
{
    return m_x11 != nullptr;
}

QString LinuxWorkspace::ownWindowClass()
{
    // Mirrors how Qt's xcb backend names our windows' WM_CLASS class.
    QString name = QCoreApplication::applicationName();
    if (name.isEmpty()) {
        name = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
        if (!name.isEmpty() && name.at(0).isLower()) {
            name[0] = name.at(0).toUpper();
        }
    }
    return name;
}

std::optional<RunningApplication> LinuxWorkspace::frontmostApplication() const
{
    if (!m_x11) {
        return std::nullopt;
    }
    // Read now rather than from the last event: the paste path checks the active window right
    // after an activation request, before its PropertyNotify may have been handled.
    const auto active =
        m_x11->cardinals(m_x11->root(), m_x11->atom("_NET_ACTIVE_WINDOW"), XCB_ATOM_WINDOW);
    if (!active || active->isEmpty() || active->first() == XCB_NONE) {
        return std::nullopt;
    }
    return describe(active->first());
}

RunningApplication LinuxWorkspace::describe(quint64 windowID) const
{
    RunningApplication application;
    application.windowID = windowID;
    const auto window = static_cast<xcb_window_t>(windowID);
    if (const auto pid = m_x11->cardinals(window, m_x11->atom("_NET_WM_PID"));
        pid && !pid->isEmpty()) {
        application.processId = pid->first();
    }
    if (const auto wmClass = m_x11->bytes(window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING)) {
        application.applicationId = windowClassFromProperty(*wmClass);
    }
    if (const auto name =
            m_x11->bytes(window, m_x11->atom("_NET_WM_NAME"), m_x11->atom("UTF8_STRING"))) {
        application.title = QString::fromUtf8(*name);
    } else if (const auto legacy = m_x11->bytes(window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING)) {
        application.title = QString::fromLatin1(*legacy);
    }
    return application;
}

bool LinuxWorkspace::isOwnApplication(const RunningApplication& application) const
{
    if (application.processId != 0) {
        return application.processId == QCoreApplication::applicationPid();
    }
    return !application.applicationId.isEmpty() && application.applicationId == ownWindowClass();
}

bool LinuxWorkspace::isTerminated(const RunningApplication& application) const
{
    if (!m_x11) {
        return true;
    }
    const auto window = static_cast<xcb_window_t>(application.windowID);
    if (!m_x11->windowExists(window)) {
        return true;
    }
    // A window that was closed but not destroyed (toolkits keep hidden windows) has left the
    // window manager's client list. Without a window manager there is no list to consult.
    const auto clients =
        m_x11->cardinals(m_x11->root(), m_x11->atom("_NET_CLIENT_LIST"), XCB_ATOM_WINDOW);
    return clients && !clients->contains(window);
}

bool LinuxWorkspace::activate(const RunningApplication& application)
{
    if (!m_x11 || isTerminated(application)) {
        return false;
    }
    return sendActivation(application.windowID);
}

void LinuxWorkspace::activateOwnWindow(quint64 windowID)
{
    if (!m_x11) {
        return;
    }
    // The map request of a window just shown may still sit in Qt's own connection; the
    // window manager must see it before our activation request.
    if (auto* x11 =
            qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr) {
        xcb_flush(x11->connection());
    }
    sendActivation(windowID);
}

void LinuxWorkspace::prepareAuxiliaryWindow(quint64 windowID)
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (x11 == nullptr) {
        return;
    }
    xcb_connection_t* connection = x11->connection();
    const auto intern = [connection](const char* name) {
        const auto cookie =
            xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name);
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
        const xcb_atom_t atom = reply != nullptr ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        std::free(reply);
        return atom;
    };
    const xcb_atom_t state = intern("_NET_WM_STATE");
    const xcb_atom_t atoms[] = {
        intern("_NET_WM_STATE_SKIP_TASKBAR"), intern("_NET_WM_STATE_SKIP_PAGER")};
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, static_cast<xcb_window_t>(windowID),
        state, XCB_ATOM_ATOM, 32, 2, atoms);
    xcb_flush(connection);
}

bool LinuxWorkspace::sendActivation(quint64 windowID)
{
    return m_x11->sendToRoot(static_cast<xcb_window_t>(windowID), m_x11->atom("_NET_ACTIVE_WINDOW"),
        {sourcePager, m_x11->serverTime(), static_cast<uint32_t>(m_lastActiveWindow), 0, 0});
}

void LinuxWorkspace::handleEvent(const void* raw)
{
    const auto* event = static_cast<const xcb_generic_event_t*>(raw);
    if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY) {
        return;
    }
    const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event);
    if (notify->window == m_x11->root() && notify->atom == m_x11->atom("_NET_ACTIVE_WINDOW")) {
        activeWindowChanged();
    }
}

void LinuxWorkspace::activeWindowChanged()
{
    const auto front = frontmostApplication();
    if (!front) {
        m_lastActiveWindow = 0;
        m_lastActiveProcess = 0;
        return;
    }
    // The server reuses the ids of windows that are gone, so a new process's window may carry
    // the id the previous active window had: the pid tells them apart.
    if (front->windowID == m_lastActiveWindow && front->processId == m_lastActiveProcess) {
        return;
    }
    m_lastActiveWindow = front->windowID;
    m_lastActiveProcess = front->processId;
    Q_EMIT applicationActivated(*front);
}
