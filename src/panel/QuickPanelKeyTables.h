#pragma once

// What a key does in the quick panel, by canonical key code (platform/KeyCodes.h), given the
// state the key meets. The views only translate their key events and carry out the action;
// a key whose action is None reaches the focused control unchanged (the text field moves its
// cursor on Right, for example).
//
// The side panel labels its first 35 folders or phrases with "1"..."9", then "a"..."z"; what
// comes after the 35th has no label and is reached with the arrows or the mouse.

#include "ClipboardHistorySearch.h"

#include <QString>
#include <QStringView>

#include <cstdint>
#include <optional>

enum class SearchFieldKeyAction
{
    None,
    CopySelectedHistoryItem,
    SelectNextHistoryItem,
    SelectPreviousHistoryItem,
    CopySelectedFixedPhrase,
    SelectNextFixedPhrase,
    SelectPreviousFixedPhrase,
    ShowFixedPhrasePanel
};

enum class FixedPhrasePanelColumn
{
    Folder,
    Title
};

enum class FixedPhrasePanelKeyAction
{
    None,
    ConfirmSelection,
    Hide,
    MoveDown,
    MoveUp,
    CloseTitleColumn,
    ReturnToSearch,
    OpenTitleColumn,
    SelectFolderByLabel,
    CopyPhraseByLabel
};

namespace QuickPanelKeys {

SearchFieldKeyAction searchFieldAction(
    std::uint16_t keyCode, SearchScope scope, bool searchTextEmpty);

FixedPhrasePanelKeyAction fixedPhrasePanelAction(std::uint16_t keyCode,
    FixedPhrasePanelColumn focusedColumn, bool titleColumnVisible, bool folderSelected);

inline constexpr qsizetype labelCount = 35;
// The label of the entry at index, empty beyond the 35th.
QString label(qsizetype index);
// The entry a typed character labels: the first character, lower-cased.
std::optional<qsizetype> labelIndex(QStringView characters);

} // namespace QuickPanelKeys
