#include "EvdevScrollEventTap.h"

#include "EvdevScrollLoop.h"
#include "SysfsInputLocation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <array>
#include <cstring>
#include <fcntl.h>
#include <linux/input.h>
#include <linux/uinput.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

bool isReadable(const QString& path)
{
    return ::access(QFile::encodeName(path).constData(), R_OK) == 0;
}

qint64 hexFileValue(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return -1;
    }
    bool ok = false;
    const qint64 value = QString::fromLatin1(file.readAll()).trimmed().toLongLong(&ok, 16);
    return ok ? value : -1;
}

// sysfs writes a capability mask as hexadecimal words, the most significant first.
bool hasRelativeAxis(const QString& capabilities, int axis)
{
    QFile file(capabilities);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QStringList words =
        QString::fromLatin1(file.readAll()).simplified().split(QLatin1Char(' '));
    bool ok = false;
    const quint64 low = words.last().toULongLong(&ok, 16);
    return ok && (low >> axis) & 1U;
}

// --- The thin ioctl part: grabbing a node and building the virtual device ---

int openGrabbed(const QString& node)
{
    const int fd = ::open(QFile::encodeName(node).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0 && ::ioctl(fd, EVIOCGRAB, 1) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

void releaseGrabbed(int fd)
{
    ::ioctl(fd, EVIOCGRAB, 0);
    ::close(fd);
}

// The virtual device gets every key, relative axis and miscellaneous code the grabbed nodes
// have, and the wheels in both resolutions whatever they have, so that whatever the rewriter
// writes is delivered.
int createVirtualDevice(const QString& uinput, const QList<int>& sources)
{
    const int fd = ::open(QFile::encodeName(uinput).constData(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    struct Kind
    {
        int type;
        int count;
        unsigned long request;
    };
    constexpr std::array<Kind, 3> Kinds {{{EV_KEY, KEY_CNT, UI_SET_KEYBIT},
        {EV_REL, REL_CNT, UI_SET_RELBIT}, {EV_MSC, MSC_CNT, UI_SET_MSCBIT}}};
    bool ok = ::ioctl(fd, UI_SET_EVBIT, EV_SYN) == 0;
    for (const Kind& kind : Kinds) {
        ok = ok && ::ioctl(fd, UI_SET_EVBIT, kind.type) == 0;
        std::array<unsigned char, KEY_CNT / 8 + 1> bits {};
        for (const int source : sources) {
            std::array<unsigned char, KEY_CNT / 8 + 1> more {};
            if (::ioctl(source, EVIOCGBIT(kind.type, int(more.size())), more.data()) >= 0) {
                for (std::size_t index = 0; index < bits.size(); ++index) {
                    bits[index] |= more[index];
                }
            }
        }
        for (int code = 0; code < kind.count; ++code) {
            if (bits[std::size_t(code / 8)] & (1U << (code % 8))) {
                ok = ok && ::ioctl(fd, kind.request, code) == 0;
            }
        }
    }
    for (const int axis :
        {REL_X, REL_Y, REL_WHEEL, REL_HWHEEL, REL_WHEEL_HI_RES, REL_HWHEEL_HI_RES}) {
        ok = ok && ::ioctl(fd, UI_SET_RELBIT, axis) == 0;
    }
    uinput_setup setup {};
    setup.id.bustype = BUS_VIRTUAL;
    std::strncpy(setup.name, "Norvale wheel", UINPUT_MAX_NAME_SIZE - 1);
    ok = ok && ::ioctl(fd, UI_DEV_SETUP, &setup) == 0 && ::ioctl(fd, UI_DEV_CREATE) == 0;
    if (!ok) {
        ::close(fd);
        return -1;
    }
    return fd;
}

void destroyVirtualDevice(int fd)
{
    ::ioctl(fd, UI_DEV_DESTROY);
    ::close(fd);
}

} // namespace

EvdevScrollEventTap::EvdevScrollEventTap()
    : EvdevScrollEventTap(Paths())
{ }

EvdevScrollEventTap::EvdevScrollEventTap(Paths paths)
    : m_paths(std::move(paths))
{ }

EvdevScrollEventTap::~EvdevScrollEventTap()
{
    close();
}

QStringList EvdevScrollEventTap::wheelNodes(const Paths& paths, const Device& mouse)
{
    QStringList nodes;
    const QDir sysfs(paths.sysfsInput);
    const QString devices = QFileInfo(paths.sysfsDevices).canonicalFilePath();
    for (const QString& name : sysfs.entryList({QStringLiteral("event*")}, QDir::AllEntries)) {
        const QString device =
            QFileInfo(sysfs.filePath(name) + QStringLiteral("/device")).canonicalFilePath();
        if (hexFileValue(device + QStringLiteral("/id/vendor")) == mouse.vendorID &&
            hexFileValue(device + QStringLiteral("/id/product")) == mouse.productID &&
            SysfsInputLocation::locationID(device, devices) == mouse.locationID &&
            hasRelativeAxis(device + QStringLiteral("/capabilities/rel"), REL_WHEEL)) {
            nodes.append(paths.devInput + QLatin1Char('/') + name);
        }
    }
    return nodes;
}

void EvdevScrollEventTap::setDevice(const std::optional<Device>& device)
{
    const bool changed = device != m_device;
    m_device = device;
    // A tap in use follows the selection, and comes back once a mouse that went away is found.
    if (m_handler && (changed || !(m_loop && m_loop->isRunning()))) {
        close();
        open();
    }
}

ScrollEventTap::Access EvdevScrollEventTap::access() const
{
    Access access;
    access.accessibility = ::access(QFile::encodeName(m_paths.uinput).constData(), W_OK) == 0;
    QStringList nodes;
    if (m_device) {
        nodes = wheelNodes(m_paths, *m_device);
    }
    // A mouse without a node of its own (not found yet) is judged by the nodes there are; the
    // install then says that there is nothing to take over.
    if (nodes.isEmpty()) {
        const QDir input(m_paths.devInput);
        for (const QString& node :
            input.entryList({QStringLiteral("event*")}, QDir::Files | QDir::System)) {
            nodes.append(input.filePath(node));
        }
    }
    access.inputMonitoring = std::any_of(nodes.cbegin(), nodes.cend(), isReadable);
    return access;
}

bool EvdevScrollEventTap::install(Location location, Handler handler)
{
    if (location != Location::Hid) {
        return false;
    }
    close();
    m_handler = std::move(handler);
    if (!open()) {
        m_handler = {};
        return false;
    }
    return true;
}

void EvdevScrollEventTap::remove()
{
    close();
    m_handler = {};
}

bool EvdevScrollEventTap::open()
{
    if (!m_device) {
        return false;
    }
    for (const QString& node : wheelNodes(m_paths, *m_device)) {
        const int fd = openGrabbed(node);
        if (fd < 0) {
            close();
            return false;
        }
        m_grabbed.append(fd);
    }
    if (!m_grabbed.isEmpty()) {
        m_virtualDevice = createVirtualDevice(m_paths.uinput, m_grabbed);
    }
    if (m_virtualDevice < 0) {
        close();
        return false;
    }
    // A node that ends (the mouse unplugged) gives its grabs back at once, so that no mouse is
    // left without a reader; the rest goes at the next change or removal.
    m_loop = std::make_unique<EvdevScrollLoop>(m_grabbed, m_virtualDevice, m_handler, [this] {
        for (const int fd : std::as_const(m_grabbed)) {
            ::ioctl(fd, EVIOCGRAB, 0);
        }
    });
    return true;
}

void EvdevScrollEventTap::close()
{
    m_loop.reset();
    for (const int fd : std::as_const(m_grabbed)) {
        releaseGrabbed(fd);
    }
    m_grabbed.clear();
    if (m_virtualDevice >= 0) {
        destroyVirtualDevice(m_virtualDevice);
        m_virtualDevice = -1;
    }
}
