#pragma once

// An application-local key-down monitor: every key press is offered to onKeyDown before the
// widget with the keyboard focus sees it, whichever widget that is (or the window itself when
// no widget has the focus). A key onKeyDown takes is consumed; any other goes on unchanged.
//
// With SameWindow, only keys pressed while view is shown and its window receives them are
// offered, so a monitor speaks for a whole window rather than for the one child that happens
// to hold the focus after a click. With AnyWindow, isEnabled alone decides.
//
// Monitors are application event filters: the one made last is asked first.

#include <QObject>

#include <functional>

class QKeyEvent;
class QWidget;

class QuickPanelKeyboardMonitor final : public QObject
{
    Q_OBJECT

public:
    enum class Scope
    {
        SameWindow,
        AnyWindow
    };
    using KeyDown = std::function<bool(QKeyEvent& event)>;
    using Enabled = std::function<bool()>;

    QuickPanelKeyboardMonitor(
        QWidget& view, Scope scope, Enabled isEnabled, KeyDown onKeyDown, QObject* parent);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool offered(QObject* receiver) const;

    QWidget& m_view;
    Scope m_scope;
    Enabled m_isEnabled;
    KeyDown m_onKeyDown;
};
