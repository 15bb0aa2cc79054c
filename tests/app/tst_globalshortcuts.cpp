#include "app/GlobalShortcutController.h"
#include "common/TestMain.h"
#include "platform/sim/ManualScheduler.h"
#include "platform/sim/SimGlobalKeyMonitor.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QTest>

namespace {

const LeftClickShortcut commandShiftV =
    *LeftClickShortcut::keyCombination(9, QStringLiteral("v"), 0x120000);
const LeftClickShortcut commandDoubleTap = LeftClickShortcut::modifierDoubleTap(0x100000);

GlobalKeyEvent keyDown(std::uint16_t code, quint64 flags)
{
    GlobalKeyEvent event;
    event.keyCode = code;
    event.modifierFlags = flags;
    return event;
}

GlobalKeyEvent flagsChanged(quint64 flags, double timestamp)
{
    GlobalKeyEvent event;
    event.type = GlobalKeyEvent::Type::FlagsChanged;
    event.modifierFlags = flags;
    event.timestamp = timestamp;
    return event;
}

// The controller on mock time, counting the quick panel's toggles and the apply-now calls.
struct Shortcuts
{
    ManualScheduler scheduler;
    SimGlobalKeyMonitor monitor;
    int toggles = 0;
    int applies = 0;
    bool pasting = false;
    GlobalShortcutController controller {monitor, scheduler,
        {.toggleQuickPanelAtPointer = [this] { ++toggles; },
            .applyWindowPlacement = [this] { ++applies; },
            .suppressShortcutHandling =
                [this] {
                    return pasting;
                }}};

    void doubleTapCommand(double at)
    {
        monitor.type(flagsChanged(0x100000, at));
        monitor.type(flagsChanged(0, at + 0.05));
        monitor.type(flagsChanged(0x100000, at + 0.1));
        monitor.type(flagsChanged(0, at + 0.15));
    }
};

} // namespace

class GlobalShortcutControllerTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Monitors exist exactly while a shortcut is set, for the events the shortcuts need;
    // setting the same shortcut again keeps the tap memory, a change clears it.
    void monitorsFollowTheShortcuts()
    {
        Shortcuts s;
        QCOMPARE(s.monitor.installed(), std::nullopt);
        s.controller.setShortcut(ShortcutSlot::LeftClickMenu, commandShiftV);
        QCOMPARE(s.monitor.installed(), GlobalKeyEvent::Types(GlobalKeyEvent::Type::KeyDown));
        s.controller.setShortcut(ShortcutSlot::WindowPlacementApply, commandDoubleTap);
        QCOMPARE(s.monitor.installed(),
            GlobalKeyEvent::Type::KeyDown | GlobalKeyEvent::Type::FlagsChanged);

        s.monitor.type(flagsChanged(0x100000, 0));
        s.monitor.type(flagsChanged(0, 0.05));
        s.controller.setShortcut(ShortcutSlot::WindowPlacementApply, commandDoubleTap);
        s.monitor.type(flagsChanged(0x100000, 0.1));
        QCOMPARE(s.applies, 1);
        s.controller.setShortcut(ShortcutSlot::WindowPlacementApply, std::nullopt);
        s.controller.setShortcut(ShortcutSlot::WindowPlacementApply, commandDoubleTap);
        s.monitor.type(flagsChanged(0, 0.15));
        s.monitor.type(flagsChanged(0x100000, 0.2));
        QCOMPARE(s.applies, 1);

        s.controller.setShortcut(ShortcutSlot::LeftClickMenu, std::nullopt);
        s.controller.setShortcut(ShortcutSlot::WindowPlacementApply, std::nullopt);
        QCOMPARE(s.monitor.installed(), std::nullopt);
        QCOMPARE(s.controller.unavailableWarning(), QString());
    }

    // Firings of the quick panel's shortcut at these uptimes toggle it this often.
    void toggleDebounce_data()
    {
        QTest::addColumn<QList<double>>("uptimes");
        QTest::addColumn<int>("toggles");
        QTest::newRow("at start") << QList<double> {0.0} << 1;
        QTest::newRow("0.1 s apart") << QList<double> {5.0, 5.1} << 1;
        QTest::newRow("0.2 s apart") << QList<double> {5.0, 5.2} << 2;
        QTest::newRow("an ignored one does not extend the wait")
            << QList<double> {5.0, 5.15, 5.25} << 2;
    }

    void toggleDebounce()
    {
        QFETCH(QList<double>, uptimes);
        Shortcuts s;
        s.controller.setShortcut(ShortcutSlot::LeftClickMenu, commandShiftV);
        for (const double uptime : uptimes) {
            s.scheduler.advance(uptime - s.scheduler.uptime());
            s.monitor.type(keyDown(9, 0x120000));
        }
        QTEST(s.toggles, "toggles");
    }

    // The recorder's notification and a paste in flight pause recognition.
    void pauses_data()
    {
        QTest::addColumn<QVariantMap>("recorder");
        QTest::addColumn<bool>("pasting");
        QTest::addColumn<int>("applies");
        QTest::newRow("recording") << QVariantMap {{"isActive", true}} << false << 0;
        QTest::newRow("recording stopped") << QVariantMap {{"isActive", false}} << false << 1;
        QTest::newRow("not a Boolean") << QVariantMap {{"isActive", "true"}} << false << 1;
        QTest::newRow("no key") << QVariantMap {} << false << 1;
        QTest::newRow("pasting") << QVariantMap {} << true << 0;
    }

    void pauses()
    {
        QFETCH(QVariantMap, recorder);
        QFETCH(bool, pasting);
        Shortcuts s;
        s.controller.setShortcut(ShortcutSlot::WindowPlacementApply, commandDoubleTap);
        s.controller.leftClickShortcutRecorderActiveChanged({{"isActive", true}});
        s.controller.leftClickShortcutRecorderActiveChanged(recorder);
        s.pasting = pasting;
        s.doubleTapCommand(0);
        QTEST(s.applies, "applies");
    }

    // In our own windows the local monitor consumes the key combination, nothing else.
    void ownWindowsDoNotReceiveTheShortcut()
    {
        Shortcuts s;
        s.controller.setShortcut(ShortcutSlot::LeftClickMenu, commandShiftV);
        QLineEdit field;
        for (const Qt::KeyboardModifiers modifiers : {Qt::ShiftModifier | Qt::MetaModifier,
                 Qt::KeyboardModifiers(Qt::NoModifier), Qt::KeyboardModifiers(Qt::ShiftModifier)}) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_V, modifiers,
                modifiers.testFlag(Qt::ShiftModifier) ? QStringLiteral("V") : QStringLiteral("v"));
            QCoreApplication::sendEvent(&field, &press);
        }
        QCOMPARE(field.text(), QStringLiteral("vV"));
        QCOMPARE(s.toggles, 0); // the global monitor alone fires
    }

    void unavailableMonitor()
    {
        Shortcuts s;
        s.monitor.setAvailable(false);
        s.controller.setShortcut(ShortcutSlot::LeftClickMenu, commandShiftV);
        QVERIFY(!s.monitor.type(keyDown(9, 0x120000)));
        QVERIFY(s.controller.unavailableWarning().startsWith(
            QStringLiteral("global shortcuts are unavailable")));
    }
};

NORVALE_TEST_CLASS(GlobalShortcutControllerTest)
#include "tst_globalshortcuts.moc"
