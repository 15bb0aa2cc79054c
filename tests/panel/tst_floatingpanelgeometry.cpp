#include "common/TestMain.h"
#include "panel/FloatingPanelGeometry.h"

#include <QTest>

using Frame = std::optional<QRectF>;

Q_DECLARE_METATYPE(Frame)
Q_DECLARE_METATYPE(ScreenFrame)

namespace {

// Visible folders holding the given numbers of phrases.
FixedPhraseFolderList foldersWith(const QList<int>& phraseCounts)
{
    FixedPhraseFolderList folders;
    for (const int count : phraseCounts) {
        folders.append(FixedPhraseFolder {});
        folders.last().phrases.resize(count);
    }
    return folders;
}

// All in the y-up space: a 1920 × 1200 main screen with a 25-high bar on top, and a
// 1440 × 900 screen to its right.
const ScreenFrame mainScreen {{0, 0, 1920, 1200}, {0, 0, 1920, 1175}};
const ScreenFrame sideScreen {{1920, 0, 1440, 900}, {1920, 0, 1440, 900}};
const QList<ScreenFrame> screens {mainScreen, sideScreen};

} // namespace

class FloatingPanelGeometryTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void sidePanelSize_data()
    {
        QTest::addColumn<QList<int>>("phraseCounts");
        QTest::addColumn<double>("scale");
        QTest::addColumn<Frame>("visible");
        QTest::addColumn<bool>("titles");
        QTest::addColumn<QSizeF>("size");
        const Frame tall = QRectF(0, 0, 1920, 1175);
        const QList<int> threeFolders {5, 2, 0};
        const QList<int> twenty {20, 1};
        QTest::newRow("3 folders of at most 5, folders only")
            << threeFolders << 1.0 << tall << false << QSizeF(160, 240);
        QTest::newRow("3 folders of at most 5, with titles")
            << threeFolders << 1.0 << tall << true << QSizeF(430, 240);
        QTest::newRow("20 phrases on a tall screen")
            << twenty << 1.0 << tall << true << QSizeF(430, 590);
        QTest::newRow("20 phrases on a short screen: visible height - 16")
            << twenty << 1.0 << Frame(QRectF(0, 0, 1280, 500)) << true << QSizeF(430, 484);
        QTest::newRow("12 folders count as 12 rows")
            << QList<int>(12, 1) << 1.0 << tall << false << QSizeF(160, 366);
        QTest::newRow("scale 1.5: the minimum scales too")
            << threeFolders << 1.5 << tall << true << QSizeF(645, 360);
        QTest::newRow("no screen: the wanted height - 16")
            << twenty << 1.0 << Frame() << true << QSizeF(430, 574);
    }

    void sidePanelSize()
    {
        QFETCH(QList<int>, phraseCounts);
        QFETCH(double, scale);
        QFETCH(Frame, visible);
        QFETCH(bool, titles);
        const qsizetype rows = FloatingPanelGeometry::sidePanelRowCount(foldersWith(phraseCounts));
        QTEST(FloatingPanelGeometry::panelSize(rows, scale, visible, titles), "size");
    }

    void sidePanelOrigin_data()
    {
        QTest::addColumn<QRectF>("launcher");
        QTest::addColumn<QSizeF>("size");
        QTest::addColumn<QList<ScreenFrame>>("displays");
        QTest::addColumn<QPointF>("origin");
        const QRectF launcher(600, 956, 756, 44);
        QTest::newRow("right of the launcher, tops level")
            << launcher << QSizeF(160, 240) << screens << QPointF(1366, 760);
        QTest::newRow("near the right edge: flips to the left")
            << QRectF(1100, 956, 756, 44) << QSizeF(430, 240) << screens << QPointF(660, 760);
        QTest::newRow("flipped past the left edge, below the bottom: clamped 8 inside")
            << QRectF(0, 100, 1900, 44) << QSizeF(160, 240) << screens << QPointF(8, 8);
        QTest::newRow("above the visible top: clamped 8 below it")
            << QRectF(600, 1150, 756, 44) << QSizeF(160, 240) << screens << QPointF(1366, 927);
        QTest::newRow("on the side screen: its frame")
            << QRectF(2000, 500, 756, 44) << QSizeF(430, 240) << screens << QPointF(2766, 304);
        QTest::newRow("no launcher frame: beside the pointer, on the main screen")
            << QRectF() << QSizeF(160, 240) << screens << QPointF(1752, 360);
        QTest::newRow("no screen: no flip, no clamps")
            << QRectF(1100, 100, 756, 44) << QSizeF(430, 240) << QList<ScreenFrame>()
            << QPointF(1866, -96);
    }

    void sidePanelOrigin()
    {
        QFETCH(QRectF, launcher);
        QFETCH(QSizeF, size);
        QFETCH(QList<ScreenFrame>, displays);
        const QRectF anchor = FloatingPanelGeometry::sidePanelAnchor(launcher, QPointF(2000, 600));
        const Frame visible = FloatingPanelGeometry::visibleFrame(anchor, displays);
        QTEST(FloatingPanelGeometry::origin(size, anchor, visible), "origin");
    }

    void imagePreviewFrame_data()
    {
        QTest::addColumn<QSizeF>("image");
        QTest::addColumn<QPointF>("pointer");
        QTest::addColumn<Frame>("window");
        QTest::addColumn<QList<ScreenFrame>>("displays");
        QTest::addColumn<Frame>("frame");
        const ScreenFrame small {{0, 0, 1440, 900}, {0, 0, 1440, 900}};
        QTest::newRow("4000 x 3000 on 1440 x 900: 85 %, flipped right and limited")
            << QSizeF(4000, 3000) << QPointF(300, 450) << Frame(QRectF(100, 100, 780, 700))
            << QList<ScreenFrame> {small} << Frame(QRectF(216, 67.5, 1224, 765));
        QTest::newRow("left of the window, kept under the visible top")
            << QSizeF(400, 300) << QPointF(1000, 800) << Frame(QRectF(900, 100, 500, 700))
            << QList<ScreenFrame> {small} << Frame(QRectF(476, 600, 400, 300));
        QTest::newRow("no room on the left: right of the window, kept above the bottom")
            << QSizeF(400, 300) << QPointF(300, 100) << Frame(QRectF(100, 100, 500, 700))
            << QList<ScreenFrame> {small} << Frame(QRectF(624, 0, 400, 300));
        QTest::newRow("no window under the pointer: beside the pointer")
            << QSizeF(400, 300) << QPointF(1000, 450) << Frame() << QList<ScreenFrame> {small}
            << Frame(QRectF(576, 300, 400, 300));
        QTest::newRow("the screen under the pointer")
            << QSizeF(2000, 100) << QPointF(2500, 450) << Frame() << screens
            << Frame(QRectF(2136, 400, 1224, 100));
        QTest::newRow("no screen: 1440 x 900")
            << QSizeF(4000, 3000) << QPointF(300, 450) << Frame() << QList<ScreenFrame>()
            << Frame(QRectF(216, 67.5, 1224, 765));
        QTest::newRow("zero width: not shown") << QSizeF(0, 300) << QPointF(300, 450) << Frame()
                                               << QList<ScreenFrame> {small} << Frame();
    }

    void imagePreviewFrame()
    {
        QFETCH(QSizeF, image);
        QFETCH(QPointF, pointer);
        QFETCH(Frame, window);
        QFETCH(QList<ScreenFrame>, displays);
        QTEST(FloatingPanelGeometry::imagePreviewFrame(image, pointer, window, displays), "frame");
    }
};

NORVALE_TEST_CLASS(FloatingPanelGeometryTest)
#include "tst_floatingpanelgeometry.moc"
