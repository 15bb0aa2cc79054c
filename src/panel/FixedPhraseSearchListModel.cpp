#include "FixedPhraseSearchListModel.h"

#include "ClipboardHistoryMenuViewModel.h"

namespace {

QUuid resultPhraseID(const FixedPhraseSearchResult& result)
{
    return result.phrase.id;
}

} // namespace

FixedPhraseSearchListModel::FixedPhraseSearchListModel(
    ClipboardHistoryMenuViewModel& menu, QObject* parent)
    : QuickPanelListModel(resultPhraseID, parent)
    , m_menu(menu)
{
    connect(&menu, &ClipboardHistoryMenuViewModel::resultsChanged, this,
        [this] { refresh(Content::MayHaveChanged); });
    connect(&menu, &ClipboardHistoryMenuViewModel::searchTextChanged, this,
        [this] { refresh(Content::Unchanged); });
    connect(&menu, &ClipboardHistoryMenuViewModel::selectedFixedPhraseIDChanged, this,
        [this] { setSelectedID(m_menu.selectedFixedPhraseID()); });
    refresh(Content::MayHaveChanged);
}

void FixedPhraseSearchListModel::refresh(Content content)
{
    replaceRows(m_menu.searchScope() == SearchScope::FixedPhrase
            ? m_menu.filteredFixedPhraseResults()
            : QList<FixedPhraseSearchResult>(),
        content);
}

QVariant FixedPhraseSearchListModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid) || role != Qt::DisplayRole) {
        return {};
    }
    return at(index.row()).phrase.title;
}
