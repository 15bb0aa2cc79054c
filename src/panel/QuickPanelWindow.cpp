#include "QuickPanelWindow.h"

#include "platform/Displays.h"
#include "platform/Workspace.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPixmap>
#include <QScrollArea>
#include <QVBoxLayout>
#include <QWindow>

QuickPanelWindow::QuickPanelWindow(Workspace& workspace, Displays& displays, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint)
    , m_workspace(workspace)
    , m_displays(displays)
{
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(QStringLiteral("Norvale"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_scroll = new QScrollArea(this);
    m_scroll->setWidgetResizable(true);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The keys belong to the content's search field: the scroll area takes neither a click's
    // focus nor Tab's, and so never scrolls on the arrows.
    m_scroll->setFocusPolicy(Qt::NoFocus);
    layout->addWidget(m_scroll);

    connect(qGuiApp, &QGuiApplication::focusWindowChanged, this,
        [this](QWindow* window) { focusWindowChanged(window); });
    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this,
        [this](Qt::ApplicationState state) { applicationStateChanged(state); });
    connect(&m_displays, &Displays::displaysChanged, this, [this] {
        if (m_open) {
            relayout();
        }
    });
}

QuickPanelWindow::~QuickPanelWindow() = default;

void QuickPanelWindow::setContent(QWidget* content)
{
    m_scroll->setWidget(content); // deletes the previous content
}

QWidget* QuickPanelWindow::content() const
{
    return m_scroll->widget();
}

void QuickPanelWindow::setPanelSize(const QSize& size)
{
    m_panelSize = size;
    if (m_open) {
        relayout();
    }
}

void QuickPanelWindow::open(const QRect& anchor)
{
    m_anchor = anchor;
    relayout();
    if (m_open) {
        return;
    }
    m_open = true;
    if (!testAttribute(Qt::WA_WState_Created)) {
        create();
    }
    m_workspace.prepareAuxiliaryWindow(winId());
    show();
    raise();
    activate();
}

void QuickPanelWindow::prepareFirstFrame()
{
    if (m_open) {
        return;
    }
    const QRect frame =
        QuickPanelPlacement::place(QRect(), m_panelSize, m_displays.displays()).frame;
    setFixedSize(frame.size());
    QPixmap frameImage(frame.size());
    render(&frameImage);
}

void QuickPanelWindow::dismiss()
{
    if (!m_open) {
        return;
    }
    m_open = false;
    hide();
    Q_EMIT closed();
}

void QuickPanelWindow::relayout()
{
    m_placement = QuickPanelPlacement::place(m_anchor, m_panelSize, m_displays.displays());
    setFixedSize(m_placement.frame.size());
    move(m_placement.frame.topLeft());
}

void QuickPanelWindow::activate()
{
    // Hidden and shown again before Qt's deferred focus-out ran, the panel is still Qt's
    // focus window, so no focus change follows and QApplication would keep no active window
    // (and no focus widget for the keyboard).
    if (QGuiApplication::focusWindow() == windowHandle() && QApplication::activeWindow() != this) {
        QApplication::setActiveWindow(this);
    }
    activateWindow();
    // QWindow::requestActivate is an application's request, which focus-stealing prevention
    // may refuse; the pager-style request is honoured.
    m_workspace.activateOwnWindow(winId());
}

void QuickPanelWindow::focusWindowChanged(QWindow* window)
{
    // Focus in another of Norvale's windows keeps the panel; focus anywhere else (Qt reports
    // no focus window then) closes it.
    if (m_open && window == nullptr && focusLeftNorvale()) {
        dismiss();
    }
}

void QuickPanelWindow::applicationStateChanged(Qt::ApplicationState state)
{
    if (m_open && state != Qt::ApplicationActive && QGuiApplication::focusWindow() == nullptr &&
        focusLeftNorvale()) {
        dismiss();
    }
}

bool QuickPanelWindow::focusLeftNorvale() const
{
    // Qt defers a focus-out and can deliver it late: after the panel was hidden and shown
    // again quickly, the focus-out of the earlier opening arrives while the window manager
    // already gave the new one the focus. The window manager's active window is the truth.
    const auto front = m_workspace.frontmostApplication();
    return !front || !m_workspace.isOwnApplication(*front);
}

void QuickPanelWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        dismiss();
        return;
    }
    QWidget::keyPressEvent(event);
}

void QuickPanelWindow::closeEvent(QCloseEvent* event)
{
    dismiss();
    QWidget::closeEvent(event);
}
