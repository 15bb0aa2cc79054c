// Keys: Qt keys to canonical codes, and the side panel's key table with the state each key
// meets (the search field's keys are driven through the panel in tst_clipboardhistorymenu).

#include "QuickPanelWorld.h"
#include "common/TestMain.h"
#include "panel/QuickPanelKeyTables.h"
#include "platform/KeyCodes.h"

#include <QTest>

namespace {

// "down", "up", "left", "right", "return", "enter", "escape", or the typed characters.
std::pair<std::uint16_t, QString> key(const QString& token)
{
    static const QHash<QString, std::uint16_t> named {{"return", 36}, {"enter", 76}, {"escape", 53},
        {"left", 123}, {"right", 124}, {"down", 125}, {"up", 126}};
    // A character key: its code is none of the named ones (it is the "A" key's).
    return {named.value(token, 0), named.contains(token) ? QString() : token};
}

QString describe(const FixedPhrasePanelSelection& selection, const FixedPhraseModel& model)
{
    const auto folder = model.folder(selection.selectedFolderID());
    const auto phrase = model.phrase(selection.selectedFolderID(), selection.selectedPhraseID());
    return QStringList {folder ? folder->title : QStringLiteral("-"),
        phrase ? phrase->title : QStringLiteral("-"),
        selection.focusedColumn() == FixedPhrasePanelColumn::Title ? QStringLiteral("title")
                                                                   : QStringLiteral("folder"),
        selection.titleColumnVisible() ? QStringLiteral("shown") : QStringLiteral("hidden")}
        .join(QLatin1Char('/'));
}

QString describe(const FixedPhrasePanelSelection::KeyOutcome& outcome)
{
    if (!outcome.consumed) {
        return QStringLiteral("passed");
    }
    switch (outcome.request) {
    case FixedPhrasePanelSelection::Request::None:
        break;
    case FixedPhrasePanelSelection::Request::CopyPhrase:
        return QStringLiteral("copy ") + outcome.phrase.title;
    case FixedPhrasePanelSelection::Request::Hide:
        return QStringLiteral("hide");
    case FixedPhrasePanelSelection::Request::ReturnToSearch:
        return QStringLiteral("search");
    }
    return {};
}

} // namespace

class QuickPanelKeysTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void canonicalCodes_data()
    {
        // clang-format off
        QTest::addColumn<int>("qtKey");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<int>("code"); // -1: none
        const Qt::KeyboardModifiers none;
        const Qt::KeyboardModifiers keypad(Qt::KeypadModifier);
        QTest::newRow("A") << int(Qt::Key_A) << none << 0;
        QTest::newRow("B") << int(Qt::Key_B) << none << 11;
        QTest::newRow("! is the 1 key") << int(Qt::Key_Exclam) << none << 18;
        QTest::newRow("Return") << int(Qt::Key_Return) << none << 36;
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << keypad << 76;
        QTest::newRow("keypad 5") << int(Qt::Key_5) << keypad << 87;
        QTest::newRow("keypad Down") << int(Qt::Key_Down) << keypad << 125;
        QTest::newRow("Right") << int(Qt::Key_Right) << none << 124;
        QTest::newRow("F1") << int(Qt::Key_F1) << none << 122;
        QTest::newRow("Shift alone") << int(Qt::Key_Shift) << none << -1;
        // clang-format on
    }
    void canonicalCodes()
    {
        QFETCH(int, qtKey);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        const auto code = canonicalKeyCode(qtKey, modifiers);
        QTEST(code ? int(*code) : -1, "code");
    }

    void modifierFlags()
    {
        QCOMPARE(canonicalModifierFlags(Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier |
                     Qt::MetaModifier | Qt::KeypadModifier),
            quint32(0x1e0000));
        QCOMPARE(canonicalModifierFlags(Qt::MetaModifier), quint32(0x100000));
    }

    // Folders A (a1 a2 a3), B (b1 b2), C (empty), with a hidden folder between B and C. The
    // result reads folder/phrase/focused column/title column, then what the last key asked
    // for ("copy", "hide", "search"), or "passed" when it was not consumed.
    void sidePanel_data()
    {
        // clang-format off
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("result");
        QTest::newRow("Down: first folder") << "down" << "A/-/folder/hidden";
        QTest::newRow("Up: last folder") << "up" << "C/-/folder/hidden";
        QTest::newRow("Down stays on the last") << "down down down down" << "C/-/folder/hidden";
        QTest::newRow("Up stays on the first") << "down up" << "A/-/folder/hidden";
        QTest::newRow("Right without folder") << "right" << "-/-/folder/hidden passed";
        QTest::newRow("Right: phrases") << "down right" << "A/a1/title/shown";
        QTest::newRow("Right, empty folder") << "up right" << "C/-/folder/shown";
        QTest::newRow("titles stay shown") << "up right up" << "B/-/folder/shown";
        QTest::newRow("last phrase") << "down right down down down" << "A/a3/title/shown";
        QTest::newRow("first phrase") << "down right down up up" << "A/a1/title/shown";
        QTest::newRow("Left: folders") << "down right left" << "A/-/folder/hidden";
        QTest::newRow("Left: search") << "down right left left" << "A/-/folder/hidden search";
        QTest::newRow("Return on a folder") << "down return" << "A/a1/title/shown";
        QTest::newRow("Return, phrase") << "down right down return" << "A/a2/title/shown copy a2";
        QTest::newRow("Enter without folder") << "enter" << "-/-/folder/hidden";
        QTest::newRow("Escape") << "down escape" << "A/-/folder/hidden hide";
        QTest::newRow("third folder's label") << "3" << "C/-/title/shown";
        QTest::newRow("folder, phrase labels") << "2 2" << "B/b2/title/shown copy b2";
        QTest::newRow("no such phrase") << "2 3" << "B/-/title/shown passed";
        QTest::newRow("no such folder") << "4" << "-/-/folder/hidden passed";
        QTest::newRow("no such phrase, letter") << "down right A" << "A/a1/title/shown passed";
        // clang-format on
    }
    void sidePanel()
    {
        QFETCH(QString, keys);
        QuickPanelWorld world;
        world.addFolder(QStringLiteral("A"), {{"a1", "1"}, {"a2", "2"}, {"a3", "3"}});
        world.addFolder(QStringLiteral("B"), {{"b1", "1"}, {"b2", "2"}});
        world.addFolder(QStringLiteral("H"), {{"h1", "1"}}, false);
        world.addFolder(QStringLiteral("C"), {});
        FixedPhrasePanelSelection selection(world.phraseModel, true);
        FixedPhrasePanelSelection::KeyOutcome outcome;
        for (const QString& token : keys.split(QLatin1Char(' '))) {
            const auto [code, characters] = key(token);
            outcome = selection.handleKeyDown(code, characters);
        }
        const QString request = describe(outcome);
        const QString result = describe(selection, world.phraseModel) +
            (request.isEmpty() ? QString() : u' ' + request);
        QTEST(result, "result");
    }
};

NORVALE_TEST_CLASS(QuickPanelKeysTest)
#include "tst_quickpanelkeys.moc"
