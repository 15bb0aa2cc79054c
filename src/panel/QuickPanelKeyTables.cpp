#include "QuickPanelKeyTables.h"

#include "platform/KeyCodes.h"

namespace QuickPanelKeys {

namespace {

const QString& labels()
{
    static const QString characters = QStringLiteral("123456789abcdefghijklmnopqrstuvwxyz");
    return characters;
}

} // namespace

SearchFieldKeyAction searchFieldAction(
    std::uint16_t keyCode, SearchScope scope, bool searchTextEmpty)
{
    const bool phrases = scope == SearchScope::FixedPhrase;
    switch (keyCode) {
    case KeyCode::returnKey:
    case KeyCode::keypadEnter:
        return phrases ? SearchFieldKeyAction::CopySelectedFixedPhrase
                       : SearchFieldKeyAction::CopySelectedHistoryItem;
    case KeyCode::downArrow:
        return phrases ? SearchFieldKeyAction::SelectNextFixedPhrase
                       : SearchFieldKeyAction::SelectNextHistoryItem;
    case KeyCode::upArrow:
        return phrases ? SearchFieldKeyAction::SelectPreviousFixedPhrase
                       : SearchFieldKeyAction::SelectPreviousHistoryItem;
    case KeyCode::rightArrow:
        return searchTextEmpty ? SearchFieldKeyAction::ShowFixedPhrasePanel
                               : SearchFieldKeyAction::None;
    default:
        return SearchFieldKeyAction::None;
    }
}

FixedPhrasePanelKeyAction fixedPhrasePanelAction(std::uint16_t keyCode,
    FixedPhrasePanelColumn focusedColumn, bool titleColumnVisible, bool folderSelected)
{
    switch (keyCode) {
    case KeyCode::returnKey:
    case KeyCode::keypadEnter:
        return FixedPhrasePanelKeyAction::ConfirmSelection;
    case KeyCode::escape:
        return FixedPhrasePanelKeyAction::Hide;
    case KeyCode::downArrow:
        return FixedPhrasePanelKeyAction::MoveDown;
    case KeyCode::upArrow:
        return FixedPhrasePanelKeyAction::MoveUp;
    case KeyCode::leftArrow:
        return focusedColumn == FixedPhrasePanelColumn::Title && titleColumnVisible
            ? FixedPhrasePanelKeyAction::CloseTitleColumn
            : FixedPhrasePanelKeyAction::ReturnToSearch;
    case KeyCode::rightArrow:
        return folderSelected ? FixedPhrasePanelKeyAction::OpenTitleColumn
                              : FixedPhrasePanelKeyAction::None;
    default:
        return focusedColumn == FixedPhrasePanelColumn::Folder || !folderSelected
            ? FixedPhrasePanelKeyAction::SelectFolderByLabel
            : FixedPhrasePanelKeyAction::CopyPhraseByLabel;
    }
}

QString label(qsizetype index)
{
    if (index < 0 || index >= labelCount) {
        return {};
    }
    return labels().at(index);
}

std::optional<qsizetype> labelIndex(QStringView characters)
{
    if (characters.isEmpty()) {
        return std::nullopt;
    }
    const qsizetype index = labels().indexOf(characters.front().toLower());
    if (index < 0) {
        return std::nullopt;
    }
    return index;
}

} // namespace QuickPanelKeys
