#include "LinuxWindowAccess.h"

#include "X11Connection.h"

#include <QCoreApplication>
#include <QFile>
#include <QStandardPaths>

#include <cmath>
#include <xcb/xcb.h>

namespace {

// _NET_MOVERESIZE_WINDOW: gravity in bits 0-7, which values are given in bits 8-11, the
// source in bits 12-13 (2: a pager, whose requests the window manager follows).
constexpr uint32_t NorthWestGravity = 1;
constexpr uint32_t MoveX = 1U << 8;
constexpr uint32_t MoveY = 1U << 9;
constexpr uint32_t ResizeWidth = 1U << 10;
constexpr uint32_t ResizeHeight = 1U << 11;
constexpr uint32_t SourcePager = 2U << 12;

QString utf8OrLatin1(const std::optional<QByteArray>& utf8, const std::optional<QByteArray>& latin1)
{
    if (utf8) {
        return QString::fromUtf8(*utf8);
    }
    return latin1 ? QString::fromLatin1(*latin1) : QString();
}

// The pass's reading of key when there is one, else a fresh reading, kept while a pass runs.
template<typename Value, typename Read>
Value remembered(QHash<uint32_t, Value>* readings, uint32_t key, Read read)
{
    if (readings != nullptr) {
        if (const auto known = readings->constFind(key); known != readings->cend()) {
            return *known;
        }
    }
    Value value = read();
    if (readings != nullptr) {
        readings->insert(key, value);
    }
    return value;
}

} // namespace

struct LinuxWindowAccess::Client
{
    uint32_t window = 0;
    qint32 processKey = 0;
    QString instance; // WM_CLASS
    QString windowClass;
    QString applicationId; // _GTK_APPLICATION_ID
    std::optional<QString> title;
    QList<QByteArray> types;
    QList<QByteArray> states;
    std::optional<double> opacity;
};

// Desktop files by the names a client offers, looked up once per name.
struct LinuxWindowAccess::Desktop
{
    struct Entry
    {
        QString id;
        QString name;
    };

    std::optional<Entry> find(const QStringList& candidates)
    {
        for (const QString& candidate : candidates) {
            if (candidate.isEmpty()) {
                continue;
            }
            auto cached = m_entries.constFind(candidate);
            if (cached == m_entries.cend()) {
                cached = m_entries.insert(candidate, read(candidate));
            }
            if (*cached) {
                return *cached;
            }
        }
        return std::nullopt;
    }

private:
    static std::optional<Entry> read(const QString& id)
    {
        const QString path = QStandardPaths::locate(
            QStandardPaths::ApplicationsLocation, id + QStringLiteral(".desktop"));
        QFile file(path);
        if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
            return std::nullopt;
        }
        Entry entry {id, QString()};
        bool inMainGroup = false;
        while (!file.atEnd()) {
            const QByteArray line = file.readLine().trimmed();
            if (line.startsWith('[')) {
                inMainGroup = line == "[Desktop Entry]";
            } else if (inMainGroup && line.startsWith("Name=")) {
                entry.name = QString::fromUtf8(line.mid(5));
                break;
            }
        }
        return entry;
    }

    QHash<QString, std::optional<Entry>> m_entries;
};

struct LinuxWindowAccess::Pass
{
    std::optional<QList<uint32_t>> clientWindows;
    QHash<uint32_t, Client> identified;
    QHash<uint32_t, Client> described;
    QHash<uint32_t, std::optional<QRectF>> frames;
};

LinuxWindowAccess::LinuxWindowAccess(QString ownBundleIdentifier, QObject* parent)
    : WindowAccess(parent)
    , m_x11(X11Connection::shared())
    , m_ownBundleIdentifier(std::move(ownBundleIdentifier))
    , m_desktop(std::make_unique<Desktop>())
{
    if (!m_x11) {
        return;
    }
    for (const Client& client : clients()) {
        m_knownProcesses.insert(client.processKey);
    }
    m_x11->subscribe(this, [this](const xcb_generic_event_t* event) {
        if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY) {
            return;
        }
        const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event);
        if (notify->window == m_x11->root() && notify->atom == m_x11->atom("_NET_CLIENT_LIST")) {
            clientListChanged();
        }
    });
    m_x11->selectEvents(m_x11->root(), XCB_EVENT_MASK_PROPERTY_CHANGE);
}

