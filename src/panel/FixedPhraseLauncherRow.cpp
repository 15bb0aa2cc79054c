#include "FixedPhraseLauncherRow.h"

#include "QuickPanelStyle.h"
#include "QuickPanelSymbols.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

#include <cmath>

namespace {

void showSymbol(QLabel* label, const QString& symbol, double size)
{
    const int pixels = int(std::lround(size));
    label->setPixmap(QuickPanelSymbols::icon(symbol).pixmap(QSize(pixels, pixels)));
}

} // namespace

FixedPhraseLauncherRow::FixedPhraseLauncherRow(QWidget* parent)
    : QWidget(parent)
    , m_symbol(new QLabel)
    , m_title(new QLabel(QStringLiteral("定型文")))
    , m_detail(new QLabel)
    , m_chevron(new QLabel)
{
    setAttribute(Qt::WA_Hover);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 6, 8, 6);
    layout->setSpacing(10);
    layout->addWidget(m_symbol);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(0);
    texts->addWidget(m_title);
    texts->addWidget(m_detail);
    layout->addLayout(texts);
    layout->addStretch();
    layout->addWidget(m_chevron);
    QPalette palette = m_detail->palette();
    palette.setColor(QPalette::WindowText, QuickPanelStyle::secondary(palette));
    m_detail->setPalette(palette);
    setUiScale(1.0);
}

void FixedPhraseLauncherRow::setDetail(const QString& detail)
{
    m_detail->setText(detail);
}

void FixedPhraseLauncherRow::setUiScale(double scale)
{
    m_title->setFont(QuickPanelStyle::font(font(), 13 * scale, QFont::Medium));
    m_detail->setFont(QuickPanelStyle::font(font(), 12 * scale));
    showSymbol(m_symbol, QStringLiteral("text.quote"), 18 * scale);
    showSymbol(m_chevron, QStringLiteral("chevron.right"), 11 * scale);
}

QRect FixedPhraseLauncherRow::globalFrame() const
{
    return QRect(mapToGlobal(QPoint(0, 0)), size());
}

void FixedPhraseLauncherRow::enterEvent(QEnterEvent* event)
{
    QWidget::enterEvent(event);
    m_hovered = true;
    update();
    Q_EMIT hoverChanged(true, globalFrame());
}

void FixedPhraseLauncherRow::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    m_hovered = false;
    update();
    Q_EMIT hoverChanged(false, globalFrame());
}

void FixedPhraseLauncherRow::paintEvent(QPaintEvent*)
{
    if (m_hovered) {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QuickPanelStyle::hoverBackground(palette()));
        painter.drawRoundedRect(rect(), 6, 6);
    }
}

void FixedPhraseLauncherRow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    watchAncestors();
    Q_EMIT globalFrameChanged(globalFrame());
}

void FixedPhraseLauncherRow::watchAncestors()
{
    for (QWidget* ancestor : std::as_const(m_ancestors)) {
        if (ancestor) {
            ancestor->removeEventFilter(this);
        }
    }
    m_ancestors.clear();
    for (QWidget* ancestor = parentWidget(); ancestor; ancestor = ancestor->parentWidget()) {
        ancestor->installEventFilter(this);
        m_ancestors.append(ancestor);
    }
}

bool FixedPhraseLauncherRow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Move && isVisible()) {
        Q_EMIT globalFrameChanged(globalFrame());
    }
    return QWidget::eventFilter(watched, event);
}

void FixedPhraseLauncherRow::moveEvent(QMoveEvent* event)
{
    QWidget::moveEvent(event);
    Q_EMIT globalFrameChanged(globalFrame());
}

void FixedPhraseLauncherRow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Q_EMIT globalFrameChanged(globalFrame());
}
