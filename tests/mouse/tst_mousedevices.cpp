#include "common/TestMain.h"
#include "mouse/MouseDevice.h"

#include <QTest>

namespace {

const QString Usb = QStringLiteral(
    R"({"PrimaryUsagePage":1,"PrimaryUsage":2,"VendorID":1133,"ProductID":50475,"LocationID":336592896,"Transport":"USB","Product":"%1","Manufacturer":"Logitech"})");

QString mouse(const QString& product, const QString& maker = QStringLiteral("Acme"), int pid = 7)
{
    return QStringLiteral(
        R"({"PrimaryUsagePage":1,"PrimaryUsage":2,"VendorID":1452,"ProductID":%1,"LocationID":9,"Product":"%2","Manufacturer":"%3"})")
        .arg(pid)
        .arg(product, maker);
}

// One row per listed device: id, display name and matching dictionary.
QStringList describe(const QList<MouseDevice>& devices)
{
    QStringList rows;
    for (const MouseDevice& device : devices) {
        rows << device.id() + QLatin1Char('|') + device.displayName() + QLatin1Char('|') +
                device.matchingJSON();
    }
    return rows;
}

} // namespace

class MouseDevicesTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void parsesNamesAndMatches_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("receiver in any case, no location in its match")
            << QStringList {Usb.arg(QStringLiteral("usb RECEIVER"))}
            << QStringList {
                   QStringLiteral("1133:50475:336592896|Logitech USB Receiver (MX系マウス) / "
                                  "Logitech (VID:0x46d, PID:0xc52b, USB)|"
                                  "{\"VendorID\":1133,\"ProductID\":50475}")};
        QTest::newRow("missing location, name, maker and transport")
            << QStringList {QStringLiteral(
                   R"({"PrimaryUsagePage":1,"PrimaryUsage":2,"VendorID":1133,"ProductID":16})")}
            << QStringList {
                   QStringLiteral("1133:16:0|Unknown Mouse (VID:0x46d, PID:0x10, N/A)|"
                                  "{\"VendorID\":1133,\"ProductID\":16,\"LocationID\":0}")};
        QTest::newRow("services merge: a later name fills a missing one")
            << QStringList {mouse(QString()), mouse(QStringLiteral("MX Master"))}
            << QStringList {QStringLiteral("1452:7:9|MX Master / Acme (VID:0x5ac, PID:0x7, N/A)|"
                                           "{\"VendorID\":1452,\"ProductID\":7,\"LocationID\":9}")};
        QTest::newRow("services merge: the first name wins")
            << QStringList {mouse(QStringLiteral("First")), mouse(QStringLiteral("Second"))}
            << QStringList {QStringLiteral("1452:7:9|First / Acme (VID:0x5ac, PID:0x7, N/A)|"
                                           "{\"VendorID\":1452,\"ProductID\":7,\"LocationID\":9}")};
        QTest::newRow("apple trackpads, virtual and automation devices dropped")
            << QStringList {mouse(
                                QStringLiteral("Magic TrackPad"), QStringLiteral("APPLE Inc."), 1),
                   mouse(QStringLiteral("Magic Mouse"), QStringLiteral("Apple Inc."), 2),
                   mouse(QStringLiteral("Trackpad"), QStringLiteral("Other"), 3),
                   mouse(QStringLiteral("VIRTUAL core pointer"), QStringLiteral("Acme"), 4),
                   mouse(QStringLiteral("my AutoMouse"), QStringLiteral("Acme"), 5)}
            << QStringList {
                   QStringLiteral("1452:2:9|Magic Mouse / Apple Inc. (VID:0x5ac, PID:0x2, "
                                  "N/A)|{\"VendorID\":1452,\"ProductID\":2,\"LocationID\":9}"),
                   QStringLiteral("1452:3:9|Trackpad / Other (VID:0x5ac, PID:0x3, N/A)|"
                                  "{\"VendorID\":1452,\"ProductID\":3,\"LocationID\":9}")};
        QTest::newRow("not mice, not objects, no ids: skipped")
            << QStringList {QStringLiteral(
                                R"({"PrimaryUsagePage":1,"PrimaryUsage":6,"VendorID":1,"ProductID":2})"),
                   QStringLiteral(
                       R"({"PrimaryUsagePage":"1","PrimaryUsage":2,"VendorID":1,"ProductID":2})"),
                   QStringLiteral(R"({"PrimaryUsagePage":1,"PrimaryUsage":2,"ProductID":2})"),
                   QStringLiteral(
                       R"({"PrimaryUsagePage":1,"PrimaryUsage":2,"VendorID":1.5,"ProductID":2})"),
                   QStringLiteral("[1,2]"), QStringLiteral("{}"), QStringLiteral("not json")}
            << QStringList {};
        QTest::newRow("numbers in names sort by value, case ignored")
            << QStringList {mouse(QStringLiteral("Mouse 10"), QStringLiteral("A"), 1),
                   mouse(QStringLiteral("Mouse 2"), QStringLiteral("A"), 2),
                   mouse(QStringLiteral("basic"), QStringLiteral("A"), 3)}
            << QStringList {QStringLiteral("1452:3:9|basic / A (VID:0x5ac, PID:0x3, N/A)|"
                                           "{\"VendorID\":1452,\"ProductID\":3,\"LocationID\":9}"),
                   QStringLiteral("1452:2:9|Mouse 2 / A (VID:0x5ac, PID:0x2, N/A)|"
                                  "{\"VendorID\":1452,\"ProductID\":2,\"LocationID\":9}"),
                   QStringLiteral("1452:1:9|Mouse 10 / A (VID:0x5ac, PID:0x1, N/A)|"
                                  "{\"VendorID\":1452,\"ProductID\":1,\"LocationID\":9}")};
    }

    void parsesNamesAndMatches()
    {
        QFETCH(QStringList, lines);
        QFETCH(QStringList, expected);
        QCOMPARE(describe(MouseDevice::parseDevices(lines.join(QLatin1String("\n\n")))), expected);
    }
};

NORVALE_TEST_CLASS(MouseDevicesTest)
#include "tst_mousedevices.moc"
