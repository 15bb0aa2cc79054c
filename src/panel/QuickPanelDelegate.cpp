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

const QuickPanelDelegate::Fonts& QuickPanelDelegate::fonts() const
{
    if (!m_fonts) {
        const QFont base = QApplication::font();
        const QFont small = QuickPanelStyle::font(base, 11 * m_scale);
        const QFont secondary = QuickPanelStyle::font(base, 12 * m_scale);
        const QFont body = QuickPanelStyle::font(base, 13 * m_scale);
        m_fonts.emplace(Fonts {small, secondary, body, QFontMetrics(small), QFontMetrics(secondary),
            QFontMetrics(body)});
    }
    return *m_fonts;
}
