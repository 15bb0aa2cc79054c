#pragma once

// The phrases the search finds, for the fixed phrase search section. The list is computed
// only while the search is scoped to phrases: the other scopes never show it, and filtering
// thousands of phrases on every keystroke for nothing would be wasted.

#include "ClipboardHistorySearch.h"
#include "QuickPanelListModel.h"

class ClipboardHistoryMenuViewModel;

class FixedPhraseSearchListModel final : public QuickPanelListModel<FixedPhraseSearchResult>
{
public:
    explicit FixedPhraseSearchListModel(
        ClipboardHistoryMenuViewModel& menu, QObject* parent = nullptr);

    QVariant data(const QModelIndex& index, int role) const override;

private:
    void refresh(Content content);

    ClipboardHistoryMenuViewModel& m_menu;
};
