#include "common/TestFiles.h"
#include "common/TestMain.h"
#include "mouse/MouseDevice.h"
#include "mouse/MouseSettingsModel.h"
#include "mouse/hidutil/HidUtilCommand.h"
#include "platform/sim/ManualExecutor.h"
#include "platform/sim/ManualScheduler.h"

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

// One X server with one pointer, id 9, on /dev/input/event5, carrying libinput's two
// acceleration properties (speed 0, the adaptive profile of adaptive/flat/custom).
class FakePointers final : public PointerProperties
{
public:
    QMap<QString, QList<double>> properties {{QStringLiteral("libinput Accel Speed"), {0.0}},
        {QStringLiteral("libinput Accel Profile Enabled"), {1, 0, 0}}};

    std::optional<QList<Pointer>> pointers(QString*) override
    {
        return QList<Pointer> {{9, QStringLiteral("Optical Mouse"),
            QStringLiteral("/dev/input/event5"), std::pair(1133, 49271)}};
    }
    std::optional<QList<double>> property(int device, const QString& name) override
    {
        return device == 9 && properties.contains(name) ? std::optional(properties[name])
                                                        : std::nullopt;
    }
    bool setProperty(
        int device, const QString& name, const QList<double>& values, QString* error) override
    {
        if (!property(device, name)) {
            *error = QStringLiteral("no such property");
            return false;
        }
        properties[name] = values;
        return true;
    }
};

struct Outcome
{
    int code = 0;
    QByteArray out;
    QByteArray err;
};

Outcome run(const QString& root, PointerProperties& pointers, const QStringList& arguments)
{
    QBuffer out;
    QBuffer err;
    out.open(QIODevice::WriteOnly);
    err.open(QIODevice::WriteOnly);
    const SysfsPointingDevices devices(root);
    const int code =
        HidUtilCommand(devices, pointers, root + QStringLiteral("/state/hidutil.json"), out, err)
            .run(arguments);
    return {code, out.data(), err.data()};
}

// A USB mouse (1133:49271 on bus 1, port 3) with its event node 5.
void writeMouse(const QString& root)
{
    writeTree(root, QStringLiteral("pci0000:00/usb1/1-3/1-3:1.0/input/input5"),
        {QStringLiteral("sys/devices/pci0000:00/usb1/1-3/busnum=1"),
            QStringLiteral("sys/devices/pci0000:00/usb1/1-3/devpath=3"),
            QStringLiteral("@/name=Optical Mouse"), QStringLiteral("@/id/bustype=0003"),
            QStringLiteral("@/id/vendor=046d"), QStringLiteral("@/id/product=c077"),
            QStringLiteral("@/event5/dev=13:69"),
            QStringLiteral("run/udev/data/c13:69=E:ID_INPUT_MOUSE=1")});
}

// The device listing through the command runner: answered in process, or by the helper.
QString hidListingThroughRunner(std::vector<InProcessCommand> inProcess)
{
    ManualScheduler scheduler;
    ManualExecutor executor(scheduler);
    ProcessSystemCommandExecutor runner(executor, std::move(inProcess));
    QString text = QStringLiteral("not delivered");
    TaskHandle task = runner.run(QStringLiteral(NORVALE_HIDUTIL_HELPER),
        {QStringLiteral("list"), QStringLiteral("--matching"), QStringLiteral("mouse"),
            QStringLiteral("--ndjson")},
        [&](const SystemCommandResult& result) { text = result.text(); });
    executor.runAll();
    scheduler.runPending();
    return text;
}

