#include "QuickPanelHistoryList.h"

#include <QKeyEvent>
#include <QListWidget>
#include <QPixmap>
#include <QVBoxLayout>

namespace {

constexpr int idRole = Qt::UserRole + 1;

} // namespace

QuickPanelHistoryList::QuickPanelHistoryList(RowsProvider rows, QWidget* parent)
    : QWidget(parent)
    , m_rows(std::move(rows))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    m_list = new QListWidget(this);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setIconSize(QSize(48, 48));
    m_list->setUniformItemSizes(false);
    m_list->installEventFilter(this);
    layout->addWidget(m_list);
    connect(m_list, &QListWidget::itemClicked, this,
        [this](QListWidgetItem* item) { activateItem(item); });
    reload();
}

void QuickPanelHistoryList::reload()
{
    m_list->clear();
    if (!m_rows) {
        return;
    }
    const QList<QuickPanelRow> rows = m_rows();
    for (const QuickPanelRow& row : rows) {
        const QString label =
            row.detail.isEmpty() ? row.text : row.text + QLatin1Char('\n') + row.detail;
        auto* item = new QListWidgetItem(label, m_list);
        item->setData(idRole, row.id);
        item->setToolTip(row.detail);
        if (!row.thumbnail.isNull()) {
            item->setIcon(QPixmap::fromImage(row.thumbnail));
        }
    }
    if (m_list->count() > 0) {
        m_list->setCurrentRow(0);
    }
}

int QuickPanelHistoryList::rowCount() const
{
    return m_list->count();
}

bool QuickPanelHistoryList::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_list && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            m_list->currentItem() != nullptr) {
            activateItem(m_list->currentItem());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void QuickPanelHistoryList::activateItem(QListWidgetItem* item)
{
    if (item != nullptr) {
        Q_EMIT rowActivated(item->data(idRole).toUuid());
    }
}
