#pragma once

// A phrase found by the search, painted for every row on screen of the fixed phrase search
// section by one delegate: the title above a one-line preview of the content, the folder's
// title beside them, a divider below; the keyboard selection is highlighted. The help text is
// the whole content; a click copies the phrase (through the view model).

#include "QuickPanelDelegate.h"

class FixedPhraseSearchRow final : public QuickPanelDelegate
{
    Q_OBJECT

public:
    explicit FixedPhraseSearchRow(ClipboardHistoryMenuViewModel& menu, QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
        const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

protected:
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
        const QModelIndex& index) override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
        const QModelIndex& index) override;
};
