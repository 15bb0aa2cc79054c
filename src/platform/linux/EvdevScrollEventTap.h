#pragma once

// The scroll tap on Linux: the selected mouse's evdev event nodes are grabbed (so that nothing
// else sees their events) and everything they report is re-emitted through a uinput virtual
// device, the wheel motion rewritten by the handler. The grants are the machine's: "input
// monitoring" is read access to the mouse's event node, "accessibility" write access to
// /dev/uinput; without them nothing is installed. There is only the device level: an install
// at the session level fails.
//
// The nodes are found under sysfs by the mouse's vendor, product (hexadecimal there) and
// location (the number the HID helper reports) among those that report a wheel, so that of two
// identical mice only the selected one is taken over.
//
// The grab and the virtual device are thin ioctl calls; the loop that rewrites and re-emits
// events works on plain file descriptors (EvdevScrollLoop, EvdevScrollRewriter).

#include "platform/ScrollEventTap.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

class EvdevScrollLoop;

class EvdevScrollEventTap final : public ScrollEventTap
{
public:
    struct Paths
    {
        QString sysfsInput = QStringLiteral("/sys/class/input");
        QString devInput = QStringLiteral("/dev/input");
        QString uinput = QStringLiteral("/dev/uinput");
        QString sysfsDevices = QStringLiteral("/sys/devices");
    };

    EvdevScrollEventTap();
    explicit EvdevScrollEventTap(Paths paths);
    ~EvdevScrollEventTap() override;

    void setDevice(const std::optional<Device>& device) override;
    Access access() const override;
    // Linux has no prompt for this grant; the user changes the device's group or udev rules.
    void requestInputMonitoringAccess() override { }
    bool install(Location location, Handler handler) override;
    void remove() override;

    // The event nodes (paths under devInput) of the mouse that report a vertical wheel.
    static QStringList wheelNodes(const Paths& paths, const Device& mouse);

private:
    bool open();
    void close();

    Paths m_paths;
    std::optional<Device> m_device;
    Handler m_handler;
    QList<int> m_grabbed;
    int m_virtualDevice = -1;
    std::unique_ptr<EvdevScrollLoop> m_loop;
};
