#include "ClipboardHistoryRow.h"

#include "ClipboardHistoryListModel.h"
#include "ClipboardHistoryMenuViewModel.h"
#include "QuickPanelStyle.h"
#include "QuickPanelSymbols.h"

#include <QPainter>

#include <cmath>

namespace {

constexpr int padding = 8;
constexpr int rowHeight = 35; // the section's height allows this much per row

struct Layout
{
    QRect title;
    QRect date;
    QRect deleteButton;
};

Layout layout(const QRect& row, const QRect& deleteButton, double scale)
{
    Layout result;
    result.deleteButton = deleteButton;
    const int dateWidth = int(std::lround(132 * scale));
    result.date = QRect(
        result.deleteButton.left() - padding - dateWidth, row.top(), dateWidth, row.height() - 1);
    result.title = QRect(row.left() + padding, row.top(),
        result.date.left() - padding - row.left() - padding, row.height() - 1);
    return result;
}

} // namespace

ClipboardHistoryRow::ClipboardHistoryRow(ClipboardHistoryMenuViewModel& menu, QObject* parent)
    : ClipboardHistoryEntryDelegate(menu, parent)
{ }

QRect ClipboardHistoryRow::deleteButtonRect(const QRect& row) const
{
    const int size = int(std::lround(16 * uiScale()));
    return QRect(
        row.right() - padding - size + 1, row.top() + (row.height() - 1 - size) / 2, size, size);
}

void ClipboardHistoryRow::paint(
    QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const ClipboardHistoryListModel& model = listModel(index);
    const int row = index.row();
    const QPalette& palette = option.palette;
    const double scale = uiScale();
    const Layout parts = layout(option.rect, deleteButtonRect(option.rect), scale);
    painter->save();
    QuickPanelStyle::paintRowFrame(painter, option.rect, palette, model.isSelected(row),
        option.state.testFlag(QStyle::State_MouseOver));

    const Fonts& font = fonts();
    const QString detail = model.detail(row);
    const int detailWidth = font.smallMetrics.horizontalAdvance(detail);
    const QRect titleRect = parts.title.adjusted(0, 0, -(detailWidth + padding), 0);
    painter->setPen(palette.color(QPalette::WindowText));
    font.bodyLines.draw(painter, titleRect, Qt::AlignLeft, model.title(row));
    painter->setPen(QuickPanelStyle::secondary(palette));
    font.smallLines.draw(painter, parts.title, Qt::AlignRight, detail);
    font.secondaryLines.draw(painter, parts.date, Qt::AlignRight, model.date(row));
    QuickPanelSymbols::icon(QStringLiteral("xmark.circle")).paint(painter, parts.deleteButton);
    painter->restore();
}

QSize ClipboardHistoryRow::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const
{
    return QSize(
        option.rect.width(), std::max(rowHeight, fonts().bodyMetrics.height() + 2 * padding));
}
