#include "FixedPhraseSearchRow.h"

#include "ClipboardHistoryMenuViewModel.h"
#include "FixedPhraseSearchListModel.h"
#include "QuickPanelStyle.h"
#include "support/Text.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include <cmath>

namespace {

constexpr int rowPadding = 8;

const FixedPhraseSearchListModel& listModel(const QModelIndex& index)
{
    return *static_cast<const FixedPhraseSearchListModel*>(index.model());
}

// The start of the content on one line: a row never shows more than its first few hundred
// characters, and eliding a whole long text would measure all of it.
QString oneLine(QStringView content)
{
    return Text::lineBreaksToBlanks(content.first(std::min<qsizetype>(content.size(), 200)));
}

} // namespace

FixedPhraseSearchRow::FixedPhraseSearchRow(ClipboardHistoryMenuViewModel& menu, QObject* parent)
    : QuickPanelDelegate(menu, parent)
{ }

void FixedPhraseSearchRow::paint(
    QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const FixedPhraseSearchListModel& model = listModel(index);
    const FixedPhraseSearchResult& result = model.at(index.row());
    const QPalette& palette = option.palette;
    painter->save();
    QuickPanelStyle::paintRowFrame(painter, option.rect, palette, model.isSelected(index.row()),
        option.state.testFlag(QStyle::State_MouseOver));

    const int folderWidth = int(std::lround(132 * uiScale()));
    const QRect inner =
        option.rect.adjusted(rowPadding, rowPadding / 2, -rowPadding, -rowPadding / 2 - 1);
    const QRect folder(inner.right() - folderWidth + 1, inner.top(), folderWidth, inner.height());
    QRect text(inner.left(), inner.top(), folder.left() - rowPadding - inner.left(), 0);
    const Fonts& font = fonts();
    text.setHeight(font.bodyMetrics.height());
    painter->setPen(palette.color(QPalette::WindowText));
    font.bodyLines.draw(painter, text, Qt::AlignLeft, result.phrase.title);
    text.translate(0, text.height());
    text.setHeight(font.smallMetrics.height());
    painter->setPen(QuickPanelStyle::secondary(palette));
    font.smallLines.draw(painter, text, Qt::AlignLeft, oneLine(result.phrase.content));
    font.secondaryLines.draw(painter, folder, Qt::AlignRight, result.folderTitle);
    painter->restore();
}

QSize FixedPhraseSearchRow::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const
{
    const Fonts& font = fonts();
    const int lines = font.bodyMetrics.height() + font.smallMetrics.height();
    return QSize(option.rect.width(), lines + rowPadding + 1);
}

bool FixedPhraseSearchRow::editorEvent(
    QEvent* event, QAbstractItemModel*, const QStyleOptionViewItem&, const QModelIndex& index)
{
    if (event->type() != QEvent::MouseButtonRelease || !index.isValid() ||
        static_cast<const QMouseEvent*>(event)->button() != Qt::LeftButton) {
        return false;
    }
    const FixedPhrase phrase = listModel(index).at(index.row()).phrase;
    menu().copyFixedPhrase(phrase);
    return true;
}

bool FixedPhraseSearchRow::helpEvent(QHelpEvent* event, QAbstractItemView* view,
    const QStyleOptionViewItem&, const QModelIndex& index)
{
    if (!index.isValid()) {
        return false;
    }
    QToolTip::showText(
        event->globalPos(), listModel(index).at(index.row()).phrase.content, view->viewport());
    return true;
}
