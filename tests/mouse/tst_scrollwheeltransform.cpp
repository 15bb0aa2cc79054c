#include "common/TestMain.h"
#include "mouse/ScrollWheelTransform.h"

#include <QTest>

using Deltas = QList<qint64>;

class ScrollWheelTransformTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Deltas: vertical and horizontal lines, vertical points, vertical 16.16 fixed point.
    void rewritesNotchedWheels_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<bool>("inverted");
        QTest::addColumn<bool>("accelerate");
        QTest::addColumn<bool>("continuous");
        QTest::addColumn<quint64>("userData");
        QTest::addColumn<Deltas>("deltas");
        QTest::addColumn<Deltas>("expected");

        const Deltas untouched;
        QTest::newRow("level 1, not inverted: passes")
            << 1 << false << false << false << quint64(0) << Deltas {1, 0, 1, 65536} << untouched;
        QTest::newRow("level 1, inverted: one notch flips")
            << 1 << true << false << false << quint64(0) << Deltas {1, 0, 1, 65536}
            << Deltas {-1, 0, -1, -65536};
        QTest::newRow("level 5 without acceleration: +4 lines become +3")
            << 5 << false << false << false << quint64(0) << Deltas {4, 0, 12, 4 * 65536}
            << Deltas {3, 0, 3, 3 * 65536};
        QTest::newRow("a fraction of a notch keeps its fraction")
            << 5 << false << false << false << quint64(0) << Deltas {0, 0, 0, 16384}
            << Deltas {0, 0, 0, 3 * 16384};
        QTest::newRow("level 20: ten lines a notch, inverted")
            << 20 << true << false << false << quint64(0) << Deltas {-1, 2, 0, 0}
            << Deltas {10, -10, 0, 0};
        QTest::newRow("level 4 with acceleration: -3 becomes -6")
            << 4 << false << true << false << quint64(0) << Deltas {-3, 0, -7, -3 * 65536}
            << Deltas {-6, 0, -14, -6 * 65536};
        QTest::newRow("level 3 with acceleration: halves away from zero")
            << 3 << true << true << false << quint64(0) << Deltas {1, -1, 0, 0}
            << Deltas {-2, 2, 0, 0};
        QTest::newRow("continuous events pass") << 5 << true << false << true << quint64(0)
                                                << Deltas {4, 0, 12, 4 * 65536} << untouched;
        QTest::newRow("events carrying the marker pass")
            << 5 << true << false << false << quint64(0x4e4f5256414c4531ULL)
            << Deltas {4, 0, 12, 4 * 65536} << untouched;
    }

    void rewritesNotchedWheels()
    {
        QFETCH(int, level);
        QFETCH(bool, inverted);
        QFETCH(bool, accelerate);
        QFETCH(bool, continuous);
        QFETCH(quint64, userData);
        QFETCH(Deltas, deltas);
        QFETCH(Deltas, expected);

        ScrollWheelEvent event;
        event.continuous = continuous;
        event.userData = userData;
        event.lineDeltas = {deltas[0], deltas[1], 0};
        event.pointDeltas = {deltas[2], 0, 0};
        event.fixedPointDeltas = {deltas[3], 0, 0};
        event.scrollPhase = 2;
        event.momentumPhase = 3;
        event.modifierFlags = 0x100000;

        const auto replacement =
            ScrollWheelTransform::replacement(event, {true, level, inverted, accelerate});
        QCOMPARE(replacement.has_value(), !expected.isEmpty());
        QVERIFY(!ScrollWheelTransform::replacement(event, {false, level, inverted, accelerate}));
        if (!replacement) {
            return;
        }
        ScrollWheelEvent wanted = event;
        wanted.lineDeltas = {expected[0], expected[1], 0};
        wanted.pointDeltas = {expected[2], 0, 0};
        wanted.fixedPointDeltas = {expected[3], 0, 0};
        wanted.userData = 0x4e4f5256414c4531ULL;
        QCOMPARE(*replacement, wanted);
    }
};

NORVALE_TEST_CLASS(ScrollWheelTransformTest)
#include "tst_scrollwheeltransform.moc"
