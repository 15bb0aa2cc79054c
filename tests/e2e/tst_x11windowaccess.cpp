// Other applications' windows on a real X server with openbox, run inside the private desktop
// by e2e_tst.sh: paste-target windows listed, matched, moved and resized frame and all (the
// client's true place read back with xwininfo), and a new process announced as a launch.

#include "common/TestMain.h"
#include "placement/WindowPlacementAccess.h"
#include "platform/linux/LinuxWindowAccess.h"

#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include <memory>

Q_DECLARE_METATYPE(ApplicationRecord)

namespace {

std::unique_ptr<QProcess> startTarget(const QString& title, const QString& geometry)
{
    auto process = std::make_unique<QProcess>();
    process->start(qEnvironmentVariable("E2E_PASTE_TARGET"),
        {QStringLiteral("--title"), title, QStringLiteral("--geometry"), geometry});
    return process;
}

// The client's own rectangle as xwininfo reports it (absolute corner, size).
QRect clientGeometry(qint64 window)
{
    QProcess xwininfo;
    xwininfo.start(QStringLiteral("xwininfo"), {QStringLiteral("-id"), QString::number(window)});
    xwininfo.waitForFinished(10000);
    const QString text = QString::fromUtf8(xwininfo.readAllStandardOutput());
    const auto field = [&text](const char* name) {
        const QRegularExpression pattern(QLatin1String(name) + QStringLiteral(":\\s+(-?\\d+)"));
        return pattern.match(text).captured(1).toInt();
    };
    return QRect(field("Absolute upper-left X"), field("Absolute upper-left Y"), field("Width"),
        field("Height"));
}

} // namespace

class X11WindowAccessTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb")) {
            QSKIP("needs the xcb platform inside the e2e desktop");
        }
    }

    void listMatchMoveAndLaunch()
    {
        LinuxWindowAccess platform(QStringLiteral("app.norvale.Norvale"));
        WindowPlacementAccess access(platform);
        QVERIFY(platform.isTrusted(false));
        QSignalSpy launched(&platform, &WindowAccess::applicationLaunched);
        const auto launchedProcesses = [&launched] {
            QList<qint64> processes;
            for (const QList<QVariant>& arguments : std::as_const(launched)) {
                processes.append(arguments.at(0).value<ApplicationRecord>().processIdentifier);
            }
            std::sort(processes.begin(), processes.end());
            return processes;
        };
        const auto alpha = startTarget(QStringLiteral("alpha"), QStringLiteral("300x200+100+100"));
        const auto beta = startTarget(QStringLiteral("beta"), QStringLiteral("300x200+700+100"));
        QList<RunningWindowSnapshot> listed;
        QTRY_VERIFY_WITH_TIMEOUT(
            (listed = access.captureAvailableWindows(std::nullopt)).size() == 2, 20000);
        const RunningWindowSnapshot& first = listed.at(0);
        QCOMPARE(first.windowTitle, QStringLiteral("alpha"));
        QCOMPARE(first.pid, qint32(alpha->processId()));
        QCOMPARE(listed.at(1).windowTitle, QStringLiteral("beta"));

        // The listed frame holds the client and the decorations around it.
        const QRect client = clientGeometry(first.windowNumber);
        QCOMPARE(client.size(), QSize(300, 200));
        const QRectF frame = first.bounds;
        QVERIFY(frame.contains(QRectF(client)));
        const double left = client.x() - frame.x();
        const double top = client.y() - frame.y();
        const double right = frame.width() - client.width() - left;
        const double bottom = frame.height() - client.height() - top;

        const std::optional<WindowElement> window = access.findBestMatchingWindow(
            first.pid, QStringLiteral("alpha"), {1000, 500, 10, 10}, {}, false);
        QVERIFY(window);
        QCOMPARE(qint64(window->id), first.windowNumber);
        const QRectF target(1200, 300, 500, 400);
        QVERIFY(access.setFrame(target, *window));
        QTRY_COMPARE_WITH_TIMEOUT(access.frameOfWindow(*window), std::optional(target), 10000);
        QCOMPARE(clientGeometry(first.windowNumber),
            QRect(1200 + int(left), 300 + int(top), 500 - int(left + right),
                400 - int(top + bottom)));

        const auto gamma = startTarget(QStringLiteral("gamma"), QStringLiteral("300x200+100+500"));
        // Each process once, when its first window appeared.
        QTRY_VERIFY_WITH_TIMEOUT(launchedProcesses().contains(gamma->processId()), 20000);
        QList<qint64> started {alpha->processId(), beta->processId(), gamma->processId()};
        std::sort(started.begin(), started.end());
        QCOMPARE(launchedProcesses(), started);
        QCOMPARE(access.captureAvailableWindows(std::nullopt).size(), 3);
        for (const auto& process : {alpha.get(), beta.get(), gamma.get()}) {
            process->kill();
            process->waitForFinished(3000);
        }
    }
};

NORVALE_TEST_CLASS(X11WindowAccessTest)
#include "tst_x11windowaccess.moc"
