#include "QuickPanelKeyboardMonitor.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QWidget>

QuickPanelKeyboardMonitor::QuickPanelKeyboardMonitor(
    QWidget& view, Scope scope, Enabled isEnabled, KeyDown onKeyDown, QObject* parent)
    : QObject(parent)
    , m_view(view)
    , m_scope(scope)
    , m_isEnabled(std::move(isEnabled))
    , m_onKeyDown(std::move(onKeyDown))
{
    QCoreApplication::instance()->installEventFilter(this);
}

bool QuickPanelKeyboardMonitor::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && offered(watched) && m_isEnabled() &&
        m_onKeyDown(*static_cast<QKeyEvent*>(event))) {
        event->accept();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

bool QuickPanelKeyboardMonitor::offered(QObject* receiver) const
{
    if (!receiver->isWidgetType()) {
        return false;
    }
    // A key nobody takes travels up the receiver's parents and passes the application's
    // filters again at each: only its first stop, the window's focus widget or else the
    // window itself, counts.
    auto* widget = static_cast<QWidget*>(receiver);
    QWidget* window = widget->window();
    QWidget* first = window->focusWidget() ? window->focusWidget() : window;
    if (widget != first) {
        return false;
    }
    return m_scope == Scope::AnyWindow || (m_view.isVisible() && window == m_view.window());
}
