#include "ClipboardImageHistoryGridItem.h"

#include "ClipboardHistoryListModel.h"
#include "ClipboardHistoryMenuViewModel.h"
#include "QuickPanelStyle.h"
#include "QuickPanelSymbols.h"

#include <QApplication>
#include <QPainter>

#include <cmath>

namespace {

constexpr int inset = 6;

} // namespace

ClipboardImageHistoryGridItem::ClipboardImageHistoryGridItem(
    ClipboardHistoryMenuViewModel& menu, QObject* parent)
    : ClipboardHistoryEntryDelegate(menu, parent)
{ }

int ClipboardImageHistoryGridItem::itemHeight() const
{
    return int(std::lround(std::max(124 * uiScale(), 136.0)));
}

int ClipboardImageHistoryGridItem::labelsHeight() const
{
    const Fonts& font = fonts();
    return font.secondaryMetrics.height() + font.smallMetrics.height() + inset;
}

QRect ClipboardImageHistoryGridItem::entryRect(const QRect& cell) const
{
    return cell.adjusted(0, 0, -spacing, -spacing);
}

QRect ClipboardImageHistoryGridItem::thumbnailRect(const QRect& cell) const
{
    return entryRect(cell).adjusted(inset, inset, -inset, -(labelsHeight() + inset));
}

QRect ClipboardImageHistoryGridItem::deleteButtonRect(const QRect& cell) const
{
    const QRect item = entryRect(cell);
    const int size = int(std::lround(16 * uiScale()));
    const int labelsTop = item.bottom() - inset - labelsHeight() + 1;
    return QRect(item.right() - inset - size + 1,
        labelsTop + (labelsHeight() - size) / 2 + inset / 2, size, size);
}

void ClipboardImageHistoryGridItem::paint(
    QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const ClipboardHistoryListModel& model = listModel(index);
    const int row = index.row();
    const QPalette& palette = option.palette;
    const QRect item = entryRect(option.rect);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    if (option.state.testFlag(QStyle::State_MouseOver)) {
        painter->setPen(Qt::NoPen);
        painter->setBrush(QuickPanelStyle::hoverBackground(palette));
        painter->drawRoundedRect(item, 6, 6);
    }
    const bool selected = model.isSelected(row);
    painter->setPen(selected ? QPen(palette.color(QPalette::Highlight), 2)
                             : QPen(QuickPanelStyle::divider(palette), 1));
    painter->setBrush(Qt::NoBrush);
    painter->drawRoundedRect(QRectF(item).adjusted(1, 1, -1, -1), 6, 6);

    const QRect thumbnailArea = thumbnailRect(option.rect);
    // Fitted in device pixels, so that a scaled screen shows the thumbnail sharp.
    const qreal pixelRatio = painter->device()->devicePixelRatioF();
    QImage thumbnail = model.thumbnail(row, (QSizeF(thumbnailArea.size()) * pixelRatio).toSize());
    if (thumbnail.isNull()) {
        const int size = int(std::lround(36 * uiScale()));
        QuickPanelSymbols::icon(QStringLiteral("photo"))
            .paint(painter,
                QRect(QPoint(), QSize(size, size))
                    .translated(thumbnailArea.center() - QPoint(size / 2, size / 2)));
    } else {
        thumbnail.setDevicePixelRatio(pixelRatio);
        const QSizeF size = thumbnail.deviceIndependentSize();
        painter->drawImage(
            (QRectF(thumbnailArea).center() - QPointF(size.width(), size.height()) / 2).toPoint(),
            thumbnail);
    }

    const Fonts& font = fonts();
    const QFont& dimensionsFont = font.secondary;
    const QFont& dateFont = font.small;
    const QRect deleteButton = deleteButtonRect(option.rect);
    QRect labels(
        thumbnailArea.left(), thumbnailArea.bottom() + inset, 0, font.secondaryMetrics.height());
    labels.setRight(deleteButton.left() - inset);
    painter->setFont(dimensionsFont);
    painter->setPen(palette.color(QPalette::WindowText));
    painter->drawText(labels, Qt::AlignLeft | Qt::AlignVCenter, model.detail(row));
    painter->setFont(dateFont);
    painter->setPen(QuickPanelStyle::secondary(palette));
    labels.translate(0, labels.height());
    labels.setHeight(font.smallMetrics.height());
    painter->drawText(labels, Qt::AlignLeft | Qt::AlignVCenter, model.date(row));
    QuickPanelSymbols::icon(QStringLiteral("xmark.circle")).paint(painter, deleteButton);
    painter->restore();
}

QSize ClipboardImageHistoryGridItem::sizeHint(
    const QStyleOptionViewItem& option, const QModelIndex&) const
{
    return QSize(option.rect.width(), itemHeight() + spacing);
}
