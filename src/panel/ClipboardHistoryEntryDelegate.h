#pragma once

// What the history's row and grid delegates share: the clicks on an entry and their help
// texts. A left click puts the entry back on the clipboard ("クリップボードに戻す"), a click
// on its delete button deletes it ("この履歴を削除"); both go to the view model.

#include "QuickPanelDelegate.h"

class ClipboardHistoryListModel;

class ClipboardHistoryEntryDelegate : public QuickPanelDelegate
{
    Q_OBJECT

public:
    // Where an entry's delete button is, for the item rectangle the view gives.
    virtual QRect deleteButtonRect(const QRect& item) const = 0;

protected:
    explicit ClipboardHistoryEntryDelegate(
        ClipboardHistoryMenuViewModel& menu, QObject* parent = nullptr);

    static const ClipboardHistoryListModel& listModel(const QModelIndex& index);
    // The part of the item rectangle that belongs to the entry (a grid cell has spacing).
    virtual QRect entryRect(const QRect& item) const { return item; }

    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
        const QModelIndex& index) override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
        const QModelIndex& index) override;
};