LinuxWindowAccess::~LinuxWindowAccess() = default;

qint64 LinuxWindowAccess::layerFor(const QList<QByteArray>& types, const QList<QByteArray>& states)
{
    static const QHash<QByteArray, qint64> byType {
        {"_NET_WM_WINDOW_TYPE_DOCK", 20},
        {"_NET_WM_WINDOW_TYPE_MENU", 101},
        {"_NET_WM_WINDOW_TYPE_DROPDOWN_MENU", 101},
        {"_NET_WM_WINDOW_TYPE_POPUP_MENU", 101},
        {"_NET_WM_WINDOW_TYPE_COMBO", 101},
        {"_NET_WM_WINDOW_TYPE_TOOLTIP", 102},
        {"_NET_WM_WINDOW_TYPE_NOTIFICATION", 102},
        {"_NET_WM_WINDOW_TYPE_DND", 102},
    };
    // The first type the window manager knows counts; the others are fallbacks.
    if (!types.isEmpty() && byType.contains(types.first())) {
        return byType.value(types.first());
    }
    return states.contains("_NET_WM_STATE_ABOVE") ? 3 : 0;
}

QList<uint32_t> LinuxWindowAccess::clientWindows() const
{
    if (!m_pass) {
        return readClientWindows();
    }
    if (!m_pass->clientWindows) {
        m_pass->clientWindows = readClientWindows();
    }
    return *m_pass->clientWindows;
}

QList<uint32_t> LinuxWindowAccess::readClientWindows() const
{
    if (!m_x11) {
        return {};
    }
    // Front to back, as a window list goes.
    auto ids =
        m_x11->cardinals(m_x11->root(), m_x11->atom("_NET_CLIENT_LIST_STACKING"), XCB_ATOM_WINDOW);
    if (!ids) {
        ids = m_x11->cardinals(m_x11->root(), m_x11->atom("_NET_CLIENT_LIST"), XCB_ATOM_WINDOW);
    } else {
        std::reverse(ids->begin(), ids->end());
    }
    if (!ids) {
        // No window manager: the root's children that name their class are the clients.
        const auto cookie = xcb_query_tree(m_x11->connection(), m_x11->root());
        xcb_query_tree_reply_t* tree = xcb_query_tree_reply(m_x11->connection(), cookie, nullptr);
        if (tree == nullptr) {
            return {};
        }
        const xcb_window_t* children = xcb_query_tree_children(tree);
        ids = QList<uint32_t>();
        for (int i = xcb_query_tree_children_length(tree) - 1; i >= 0; --i) {
            if (m_x11->bytes(children[i], XCB_ATOM_WM_CLASS, XCB_ATOM_STRING)) {
                ids->append(children[i]);
            }
        }
        std::free(tree);
    }
    ids->removeIf([this](uint32_t id) { return !m_x11->windowExists(id); });
    return *ids;
}

QList<LinuxWindowAccess::Client> LinuxWindowAccess::clients() const
{
    QList<Client> result;
    for (const uint32_t id : clientWindows()) {
        result.append(describe(id));
    }
    return result;
}

qint32 LinuxWindowAccess::processKeyOf(uint32_t window) const
{
    const auto pid = m_x11->cardinals(window, m_x11->atom("_NET_WM_PID"));
    if (pid && !pid->isEmpty() && pid->first() > 0 && pid->first() <= INT32_MAX) {
        return static_cast<qint32>(pid->first());
    }
    const auto leader = m_x11->cardinals(window, m_x11->atom("WM_CLIENT_LEADER"), XCB_ATOM_WINDOW);
    const uint32_t key =
        leader && !leader->isEmpty() && leader->first() != XCB_NONE ? leader->first() : window;
    return -static_cast<qint32>(key & 0x7fffffff);
}

