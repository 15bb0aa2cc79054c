#include "common/TestMain.h"
#include "platform/KeyCodes.h"
#include "platform/linux/X11KeyTranslator.h"

#include <QTest>

namespace {

// A US keyboard's mapping for the keys the scripts press.
X11KeyTranslator::Keysyms keysymsOf(quint32 keycode)
{
    static const QHash<quint32, X11KeyTranslator::Keysyms> keyboard = {{50, {0xffe1, 0}},
        {62, {0xffe2, 0}}, {37, {0xffe3, 0}}, {64, {0xffe9, 0xffe7}}, {133, {0xffeb, 0}},
        {134, {0xffec, 0}}, {66, {0xffe5, 0}}, {108, {0xfe03, 0}}, {55, {'v', 'V'}},
        {87, {0xff9c, 0xffb1}}, {65, {' ', 0}}};
    return keyboard.value(keycode);
}

QString describe(const GlobalKeyEvent& event)
{
    QString flags;
    for (const auto& [bit, letter] :
        {std::pair {0x20000, 's'}, {0x40000, 'c'}, {0x80000, 'o'}, {0x100000, 'm'}}) {
        if ((event.modifierFlags & bit) != 0) {
            flags += QLatin1Char(letter);
        }
    }
    if (event.type == GlobalKeyEvent::Type::FlagsChanged) {
        return QStringLiteral("F:%1@%2")
            .arg(flags.isEmpty() ? QStringLiteral("-") : flags)
            .arg(event.timestamp);
    }
    return QStringLiteral("D%1%2:%3'%4'")
        .arg(event.keyCode ? QString::number(*event.keyCode) : QStringLiteral("?"),
            event.isRepeat ? QStringLiteral("r") : QString(), flags,
            event.charactersIgnoringModifiers);
}

} // namespace

class KeyTranslationTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void keysyms_data()
    {
        QTest::addColumn<quint32>("keysym");
        QTest::addColumn<int>("code"); // -1: none
        const auto row = [](const char* name, quint32 keysym, int code) {
            QTest::newRow(name) << keysym << code;
        };
        row("a", 'a', 0);
        row("v", 'v', 9);
        row("1", '1', 18);
        row("0", '0', 29);
        row("minus", '-', 27);
        row("grave", '`', 50);
        row("backslash", '\\', 42);
        row("space", ' ', 49);
        row("Return", 0xff0d, 36);
        row("Escape", 0xff1b, 53);
        row("Delete", 0xffff, 117);
        row("Prior", 0xff55, 116);
        row("F1", 0xffbe, 122);
        row("F12", 0xffc9, 111);
        row("KP_1", 0xffb1, 83);
        row("KP_Enter", 0xff8d, 76);
        row("KP_Divide", 0xffaf, 75);
        row("Left", 0xff51, 123);
        row("Super_L has no key code", 0xffeb, -1);
        row("Cyrillic a", 0x6c1, -1);
    }

    void keysyms()
    {
        QFETCH(quint32, keysym);
        QFETCH(int, code);
        QCOMPARE(canonicalKeyCodeForKeysym(keysym),
            code < 0 ? std::nullopt : std::optional<std::uint16_t>(code));
    }

    // "+133@0" presses key code 133 at 0 ms, "-133@100" releases it; "held:133" starts with it
    // down.
    void translation_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("events");
        QTest::newRow("Super is command") << "+133@1000 -133@1500 +134@2250"
                                          << "F:m@1 F:-@1.5 F:m@2.25";
        QTest::newRow("the second Shift key") << "+50@0 +62@0 -50@0 -62@0"
                                              << "F:s@0 F:s@0 F:s@0 F:-@0";
        QTest::newRow("Alt is option; Caps Lock and AltGr are none")
            << "+64@0 +66@0 -66@0 +108@0 -64@0"
            << "F:o@0 F:-@0";
        QTest::newRow("control-shift-v held") << "+37@0 +50@0 +55@0 +55@0 -55@0"
                                              << "F:c@0 F:sc@0 D9:sc'v' D9r:sc'v'";
        QTest::newRow("keypad key and space") << "+87@0 +65@0"
                                              << "D83:'' D49:' '";
        QTest::newRow("held at start") << "held:133 +37@0 -133@0 -37@0 -50@0"
                                       << "F:cm@0 F:c@0 F:-@0";
    }

    void translation()
    {
        QFETCH(QString, script);
        X11KeyTranslator translator(keysymsOf);
        QStringList events;
        for (const QString& word : script.split(u' ')) {
            if (word.startsWith(u"held:")) {
                translator.setHeldKeys({word.mid(5).toUInt()});
                continue;
            }
            const quint32 keycode = word.mid(1, word.indexOf(u'@') - 1).toUInt();
            const quint32 time = word.mid(word.indexOf(u'@') + 1).toUInt();
            const auto event = word.startsWith(u'+') ? translator.press(keycode, time)
                                                     : translator.release(keycode, time);
            if (event) {
                events << describe(*event);
            }
        }
        QTEST(events.join(u' '), "events");
    }
};

NORVALE_TEST_CLASS(KeyTranslationTest)
#include "tst_keytranslation.moc"
