#include "common/TestMain.h"
#include "shortcuts/LeftClickShortcut.h"

#include <QTest>

namespace {

using Shortcut = std::optional<LeftClickShortcut>;

QByteArray json(const Shortcut& shortcut)
{
    return shortcut ? shortcut->toJson() : QByteArray("none");
}

} // namespace

class LeftClickShortcutTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The three shapes as built, in their stored form: masked modifiers, trimmed upper-cased
    // characters, the optional members omitted.
    void shapes_data()
    {
        QTest::addColumn<Shortcut>("shortcut");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("command-shift-v, Caps Lock dropped")
            << LeftClickShortcut::keyCombination(9, QStringLiteral(" v\n"), 0x130000)
            << QByteArray(R"({"kind":"keyCombination","keyCode":9,"characters":"V",)"
                          R"("modifiersRawValue":1179648})");
        QTest::newRow("a slash is escaped")
            << LeftClickShortcut::keyCombination(44, QStringLiteral("/"), 0x40000)
            << QByteArray(R"({"kind":"keyCombination","keyCode":44,"characters":"\/",)"
                          R"("modifiersRawValue":262144})");
        QTest::newRow("key without modifiers")
            << LeftClickShortcut::keyCombination(9, QStringLiteral("v"), 0x10000)
            << QByteArray("none");
        QTest::newRow("key without characters")
            << LeftClickShortcut::keyCombination(49, QStringLiteral(" \u3000"), 0x100000)
            << QByteArray("none");
        QTest::newRow("control-option, keypad flag dropped")
            << LeftClickShortcut::modifierCombination(0x2c0000)
            << QByteArray(R"({"kind":"modifierCombination","modifiersRawValue":786432})");
        QTest::newRow("one modifier is no combination")
            << LeftClickShortcut::modifierCombination(0x110000) << QByteArray("none");
        QTest::newRow("double tap of command")
            << Shortcut(LeftClickShortcut::modifierDoubleTap(0x100000))
            << QByteArray(R"({"kind":"modifierDoubleTap","modifiersRawValue":1048576,)"
                          R"("primaryModifierRawValue":1048576})");
    }

    void shapes()
    {
        QFETCH(Shortcut, shortcut);
        QTEST(json(shortcut), "expected");
        if (shortcut) {
            QCOMPARE(LeftClickShortcut::fromJson(shortcut->toJson()), shortcut);
        }
    }

    void reading_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray tap(R"({"kind":"modifierDoubleTap","modifiersRawValue":524288,)"
                             R"("primaryModifierRawValue":524288})");
        QTest::newRow("any key order")
            << QByteArray(R"({"primaryModifierRawValue":524288,"modifiersRawValue":524288,)"
                          R"( "kind" : "modifierDoubleTap"})")
            << tap;
        QTest::newRow("null optional members, unknown members")
            << QByteArray(R"({"kind":"modifierDoubleTap","keyCode":null,"characters":null,)"
                          R"("modifiersRawValue":524288,"primaryModifierRawValue":524288,"x":1})")
            << tap;
        QTest::newRow("key code at its limit")
            << QByteArray(R"({"kind":"keyCombination","keyCode":65535,"modifiersRawValue":0})")
            << QByteArray(R"({"kind":"keyCombination","keyCode":65535,"modifiersRawValue":0})");
        const QByteArray none("none");
        QTest::newRow("key code too large")
            << QByteArray(R"({"kind":"keyCombination","keyCode":65536,"modifiersRawValue":0})")
            << none;
        QTest::newRow("fraction")
            << QByteArray(R"({"kind":"modifierCombination","modifiersRawValue":0.5})") << none;
        QTest::newRow("number as text")
            << QByteArray(R"({"kind":"modifierCombination","modifiersRawValue":"786432"})") << none;
        QTest::newRow("characters not text")
            << QByteArray(R"({"kind":"keyCombination","characters":5,"modifiersRawValue":0})")
            << none;
        QTest::newRow("unknown kind")
            << QByteArray(R"({"kind":"tripleTap","modifiersRawValue":0})") << none;
        QTest::newRow("modifiers missing") << QByteArray(R"({"kind":"keyCombination"})") << none;
        QTest::newRow("not an object") << QByteArray("[1]") << none;
        QTest::newRow("not JSON") << QByteArray("{\"kind\":") << none;
    }

    void reading()
    {
        QFETCH(QByteArray, input);
        QTEST(json(LeftClickShortcut::fromJson(input)), "expected");
    }

    void displayText_data()
    {
        QTest::addColumn<LeftClickShortcut>("shortcut");
        QTest::addColumn<QString>("expected");
        const auto key = [](std::optional<std::uint16_t> code, std::optional<QString> characters,
                             quint64 modifiers) {
            LeftClickShortcut shortcut;
            shortcut.keyCode = code;
            shortcut.characters = std::move(characters);
            shortcut.modifiersRawValue = modifiers;
            return shortcut;
        };
        QTest::newRow("command-shift-v") << key(9, "V", 0x120000) << QStringLiteral("⇧ ⌘ V");
        QTest::newRow("the table's name wins")
            << key(49, "v", 0x120000) << QStringLiteral("⇧ ⌘ Space");
        QTest::newRow("all four in display order")
            << key(117, std::nullopt, 0x1e0000) << QStringLiteral("⌃ ⇧ ⌥ ⌘ Fwd Delete");
        QTest::newRow("keypad") << key(71, "x", 0x40000) << QStringLiteral("⌃ Num Clear");
        QTest::newRow("punctuation") << key(42, "|", 0x80000) << QStringLiteral("⌥ \\");
        QTest::newRow("grave accent") << key(50, "~", 0x80000) << QStringLiteral("⌥ `");
        QTest::newRow("no name: the characters") << key(10, "§", 0x100000) << QStringLiteral("⌘ §");
        QTest::newRow("no name, no characters")
            << key(200, std::nullopt, 0) << QStringLiteral("Key 200");
        QTest::newRow("nothing") << key(std::nullopt, "", 0) << QString();
        QTest::newRow("option double tap")
            << LeftClickShortcut::modifierDoubleTap(0x80000) << QStringLiteral("⌥ double tap");
        LeftClickShortcut tapWithoutPrimary = LeftClickShortcut::modifierDoubleTap(0x40000);
        tapWithoutPrimary.primaryModifierRawValue.reset();
        QTest::newRow("double tap without primary")
            << tapWithoutPrimary << QStringLiteral("⌃ double tap");
        QTest::newRow("combination")
            << *LeftClickShortcut::modifierCombination(0xc0000) << QStringLiteral("⌃ ⌥");
    }

    void displayText()
    {
        QFETCH(LeftClickShortcut, shortcut);
        QTEST(shortcut.displayText(), "expected");
    }

    void keyNameTable()
    {
        QCOMPARE(keyCodeDisplayNames().size(), 91);
        QStringList sample;
        for (const std::uint16_t code : {0, 18, 24, 39, 47, 65, 76, 92, 96, 122, 126}) {
            sample << keyCodeDisplayNames().value(code);
        }
        QCOMPARE(sample.join(QLatin1Char('|')),
            QStringLiteral("A|1|=|'|.|Num .|Num Enter|Num 9|F5|F1|↑"));
    }

    void modifierProperties_data()
    {
        QTest::addColumn<quint64>("flags");
        QTest::addColumn<int>("count");
        QTest::addColumn<std::optional<quint64>>("single");
        QTest::newRow("none, Caps Lock only") << quint64(0x10000) << 0 << std::optional<quint64>();
        QTest::newRow("shift") << quint64(0x230000) << 1 << std::optional<quint64>(0x20000);
        QTest::newRow("all four") << quint64(0x1e0000) << 4 << std::optional<quint64>();
    }

    void modifierProperties()
    {
        QFETCH(quint64, flags);
        QTEST(ShortcutModifiers::allowedModifierCount(flags), "count");
        QTEST(ShortcutModifiers::singleAllowedModifier(flags), "single");
    }
};

NORVALE_TEST_CLASS(LeftClickShortcutTest)
#include "tst_leftclickshortcut.moc"
