#include "SettingsWindow.h"

#include "platform/Displays.h"
#include "platform/Workspace.h"
#include "support/UIScale.h"

#include <QKeyEvent>
#include <QVBoxLayout>
#include <QWindow>

namespace {

// How long to wait for the window manager's frame after show, in 0.05 s polls.
constexpr double extentPollInterval = 0.05;
constexpr int extentPollLimit = 40;

} // namespace

SettingsWindow::SettingsWindow(
    Displays& displays, Workspace& workspace, Scheduler& scheduler, QWidget* parent)
    : QWidget(parent,
          Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
              Qt::WindowMinimizeButtonHint)
    , m_displays(displays)
    , m_workspace(workspace)
    , m_scheduler(scheduler)
{
    setWindowTitle(QStringLiteral("設定"));
    setAttribute(Qt::WA_QuitOnClose, false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins({});
    setFixedSize(SettingsWindowGeometry::wantedContentSize(m_scale));
}

SettingsWindow::~SettingsWindow() = default;

void SettingsWindow::open(double scale)
{
    m_scale = UIScale::clamp(scale);
    // Centring is allowed on every opening, and happens when the window is not on screen.
    m_centredOnOpen = !isVisible();
    applySize(m_centredOnOpen);
    show();
    raise();
    activateWindow();
    m_workspace.activateOwnWindow(winId());
    watchFrameExtents();
}

void SettingsWindow::setContent(QWidget* content)
{
    delete m_content;
    m_content = content;
    layout()->addWidget(content);
}

void SettingsWindow::setUIScale(double scale)
{
    m_scale = UIScale::clamp(scale);
    applySize(false);
}

bool SettingsWindow::isCloseWindowChord(const QKeyEvent& event)
{
    return (event.type() == QEvent::KeyPress || event.type() == QEvent::ShortcutOverride) &&
        event.key() == Qt::Key_Q && event.modifiers() == Qt::ControlModifier;
}

bool SettingsWindow::event(QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (isCloseWindowChord(*key)) {
            // Accepting the override keeps any application-wide Ctrl+Q shortcut from firing;
            // the key press that follows closes the window.
            key->accept();
            if (event->type() == QEvent::KeyPress) {
                close();
            }
            return true;
        }
    }
    return QWidget::event(event);
}

std::optional<QRect> SettingsWindow::visibleFrame() const
{
    // The window's screen while it is on one, else the primary display's.
    return visibleFrameFor(isVisible() ? frameGeometry() : QRect(), m_displays.displays(),
        DisplayMatch::LargestOverlap);
}

void SettingsWindow::applySize(bool centre)
{
    QMargins margins;
    if (QWindow* window = windowHandle(); window != nullptr && isVisible()) {
        margins = window->frameMargins();
    }
    const QRect content = geometry();
    const QRect frame(
        content.topLeft() - QPoint(margins.left(), margins.top()), content.size().grownBy(margins));
    const auto result =
        SettingsWindowGeometry::layout(m_scale, visibleFrame(), frame, margins, centre);
    setFixedSize(result.contentSize);
    if (result.framePosition) {
        move(*result.framePosition);
    }
}

void SettingsWindow::watchFrameExtents()
{
    // _NET_FRAME_EXTENTS arrives after the window manager framed the window; until then the
    // title bar counted as 0 in the height cap and in the centring. The opening's layout runs
    // again with the real frame: a window that was centred is centred again.
    m_extentPolls = 0;
    m_extentTimer = m_scheduler.repeating(extentPollInterval, [this] {
        ++m_extentPolls;
        QWindow* window = windowHandle();
        if (window == nullptr || !isVisible() || m_extentPolls > extentPollLimit) {
            m_extentTimer.cancel();
            return;
        }
        if (!window->frameMargins().isNull()) {
            m_extentTimer.cancel();
            applySize(m_centredOnOpen);
        }
    });
}
