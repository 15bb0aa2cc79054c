#include "common/TestMain.h"
#include "platform/linux/EvdevScrollRewriter.h"

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

} // namespace

Q_DECLARE_METATYPE(ScrollWheelEvent)

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

        QByteArray written(bytes.size() + 64, '\0');
        const ssize_t count = ::read(out[0], written.data(), size_t(written.size()));
        written.truncate(qMax<ssize_t>(count, 0));
        QCOMPARE(written, records(expected));
        QCOMPARE(seen,
            offered == ScrollWheelEvent {} ? QList<ScrollWheelEvent> {}
                                           : QList<ScrollWheelEvent> {offered});
        ::close(in[0]);
        ::close(out[0]);
    }
};

NORVALE_TEST_CLASS(EvdevScrollRewriterTest)
#include "tst_evdevscrollrewriter.moc"