LinuxWindowAccess::Client LinuxWindowAccess::identify(uint32_t window) const
{
    if (m_pass && m_pass->described.contains(window)) {
        return m_pass->described.value(window);
    }
    return remembered(m_pass ? &m_pass->identified : nullptr, window,
        [this, window] { return readIdentity(window); });
}

LinuxWindowAccess::Client LinuxWindowAccess::readIdentity(uint32_t window) const
{
    Client client;
    client.window = window;
    client.processKey = processKeyOf(window);
    if (const auto wmClass = m_x11->bytes(window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING)) {
        const QList<QByteArray> parts = wmClass->split('\0');
        client.instance = QString::fromLocal8Bit(parts.value(0));
        client.windowClass = QString::fromLocal8Bit(parts.value(1));
    }
    if (const auto id =
            m_x11->bytes(window, m_x11->atom("_GTK_APPLICATION_ID"), m_x11->atom("UTF8_STRING"))) {
        client.applicationId = QString::fromUtf8(*id);
    }
    return client;
}

LinuxWindowAccess::Client LinuxWindowAccess::describe(uint32_t window) const
{
    return remembered(m_pass ? &m_pass->described : nullptr, window,
        [this, window] { return readDescription(window); });
}

LinuxWindowAccess::Client LinuxWindowAccess::readDescription(uint32_t window) const
{
    Client client = identify(window);
    const xcb_atom_t utf8 = m_x11->atom("UTF8_STRING");
    const auto name = m_x11->bytes(window, m_x11->atom("_NET_WM_NAME"), utf8);
    const auto legacy = m_x11->bytes(window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING);
    if (name || legacy) {
        client.title = utf8OrLatin1(name, legacy);
    }
    const auto atomNames = [this, window](const char* property) {
        QList<QByteArray> names;
        const auto atoms = m_x11->cardinals(window, m_x11->atom(property), XCB_ATOM_ATOM);
        for (const uint32_t atom : atoms.value_or(QList<uint32_t>())) {
            const auto cookie = xcb_get_atom_name(m_x11->connection(), atom);
            xcb_get_atom_name_reply_t* reply =
                xcb_get_atom_name_reply(m_x11->connection(), cookie, nullptr);
            if (reply != nullptr) {
                names.append(QByteArray(
                    xcb_get_atom_name_name(reply), xcb_get_atom_name_name_length(reply)));
                std::free(reply);
            }
        }
        return names;
    };
    client.types = atomNames("_NET_WM_WINDOW_TYPE");
    client.states = atomNames("_NET_WM_STATE");
    if (const auto opacity = m_x11->cardinals(window, m_x11->atom("_NET_WM_WINDOW_OPACITY"));
        opacity && !opacity->isEmpty()) {
        client.opacity = opacity->first() / double(0xffffffffU);
    }
    return client;
}

ApplicationRecord LinuxWindowAccess::applicationOf(const Client& client) const
{
    ApplicationRecord application;
    application.processIdentifier = client.processKey;
    if (client.processKey == QCoreApplication::applicationPid()) {
        application.bundleIdentifier = m_ownBundleIdentifier;
        application.localizedName = QCoreApplication::applicationName();
    } else if (const auto entry = m_desktop->find({client.applicationId, client.windowClass,
                   client.windowClass.toLower(), client.instance})) {
        application.bundleIdentifier = entry->id;
        application.localizedName = entry->name.isEmpty() ? client.windowClass : entry->name;
    } else if (!client.windowClass.isEmpty()) {
        application.bundleIdentifier = client.windowClass;
        application.localizedName = client.windowClass;
    }
    return application;
}

QList<ApplicationRecord> LinuxWindowAccess::applications(const QList<Client>& clients) const
{
    QList<ApplicationRecord> result;
    QHash<qint32, qsizetype> byProcess;
    for (const Client& client : clients) {
        const bool normal =
            (client.types.isEmpty() || client.types.first() == "_NET_WM_WINDOW_TYPE_NORMAL") &&
            !client.states.contains("_NET_WM_STATE_SKIP_TASKBAR");
        const auto known = byProcess.constFind(client.processKey);
        if (known != byProcess.cend()) {
            result[*known].isRegular = result.at(*known).isRegular || normal;
            continue;
        }
        ApplicationRecord application = applicationOf(client);
        application.isRegular = normal;
        byProcess.insert(client.processKey, result.size());
        result.append(application);
    }
    return result;
}

