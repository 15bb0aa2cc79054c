#include "QuickPanelSection.h"

#include "ClipboardHistoryMenuViewModel.h"
#include "QuickPanelStyle.h"

#include <QAbstractItemView>
#include <QHBoxLayout>
#include <QLabel>
#include <QStackedLayout>
#include <QVBoxLayout>

QuickPanelSection::QuickPanelSection(const QString& title, QAbstractItemView* view, QWidget* parent)
    : QWidget(parent)
    , m_view(view)
    , m_title(new QLabel(title))
    , m_count(new QLabel)
    , m_caption(new QLabel)
    , m_content(new QStackedLayout)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* header = new QHBoxLayout;
    header->setContentsMargins(0, 0, 0, 0);
    header->addWidget(m_title);
    header->addStretch();
    header->addWidget(m_count);
    auto* headerWidget = new QWidget;
    headerWidget->setFixedHeight(30);
    headerWidget->setLayout(header);
    layout->addWidget(headerWidget);

    m_caption->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_caption->setContentsMargins(0, 12, 0, 0);
    m_content->addWidget(view);
    m_content->addWidget(m_caption);
    layout->addLayout(m_content, 1);
    for (QLabel* label : {m_title, m_count, m_caption}) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, QuickPanelStyle::secondary(palette));
        label->setPalette(palette);
    }

    QAbstractItemModel* model = view->model();
    for (const auto signal :
        {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved}) {
        connect(model, signal, this, &QuickPanelSection::refresh);
    }
    connect(model, &QAbstractItemModel::modelReset, this, &QuickPanelSection::refresh);
    refresh();
}

void QuickPanelSection::setEmptyCaption(const QString& caption)
{
    m_caption->setText(caption);
}

void QuickPanelSection::setUiScale(double scale, double countPixelSize)
{
    m_title->setFont(QuickPanelStyle::font(font(), 12 * scale));
    m_count->setFont(QuickPanelStyle::font(font(), countPixelSize));
    m_caption->setFont(QuickPanelStyle::font(font(), 12 * scale));
}

void QuickPanelSection::refresh()
{
    const int rows = m_view->model()->rowCount();
    m_count->setText(ClipboardHistoryMenuViewModel::countText(rows));
    m_content->setCurrentIndex(rows == 0 ? 1 : 0);
}
