#include "common/TestMain.h"
#include "platform/sim/ManualScheduler.h"
#include "platform/sim/SimDisplays.h"
#include "platform/sim/SimWorkspace.h"
#include "settings/SettingsWindow.h"

#include <QLineEdit>
#include <QShortcut>
#include <QTest>

Q_DECLARE_METATYPE(std::optional<QRect>)

class SettingsWindowTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_displays.setDisplays(
            {SimDisplays::display(QStringLiteral("A"), {0, 0, 1920, 1080}, true)});
        m_workspace = std::make_unique<SimWorkspace>(m_scheduler);
    }

    void wantedContentSize_data()
    {
        QTest::addColumn<double>("scale");
        QTest::addColumn<QSize>("size");
        QTest::newRow("1.0") << 1.0 << QSize(720, 660);
        QTest::newRow("0.85 rounds 561") << 0.85 << QSize(612, 561);
        QTest::newRow("halves away from zero") << 1.03125 << QSize(743, 681);
        QTest::newRow("below 0.8 clamps") << 0.5 << QSize(576, 528);
        QTest::newRow("above 1.8 clamps") << 2.5 << QSize(1296, 1188);
        QTest::newRow("NaN is 1.0") << std::nan("") << QSize(720, 660);
    }

    void wantedContentSize()
    {
        QFETCH(double, scale);
        QTEST(SettingsWindowGeometry::wantedContentSize(scale), "size");
    }

    void layout_data()
    {
        QTest::addColumn<double>("scale");
        QTest::addColumn<std::optional<QRect>>("visible");
        QTest::addColumn<QRect>("frame");
        QTest::addColumn<QMargins>("margins");
        QTest::addColumn<bool>("centre");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<std::optional<QPoint>>("position"); // nothing: not moved

        const std::optional<QRect> work = QRect(0, 32, 1920, 1048);
        const QMargins framed(1, 30, 1, 1); // title bar + bottom border = 31
        QTest::newRow("centred with the real frame")
            << 1.0 << work << QRect(0, 0, 722, 691) << framed << true << QSize(720, 660)
            << std::optional(QPoint(599, 210));
        QTest::newRow("centred before the frame is known")
            << 1.0 << work << QRect(0, 0, 720, 660) << QMargins() << true << QSize(720, 660)
            << std::optional(QPoint(600, 226));
        // A 722 × 691 frame at 1.0 in the work area, not centred: where it is moved to.
        const auto kept = [&](const char* name, QPoint at, std::optional<QPoint> movedTo) {
            QTest::newRow(name) << 1.0 << work << QRect(at, QSize(722, 691)) << framed << false
                                << QSize(720, 660) << movedTo;
        };
        kept("inside already: does not move", {100, 100}, std::nullopt);
        kept("past the right edge: moved left", {1500, 100}, QPoint(1198, 100));
        kept("above the top: moved down", {100, -50}, QPoint(100, 32));
        kept("left of the left edge: moved right", {-300, 100}, QPoint(0, 100));

        const std::optional<QRect> small = QRect(0, 0, 800, 600);
        QTest::newRow("width capped, height minus the title bar; the left edge wins")
            << 1.25 << small << QRect(100, 0, 902, 856) << framed << false << QSize(800, 569)
            << std::optional(QPoint(0, 0));
        QTest::newRow("height never below 0; the bottom edge wins")
            << 1.0 << std::optional<QRect>(QRect(0, 0, 1024, 20)) << QRect(0, 0, 722, 691) << framed
            << false << QSize(720, 0) << std::optional(QPoint(0, -11));
        QTest::newRow("keep-inside uses top + height, not bottom()")
            << 1.0 << std::optional<QRect>(QRect(0, 0, 1000, 1000)) << QRect(0, 400, 722, 691)
            << framed << false << QSize(720, 660) << std::optional(QPoint(0, 309));
        QTest::newRow("no screen: wanted size uncapped, not moved")
            << 1.8 << std::optional<QRect>() << QRect(5000, 5000, 100, 100) << framed << true
            << QSize(1296, 1188) << std::optional<QPoint>();
    }

    void layout()
    {
        QFETCH(double, scale);
        QFETCH(std::optional<QRect>, visible);
        QFETCH(QRect, frame);
        QFETCH(QMargins, margins);
        QFETCH(bool, centre);
        const SettingsWindowGeometry::Result result =
            SettingsWindowGeometry::layout(scale, visible, frame, margins, centre);
        QTEST(result.contentSize, "size");
        QTEST(result.framePosition, "position");
    }

    void opensCentredTitledAndActivated()
    {
        SettingsWindow window(m_displays, *m_workspace, m_scheduler);
        window.open(1.0);
        QVERIFY(window.isVisible());
        QCOMPARE(window.windowTitle(), QStringLiteral("設定"));
        QCOMPARE(window.size(), QSize(720, 660));
        QCOMPARE(window.minimumSize(), window.maximumSize()); // not resizable
        QCOMPARE(window.pos(), QPoint(600, 210)); // centred without a frame
        QCOMPARE(m_workspace->activations().size(), 1);
        QVERIFY(m_workspace->activations().first().own);
        QCOMPARE(m_workspace->activations().first().application.windowID, quint64(window.winId()));
        // Once the frame is known the rule runs again, and the polling stops.
        m_scheduler.advance(0.05);
        QCOMPARE(window.pos(), QPoint(598, 208));
        QCOMPARE(m_scheduler.pendingCount(), 0);

        // Closing only hides; the next opening centres again at its own scale.
        window.move(10, 10);
        QVERIFY(window.close());
        QVERIFY(!window.isVisible());
        window.open(1.2);
        QCOMPARE(window.size(), QSize(864, 792));
        QCOMPARE(window.pos(), QPoint(528, 144));
    }

    void scaleChangeResizesWithoutCentring()
    {
        SettingsWindow window(m_displays, *m_workspace, m_scheduler);
        window.open(1.0);
        window.move(1000, 50);
        // The offscreen platform frames shown windows with 2-pixel margins.
        window.setUIScale(1.5);
        QCOMPARE(window.size(), QSize(1080, 990));
        QCOMPARE(window.pos(), QPoint(836, 50)); // pulled left by the right edge only
        window.setUIScale(1.8); // 1296 × 1188: height capped at 1080 minus the frame's 4
        QCOMPARE(window.size(), QSize(1296, 1076));
        QCOMPARE(window.pos(), QPoint(620, 0));
    }

    // Only Ctrl+Q closes the window, even from a text field, and it never reaches an
    // application-wide quit shortcut; any other chord does.
    void closeWindowChord_data()
    {
        QTest::addColumn<QKeyCombination>("chord");
        QTest::addColumn<bool>("closes");
        QTest::newRow("Ctrl+Q") << (Qt::CTRL | Qt::Key_Q) << true;
        QTest::newRow("Ctrl+Shift+Q") << (Qt::CTRL | Qt::SHIFT | Qt::Key_Q) << false;
        QTest::newRow("Meta+Q") << (Qt::META | Qt::Key_Q) << false;
        QTest::newRow("Ctrl+W") << (Qt::CTRL | Qt::Key_W) << false;
    }

    void closeWindowChord()
    {
        QFETCH(QKeyCombination, chord);
        QFETCH(bool, closes);
        SettingsWindow window(m_displays, *m_workspace, m_scheduler);
        auto* field = new QLineEdit;
        window.setContent(field);
        QWidget other;
        int quitRequests = 0;
        auto* quit = new QShortcut(QKeySequence(chord), &other);
        quit->setContext(Qt::ApplicationShortcut);
        connect(quit, &QShortcut::activated, &other, [&] { ++quitRequests; });
        other.show();
        window.open(1.0);
        QVERIFY(QTest::qWaitForWindowActive(&window));
        field->setFocus();
        QTest::keyClick(field, chord.key(), chord.keyboardModifiers());
        QCOMPARE(window.isVisible(), !closes);
        QCOMPARE(quitRequests, closes ? 0 : 1);
    }

private:
    ManualScheduler m_scheduler;
    SimDisplays m_displays;
    std::unique_ptr<SimWorkspace> m_workspace;
};

NORVALE_TEST_CLASS(SettingsWindowTest)
#include "tst_settingswindow.moc"