QList<ApplicationRecord> LinuxWindowAccess::runningApplications() const
{
    return applications(clients());
}

std::optional<QList<WindowListEntry>> LinuxWindowAccess::windowList() const
{
    if (!m_x11) {
        return std::nullopt;
    }
    QList<WindowListEntry> entries;
    for (const Client& client : clients()) {
        if (client.types.value(0) == "_NET_WM_WINDOW_TYPE_DESKTOP") {
            continue;
        }
        const std::optional<QRectF> bounds = frame(client.window);
        if (!bounds) {
            continue;
        }
        WindowListEntry entry;
        entry.layer = layerFor(client.types, client.states);
        entry.ownerName = client.instance.isEmpty() ? client.windowClass : client.instance;
        entry.number = client.window;
        entry.ownerProcessIdentifier = client.processKey;
        entry.bounds = *bounds;
        entry.isOnScreen =
            m_x11->isViewable(client.window) && !client.states.contains("_NET_WM_STATE_HIDDEN");
        entry.alpha = client.opacity;
        entry.name = client.title;
        entries.append(entry);
    }
    return entries;
}

std::optional<QList<WindowElement>> LinuxWindowAccess::windows(qint32 processIdentifier) const
{
    if (!m_x11) {
        return std::nullopt;
    }
    // The windows of every process of the same application (several xterms are one
    // application); only those clients are described in full, as this runs once per rule.
    QList<Client> identified;
    for (const uint32_t window : clientWindows()) {
        identified.append(identify(window));
    }
    const auto own = std::find_if(identified.cbegin(), identified.cend(),
        [&](const Client& client) { return client.processKey == processIdentifier; });
    const std::optional<QString> bundle =
        own != identified.cend() ? applicationOf(*own).bundleIdentifier : std::nullopt;
    QList<WindowElement> result;
    for (const Client& candidate : std::as_const(identified)) {
        if (candidate.processKey != processIdentifier &&
            (!bundle || applicationOf(candidate).bundleIdentifier != bundle)) {
            continue;
        }
        const Client client = describe(candidate.window);
        if (layerFor(client.types, client.states) < 20 &&
            client.types.value(0) != "_NET_WM_WINDOW_TYPE_DESKTOP") {
            result.append(WindowElement {client.window});
        }
    }
    return result;
}

std::array<uint32_t, 4> LinuxWindowAccess::frameExtents(uint32_t window) const
{
    std::array<uint32_t, 4> extents {}; // left, right, top, bottom
    const auto values = m_x11->cardinals(window, m_x11->atom("_NET_FRAME_EXTENTS"));
    if (values && values->size() >= 4) {
        std::copy_n(values->cbegin(), 4, extents.begin());
    }
    return extents;
}

std::optional<QRectF> LinuxWindowAccess::frame(uint32_t window) const
{
    return remembered(
        m_pass ? &m_pass->frames : nullptr, window, [this, window] { return readFrame(window); });
}

std::optional<QRectF> LinuxWindowAccess::readFrame(uint32_t window) const
{
    const std::optional<QRect> client = m_x11->rootGeometry(window);
    if (!client) {
        return std::nullopt;
    }
    const auto [left, right, top, bottom] = frameExtents(window);
    return QRectF(client->x() - double(left), client->y() - double(top),
        client->width() + double(left + right), client->height() + double(top + bottom));
}

std::optional<QPointF> LinuxWindowAccess::position(WindowElement window) const
{
    const auto rect = m_x11 ? frame(static_cast<uint32_t>(window.id)) : std::nullopt;
    return rect ? std::optional(rect->topLeft()) : std::nullopt;
}

std::optional<QSizeF> LinuxWindowAccess::size(WindowElement window) const
{
    const auto rect = m_x11 ? frame(static_cast<uint32_t>(window.id)) : std::nullopt;
    return rect ? std::optional(rect->size()) : std::nullopt;
}

