#pragma once

// A text or URL entry of the quick panel, painted for every row of a section's list by one
// delegate (only rows on screen are ever painted): the preview title and its detail, the
// capture time and a delete button, a divider below. The keyboard selection is highlighted.
//
// A click on the row puts the entry back on the clipboard ("クリップボードに戻す"); a click
// on the button deletes it ("この履歴を削除"). Both go to the view model.

#include "ClipboardHistoryEntryDelegate.h"

class ClipboardHistoryRow final : public ClipboardHistoryEntryDelegate
{
    Q_OBJECT

public:
    explicit ClipboardHistoryRow(ClipboardHistoryMenuViewModel& menu, QObject* parent = nullptr);

    QRect deleteButtonRect(const QRect& row) const override;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
        const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};
