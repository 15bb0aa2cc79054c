// Keys: Qt keys to canonical codes, the search field's table, and the side panel's table with
// the state each key meets.

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
    const QString consumed =
        outcome.consumed ? QStringLiteral("consumed") : QStringLiteral("passed");
    switch (outcome.request) {
    case FixedPhrasePanelSelection::Request::None:
        return consumed;
    case FixedPhrasePanelSelection::Request::CopyPhrase:
        return consumed + QStringLiteral(" copy ") + outcome.phrase.title;
    case FixedPhrasePanelSelection::Request::Hide:
        return consumed + QStringLiteral(" hide");
    case FixedPhrasePanelSelection::Request::ReturnToSearch:
        return consumed + QStringLiteral(" search");
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
        QTest::addColumn<int>("qtKey");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<int>("code"); // -1: none
        QTest::newRow("A") << int(Qt::Key_A) << Qt::KeyboardModifiers() << 0;
        QTest::newRow("B") << int(Qt::Key_B) << Qt::KeyboardModifiers() << 11;
        QTest::newRow("! is the 1 key")
            << int(Qt::Key_Exclam) << Qt::KeyboardModifiers(Qt::ShiftModifier) << 18;
        QTest::newRow("Return") << int(Qt::Key_Return) << Qt::KeyboardModifiers() << 36;
        QTest::newRow("keypad Enter")
            << int(Qt::Key_Enter) << Qt::KeyboardModifiers(Qt::KeypadModifier) << 76;
        QTest::newRow("keypad 5") << int(Qt::Key_5) << Qt::KeyboardModifiers(Qt::KeypadModifier)
                                  << 87;
        QTest::newRow("keypad Down")
            << int(Qt::Key_Down) << Qt::KeyboardModifiers(Qt::KeypadModifier) << 125;
        QTest::newRow("Right") << int(Qt::Key_Right) << Qt::KeyboardModifiers() << 124;
        QTest::newRow("F1") << int(Qt::Key_F1) << Qt::KeyboardModifiers() << 122;
        QTest::newRow("Shift alone") << int(Qt::Key_Shift) << Qt::KeyboardModifiers() << -1;
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

    void searchField_data()
    {
        QTest::addColumn<QString>("searchText");
        QTest::addColumn<QString>("token");
        QTest::addColumn<SearchFieldKeyAction>("action");
        using A = SearchFieldKeyAction;
        QTest::newRow("Return") << ""
                                << "return" << A::CopySelectedHistoryItem;
        QTest::newRow("keypad Enter, phrases") << "s x"
                                               << "enter" << A::CopySelectedFixedPhrase;
        QTest::newRow("Down, URLs") << "u "
                                    << "down" << A::SelectNextHistoryItem;
        QTest::newRow("Down, phrases") << "s "
                                       << "down" << A::SelectNextFixedPhrase;
        QTest::newRow("Up") << "abc"
                            << "up" << A::SelectPreviousHistoryItem;
        QTest::newRow("Up, phrases") << "s "
                                     << "up" << A::SelectPreviousFixedPhrase;
        QTest::newRow("Right, empty field") << ""
                                            << "right" << A::ShowFixedPhrasePanel;
        QTest::newRow("Right with text moves the cursor") << "a"
                                                          << "right" << A::None;
        QTest::newRow("Left") << ""
                              << "left" << A::None;
        QTest::newRow("Escape") << ""
                                << "escape" << A::None;
        QTest::newRow("a letter") << ""
                                  << "a" << A::None;
    }
    void searchField()
    {
        QFETCH(QString, searchText);
        QFETCH(QString, token);
        QTEST(QuickPanelKeys::searchFieldAction(key(token).first,
                  ClipboardHistorySearch::scope(searchText), searchText.isEmpty()),
            "action");
    }

    // Folders A (a1 a2 a3), B (b1 b2), C (empty), with a hidden folder between B and C. The
    // state reads folder/phrase/column/title column; the outcome is that of the last key.
    void sidePanel_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("outcome");
        QTest::newRow("Down selects the first folder") << "down"
                                                       << "A/-/folder/hidden"
                                                       << "consumed";
        QTest::newRow("Up selects the last folder") << "up"
                                                    << "C/-/folder/hidden"
                                                    << "consumed";
        QTest::newRow("Down stays on the last folder") << "down down down down"
                                                       << "C/-/folder/hidden"
                                                       << "consumed";
        QTest::newRow("Up stays on the first folder") << "down up"
                                                      << "A/-/folder/hidden"
                                                      << "consumed";
        QTest::newRow("Right without a folder") << "right"
                                                << "-/-/folder/hidden"
                                                << "passed";
        QTest::newRow("Right opens the phrases") << "down right"
                                                 << "A/a1/title/shown"
                                                 << "consumed";
        QTest::newRow("Right on an empty folder") << "up right"
                                                  << "C/-/folder/shown"
                                                  << "consumed";
        QTest::newRow("a new folder keeps the title column") << "up right up"
                                                             << "B/-/folder/shown"
                                                             << "consumed";
        QTest::newRow("Down stays on the last phrase") << "down right down down down"
                                                       << "A/a3/title/shown"
                                                       << "consumed";
        QTest::newRow("Up stays on the first phrase") << "down right down up up"
                                                      << "A/a1/title/shown"
                                                      << "consumed";
        QTest::newRow("Left closes the title column") << "down right left"
                                                      << "A/-/folder/hidden"
                                                      << "consumed";
        QTest::newRow("Left in the folder column") << "down right left left"
                                                   << "A/-/folder/hidden"
                                                   << "consumed search";
        QTest::newRow("Return on a folder") << "down return"
                                            << "A/a1/title/shown"
                                            << "consumed";
        QTest::newRow("Return on a phrase") << "down right down return"
                                            << "A/a2/title/shown"
                                            << "consumed copy a2";
        QTest::newRow("keypad Enter without a folder") << "enter"
                                                       << "-/-/folder/hidden"
                                                       << "consumed";
        QTest::newRow("Escape") << "down escape"
                                << "A/-/folder/hidden"
                                << "consumed hide";
        QTest::newRow("label of the third folder") << "3"
                                                   << "C/-/title/shown"
                                                   << "consumed";
        QTest::newRow("label then phrase label") << "2 2"
                                                 << "B/b2/title/shown"
                                                 << "consumed copy b2";
        QTest::newRow("phrase label beyond the phrases") << "2 3"
                                                         << "B/-/title/shown"
                                                         << "passed";
        QTest::newRow("folder label beyond the folders") << "4"
                                                         << "-/-/folder/hidden"
                                                         << "passed";
        QTest::newRow("letter label beyond the phrases") << "down right A"
                                                         << "A/a1/title/shown"
                                                         << "passed";
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
        QTEST(describe(selection, world.phraseModel), "state");
        QTEST(describe(outcome), "outcome");
    }

    void labels()
    {
        QCOMPARE(QuickPanelKeys::label(0), QStringLiteral("1"));
        QCOMPARE(QuickPanelKeys::label(9), QStringLiteral("a"));
        QCOMPARE(QuickPanelKeys::label(34), QStringLiteral("z"));
        QCOMPARE(QuickPanelKeys::label(35), QString());
        QCOMPARE(QuickPanelKeys::labelIndex(u"Z"), 34);
        QCOMPARE(QuickPanelKeys::labelIndex(u"!"), std::nullopt);
    }
};

NORVALE_TEST_CLASS(QuickPanelKeysTest)
#include "tst_quickpanelkeys.moc"