std::optional<QString> LinuxWindowAccess::title(WindowElement window) const
{
    if (!m_x11 || !m_x11->windowExists(static_cast<uint32_t>(window.id))) {
        return std::nullopt;
    }
    return describe(static_cast<uint32_t>(window.id)).title;
}

bool LinuxWindowAccess::hasWindowManager() const
{
    const auto check =
        m_x11->cardinals(m_x11->root(), m_x11->atom("_NET_SUPPORTING_WM_CHECK"), XCB_ATOM_WINDOW);
    return check && !check->isEmpty() && m_x11->windowExists(check->first());
}

bool LinuxWindowAccess::moveResize(
    uint32_t window, uint32_t flags, const std::array<int, 4>& geometry)
{
    if (m_pass) {
        m_pass->frames.remove(window);
    }
    if (!m_x11 || !m_x11->windowExists(window)) {
        return false;
    }
    if (hasWindowManager()) {
        const auto value = [](int v) {
            return static_cast<uint32_t>(v);
        };
        const bool sent = m_x11->sendToRoot(window, m_x11->atom("_NET_MOVERESIZE_WINDOW"),
            {NorthWestGravity | SourcePager | flags, value(geometry[0]), value(geometry[1]),
                value(geometry[2]), value(geometry[3])});
        m_x11->flush();
        return sent;
    }
    // Configure values go in mask-bit order: x, y, width, height.
    QList<uint32_t> values;
    uint16_t mask = 0;
    const std::array<std::pair<uint32_t, uint16_t>, 4> fields {
        {{MoveX, XCB_CONFIG_WINDOW_X}, {MoveY, XCB_CONFIG_WINDOW_Y},
            {ResizeWidth, XCB_CONFIG_WINDOW_WIDTH}, {ResizeHeight, XCB_CONFIG_WINDOW_HEIGHT}}};
    for (size_t i = 0; i < fields.size(); ++i) {
        if ((flags & fields[i].first) != 0) {
            mask |= fields[i].second;
            values.append(static_cast<uint32_t>(geometry[i]));
        }
    }
    const auto cookie =
        xcb_configure_window_checked(m_x11->connection(), window, mask, values.constData());
    xcb_generic_error_t* error = xcb_request_check(m_x11->connection(), cookie);
    std::free(error);
    return error == nullptr;
}

bool LinuxWindowAccess::setPosition(WindowElement window, const QPointF& position)
{
    const auto x = static_cast<int>(std::lround(position.x()));
    const auto y = static_cast<int>(std::lround(position.y()));
    return moveResize(static_cast<uint32_t>(window.id), MoveX | MoveY, {x, y, 0, 0});
}

bool LinuxWindowAccess::setSize(WindowElement window, const QSizeF& size)
{
    if (!m_x11) {
        return false;
    }
    const auto [left, right, top, bottom] = frameExtents(static_cast<uint32_t>(window.id));
    const auto width = static_cast<int>(std::lround(size.width())) - int(left + right);
    const auto height = static_cast<int>(std::lround(size.height())) - int(top + bottom);
    if (width < 1 || height < 1) {
        return false;
    }
    return moveResize(
        static_cast<uint32_t>(window.id), ResizeWidth | ResizeHeight, {0, 0, width, height});
}

bool LinuxWindowAccess::isTrusted(bool)
{
    return m_x11 != nullptr;
}

void LinuxWindowAccess::beginPass()
{
    m_pass = std::make_unique<Pass>();
}

void LinuxWindowAccess::endPass()
{
    m_pass.reset();
}

void LinuxWindowAccess::clientListChanged()
{
    const QList<Client> current = clients();
    QSet<qint32> processes;
    QList<qint32> launched;
    for (const Client& client : current) {
        processes.insert(client.processKey);
        if (!m_knownProcesses.contains(client.processKey) &&
            !launched.contains(client.processKey)) {
            launched.append(client.processKey);
        }
    }
    m_knownProcesses = processes;
    if (launched.isEmpty()) {
        return;
    }
    const QList<ApplicationRecord> running = applications(current);
    for (const ApplicationRecord& application : running) {
        if (launched.contains(application.processIdentifier)) {
            Q_EMIT applicationLaunched(application);
        }
    }
}
