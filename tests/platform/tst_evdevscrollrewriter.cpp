#include "common/TestFiles.h"
#include "common/TestMain.h"
#include "platform/linux/EvdevScrollEventTap.h"
#include "platform/linux/EvdevScrollLoop.h"
#include "platform/linux/EvdevScrollRewriter.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <array>
#include <linux/input.h>
#include <unistd.h>

namespace {

using Event = std::array<int, 3>; // type, code, value
using Events = QList<Event>;

QByteArray records(const Events& events)
{
    QByteArray bytes;
    for (const Event& event : events) {
        input_event record {};
        record.time.tv_sec = 7;
        record.type = quint16(event[0]);
        record.code = quint16(event[1]);
        record.value = event[2];
        bytes.append(reinterpret_cast<const char*>(&record), sizeof(record));
    }
    return bytes;
}

constexpr int Syn = EV_SYN;
constexpr int Rel = EV_REL;
constexpr Event Report {EV_SYN, SYN_REPORT, 0};

QByteArray readAll(int fd)
{
    QByteArray bytes(4096, '\0');
    const ssize_t count = ::read(fd, bytes.data(), size_t(bytes.size()));
    bytes.truncate(qMax<ssize_t>(count, 0));
    return bytes;
}

// A machine with a Logitech mouse (046d:c092) on USB port 1-3 whose wheel is on event3 and
// whose keys are on event4, another mouse (046d:c52b) on event5, and a second mouse like the
// first on port 1-4, event6. Which of the nodes and /dev/uinput exist is the row's choice (the
// tests run as root, for whom an existing file is always readable).
struct InputTree
{
    QTemporaryDir root;
    EvdevScrollEventTap::Paths paths {root.filePath(QStringLiteral("sys/class/input")),
        root.filePath(QStringLiteral("dev")), root.filePath(QStringLiteral("dev/uinput")),
        root.filePath(QStringLiteral("sys/devices"))};

    explicit InputTree(const QStringList& present)
    {
        for (const auto& [node, port, product, rel] :
            {std::tuple {"event3", "3", "c092", "103"}, std::tuple {"event4", "3", "c092", "0"},
                std::tuple {"event5", "5", "c52b", "1943"},
                std::tuple {"event6", "4", "c092", "103"}}) {
            const QString usb = paths.sysfsDevices + QStringLiteral("/pci0000:00/usb1/1-") + port;
            const QString device = usb + QStringLiteral("/1.0/input/") + QLatin1String(node);
            QDir().mkpath(device + QStringLiteral("/id"));
            QDir().mkpath(device + QStringLiteral("/capabilities"));
            QDir().mkpath(paths.sysfsInput + QLatin1Char('/') + QLatin1String(node));
            writeFile(usb + QStringLiteral("/busnum"), "1\n");
            writeFile(usb + QStringLiteral("/devpath"), QByteArray(port) + '\n');
            writeFile(device + QStringLiteral("/id/bustype"), "0003\n");
            writeFile(device + QStringLiteral("/id/vendor"), "046d\n");
            writeFile(device + QStringLiteral("/id/product"), QByteArray(product) + '\n');
            writeFile(device + QStringLiteral("/capabilities/rel"), QByteArray(rel) + '\n');
            QFile::link(device,
                paths.sysfsInput + QLatin1Char('/') + QLatin1String(node) +
                    QStringLiteral("/device"));
        }
        QDir().mkpath(paths.devInput);
        for (const QString& name : present) {
            writeFile(paths.devInput + QLatin1Char('/') + name, {});
        }
    }
};

} // namespace

Q_DECLARE_METATYPE(ScrollWheelEvent)
Q_DECLARE_METATYPE(std::optional<ScrollEventTap::Device>)

class EvdevScrollRewriterTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void rewritesWheelFrames_data()
    {
        QTest::addColumn<Events>("input");
        QTest::addColumn<Events>("expected");
        QTest::addColumn<ScrollWheelEvent>("offered");

        ScrollWheelEvent vertical;
        vertical.lineDeltas = {1, 0, 0};
        vertical.fixedPointDeltas = {65536, 0, 0};
        QTest::newRow("a notch with its high-resolution twin")
            << Events {{Rel, REL_WHEEL, 1}, {Rel, REL_WHEEL_HI_RES, 120}, Report}
            << Events {{Rel, REL_WHEEL, -3}, {Rel, REL_WHEEL_HI_RES, -360}, Report} << vertical;
        ScrollWheelEvent fraction;
        fraction.fixedPointDeltas = {0, -16384, 0};
        QTest::newRow("a horizontal fraction, among motion and buttons in order")
            << Events {{Rel, REL_X, 4}, {EV_KEY, BTN_LEFT, 1}, {Rel, REL_HWHEEL_HI_RES, -30},
                   {Rel, REL_Y, -2}, Report}
            << Events {{Rel, REL_X, 4}, {EV_KEY, BTN_LEFT, 1}, {Rel, REL_HWHEEL_HI_RES, 90},
                   {Rel, REL_Y, -2}, Report}
            << fraction;
        QTest::newRow("frames without wheel pass as they are")
            << Events {{Rel, REL_X, 4}, Report, {EV_KEY, BTN_RIGHT, 0}, {Syn, SYN_DROPPED, 0},
                   Report}
            << Events {{Rel, REL_X, 4}, Report, {EV_KEY, BTN_RIGHT, 0}, {Syn, SYN_DROPPED, 0},
                   Report}
            << ScrollWheelEvent {};
        QTest::newRow("an unfinished frame waits for its report")
            << Events {Report, {Rel, REL_WHEEL, 1}} << Events {Report} << ScrollWheelEvent {};
    }

    // The handler inverts and triples whatever it is offered; records split across reads.
    void rewritesWheelFrames()
    {
        QFETCH(Events, input);
        QFETCH(Events, expected);
        QFETCH(ScrollWheelEvent, offered);

        int in[2];
        int out[2];
        QVERIFY(::pipe(in) == 0 && ::pipe(out) == 0);
        QList<ScrollWheelEvent> seen;
        EvdevScrollRewriter rewriter(in[0], out[1], [&seen](const ScrollWheelEvent& event) {
            seen.append(event);
            ScrollWheelEvent result = event;
            for (std::size_t axis = 0; axis < 3; ++axis) {
                result.lineDeltas[axis] *= -3;
                result.fixedPointDeltas[axis] *= -3;
            }
            return std::optional<ScrollWheelEvent>(result);
        });
        const QByteArray bytes = records(input);
        const qsizetype half = qsizetype(sizeof(input_event)) + 5;
        QVERIFY(::write(in[1], bytes.constData(), size_t(half)) == half);
        QVERIFY(rewriter.pump());
        QVERIFY(::write(in[1], bytes.constData() + half, size_t(bytes.size() - half)) ==
            bytes.size() - half);
        QVERIFY(rewriter.pump());
        ::close(in[1]);
        QVERIFY(!rewriter.pump());
        ::close(out[1]);

        QCOMPARE(readAll(out[0]), records(expected));
        QCOMPARE(seen,
            offered == ScrollWheelEvent {} ? QList<ScrollWheelEvent> {}
                                           : QList<ScrollWheelEvent> {offered});
        ::close(in[0]);
        ::close(out[0]);
    }

    // Two mice read at once into one virtual device, frame by frame; the end of one stops both
    // and is told once.
    void loopMergesNodesUntilOneEnds()
    {
        int first[2], second[2], out[2];
        QVERIFY(::pipe(first) == 0 && ::pipe(second) == 0 && ::pipe(out) == 0);
        int ended = 0;
        EvdevScrollLoop loop(
            {first[0], second[0]}, out[1],
            [](const ScrollWheelEvent& event) {
                ScrollWheelEvent inverted = event;
                inverted.lineDeltas[0] = -event.lineDeltas[0];
                return std::optional(inverted);
            },
            [&ended] { ++ended; });
        const QByteArray wheel = records({{Rel, REL_WHEEL, 1}, Report});
        const QByteArray motion = records({{Rel, REL_X, 5}, Report});
        QVERIFY(::write(first[1], wheel.constData(), size_t(wheel.size())) == wheel.size());
        QCoreApplication::processEvents();
        QVERIFY(::write(second[1], motion.constData(), size_t(motion.size())) == motion.size());
        QCoreApplication::processEvents();
        QCOMPARE(readAll(out[0]), records({{Rel, REL_WHEEL, -1}, Report}) + motion);

        ::close(first[1]);
        QCoreApplication::processEvents();
        QVERIFY(::write(second[1], motion.constData(), size_t(motion.size())) == motion.size());
        QCoreApplication::processEvents();
        QCOMPARE(ended, 1);
        QVERIFY(!loop.isRunning());
        ::close(out[1]);
        QCOMPARE(readAll(out[0]), QByteArray());
        for (const int fd : {first[0], second[0], second[1], out[0]}) {
            ::close(fd);
        }
    }

    // Of two identical mice, the one plugged in where the selection says (bus 1 in the top
    // byte, the port in the next nibble).
    void wheelNodesOfTheSelectedMouse_data()
    {
        QTest::addColumn<qint64>("location");
        QTest::addColumn<QStringList>("nodes");
        QTest::newRow("port 1-3") << qint64(0x01300000) << QStringList {QStringLiteral("event3")};
        QTest::newRow("port 1-4") << qint64(0x01400000) << QStringList {QStringLiteral("event6")};
    }

    void wheelNodesOfTheSelectedMouse()
    {
        QFETCH(qint64, location);
        QFETCH(QStringList, nodes);
        const InputTree tree({});
        for (QString& node : nodes) {
            node.prepend(tree.paths.devInput + QLatin1Char('/'));
        }
        QCOMPARE(EvdevScrollEventTap::wheelNodes(tree.paths, {1133, 49298, location}), nodes);
    }

    // The grants are the mouse's wheel node, event3 (readable), and /dev/uinput (writable); a
    // mouse without a wheel node of its own is judged by any node.
    // Nothing here is an evdev device, so no install succeeds, and none leaves anything open.
    void tapGrantsAndNodes_data()
    {
        QTest::addColumn<QStringList>("present");
        QTest::addColumn<std::optional<ScrollEventTap::Device>>("device");
        QTest::addColumn<bool>("accessibility");
        QTest::addColumn<bool>("inputMonitoring");
        const ScrollEventTap::Device pro {1133, 49298, 0x01300000};
        const QStringList all {QStringLiteral("event3"), QStringLiteral("event4"),
            QStringLiteral("event5"), QStringLiteral("uinput")};
        QTest::newRow("everything there") << all << std::optional(pro) << true << true;
        QTest::newRow("no uinput, the wheel node missing while others are there")
            << QStringList {QStringLiteral("event4"), QStringLiteral("event5")}
            << std::optional(pro) << false << false;
        QTest::newRow("a mouse without nodes, judged by any")
            << QStringList {QStringLiteral("event5")}
            << std::optional(ScrollEventTap::Device {1133, 1, 0}) << false << true;
        QTest::newRow("no mouse selected, no node at all")
            << QStringList {QStringLiteral("uinput")} << std::optional<ScrollEventTap::Device>()
            << true << false;
    }

    void tapGrantsAndNodes()
    {
        QFETCH(QStringList, present);
        QFETCH(std::optional<ScrollEventTap::Device>, device);
        const InputTree tree(present);
        EvdevScrollEventTap tap(tree.paths);
        tap.setDevice(device);
        const ScrollEventTap::Access access = tap.access();
        QTEST(access.accessibility, "accessibility");
        QTEST(access.inputMonitoring, "inputMonitoring");

        const int before = ::dup(0);
        ::close(before);
        for (const auto location :
            {ScrollEventTap::Location::Hid, ScrollEventTap::Location::Session}) {
            QVERIFY(!tap.install(
                location, [](const ScrollWheelEvent& event) { return std::optional(event); }));
        }
        const int after = ::dup(0);
        ::close(after);
        QCOMPARE(after, before);
    }
};

NORVALE_TEST_CLASS(EvdevScrollRewriterTest)
#include "tst_evdevscrollrewriter.moc"
