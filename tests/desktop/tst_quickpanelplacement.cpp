#include "common/TestMain.h"
#include "panel/QuickPanelPlacement.h"
#include "platform/sim/SimDisplays.h"

#include <QTest>

using QuickPanelPlacement::Edge;

Q_DECLARE_METATYPE(QuickPanelPlacement::Edge)

namespace {

DisplayInfo withVisible(DisplayInfo display, const QRect& visible)
{
    display.visibleFrame = visible;
    return display;
}

} // namespace

class QuickPanelPlacementTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void quickPanelSize_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<double>("scale");
        QTest::addColumn<double>("height");
        // (imageRows - 1) * 8 + max(124 s, 136) * imageRows + 62 + 310 + 70 rows + 2
        QTest::newRow("5 rows at 1.0") << 5 << 1.0 << 1148.0;
        QTest::newRow("0 rows as 1") << 0 << 1.0 << 136.0 + 62 + 380 + 2;
        QTest::newRow("2 rows, 2 image rows") << 2 << 1.0 << 8 + 272.0 + 62 + 450 + 2;
        QTest::newRow("13 rows as 12") << 13 << 1.0 << 16 + 408.0 + 62 + 1150 + 2;
        QTest::newRow("scale 1.15 fractional") << 4 << 1.15 << 16 + 3 * 142.6 + 62 + 590 + 2;
    }

    void quickPanelSize()
    {
        QFETCH(int, rows);
        QFETCH(double, scale);
        const QSizeF size = QuickPanelPlacement::leftClickMenuBaseSize(rows, scale);
        QCOMPARE(size.width(), 780.0);
        QTEST(size.height(), "height");
    }

    void place_data()
    {
        QTest::addColumn<QList<DisplayInfo>>("displays");
        QTest::addColumn<QRect>("anchor");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QRect>("frame");
        QTest::addColumn<Edge>("edge");
        QTest::addColumn<QRect>("workArea");

        // LEFT (primary) carries a 32-pixel top panel; RIGHT has none.
        const QList<DisplayInfo> two {
            withVisible(SimDisplays::display(QStringLiteral("LEFT"), {0, 0, 1920, 1080}, true),
                {0, 32, 1920, 1048}),
            SimDisplays::display(QStringLiteral("RIGHT"), {1920, 0, 1920, 1080})};
        const QSize panel(780, 600);
        QTest::newRow("pointer in the lower half: above, centred on the pointer")
            << two << QuickPanelPlacement::anchorAtPointer({960, 900}) << panel
            << QRect(570, 300, 780, 600) << Edge::Above << QRect(0, 32, 1920, 1048);
        QTest::newRow("pointer just above the centre opens below")
            << two << QRect(2500, 539, 1, 1) << QSize(780, 400) << QRect(2110, 540, 780, 400)
            << Edge::Below << QRect(1920, 0, 1920, 1080);
        QTest::newRow("pointer on the centre line opens above")
            << two << QRect(2500, 540, 1, 1) << QSize(780, 400) << QRect(2110, 140, 780, 400)
            << Edge::Above << QRect(1920, 0, 1920, 1080);
        QTest::newRow("near the left edge of the right monitor: shifted right")
            << two << QRect(1925, 100, 1, 1) << panel << QRect(1920, 101, 780, 600) << Edge::Below
            << QRect(1920, 0, 1920, 1080);
        QTest::newRow("tray icon top right: below the panel, shifted left, height capped")
            << two << QRect(1800, 0, 32, 32) << QSize(780, 1148) << QRect(1140, 32, 780, 1048)
            << Edge::Below << QRect(0, 32, 1920, 1048);
        QTest::newRow("above but too tall: shifted down to the work area's top")
            << two << QRect(2500, 1070, 1, 1) << QSize(780, 1148) << QRect(2110, 0, 780, 1080)
            << Edge::Above << QRect(1920, 0, 1920, 1080);
        QTest::newRow("no display at all: 0, 0, 1440, 900")
            << QList<DisplayInfo>() << QuickPanelPlacement::anchorAtPointer({100, 100}) << panel
            << QRect(0, 101, 780, 600) << Edge::Below << QRect(0, 0, 1440, 900);

        QList<DisplayInfo> mirrored {
            withVisible(SimDisplays::display(QStringLiteral("M1"), {0, 0, 1920, 1080}, true),
                {0, 0, 1920, 1000}),
            withVisible(SimDisplays::display(QStringLiteral("M2"), {0, 0, 1920, 1080}),
                {0, 100, 1920, 980})};
        QTest::newRow("overlapping frames: the first match wins")
            << mirrored << QRect(100, 10, 1, 1) << QSize(400, 300) << QRect(0, 11, 400, 300)
            << Edge::Below << QRect(0, 0, 1920, 1000);

        QTest::newRow("the anchor's centre decides the display; shifted up to fit")
            << two << QRect(1900, 500, 40, 20) << panel << QRect(1920, 480, 780, 600) << Edge::Below
            << QRect(1920, 0, 1920, 1080);
    }

    void place()
    {
        QFETCH(QList<DisplayInfo>, displays);
        QFETCH(QRect, anchor);
        QFETCH(QSize, size);
        const auto result = QuickPanelPlacement::place(anchor, size, displays);
        QTEST(result.workArea, "workArea");
        QTEST(result.edge, "edge");
        QTEST(result.frame, "frame");
    }
};

NORVALE_TEST_CLASS(QuickPanelPlacementTest)
#include "tst_quickpanelplacement.moc"