QStringList propertyCommand(const QString& action, const QString& value)
{
    return {QStringLiteral("property"), QStringLiteral("--matching"),
        QStringLiteral(R"({"VendorID":1133,"ProductID":49271,"LocationID":19922944})"), action,
        value};
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
        qputenv("NORVALE_HIDUTIL_ROOT", root.path().toUtf8());
        const QString inProcess = hidListingThroughRunner(
            {HidUtilCommand::inProcessListing(QStringLiteral(NORVALE_HIDUTIL_HELPER))});
        QCOMPARE(hidListingThroughRunner({}), inProcess);
        qunsetenv("NORVALE_HIDUTIL_ROOT");
        QCOMPARE(inProcess.toUtf8(), line.isEmpty() ? line : line + '\n');
        QVERIFY(!HidUtilCommand::inProcessListing(root.filePath(QStringLiteral("none"))).answer());
        QStringList listed;
        const QList<MouseDevice> parsed = MouseDevice::parseDevices(inProcess);
        for (const MouseDevice& mouse : parsed) {
            listed << mouse.id() + QLatin1Char('|') + mouse.displayName();
        }
        QCOMPARE(listed, mice);
    }

    // Writes go through the model's command line, reads through the model's own parser.
    void mapsPropertiesOntoLibinput_data()
    {
        QTest::addColumn<QString>("written");
        QTest::addColumn<QList<double>>("changedLater");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QList<double>>("items");
        QTest::addColumn<qint64>("read");

        const QString speed = QStringLiteral("HIDPointerAcceleration");
        const QString acceleration = QStringLiteral("HIDMouseAcceleration");
        QTest::newRow("cursor speed 5 and acceleration 5 in one write")
            << QStringLiteral(R"({"HIDMouseAcceleration":45055,"HIDPointerAcceleration":32765})")
            << QList<double> {} << speed << QList<double> {(5 * 6553 - 65536) / 65536.0}
            << qint64(5 * 6553);
        QTest::newRow("speed past the top: 1, read as written")
            << QStringLiteral(R"({"HIDPointerAcceleration":200000})") << QList<double> {} << speed
            << QList<double> {1.0} << qint64(200000);
        QTest::newRow("acceleration 3: adaptive, read as written")
            << QStringLiteral(R"({"HIDMouseAcceleration":27033})") << QList<double> {}
            << acceleration << QList<double> {1, 0, 0} << qint64(3 * 9011);
        QTest::newRow("acceleration 0: flat")
            << QStringLiteral(R"({"HIDMouseAcceleration":0})") << QList<double> {} << acceleration
            << QList<double> {0, 1, 0} << qint64(0);
        QTest::newRow("changed elsewhere after the write: read from the device")
            << QStringLiteral(R"({"HIDMouseAcceleration":27033})") << QList<double> {0, 1, 0}
            << acceleration << QList<double> {0, 1, 0} << qint64(0);
        QTest::newRow("never written: adaptive") << QString() << QList<double> {} << acceleration
                                                 << QList<double> {1, 0, 0} << qint64(45056);
        QTest::newRow("never written: speed 0")
            << QString() << QList<double> {} << speed << QList<double> {0.0} << qint64(65536);
        QTest::newRow("scroll-acceleration reset: accepted, nothing changes")
            << QStringLiteral(R"({"HIDScrollAcceleration":0,"HIDMouseScrollAcceleration":0})")
            << QList<double> {} << acceleration << QList<double> {1, 0, 0} << qint64(45056);
    }

    void mapsPropertiesOntoLibinput()
    {
        QFETCH(QString, written);
        QFETCH(QList<double>, changedLater);
        QFETCH(QString, name);
        QFETCH(QList<double>, items);
        QFETCH(qint64, read);

        QTemporaryDir root;
        writeMouse(root.path());
        FakePointers pointers;
        if (!written.isEmpty()) {
            const Outcome set =
                run(root.path(), pointers, propertyCommand(QStringLiteral("--set"), written));
            QCOMPARE(set.err, QByteArray());
            QCOMPARE(set.code, 0);
        }
        const QString xName = name == QLatin1String("HIDPointerAcceleration")
            ? QStringLiteral("libinput Accel Speed")
            : QStringLiteral("libinput Accel Profile Enabled");
        if (!changedLater.isEmpty()) {
            pointers.properties[xName] = changedLater;
        }
        QCOMPARE(pointers.properties[xName], items);
        const Outcome get =
            run(root.path(), pointers, propertyCommand(QStringLiteral("--get"), name));
        QCOMPARE(get.code, 0);
        QCOMPARE(MouseSettingsModel::parseNumericProperty(QString::fromUtf8(get.out)), read);
    }

    void refusesBadCommandLines_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("code");

        QTest::newRow("matching not JSON")
            << QStringList {QStringLiteral("property"), QStringLiteral("--matching"),
                   QStringLiteral("{\"VendorID\":"), QStringLiteral("--get"),
                   QStringLiteral("HIDPointerAcceleration")}
            << 1;
        QTest::newRow("set not JSON")
            << propertyCommand(QStringLiteral("--set"), QStringLiteral("[1")) << 1;
        QTest::newRow("set of an unknown key, with a known one")
            << propertyCommand(QStringLiteral("--set"),
                   QStringLiteral(R"({"HIDPointerAcceleration":6553,"HIDFoo":1})"))
            << 1;
        QTest::newRow("set of a fraction")
            << propertyCommand(
                   QStringLiteral("--set"), QStringLiteral(R"({"HIDPointerAcceleration":0.5})"))
            << 1;
        QTest::newRow("get of an unknown property")
            << propertyCommand(QStringLiteral("--get"), QStringLiteral("HIDScrollAcceleration"))
            << 1;
        QTest::newRow("no such device")
            << QStringList {QStringLiteral("property"), QStringLiteral("--matching"),
                   QStringLiteral(R"({"VendorID":1133,"ProductID":1})"), QStringLiteral("--get"),
                   QStringLiteral("HIDPointerAcceleration")}
            << 1;
        QTest::newRow("action missing") << QStringList {QStringLiteral("property"),
                                               QStringLiteral("--matching"), QStringLiteral("{}")}
                                        << 2;
    }

    void refusesBadCommandLines()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, code);

        QTemporaryDir root;
        writeMouse(root.path());
        FakePointers pointers;
        const auto before = pointers.properties;
        const Outcome outcome = run(root.path(), pointers, arguments);
        QCOMPARE(outcome.code, code);
        QCOMPARE(outcome.out, QByteArray());
        QVERIFY(outcome.err.startsWith("norvale-hidutil: "));
        QCOMPARE(pointers.properties, before);
    }
};

NORVALE_TEST_CLASS(HidUtilTest)
#include "tst_hidutil.moc"
