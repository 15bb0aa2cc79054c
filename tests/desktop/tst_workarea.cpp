#include "common/TestMain.h"
#include "platform/linux/LinuxDisplays.h"
#include "platform/sim/SimDisplays.h"

#include <QTest>

Q_DECLARE_METATYPE(Strut)
Q_DECLARE_METATYPE(DisplayMatch)

namespace {

Strut partial(std::initializer_list<uint32_t> values)
{
    return Strut::fromPartial(QList<uint32_t>(values));
}

} // namespace

class WorkAreaTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void workArea_data()
    {
        QTest::addColumn<QSize>("root");
        QTest::addColumn<QRect>("monitor");
        QTest::addColumn<QList<Strut>>("struts");
        QTest::addColumn<QRect>("expected");

        const QSize root(3840, 1080);
        const QRect left(0, 0, 1920, 1080);
        const QRect right(1920, 0, 1920, 1080);
        // trayer on the right monitor's top edge.
        const Strut trayTopRight = partial({0, 0, 32, 0, 0, 0, 0, 0, 1920, 3839, 0, 0});
        QTest::newRow("top panel on the right monitor shrinks it")
            << root << right << QList<Strut> {trayTopRight} << QRect(1920, 32, 1920, 1048);
        QTest::newRow("the same panel leaves the left monitor whole")
            << root << left << QList<Strut> {trayTopRight} << left;
        QTest::newRow("panels on two edges of one monitor")
            << root << right
            << QList<Strut> {trayTopRight, partial({0, 0, 0, 40, 0, 0, 0, 0, 0, 0, 1920, 3839})}
            << QRect(1920, 32, 1920, 1008);
        QTest::newRow("old four-value strut spans the whole edge")
            << root << left << QList<Strut> {Strut::fromFull({48, 0, 0, 0}, root)}
            << QRect(48, 0, 1872, 1080);
        QTest::newRow("right strut at the root's right edge")
            << root << right << QList<Strut> {partial({0, 30, 0, 0, 0, 0, 0, 1079, 0, 0, 0, 0})}
            << QRect(1920, 0, 1890, 1080);

        // A shorter right monitor: its bottom panel is expressed from the root's bottom.
        const QSize tallRoot(3840, 1200);
        QTest::newRow("bottom panel of a shorter monitor")
            << tallRoot << QRect(1920, 0, 1920, 1080)
            << QList<Strut> {partial({0, 0, 0, 160, 0, 0, 0, 0, 0, 0, 1920, 3839})}
            << QRect(1920, 0, 1920, 1040);
        QTest::newRow("a strut that would leave nothing is ignored")
            << root << left << QList<Strut> {partial({0, 0, 1080, 0, 0, 0, 0, 0, 0, 1919, 0, 0})}
            << left;
    }

    void workArea()
    {
        QFETCH(QSize, root);
        QFETCH(QRect, monitor);
        QFETCH(QList<Strut>, struts);
        QTEST(LinuxDisplays::workArea(monitor, struts, root), "expected");
    }

    // Which display a rectangle belongs to: a point-like anchor by its centre, a window by the
    // largest overlap; else the primary display (listed second here), else none.
    void visibleFrameFor_data()
    {
        QTest::addColumn<QRect>("rect");
        QTest::addColumn<DisplayMatch>("rule");
        QTest::addColumn<bool>("lower"); // LOWER's work area, else LEFT's
        QTest::newRow("an even split goes to the first listed")
            << QRect(1820, 600, 200, 100) << DisplayMatch::LargestOverlap << true;
        QTest::newRow("centre in the gap: the primary")
            << QRect(1800, 300, 600, 400) << DisplayMatch::ContainsCentre << false;
        QTest::newRow("window mostly beside the gap")
            << QRect(1800, 300, 600, 400) << DisplayMatch::LargestOverlap << true;
        QTest::newRow("not on screen: the primary")
            << QRect() << DisplayMatch::LargestOverlap << false;
    }

    void visibleFrameFor()
    {
        QFETCH(QRect, rect);
        QFETCH(DisplayMatch, rule);
        QFETCH(bool, lower);
        // LOWER sits right of LEFT and 540 lower: the top right is a gap.
        DisplayInfo left = SimDisplays::display(QStringLiteral("LEFT"), {0, 0, 1920, 1080}, true);
        left.visibleFrame = QRect(0, 32, 1920, 1048);
        const QRect below(1920, 540, 1920, 1080);
        const QList<DisplayInfo> displays {
            SimDisplays::display(QStringLiteral("LOWER"), below), left};
        QCOMPARE(::visibleFrameFor(rect, displays, rule), lower ? below : left.visibleFrame);
        QCOMPARE(::visibleFrameFor(rect, {}, rule), std::optional<QRect>());
    }

    void builtInConnectors_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("builtIn");
        QTest::newRow("eDP") << QStringLiteral("eDP-1") << true;
        QTest::newRow("LVDS") << QStringLiteral("LVDS1") << true;
        QTest::newRow("DSI") << QStringLiteral("DSI-1") << true;
        QTest::newRow("HDMI") << QStringLiteral("HDMI-A-1") << false;
    }

    void builtInConnectors()
    {
        QFETCH(QString, name);
        QTEST(LinuxDisplays::isBuiltInConnector(name), "builtIn");
    }
};

NORVALE_TEST_CLASS(WorkAreaTest)
#include "tst_workarea.moc"
