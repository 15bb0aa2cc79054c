#include "common/TestMain.h"
#include "shortcuts/ShortcutRecognizer.h"

#include <QTest>

namespace {

quint64 flags(QStringView letters)
{
    quint64 result = 0;
    for (const QChar letter : letters) {
        result |= letter == u's' ? 0x20000
            : letter == u'c'     ? 0x40000
            : letter == u'o'     ? 0x80000
            : letter == u'm'     ? 0x100000
            : letter == u'L'     ? 0x10000 // Caps Lock
                                 : 0;
    }
    return result;
}

// Plays a script against the recogniser and returns the slots fired, L for the quick panel and
// A for apply-now. Words: "d9:ms" key 9 down with command and shift ("dx" a key without a
// code), "r9:ms" its auto-repeat, "f:m@0.3" the flags becoming command at 0.3 s ("f:-" none
// held), "P" pausing or resuming recognition.
QString play(const QHash<ShortcutSlot, LeftClickShortcut>& shortcuts, const QString& script)
{
    QString fired;
    ShortcutRecognizer recognizer([&fired](ShortcutSlot slot) {
        fired += slot == ShortcutSlot::LeftClickMenu ? u'L' : u'A';
    });
    recognizer.configure(shortcuts);
    bool paused = false;
    for (const QString& word : script.split(u' ', Qt::SkipEmptyParts)) {
        if (word == u"P") {
            paused = !paused;
            continue;
        }
        GlobalKeyEvent event;
        const qsizetype colon = word.indexOf(u':');
        const qsizetype at = word.indexOf(u'@');
        event.modifierFlags = flags(QStringView(word).mid(colon + 1, at < 0 ? -1 : at - colon - 1));
        if (word.startsWith(u'f')) {
            event.type = GlobalKeyEvent::Type::FlagsChanged;
            event.timestamp = word.mid(at + 1).toDouble();
        } else {
            bool isCode = false;
            const int code = word.mid(1, colon - 1).toInt(&isCode);
            if (isCode) {
                event.keyCode = static_cast<std::uint16_t>(code);
            }
            event.isRepeat = word.startsWith(u'r');
        }
        const qsizetype before = fired.size();
        const bool handled = recognizer.handle(event, paused);
        if (handled != (fired.size() > before)) {
            return QStringLiteral("handled without firing: ") + word;
        }
    }
    return fired;
}

LeftClickShortcut shortcut(const char* json)
{
    return LeftClickShortcut::fromJson(json).value();
}

const char* const commandShiftV =
    R"({"kind":"keyCombination","keyCode":9,"characters":"V","modifiersRawValue":1179648})";
const char* const commandDoubleTap =
    R"({"kind":"modifierDoubleTap","modifiersRawValue":1048576,"primaryModifierRawValue":1048576})";
const char* const controlOption = R"({"kind":"modifierCombination","modifiersRawValue":786432})";

} // namespace

class ShortcutRecognizerTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void recognition_data()
    {
        QTest::addColumn<QString>("quickPanel");
        QTest::addColumn<QString>("applyNow");
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("fired");
        const auto row = [](const char* name, const char* quickPanel, const char* applyNow,
                             const char* script, const char* fired) {
            QTest::newRow(name) << QString::fromUtf8(quickPanel) << QString::fromUtf8(applyNow)
                                << QString::fromUtf8(script) << QString::fromUtf8(fired);
        };
        const char* none = "";
        row("command-shift-v", commandShiftV, none, "d9:ms", "L");
        row("held: auto-repeat fires no more", commandShiftV, none, "d9:ms r9:ms r9:ms", "L");
        row("an extra modifier", commandShiftV, none, "d9:mso d9:m", "");
        row("Caps Lock is ignored", commandShiftV, none, "d9:msL", "L");
        row("another key", commandShiftV, none, "d8:ms dx:ms", "");
        row("a key combination without a key code",
            R"({"kind":"keyCombination","modifiersRawValue":1179648})", none, "d9:ms dx:ms", "");
        row("double tap 0.3 s apart", commandDoubleTap, none, "f:m@0 f:-@0.1 f:m@0.3", "L");
        row("0.45 s apart", commandDoubleTap, none, "f:m@0 f:-@0.1 f:m@0.45", "L");
        row("0.5 s apart: the second is a new first", commandDoubleTap, none,
            "f:m@0 f:-@0.1 f:m@0.5 f:-@0.6 f:m@0.8", "L");
        row("with shift held", commandDoubleTap, none, "f:s@0 f:sm@0.1 f:s@0.15 f:sm@0.2", "");
        row("three presses fire once, four twice", commandDoubleTap, none,
            "f:m@0 f:-@0.05 f:m@0.1 f:-@0.15 f:m@0.2 f:-@0.25 f:m@0.3", "LL");
        row("another key released is no new press", commandDoubleTap, none,
            "f:m@0 f:ms@0.1 f:m@0.2", "");
        row("control-option fires once while held", controlOption, none,
            "f:c@0 f:co@0.1 f:co@0.2 f:-@0.3", "L");
        row("option released and pressed again", controlOption, none,
            "f:c@0 f:co@0.1 f:c@0.2 f:co@0.3", "LL");
        row("changed away by a third modifier", controlOption, none,
            "f:c@0 f:co@0.1 f:cos@0.2 f:co@0.3", "LL");
        row("apply-now alone", none, controlOption, "f:c@0 f:co@0.1", "A");
        row("the quick panel is tried first", commandShiftV, commandShiftV, "d9:ms", "L");
        row("both slots", commandShiftV, commandDoubleTap, "f:m@0 f:-@0.1 f:m@0.2 d9:ms", "AL");
        row("paused", commandShiftV, none, "P d9:ms P d9:ms", "L");
        row("a press while paused does not count", commandDoubleTap, none,
            "f:m@0 f:-@0.1 P f:m@0.2 P", "");
        row("a release while paused is tracked", commandDoubleTap, none,
            "f:m@0 P f:-@0.1 P f:m@0.2", "L");
    }

    void recognition()
    {
        QFETCH(QString, quickPanel);
        QFETCH(QString, applyNow);
        QFETCH(QString, script);
        QHash<ShortcutSlot, LeftClickShortcut> shortcuts;
        if (!quickPanel.isEmpty()) {
            shortcuts.insert(ShortcutSlot::LeftClickMenu, shortcut(quickPanel.toUtf8()));
        }
        if (!applyNow.isEmpty()) {
            shortcuts.insert(ShortcutSlot::WindowPlacementApply, shortcut(applyNow.toUtf8()));
        }
        QTEST(play(shortcuts, script), "fired");
    }
};

NORVALE_TEST_CLASS(ShortcutRecognizerTest)
#include "tst_shortcutrecognizer.moc"
