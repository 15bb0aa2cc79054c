#include "LinuxDisplays.h"

#include "X11Connection.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

#include <xcb/xcb.h>

namespace {

enum StrutIndex
{
    Left,
    Right,
    Top,
    Bottom,
    LeftStartY,
    LeftEndY,
    RightStartY,
    RightEndY,
    TopStartX,
    TopEndX,
    BottomStartX,
    BottomEndX
};

// The strut's reserved rectangles in root coordinates (empty ones are skipped).
QList<std::pair<StrutIndex, QRect>> reservedRects(const Strut& strut, const QSize& root)
{
    const auto& v = strut.values;
    const auto span = [](uint32_t start, uint32_t end) {
        return static_cast<int>(end >= start ? end - start + 1 : 0);
    };
    QList<std::pair<StrutIndex, QRect>> rects;
    if (v[Left] > 0) {
        rects.append({Left,
            QRect(0, static_cast<int>(v[LeftStartY]), static_cast<int>(v[Left]),
                span(v[LeftStartY], v[LeftEndY]))});
    }
    if (v[Right] > 0) {
        rects.append({Right,
            QRect(root.width() - static_cast<int>(v[Right]), static_cast<int>(v[RightStartY]),
                static_cast<int>(v[Right]), span(v[RightStartY], v[RightEndY]))});
    }
    if (v[Top] > 0) {
        rects.append({Top,
            QRect(static_cast<int>(v[TopStartX]), 0, span(v[TopStartX], v[TopEndX]),
                static_cast<int>(v[Top]))});
    }
    if (v[Bottom] > 0) {
        rects.append({Bottom,
            QRect(static_cast<int>(v[BottomStartX]), root.height() - static_cast<int>(v[Bottom]),
                span(v[BottomStartX], v[BottomEndX]), static_cast<int>(v[Bottom]))});
    }
    return rects;
}

} // namespace

Strut Strut::fromPartial(const QList<uint32_t>& cardinals)
{
    Strut strut;
    for (qsizetype i = 0; i < cardinals.size() && i < 12; ++i) {
        strut.values[static_cast<size_t>(i)] = cardinals.at(i);
    }
    return strut;
}

Strut Strut::fromFull(const QList<uint32_t>& cardinals, const QSize& rootSize)
{
    Strut strut;
    for (qsizetype i = 0; i < cardinals.size() && i < 4; ++i) {
        strut.values[static_cast<size_t>(i)] = cardinals.at(i);
    }
    const auto lastY = static_cast<uint32_t>(std::max(rootSize.height() - 1, 0));
    const auto lastX = static_cast<uint32_t>(std::max(rootSize.width() - 1, 0));
    strut.values[LeftEndY] = lastY;
    strut.values[RightEndY] = lastY;
    strut.values[TopEndX] = lastX;
    strut.values[BottomEndX] = lastX;
    return strut;
}

QRect LinuxDisplays::workArea(const QRect& monitor, const QList<Strut>& struts, const QSize& root)
{
    int left = monitor.left();
    int top = monitor.top();
    int right = monitor.left() + monitor.width(); // exclusive edges
    int bottom = monitor.top() + monitor.height();
    for (const Strut& strut : struts) {
        for (const auto& [edge, rect] : reservedRects(strut, root)) {
            if (!rect.intersects(monitor)) {
                continue;
            }
            switch (edge) {
            case Left:
                left = std::max(left, rect.left() + rect.width());
                break;
            case Right:
                right = std::min(right, rect.left());
                break;
            case Top:
                top = std::max(top, rect.top() + rect.height());
                break;
            case Bottom:
                bottom = std::min(bottom, rect.top());
                break;
            default:
                break;
            }
        }
    }
    if (right <= left || bottom <= top) {
        return monitor;
    }
    return QRect(left, top, right - left, bottom - top);
}

bool LinuxDisplays::isBuiltInConnector(const QString& name)
{
    static const QStringList prefixes {
        QStringLiteral("eDP"), QStringLiteral("LVDS"), QStringLiteral("DSI")};
    return std::any_of(prefixes.cbegin(), prefixes.cend(),
        [&](const QString& prefix) { return name.startsWith(prefix, Qt::CaseInsensitive); });
}

LinuxDisplays::LinuxDisplays(QObject* parent)
    : Displays(parent)
    , m_x11(X11Connection::shared())
{
    connect(qGuiApp, &QGuiApplication::screenAdded, this, [this](QScreen* screen) {
        watchScreen(screen);
        scheduleRefresh();
    });
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, [this] { scheduleRefresh(); });
    connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this, [this] { scheduleRefresh(); });
    const QList<QScreen*> screens = QGuiApplication::screens();
    for (QScreen* screen : screens) {
        watchScreen(screen);
    }
    if (m_x11) {
        m_x11->subscribe(this, [this](const xcb_generic_event_t* event) { handleEvent(event); });
        m_x11->selectEvents(m_x11->root(), XCB_EVENT_MASK_PROPERTY_CHANGE);
    }
    refresh();
    m_refreshScheduled = false;
}

