#include "common/TestFiles.h"
#include "common/TestMain.h"
#include "mouse/MouseDevice.h"
#include "mouse/hidutil/HidUtilCommand.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QTest>

namespace {

// "path=contents": a path starting with "@/" lies in the input device's own folder, any other
// is relative to the root of the tree.
void writeTree(const QString& root, const QString& device, const QStringList& files)
{
    const QString deviceDir = root + QStringLiteral("/sys/devices/") + device;
    QVERIFY(QDir().mkpath(deviceDir));
    QVERIFY(QDir().mkpath(root + QStringLiteral("/sys/class/input")));
    QVERIFY(QFile::link(deviceDir,
        root + QStringLiteral("/sys/class/input/") + device.section(QLatin1Char('/'), -1)));
    for (const QString& file : files) {
        QString path = file.section(QLatin1Char('='), 0, 0);
        path = path.startsWith(QLatin1String("@/")) ? QString(deviceDir + path.mid(1))
                                                    : QString(root + QLatin1Char('/') + path);
        QVERIFY(writeFile(path, file.section(QLatin1Char('='), 1).toUtf8() + '\n'));
    }
}

} // namespace

class HidUtilTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void listsPointingDevices_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QStringList>("mice");

        const QString usb =
            QStringLiteral("pci0000:00/0000:00:14.0/usb1/1-3/1-3.2/1-3.2:1.0/0003:046D:C077.0001/"
                           "input/input5");
        QTest::newRow("USB mouse behind a hub, udev record, USB strings")
            << usb
            << QStringList {QStringLiteral("sys/devices/pci0000:00/0000:00:14.0/usb1/1-3/busnum=1"),
                   QStringLiteral("sys/devices/pci0000:00/0000:00:14.0/usb1/1-3/devpath=3"),
                   QStringLiteral("sys/devices/pci0000:00/0000:00:14.0/usb1/1-3/product=Hub"),
                   QStringLiteral("sys/devices/pci0000:00/0000:00:14.0/usb1/1-3/1-3.2/busnum=1"),
                   QStringLiteral("sys/devices/pci0000:00/0000:00:14.0/usb1/1-3/1-3.2/devpath=3.2"),
                   QStringLiteral("sys/devices/pci0000:00/0000:00:14.0/usb1/1-3/1-3.2/product=USB "
                                  "Optical Mouse"),
                   QStringLiteral(
                       "sys/devices/pci0000:00/0000:00:14.0/usb1/1-3/1-3.2/manufacturer=Logitech"),
                   QStringLiteral("@/name=Logitech USB Optical Mouse"),
                   QStringLiteral("@/id/bustype=0003"), QStringLiteral("@/id/vendor=046d"),
                   QStringLiteral("@/id/product=c077"),
                   QStringLiteral("run/udev/data/+input:input5=E:ID_INPUT=1\nE:ID_INPUT_MOUSE=1")}
            << QByteArray(R"({"VendorID":1133,"ProductID":49271,"LocationID":20054016,)"
                          R"("Transport":"USB","Product":"USB Optical Mouse","Manufacturer":)"
                          R"("Logitech","PrimaryUsagePage":1,"PrimaryUsage":2})")
            << QStringList {QStringLiteral("1133:49271:20054016|USB Optical Mouse / Logitech "
                                           "(VID:0x46d, PID:0xc077, USB)")};
        QTest::newRow("Bluetooth mouse behind a USB radio, capability bits, address location")
            << QStringLiteral("pci0000:00/0000:00:14.0/usb1/1-7/1-7:1.0/bluetooth/hci0/hci0:256/"
                              "0005:046D:B023.0003/input/input20")
            << QStringList {QStringLiteral("sys/devices/pci0000:00/0000:00:14.0/usb1/1-7/busnum=1"),
                   QStringLiteral("sys/devices/pci0000:00/0000:00:14.0/usb1/1-7/devpath=7"),
                   QStringLiteral("sys/devices/pci0000:00/0000:00:14.0/usb1/1-7/product=Radio"),
                   QStringLiteral("@/name=MX Master 3"), QStringLiteral("@/id/bustype=0005"),
                   QStringLiteral("@/id/vendor=046d"), QStringLiteral("@/id/product=b023"),
                   QStringLiteral("@/uniq=c8:7e:11:22:33:44"),
                   QStringLiteral("@/capabilities/ev=17"),
                   QStringLiteral("@/capabilities/key=ff0000 0 0 0 0"),
                   QStringLiteral("@/capabilities/rel=1943")}
            << QByteArray(R"({"VendorID":1133,"ProductID":45091,"LocationID":287454020,)"
                          R"("Transport":"Bluetooth","Product":"MX Master 3",)"
                          R"("PrimaryUsagePage":1,"PrimaryUsage":2})")
            << QStringList {QStringLiteral(
                   "1133:45091:287454020|MX Master 3 (VID:0x46d, PID:0xb023, Bluetooth)")};
        QTest::newRow("I2C touchpad from capability bits: a digitizer, not a mouse")
            << QStringLiteral("pci0000:00/0000:00:15.1/i2c-2/0018:06CB:CD8B.0002/input/input12")
            << QStringList {QStringLiteral("@/name=SYNA8004:00 06CB:CD8B Touchpad"),
                   QStringLiteral("@/id/bustype=0018"), QStringLiteral("@/id/vendor=06cb"),
                   QStringLiteral("@/id/product=cd8b"), QStringLiteral("@/capabilities/ev=1b"),
                   QStringLiteral("@/capabilities/key=e420 10000 0 0 0 0"),
                   QStringLiteral("@/capabilities/abs=2e0800000000003"),
                   QStringLiteral("@/properties=5")}
            << QByteArray(R"({"VendorID":1739,"ProductID":52619,"LocationID":0,"Transport":)"
                          R"("I2C","Product":"SYNA8004:00 06CB:CD8B Touchpad",)"
                          R"("PrimaryUsagePage":13,"PrimaryUsage":5})")
            << QStringList {};
        QTest::newRow("uinput device, udev record of its event node: virtual")
            << QStringLiteral("virtual/input/input30")
            << QStringList {QStringLiteral("@/name=Wheel Rewriter"),
                   QStringLiteral("@/id/bustype=0003"), QStringLiteral("@/id/vendor=1234"),
                   QStringLiteral("@/id/product=5678"), QStringLiteral("@/event7/dev=13:71"),
                   QStringLiteral("run/udev/data/c13:71=E:ID_INPUT=1\nE:ID_INPUT_MOUSE=1")}
            << QByteArray(R"({"VendorID":4660,"ProductID":22136,"LocationID":0,"Transport":)"
                          R"j("Virtual","Product":"Wheel Rewriter (Virtual)",)j"
                          R"("PrimaryUsagePage":1,"PrimaryUsage":2})")
            << QStringList {};
        QTest::newRow("keyboard: not listed")
            << QStringLiteral("platform/i8042/serio0/input/input3")
            << QStringList {QStringLiteral("@/name=AT Translated Set 2 keyboard"),
                   QStringLiteral("@/id/bustype=0011"), QStringLiteral("@/capabilities/ev=120013"),
                   QStringLiteral("@/capabilities/key=402000000 3803078f800d001 "
                                  "feffffdfffefffff fffffffffffffffe")}
            << QByteArray() << QStringList {};
    }

    void listsPointingDevices()
    {
        QFETCH(QString, device);
        QFETCH(QStringList, files);
        QFETCH(QByteArray, line);
        QFETCH(QStringList, mice);

        QTemporaryDir root;
        writeTree(root.path(), device, files);
        QBuffer out;
        QBuffer err;
        out.open(QIODevice::WriteOnly);
        err.open(QIODevice::WriteOnly);
        const SysfsPointingDevices devices(root.path());
        const int code = HidUtilCommand(devices, out, err)
                             .run({QStringLiteral("list"), QStringLiteral("--matching"),
                                 QStringLiteral("mouse"), QStringLiteral("--ndjson")});
        QCOMPARE(code, 0);
        QCOMPARE(out.data(), line.isEmpty() ? line : line + '\n');
        QStringList listed;
        const QList<MouseDevice> parsed = MouseDevice::parseDevices(QString::fromUtf8(out.data()));
        for (const MouseDevice& mouse : parsed) {
            listed << mouse.id() + QLatin1Char('|') + mouse.displayName();
        }
        QCOMPARE(listed, mice);
    }
};

NORVALE_TEST_CLASS(HidUtilTest)
#include "tst_hidutil.moc"
