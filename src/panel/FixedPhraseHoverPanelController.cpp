#include "FixedPhraseHoverPanelController.h"

#include "FixedPhraseHoverPanel.h"
#include "FixedPhrasePanelSelection.h"
#include "FloatingPanelGeometry.h"
#include "phrases/FixedPhraseModel.h"
#include "platform/Displays.h"
#include "platform/ScreenSpace.h"

#include <QMoveEvent>
#include <QVBoxLayout>
#include <QWidget>

namespace {

constexpr double hideDelay = 0.22;

} // namespace

FixedPhraseHoverPanelController::FixedPhraseHoverPanelController(
    const FixedPhraseModel& model, Scheduler& scheduler, Displays& displays, QObject* parent)
    : QObject(parent)
    , m_model(model)
    , m_scheduler(scheduler)
    , m_displays(displays)
{ }

FixedPhraseHoverPanelController::~FixedPhraseHoverPanelController()
{
    if (m_parentWindow) {
        m_parentWindow->removeEventFilter(this);
    }
    delete m_window;
}

QWidget* FixedPhraseHoverPanelController::window()
{
    if (!m_window) {
        m_window =
            new QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus);
        m_window->setAttribute(Qt::WA_ShowWithoutActivating);
        m_window->setAttribute(Qt::WA_QuitOnClose, false);
        m_window->setWindowTitle(QStringLiteral("定型文"));
        auto* layout = new QVBoxLayout(m_window);
        layout->setContentsMargins(0, 0, 0, 0);
    }
    return m_window;
}

bool FixedPhraseHoverPanelController::isShown() const
{
    return m_window && m_window->isVisible();
}

void FixedPhraseHoverPanelController::show(double uiScale, const QRect& anchor,
    QWidget* parentWindow, FixedPhrasePanelSelection* keyboardSelection)
{
    m_hideWorkItem.cancel();
    dropContent();
    m_uiScale = uiScale;
    m_anchor = anchor;
    m_keyboardMode = keyboardSelection != nullptr;

    FixedPhrasePanelSelection* selection =
        keyboardSelection ? keyboardSelection : new FixedPhrasePanelSelection(m_model, false);
    m_selection = selection;
    m_content = new FixedPhraseHoverPanel(m_model, *selection, uiScale, window());
    if (!keyboardSelection) {
        selection->setParent(m_content);
    }
    window()->layout()->addWidget(m_content);
    connect(m_content, &FixedPhraseHoverPanel::hoverChanged, this,
        &FixedPhraseHoverPanelController::hoverChanged);
    connect(m_content, &FixedPhraseHoverPanel::phraseClicked, this,
        &FixedPhraseHoverPanelController::phraseCopied);
    connect(selection, &FixedPhrasePanelSelection::titleColumnVisibilityChanged, m_content,
        [this] { placeWindow(); });

    attach(parentWindow);
    placeWindow();
    m_window->show();
    m_window->raise();
}

void FixedPhraseHoverPanelController::hide()
{
    m_hideWorkItem.cancel();
    if (m_window) {
        m_window->hide();
    }
    dropContent();
}

// Hiding may come from a click inside the content: it goes once the click is over, and says
// nothing more in the meantime (a hidden widget under the pointer still reports leaving).
void FixedPhraseHoverPanelController::dropContent()
{
    if (m_content) {
        m_content->disconnect(this);
        m_content->hide();
        m_content->deleteLater();
        m_content = nullptr;
        if (m_keyboardMode && m_selection) {
            Q_EMIT keyboardSelectionDropped(m_selection);
        }
    }
}

void FixedPhraseHoverPanelController::scheduleHide()
{
    m_hideWorkItem = m_scheduler.postDelayed(hideDelay, [this] { hide(); });
}

void FixedPhraseHoverPanelController::hoverChanged(bool hovered)
{
    if (m_keyboardMode) {
        return;
    }
    if (hovered) {
        m_hideWorkItem.cancel();
    } else {
        scheduleHide();
    }
}

void FixedPhraseHoverPanelController::placeWindow()
{
    const ScreenSpace space(m_displays.displays());
    const QRectF anchor = FloatingPanelGeometry::sidePanelAnchor(
        m_anchor.isEmpty() ? QRectF() : space.toYUp(QRectF(m_anchor)),
        space.toYUp(QPointF(m_displays.pointerLocation())));
    const auto visible = FloatingPanelGeometry::visibleFrame(anchor, space.screens());
    const bool showsTitleColumn = m_selection && m_selection->titleColumnVisible();
    const QSizeF size = FloatingPanelGeometry::panelSize(
        FloatingPanelGeometry::sidePanelRowCount(m_model.visibleFolders()), m_uiScale, visible,
        showsTitleColumn);
    const QPointF origin = FloatingPanelGeometry::origin(size, anchor, visible);
    const QRect frame = space.fromYUp(QRectF(origin, size)).toRect();
    m_window->setFixedSize(frame.size());
    m_window->move(frame.topLeft());
}

void FixedPhraseHoverPanelController::attach(QWidget* parentWindow)
{
    if (m_window->parentWidget() == parentWindow) {
        return;
    }
    if (m_parentWindow) {
        m_parentWindow->removeEventFilter(this);
    }
    m_parentWindow = parentWindow;
    m_window->setParent(parentWindow, m_window->windowFlags());
    if (parentWindow) {
        parentWindow->installEventFilter(this);
    }
}

bool FixedPhraseHoverPanelController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_parentWindow && isShown()) {
        if (event->type() == QEvent::Move) {
            const auto* move = static_cast<QMoveEvent*>(event);
            m_window->move(m_window->pos() + move->pos() - move->oldPos());
        } else if (event->type() == QEvent::Hide) {
            hide();
        }
    }
    return QObject::eventFilter(watched, event);
}
