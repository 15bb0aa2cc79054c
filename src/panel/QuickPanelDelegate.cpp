#include "QuickPanelDelegate.h"

#include "QuickPanelStyle.h"

#include <QApplication>

QuickPanelDelegate::QuickPanelDelegate(ClipboardHistoryMenuViewModel& menu, QObject* parent)
    : QStyledItemDelegate(parent)
    , m_menu(menu)
{ }

void QuickPanelDelegate::setUiScale(double scale)
{
    m_scale = scale;
    m_fonts.reset();
    Q_EMIT sizeHintChanged(QModelIndex());
}

QuickPanelDelegate::Fonts::Fonts(const QFont& base, double scale)
    : small(QuickPanelStyle::font(base, 11 * scale))
    , secondary(QuickPanelStyle::font(base, 12 * scale))
    , body(QuickPanelStyle::font(base, 13 * scale))
    , smallMetrics(small)
    , secondaryMetrics(secondary)
    , bodyMetrics(body)
    , smallLines(small)
    , secondaryLines(secondary)
    , bodyLines(body)
{ }

const QuickPanelDelegate::Fonts& QuickPanelDelegate::fonts() const
{
    if (!m_fonts) {
        m_fonts.emplace(QApplication::font(), m_scale);
    }
    return *m_fonts;
}
