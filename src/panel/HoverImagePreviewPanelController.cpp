#include "HoverImagePreviewPanelController.h"

#include "FloatingPanelGeometry.h"
#include "platform/Displays.h"
#include "platform/ScreenSpace.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QScrollArea>

namespace {

constexpr int borderWidth = 2;
constexpr double cornerRadius = 10;
// The system red of the desktop the panel's look comes from.
const QColor borderColor(255, 59, 48);

// The window is cut to its rounded shape, so the image's corners stay inside the border and
// the corners are see-through without a compositor too.
class PreviewFrame final : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QWidget::resizeEvent(event);
        QPainterPath shape;
        shape.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
        setMask(QRegion(shape.toFillPolygon().toPolygon()));
    }
};

class PreviewBorder final : public QWidget
{
public:
    explicit PreviewBorder(QWidget* parent)
        : QWidget(parent)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const double inset = borderWidth / 2.0;
        painter.setPen(QPen(borderColor, borderWidth));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(
            QRectF(rect()).adjusted(inset, inset, -inset, -inset), cornerRadius, cornerRadius);
    }
};

} // namespace

HoverImagePreviewPanelController::HoverImagePreviewPanelController(
    Displays& displays, QObject* parent)
    : QObject(parent)
    , m_displays(displays)
{ }

HoverImagePreviewPanelController::~HoverImagePreviewPanelController()
{
    delete m_window;
}

QWidget* HoverImagePreviewPanelController::window()
{
    if (m_window) {
        return m_window;
    }
    m_window = new PreviewFrame(nullptr);
    m_window->setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus |
        Qt::WindowTransparentForInput);
    m_window->setAttribute(Qt::WA_ShowWithoutActivating);
    m_window->setAttribute(Qt::WA_QuitOnClose, false);
    m_window->setAutoFillBackground(true);
    m_window->resize(320, 240);

    auto* layout = new QGridLayout(m_window);
    layout->setContentsMargins(0, 0, 0, 0);
    m_scrollArea = new QScrollArea(m_window);
    m_scrollArea->setFrameShape(QFrame::NoFrame);
    m_scrollArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_scrollArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_imageView = new QLabel;
    m_scrollArea->setWidget(m_imageView);
    layout->addWidget(m_scrollArea, 0, 0);
    // Over the scroll area, so an image that fits keeps its full size under the border.
    auto* border = new PreviewBorder(m_window);
    layout->addWidget(border, 0, 0);
    border->raise();
    return m_window;
}

bool HoverImagePreviewPanelController::isShown() const
{
    return m_window && m_window->isVisible();
}

void HoverImagePreviewPanelController::show(const QImage& image, QWidget* parentWindow)
{
    const ScreenSpace space(m_displays.displays());
    const QPoint pointer = m_displays.pointerLocation();
    const auto under = windowUnderPointer(pointer);
    // A null image (one that could not be decoded) has no area either.
    const auto frame = FloatingPanelGeometry::imagePreviewFrame(QSizeF(image.size()),
        space.toYUp(QPointF(pointer)), under ? std::optional(space.toYUp(*under)) : std::nullopt,
        space.screens());
    if (!frame) {
        hide();
        return;
    }
    QWidget* panel = window();
    if (panel->parentWidget() != parentWindow) {
        panel->setParent(parentWindow, panel->windowFlags());
    }
    QPixmap pixmap = QPixmap::fromImage(image);
    pixmap.setDevicePixelRatio(1.0);
    m_imageView->setPixmap(pixmap);
    m_imageView->resize(pixmap.size());
    const QRect geometry = space.fromYUp(*frame).toRect();
    panel->setFixedSize(geometry.size());
    panel->move(geometry.topLeft());
    panel->show();
    panel->raise();
}

void HoverImagePreviewPanelController::hide()
{
    if (m_window) {
        m_window->hide();
        // A hidden preview holds no pixels: show() converts the image anew each time anyway.
        m_imageView->clear();
    }
}

std::optional<QRectF> HoverImagePreviewPanelController::windowUnderPointer(
    const QPoint& pointer) const
{
    QWidget* under = QApplication::topLevelAt(pointer);
    if (under == nullptr || under == m_window) {
        return std::nullopt;
    }
    return QRectF(under->frameGeometry());
}
