#include "common/TestMain.h"
#include "platform/sim/ManualScheduler.h"
#include "settings/ShortcutRecorderCoordinator.h"

#include <QTest>

// Steps: "mods <flags>" (the held modifiers after a modifier key changed, hex), "up" (all
// released), "key <code> <characters>" (a key press with the modifiers held), "wait <s>",
// "clear".
class ShortcutRecorderTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void recording_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QByteArray>("shortcut"); // JSON; empty: none
        QTest::addColumn<bool>("recording");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QList<bool>>("announced"); // recorder active, in order

        const QByteArray before = R"({"kind":"modifierDoubleTap","modifiersRawValue":524288,)"
                                  R"("primaryModifierRawValue":524288})";
        QTest::newRow("⌘⇧ held, 5, released: one key combination")
            << QStringList {"mods 100000", "mods 120000", "key 23 5", "up"}
            << QByteArray(
                   R"({"kind":"keyCombination","keyCode":23,"characters":"5","modifiersRawValue":1179648})")
            << false << QStringLiteral("⇧ ⌘ 5") << QList<bool> {true, false, false};
        QTest::newRow("⌃ then ⌥, released together: a combination")
            << QStringList {"mods 40000", "mods c0000", "up"}
            << QByteArray(R"({"kind":"modifierCombination","modifiersRawValue":786432})") << false
            << QStringLiteral("⌃ ⌥") << QList<bool> {true, false, false};
        QTest::newRow("⌘ twice, releases 0.45 s apart, the first held long: a double tap")
            << QStringList {"mods 100000", "wait 0.3", "up", "wait 0.45", "mods 100000", "up"}
            << QByteArray(R"({"kind":"modifierDoubleTap","modifiersRawValue":1048576,)"
                          R"("primaryModifierRawValue":1048576})")
            << false << QStringLiteral("⌘ double tap") << QList<bool> {true, false, false};
        QTest::newRow("⌘ twice, releases 0.5 s apart: asked again")
            << QStringList {"mods 100000", "up", "wait 0.5", "mods 100000", "up"} << before << true
            << QStringLiteral("⌘ ... (もう一度で2回押し)") << QList<bool> {true};
        QTest::newRow("⌘ then ⌥ within 0.45 s: no double tap")
            << QStringList {"mods 100000", "up", "wait 0.2", "mods 80000", "up"} << before << true
            << QStringLiteral("⌥ ... (もう一度で2回押し)") << QList<bool> {true};
        QTest::newRow("modifiers held: the prompt names them")
            << QStringList {"mods 40000", "mods 60000"} << before << true
            << QStringLiteral("⌃ ⇧ ...") << QList<bool> {true};
        QTest::newRow("a letter alone: asks for modifiers, goes on recording")
            << QStringList {"key 0 a"} << before << true << QStringLiteral("修飾キーと一緒に入力")
            << QList<bool> {true};
        QTest::newRow("cleared while recording")
            << QStringList {"clear"} << QByteArray() << false << QStringLiteral("未設定")
            << QList<bool> {true, false};
    }

    void recording()
    {
        QFETCH(QStringList, steps);
        QFETCH(QByteArray, shortcut);
        ManualScheduler scheduler;
        ShortcutRecorderCoordinator recorder(scheduler);
        recorder.setShortcut(LeftClickShortcut::modifierDoubleTap(0x80000));
        QList<bool> announced;
        QList<std::optional<LeftClickShortcut>> edits;
        connect(&recorder, &ShortcutRecorderCoordinator::recordingActiveChanged, this,
            [&](bool active) { announced.append(active); });
        connect(&recorder, &ShortcutRecorderCoordinator::shortcutEdited, this,
            [&](const std::optional<LeftClickShortcut>& edited) { edits.append(edited); });

        recorder.startRecording();
        QCOMPARE(recorder.displayText(), QStringLiteral("入力待ち"));
        QVERIFY(announced.isEmpty()); // on the next turn, not within the change
        scheduler.runPending();
        quint64 held = 0;
        for (const QString& step : steps) {
            const QStringList words = step.split(QLatin1Char(' '));
            if (words[0] == QLatin1String("mods")) {
                held = words[1].toULongLong(nullptr, 16);
                recorder.handleFlagsChanged(held);
            } else if (words[0] == QLatin1String("up")) {
                held = 0;
                recorder.handleFlagsChanged(0);
            } else if (words[0] == QLatin1String("key")) {
                recorder.handleKeyDown(std::uint16_t(words[1].toUInt()), words[2], held);
            } else if (words[0] == QLatin1String("wait")) {
                scheduler.advance(words[1].toDouble());
            } else {
                recorder.clear();
            }
        }
        scheduler.runPending();
        QCOMPARE(recorder.shortcut() ? recorder.shortcut()->toJson() : QByteArray(), shortcut);
        QTEST(recorder.isRecording(), "recording");
        QTEST(recorder.displayText(), "box");
        QTEST(announced, "announced");
        // The model hears of a recorded or cleared shortcut once, of nothing else.
        QCOMPARE(edits.size(), recorder.isRecording() ? 0 : 1);
    }
};

NORVALE_TEST_CLASS(ShortcutRecorderTest)
#include "tst_shortcutrecorder.moc"
