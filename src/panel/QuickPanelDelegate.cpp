#include "QuickPanelDelegate.h"

QuickPanelDelegate::QuickPanelDelegate(ClipboardHistoryMenuViewModel& menu, QObject* parent)
    : QStyledItemDelegate(parent)
    , m_menu(menu)
{ }

void QuickPanelDelegate::setUiScale(double scale)
{
    m_scale = scale;
    Q_EMIT sizeHintChanged(QModelIndex());
}
