#include "ClipboardHistoryEntryDelegate.h"

#include "ClipboardHistoryListModel.h"
#include "ClipboardHistoryMenuViewModel.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QToolTip>

ClipboardHistoryEntryDelegate::ClipboardHistoryEntryDelegate(
    ClipboardHistoryMenuViewModel& menu, QObject* parent)
    : QuickPanelDelegate(menu, parent)
{ }

const ClipboardHistoryListModel& ClipboardHistoryEntryDelegate::listModel(const QModelIndex& index)
{
    return *static_cast<const ClipboardHistoryListModel*>(index.model());
}

bool ClipboardHistoryEntryDelegate::editorEvent(QEvent* event, QAbstractItemModel*,
    const QStyleOptionViewItem& option, const QModelIndex& index)
{
    if (event->type() != QEvent::MouseButtonRelease || !index.isValid()) {
        return false;
    }
    const auto* mouse = static_cast<const QMouseEvent*>(event);
    const QPoint position = mouse->position().toPoint();
    if (mouse->button() != Qt::LeftButton || !entryRect(option.rect).contains(position)) {
        return false;
    }
    // A copy may close the panel and a deletion removes this row: the entry is copied first.
    const ClipboardHistoryItem item = listModel(index).at(index.row());
    if (deleteButtonRect(option.rect).contains(position)) {
        menu().deleteHistoryItem(item.id);
    } else {
        menu().copyHistoryItem(item);
    }
    return true;
}

bool ClipboardHistoryEntryDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
    const QStyleOptionViewItem& option, const QModelIndex& index)
{
    if (!index.isValid() || !entryRect(option.rect).contains(event->pos())) {
        return false;
    }
    QToolTip::showText(event->globalPos(),
        deleteButtonRect(option.rect).contains(event->pos())
            ? QStringLiteral("この履歴を削除")
            : QStringLiteral("クリップボードに戻す"),
        view->viewport());
    return true;
}
