#include "ClipboardImageHistoryGrid.h"

#include "ClipboardHistoryListModel.h"
#include "ClipboardImageHistoryGridItem.h"

#include <QHoverEvent>
#include <QResizeEvent>

ClipboardImageHistoryGrid::ClipboardImageHistoryGrid(
    ClipboardHistoryListModel& model, ClipboardImageHistoryGridItem& delegate, QWidget* parent)
    : QListView(parent)
    , m_model(model)
    , m_delegate(delegate)
{
    setModel(&model);
    setItemDelegate(&delegate);
    setViewMode(QListView::ListMode);
    setFlow(QListView::LeftToRight);
    setWrapping(true);
    setResizeMode(QListView::Adjust);
    setUniformItemSizes(true);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Whatever is removed or inserted, the entry under a resting pointer is looked up again.
    const auto lookAgain = [this] {
        updateHoveredThumbnail(
            underMouse() ? std::optional(viewport()->mapFromGlobal(QCursor::pos())) : std::nullopt);
    };
    connect(&model, &QAbstractItemModel::rowsRemoved, this, lookAgain);
    connect(&model, &QAbstractItemModel::rowsInserted, this, lookAgain);
    connect(&model, &QAbstractItemModel::modelReset, this, lookAgain);
}

void ClipboardImageHistoryGrid::relayout()
{
    const int width = viewport()->width() / columns;
    setGridSize(QSize(std::max(width, 1), m_delegate.itemHeight() + m_delegate.spacing));
}

void ClipboardImageHistoryGrid::resizeEvent(QResizeEvent* event)
{
    QListView::resizeEvent(event);
    relayout();
}

bool ClipboardImageHistoryGrid::viewportEvent(QEvent* event)
{
    switch (event->type()) {
    case QEvent::HoverEnter:
    case QEvent::HoverMove:
        updateHoveredThumbnail(static_cast<QHoverEvent*>(event)->position().toPoint());
        break;
    case QEvent::HoverLeave:
    case QEvent::Hide:
        updateHoveredThumbnail(std::nullopt);
        break;
    default:
        break;
    }
    return QListView::viewportEvent(event);
}

void ClipboardImageHistoryGrid::updateHoveredThumbnail(const std::optional<QPoint>& position)
{
    std::optional<ClipboardHistoryItem> hovered;
    if (position) {
        const QModelIndex index = indexAt(*position);
        if (index.isValid() && m_delegate.thumbnailRect(visualRect(index)).contains(*position)) {
            hovered = m_model.at(index.row());
        }
    }
    // Ids, not whole entries: comparing an image's bytes on every pointer move costs.
    if ((hovered ? std::optional(hovered->id) : std::nullopt) ==
        (m_hovered ? std::optional(m_hovered->id) : std::nullopt)) {
        return;
    }
    if (m_hovered) {
        Q_EMIT thumbnailHoverChanged(*m_hovered, false);
    }
    m_hovered = hovered;
    if (m_hovered) {
        Q_EMIT thumbnailHoverChanged(*m_hovered, true);
    }
}
