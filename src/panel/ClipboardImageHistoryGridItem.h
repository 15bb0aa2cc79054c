#pragma once

// An image entry in the quick panel's three-column grid, painted by one delegate for every
// cell on screen: the thumbnail (the "photo" symbol until the preview exists), the full-size
// dimensions, the capture time and a delete button. The keyboard selection has a border in
// the accent colour, other entries a faint one.
//
// A click copies the entry ("クリップボードに戻す"), a click on the button deletes it
// ("この履歴を削除"). Thumbnails arrive decoded and scaled to the cell's device pixels (the
// list model's loader does that off the main thread): painting one is a plain copy.

#include "ClipboardHistoryEntryDelegate.h"

class ClipboardImageHistoryGridItem final : public ClipboardHistoryEntryDelegate
{
    Q_OBJECT

public:
    static constexpr int spacing = 8;

    explicit ClipboardImageHistoryGridItem(
        ClipboardHistoryMenuViewModel& menu, QObject* parent = nullptr);

    // The height of a grid row (without the spacing below it).
    int itemHeight() const;
    // Inside a grid cell (spacing included on its right and bottom).
    QRect thumbnailRect(const QRect& cell) const;
    QRect deleteButtonRect(const QRect& cell) const override;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
        const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

protected:
    QRect entryRect(const QRect& cell) const override;

private:
    int labelsHeight() const;
};
