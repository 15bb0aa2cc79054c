#include "common/TestMain.h"
#include "placement/WindowPlacementAccess.h"
#include "platform/sim/SimWindowAccess.h"

#include <QTest>

namespace {

const ApplicationRecord Editor {
    QStringLiteral("org.example.Edit"), true, 100, QStringLiteral("Edit"), false};
const ApplicationRecord Norvale {
    QStringLiteral("app.norvale.Norvale"), true, 200, QStringLiteral("Norvale"), false};
const ApplicationRecord Agent {
    QStringLiteral("org.example.Agent"), false, 300, QStringLiteral("Agent"), false};
const ApplicationRecord Centre {
    QStringLiteral("com.apple.controlcenter"), true, 400, QStringLiteral("Centre"), false};

SimWindowAccess::Window window(quint64 id, qint32 pid, const QString& title, const QRectF& frame)
{
    SimWindowAccess::Window w;
    w.element = {id};
    w.processIdentifier = pid;
    w.ownerName = QStringLiteral("owner");
    w.title = title;
    w.frame = frame;
    return w;
}

} // namespace

class WindowAccessTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void listingFilters_data()
    {
        QTest::addColumn<SimWindowAccess::Window>("window");
        QTest::addColumn<bool>("listed");

        const auto with = [](auto change) {
            SimWindowAccess::Window w =
                window(1, Editor.processIdentifier, QStringLiteral("T"), {0, 0, 80, 60});
            change(w);
            return w;
        };
        QTest::newRow("80x60 at layer 50") << with([](auto& w) { w.layer = 50; }) << true;
        QTest::newRow("layer 51") << with([](auto& w) { w.layer = 51; }) << false;
        QTest::newRow("79 wide") << with([](auto& w) { w.frame.setSize({79, 200}); }) << false;
        QTest::newRow("59 high") << with([](auto& w) { w.frame.setSize({200, 59}); }) << false;
        QTest::newRow("off screen") << with([](auto& w) { w.isOnScreen = false; }) << false;
        QTest::newRow("alpha 0") << with([](auto& w) { w.alpha = 0.0; }) << false;
        QTest::newRow("alpha 0.01") << with([](auto& w) { w.alpha = 0.01; }) << true;
        QTest::newRow("Norvale itself")
            << with([](auto& w) { w.processIdentifier = Norvale.processIdentifier; }) << false;
        QTest::newRow("not a regular application")
            << with([](auto& w) { w.processIdentifier = Agent.processIdentifier; }) << false;
        QTest::newRow("excluded bundle")
            << with([](auto& w) { w.processIdentifier = Centre.processIdentifier; }) << false;
        QTest::newRow("excluded owner name")
            << with([](auto& w) { w.ownerName = QStringLiteral("Control Center"); }) << false;
        QTest::newRow("unknown owner") << with([](auto& w) { w.processIdentifier = 999; }) << false;
    }

    void listingFilters()
    {
        QFETCH(SimWindowAccess::Window, window);
        QFETCH(bool, listed);

        SimWindowAccess sim;
        sim.setApplications({Editor, Norvale, Agent, Centre});
        sim.addWindow(window);
        const QList<RunningWindowSnapshot> snapshots =
            WindowPlacementAccess(sim).captureAvailableWindows(Norvale.bundleIdentifier);
        QCOMPARE(snapshots.size(), listed ? 1 : 0);
    }

    void listingOrderAndDuplicates()
    {
        SimWindowAccess sim;
        ApplicationRecord second = Editor;
        second.processIdentifier = 101;
        second.bundleIdentifier = QStringLiteral("org.example.Edit2");
        second.localizedName = QStringLiteral("edit 10");
        ApplicationRecord unnamed {QStringLiteral("org.example.Term"), true, 102, {}, false};
        ApplicationRecord namesake = Editor; // another application called "Edit"
        namesake.processIdentifier = 103;
        namesake.bundleIdentifier = QStringLiteral("org.example.Edit3");
        sim.setApplications({Editor, second, unnamed, namesake});
        sim.addWindow(window(7, 100, QStringLiteral("Doc"), {0, 0, 100, 100}));
        sim.addWindow(window(5, 100, QStringLiteral(" Doc "), {0, 0, 200, 100})); // larger
        sim.addWindow(window(6, 100, QStringLiteral("Doc"), {0, 0, 100, 200})); // equal: later
        sim.addWindow(window(8, 101, QString(), {0.5, -0.5, 99.5, 100.4}));
        sim.addWindow(window(9, 101, QStringLiteral("\n"), {0, 0, 300, 300}));
        sim.addWindow(window(4, 102, QStringLiteral("Shell"), {0, 0, 100, 100}));
        sim.addWindow(window(3, 100, QStringLiteral("doc 2"), {0, 0, 100, 100}));
        sim.addWindow(window(2, 100, QStringLiteral("Doc 10"), {0, 0, 100, 100}));
        sim.addWindow(window(1, 103, QStringLiteral("Doc"), {0, 0, 100, 100}));

        QStringList listed;
        for (const RunningWindowSnapshot& s :
            WindowPlacementAccess(sim).captureAvailableWindows(std::nullopt)) {
            listed.append(s.id + QLatin1Char(' ') + s.appName + QLatin1Char(' ') + s.detailLine());
        }
        QCOMPARE(listed,
            QStringList({QStringLiteral("103-1 Edit Doc / 100x100 @ (0, 0)"),
                QStringLiteral("100-5 Edit Doc / 200x100 @ (0, 0)"),
                QStringLiteral("100-3 Edit doc 2 / 100x100 @ (0, 0)"),
                QStringLiteral("100-2 Edit Doc 10 / 100x100 @ (0, 0)"),
                QStringLiteral("101-9 edit 10 (無題) / 300x300 @ (0, 0)"),
                QStringLiteral("102-4 owner Shell / 100x100 @ (0, 0)")}));

        sim.setWindowListReadable(false);
        QVERIFY(WindowPlacementAccess(sim).captureAvailableWindows(std::nullopt).isEmpty());
    }

    void detailLineRounding()
    {
        const RunningWindowSnapshot snapshot {
            QStringLiteral("1-1"), 1, {}, {}, QString(), 1, {-0.5, 2.5, 99.5, 100.49}};
        QCOMPARE(snapshot.detailLine(), QStringLiteral("(無題) / 100x100 @ (-1, 3)"));
    }

    void resolveBundleIdentifier_data()
    {
        QTest::addColumn<QList<ApplicationRecord>>("running");
        QTest::addColumn<qint32>("pid");
        QTest::addColumn<QString>("ownerName");
        QTest::addColumn<std::optional<QString>>("expected");

        const ApplicationRecord anonymous {std::nullopt, true, 100, QStringLiteral("Edit"), false};
        const ApplicationRecord named {
            QStringLiteral("org.example.Named"), true, 555, QStringLiteral("Owner"), false};
        QTest::newRow("by process") << QList {named, Editor} << qint32(100)
                                    << QStringLiteral("Owner") << Editor.bundleIdentifier;
        QTest::newRow("process without identifier, then by name")
            << QList {anonymous, named} << qint32(100) << QStringLiteral("Owner")
            << named.bundleIdentifier;
        QTest::newRow("by name without identifier")
            << QList {anonymous} << qint32(7) << QStringLiteral("Edit") << std::optional<QString>();
        QTest::newRow("no match") << QList {named} << qint32(7) << QStringLiteral("x")
                                  << std::optional<QString>();
    }

    void resolveBundleIdentifier()
    {
        QFETCH(QList<ApplicationRecord>, running);
        QFETCH(qint32, pid);
        QFETCH(QString, ownerName);
        QFETCH(std::optional<QString>, expected);

        SimWindowAccess sim;
        sim.setApplications(running);
        const WindowPlacementAccess access(sim);
        QCOMPARE(access.resolveBundleIdentifier(sim.application(pid), pid, ownerName), expected);
    }

    void findBestMatchingWindow_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QList<quint64>>("excluded");
        QTest::addColumn<bool>("fallback");
        QTest::addColumn<quint64>("expected"); // 0: none

        // Windows 1 and 2 are titled "A", 3 "B"; 2 is nearest to the target, 3 as near.
        QTest::newRow("nearest of the same title")
            << QStringLiteral(" A ") << QList<quint64>() << false << quint64(2);
        QTest::newRow("excluded window skipped")
            << QStringLiteral("A") << QList<quint64> {2} << false << quint64(1);
        QTest::newRow("empty title: every window, the first of equals")
            << QString() << QList<quint64>() << false << quint64(2);
        QTest::newRow("no title match without fallback")
            << QStringLiteral("C") << QList<quint64>() << false << quint64(0);
        QTest::newRow("no title match with fallback")
            << QStringLiteral("C") << QList<quint64> {2} << true << quint64(3);
        QTest::newRow("title match ignores the fallback")
            << QStringLiteral("B") << QList<quint64>() << true << quint64(3);
    }

    void findBestMatchingWindow()
    {
        QFETCH(QString, target);
        QFETCH(QList<quint64>, excluded);
        QFETCH(bool, fallback);
        QFETCH(quint64, expected);

        SimWindowAccess sim;
        sim.setApplications({Editor});
        sim.addWindow(window(1, 100, QStringLiteral("A"), {0, 0, 100, 100}));
        sim.addWindow(window(2, 100, QStringLiteral("A\n"), {500, 0, 100, 100}));
        sim.addWindow(window(3, 100, QStringLiteral("B"), {520, 20, 60, 60}));
        SimWindowAccess::Window unreadable =
            window(4, 100, QStringLiteral("A"), {500, 0, 100, 100});
        unreadable.frameReadable = false;
        sim.addWindow(unreadable);
        QList<WindowElement> exclusions;
        for (const quint64 id : excluded) {
            exclusions.append(WindowElement {id});
        }
        const std::optional<WindowElement> found =
            WindowPlacementAccess(sim).findBestMatchingWindow(
                100, target, {510, 10, 80, 80}, exclusions, fallback);
        QCOMPARE(found.value_or(WindowElement {}).id, expected);
    }

    void setFrameWithRefusedSize()
    {
        SimWindowAccess sim;
        SimWindowAccess::Window w = window(1, 100, QStringLiteral("A"), {0, 0, 100, 100});
        w.acceptsSize = false;
        sim.addWindow(w);
        WindowPlacementAccess access(sim);
        QVERIFY(!access.setFrame({50, 60, 300, 200}, {1}));
        const QRectF moved(50, 60, 100, 100);
        QCOMPARE(sim.writes(),
            (QList<SimWindowAccess::Write> {{{1}, true, moved}, {{1}, false, moved}}));
        QCOMPARE(access.frameOfWindow({1}), std::optional(moved));
    }
};

NORVALE_TEST_CLASS(WindowAccessTest)
#include "tst_windowaccess.moc"
