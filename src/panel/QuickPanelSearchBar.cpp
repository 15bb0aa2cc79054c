#include "QuickPanelSearchBar.h"

#include "ClipboardHistoryMenuViewModel.h"
#include "QuickPanelStyle.h"
#include "QuickPanelSymbols.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QInputMethod>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

#include <cmath>

QuickPanelSearchBar::QuickPanelSearchBar(ClipboardHistoryMenuViewModel& menu, QWidget* parent)
    : QWidget(parent)
    , m_menu(menu)
    , m_symbol(new QLabel)
    , m_field(new QLineEdit)
    , m_clear(new QToolButton)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 6, 12, 6);
    layout->setSpacing(6);
    layout->addWidget(m_symbol);
    layout->addWidget(m_field, 1);
    layout->addWidget(m_clear);
    m_field->setFrame(false);
    m_field->setPlaceholderText(
        QStringLiteral("検索 / g␠画像  u␠URL  s␠定型文、右キーで定型文選択"));
    m_field->installEventFilter(this);
    m_clear->setAutoRaise(true);
    m_clear->setFocusPolicy(Qt::NoFocus);
    m_clear->setToolTip(QStringLiteral("検索条件をクリア"));
    m_clear->setIcon(QuickPanelSymbols::icon(QStringLiteral("xmark.circle.fill")));
    m_clear->hide();

    connect(m_field, &QLineEdit::textChanged, this,
        [this](const QString& text) { m_menu.setSearchText(text); });
    connect(&menu, &ClipboardHistoryMenuViewModel::searchTextChanged, this, [this] {
        const QString text = m_menu.searchText();
        if (m_field->text() != text) {
            dropComposition();
            m_field->setText(text);
        }
        m_clear->setVisible(!text.isEmpty());
    });
    connect(&menu, &ClipboardHistoryMenuViewModel::wasReset, this,
        &QuickPanelSearchBar::dropComposition);
    connect(m_clear, &QToolButton::clicked, this, [this] {
        m_menu.setSearchText(QString());
        m_field->setFocus(Qt::OtherFocusReason);
    });
    setUiScale(1.0);
}

void QuickPanelSearchBar::setUiScale(double scale)
{
    const int symbol = int(std::lround(15 * scale));
    m_symbol->setPixmap(
        QuickPanelSymbols::icon(QStringLiteral("magnifyingglass")).pixmap(QSize(symbol, symbol)));
    m_field->setFont(QuickPanelStyle::font(font(), 13 * scale));
    m_clear->setIconSize(QSize(symbol, symbol));
}

bool QuickPanelSearchBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_field) {
        switch (event->type()) {
        case QEvent::InputMethod:
            m_composing = !static_cast<QInputMethodEvent*>(event)->preeditString().isEmpty();
            break;
        case QEvent::FocusIn:
            m_menu.setSearchFieldFocused(true);
            break;
        case QEvent::FocusOut:
            // Another window taking the focus leaves the field the focus of this one.
            if (static_cast<QFocusEvent*>(event)->reason() != Qt::ActiveWindowFocusReason) {
                m_menu.setSearchFieldFocused(false);
            }
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void QuickPanelSearchBar::dropComposition()
{
    if (!m_composing) {
        return;
    }
    // The input method forgets its composition; the field, which a reset does not tell, drops
    // the pre-edit it shows through an empty one (and the state follows in eventFilter).
    QGuiApplication::inputMethod()->reset();
    QInputMethodEvent dropped;
    QCoreApplication::sendEvent(m_field, &dropped);
}