LinuxDisplays::~LinuxDisplays() = default;

QList<DisplayInfo> LinuxDisplays::displays() const
{
    return m_displays;
}

QPoint LinuxDisplays::pointerLocation() const
{
    return QCursor::pos();
}

void LinuxDisplays::warpPointer(const QPoint& location)
{
    QCursor::setPos(location);
}

void LinuxDisplays::watchScreen(QScreen* screen)
{
    connect(screen, &QScreen::geometryChanged, this, [this] { scheduleRefresh(); });
    connect(screen, &QScreen::availableGeometryChanged, this, [this] { scheduleRefresh(); });
    connect(screen, &QScreen::physicalDotsPerInchChanged, this, [this] { scheduleRefresh(); });
}

void LinuxDisplays::scheduleRefresh()
{
    if (m_refreshScheduled) {
        return;
    }
    m_refreshScheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_refreshScheduled = false;
        refresh();
    });
}

void LinuxDisplays::handleEvent(const void* raw)
{
    const auto* event = static_cast<const xcb_generic_event_t*>(raw);
    const uint8_t type = event->response_type & 0x7f;
    if (type == XCB_DESTROY_NOTIFY || type == XCB_UNMAP_NOTIFY) {
        return; // the client list changes as well
    }
    if (type != XCB_PROPERTY_NOTIFY) {
        return;
    }
    const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event);
    if ((notify->window == m_x11->root() && notify->atom == m_x11->atom("_NET_CLIENT_LIST")) ||
        notify->atom == m_x11->atom("_NET_WM_STRUT_PARTIAL") ||
        notify->atom == m_x11->atom("_NET_WM_STRUT")) {
        scheduleRefresh();
    }
}

QList<Strut> LinuxDisplays::readStruts()
{
    QList<Strut> struts;
    const auto clients =
        m_x11->cardinals(m_x11->root(), m_x11->atom("_NET_CLIENT_LIST"), XCB_ATOM_WINDOW);
    if (!clients) {
        m_watchedClients.clear();
        return struts;
    }
    const QSize root = m_x11->rootSize();
    for (const uint32_t client : *clients) {
        if (!m_watchedClients.contains(client)) {
            m_x11->selectEvents(client, XCB_EVENT_MASK_PROPERTY_CHANGE);
        }
        const auto partial = m_x11->cardinals(client, m_x11->atom("_NET_WM_STRUT_PARTIAL"));
        if (partial && partial->size() >= 12) {
            struts.append(Strut::fromPartial(*partial));
            continue;
        }
        const auto full = m_x11->cardinals(client, m_x11->atom("_NET_WM_STRUT"));
        if (full && full->size() >= 4) {
            struts.append(Strut::fromFull(*full, root));
        }
    }
    m_watchedClients = *clients;
    return struts;
}

void LinuxDisplays::refresh()
{
    QList<QScreen*> screens = QGuiApplication::screens();
    QScreen* primary = QGuiApplication::primaryScreen();
    if (primary != nullptr && screens.removeOne(primary)) {
        screens.prepend(primary);
    }
    const bool haveStruts =
        m_x11 && m_x11->cardinals(m_x11->root(), m_x11->atom("_NET_CLIENT_LIST"), XCB_ATOM_WINDOW);
    const QList<Strut> struts = haveStruts ? readStruts() : QList<Strut>();
    const QSize root = m_x11 ? m_x11->rootSize() : QSize();

    QList<DisplayInfo> displays;
    for (QScreen* screen : std::as_const(screens)) {
        DisplayInfo info;
        info.name = screen->name();
        info.id = screen->serialNumber().isEmpty() ? screen->name() : screen->serialNumber();
        info.frame = screen->geometry();
        info.devicePixelRatio = screen->devicePixelRatio();
        info.isBuiltIn = isBuiltInConnector(screen->name());
        info.isPrimary = screen == primary;
        if (haveStruts) {
            // Struts are in device pixels of the root window; Qt keeps each screen's origin
            // and scales its size.
            const double ratio = info.devicePixelRatio > 0 ? info.devicePixelRatio : 1.0;
            const QRect native(info.frame.topLeft(), info.frame.size() * ratio);
            const QRect free = workArea(native, struts, root);
            const QPoint offset = free.topLeft() - native.topLeft();
            info.visibleFrame = QRect(info.frame.topLeft() + offset / ratio, free.size() / ratio);
        } else {
            info.visibleFrame = screen->availableGeometry();
        }
        displays.append(info);
    }
    if (displays != m_displays) {
        m_displays = displays;
        Q_EMIT displaysChanged();
    }
}
