#include "FixedPhraseHoverPanelColumn.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

namespace {

constexpr int labelRole = FixedPhraseHoverPanelColumn::LabelRole;
constexpr int idRole = FixedPhraseHoverPanelColumn::IdRole;
constexpr int highlightedRole = FixedPhraseHoverPanelColumn::HighlightedRole;

constexpr double headerHeight = 30;
constexpr double phraseRowHeight = 28;

int scaled(double value, double uiScale)
{
    return qRound(value * uiScale);
}

QFont fontOfSize(const QFont& base, double size, double uiScale)
{
    QFont font = base;
    font.setPixelSize(std::max(1, scaled(size, uiScale)));
    return font;
}

// Label, icon and title on one line; the highlighted row on a rounded accent background.
class RowDelegate final : public QStyledItemDelegate
{
public:
    RowDelegate(double uiScale, QObject* parent)
        : QStyledItemDelegate(parent)
        , m_uiScale(uiScale)
    { }

    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override
    {
        return {0, scaled(phraseRowHeight, m_uiScale)};
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
        const QModelIndex& index) const override
    {
        const double s = m_uiScale;
        const QRect row = option.rect.adjusted(scaled(4, s), 1, -scaled(4, s), -1);
        const bool highlighted = index.data(highlightedRole).toBool();
        const QPalette& palette = option.palette;
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        if (highlighted) {
            // A tint of the accent keeps the icons and the text readable on it.
            QColor tint = palette.color(QPalette::Highlight);
            tint.setAlphaF(0.28F);
            painter->setPen(Qt::NoPen);
            painter->setBrush(tint);
            painter->drawRoundedRect(row, scaled(5, s), scaled(5, s));
        }
        const QColor text = palette.color(QPalette::WindowText);
        QColor secondary = text;
        secondary.setAlphaF(0.6F);

        int x = row.left() + scaled(6, s);
        const int labelWidth = scaled(14, s);
        painter->setFont(fontOfSize(option.font, 11, s));
        painter->setPen(secondary);
        painter->drawText(QRect(x, row.top(), labelWidth, row.height()), Qt::AlignCenter,
            index.data(labelRole).toString());
        x += labelWidth + scaled(4, s);

        const int iconSize = scaled(14, s);
        const auto icon = index.data(Qt::DecorationRole).value<QIcon>();
        icon.paint(painter, QRect(x, row.center().y() - iconSize / 2, iconSize, iconSize));
        x += iconSize + scaled(6, s);

        painter->setFont(option.font);
        painter->setPen(text);
        const QRect titleRect(x, row.top(), row.right() - x - scaled(4, s), row.height());
        painter->drawText(titleRect, Qt::AlignLeft | Qt::AlignVCenter,
            QFontMetrics(option.font)
                .elidedText(
                    index.data(Qt::DisplayRole).toString(), Qt::ElideRight, titleRect.width()));
        painter->restore();
    }

private:
    double m_uiScale;
};

} // namespace

FixedPhraseHoverPanelColumn::FixedPhraseHoverPanelColumn(
    const QString& header, const QIcon& rowIcon, double uiScale, QWidget* parent)
    : QWidget(parent)
    , m_rowIcon(rowIcon)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* headerLabel = new QLabel(header, this);
    headerLabel->setFont(fontOfSize(font(), 12, uiScale));
    headerLabel->setFixedHeight(scaled(headerHeight, uiScale));
    headerLabel->setContentsMargins(scaled(10, uiScale), 0, 0, 0);
    headerLabel->setForegroundRole(QPalette::PlaceholderText);
    layout->addWidget(headerLabel);

    m_list = new QListWidget(this);
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setFocusPolicy(Qt::NoFocus);
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    m_list->setUniformItemSizes(true);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setItemDelegate(new RowDelegate(uiScale, m_list));
    m_list->viewport()->setAutoFillBackground(false);
    connect(m_list, &QListWidget::itemClicked, this,
        [this](QListWidgetItem* item) { Q_EMIT rowClicked(item->data(idRole).toUuid()); });
    layout->addWidget(m_list, 1);

    m_caption = new QLabel(this);
    m_caption->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_caption->setContentsMargins(0, scaled(8, uiScale), 0, 0);
    m_caption->setForegroundRole(QPalette::PlaceholderText);
    layout->addWidget(m_caption, 1);
}

void FixedPhraseHoverPanelColumn::setRows(const QList<Row>& rows, const QString& emptyCaption)
{
    m_list->clear();
    for (const Row& row : rows) {
        auto* item = new QListWidgetItem(m_rowIcon, row.title, m_list);
        item->setData(labelRole, row.label);
        item->setData(idRole, row.id);
        item->setToolTip(row.toolTip);
    }
    m_caption->setText(emptyCaption);
    m_list->setVisible(!rows.isEmpty());
    m_caption->setVisible(rows.isEmpty());
}

void FixedPhraseHoverPanelColumn::setHighlighted(const std::optional<QUuid>& id)
{
    for (int i = 0; i < m_list->count(); ++i) {
        QListWidgetItem* item = m_list->item(i);
        const bool highlighted = id && item->data(idRole).toUuid() == *id;
        item->setData(highlightedRole, highlighted);
        if (highlighted) {
            m_list->scrollToItem(item);
        }
    }
}
