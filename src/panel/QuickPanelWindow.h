#pragma once

// The quick panel's container: a frameless Qt::Tool window that the workspace keeps off the
// taskbar and the pager (Workspace::prepareAuxiliaryWindow). It is not a Qt::Popup and grabs
// nothing: while a popup is open, Norvale's other windows (the panel's floating side panels)
// would get no hover or clicks.
//
// It is activated when shown through Workspace::activateOwnWindow (a pager-style request
// that focus-stealing prevention honours) and closes when focus passes to a window that is
// not Norvale's, when the application asks (dismiss), or on a second toggle (the caller's
// isOpen() check), or on Escape. The content widget is separate and replaceable.

#include "QuickPanelPlacement.h"

#include <QPointer>
#include <QWidget>

class Displays;
class QScrollArea;
class QWindow;
class Workspace;

class QuickPanelWindow final : public QWidget
{
    Q_OBJECT

public:
    QuickPanelWindow(Workspace& workspace, Displays& displays, QWidget* parent = nullptr);
    ~QuickPanelWindow() override;

    // Takes ownership of content, replacing (and deleting) the previous one.
    void setContent(QWidget* content);
    QWidget* content() const;

    // The wanted size; the height is capped at the work area's when the panel opens.
    void setPanelSize(const QSize& size);
    QSize panelSize() const { return m_panelSize; }

    // Shows the panel placed at anchor (tray icon geometry, or anchorAtPointer()) and
    // activates it. Reopening while open only moves it.
    void open(const QRect& anchor);
    // Lays the hidden panel out at its size and paints it once, off screen, so that the first
    // opening finds its styles, fonts, glyphs and on-screen thumbnails ready.
    void prepareFirstFrame();
    // Hides the panel; emits closed() when it was open.
    void dismiss();
    bool isOpen() const { return m_open; }
    // The last placement (for tests and the e2e screenshots).
    QuickPanelPlacement::Result placement() const { return m_placement; }

Q_SIGNALS:
    void closed();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void focusWindowChanged(QWindow* window);
    void applicationStateChanged(Qt::ApplicationState state);
    bool focusLeftNorvale() const;
    void activate();
    void relayout();

    Workspace& m_workspace;
    Displays& m_displays;
    QScrollArea* m_scroll = nullptr;
    QSize m_panelSize {780, 600};
    QRect m_anchor;
    QuickPanelPlacement::Result m_placement;
    bool m_open = false;
};
