#include "QuickPanelStyle.h"

#include <QPainter>
#include <QRect>

#include <cmath>

namespace QuickPanelStyle {

QFont font(const QFont& base, double pixelSize, QFont::Weight weight)
{
    QFont result(base);
    result.setPixelSize(std::max(1, int(std::lround(pixelSize))));
    result.setWeight(weight);
    return result;
}

namespace {

QColor withAlpha(QColor colour, int alpha)
{
    colour.setAlpha(alpha);
    return colour;
}

} // namespace

QColor secondary(const QPalette& palette)
{
    return withAlpha(palette.color(QPalette::WindowText), 150);
}

QColor divider(const QPalette& palette)
{
    return withAlpha(palette.color(QPalette::WindowText), 40);
}

QColor selectedBackground(const QPalette& palette)
{
    return withAlpha(palette.color(QPalette::Highlight), 70);
}

QColor hoverBackground(const QPalette& palette)
{
    return withAlpha(palette.color(QPalette::WindowText), 18);
}

void paintRowFrame(
    QPainter* painter, const QRect& row, const QPalette& palette, bool selected, bool hovered)
{
    const QRect background = row.adjusted(2, 1, -2, -2);
    if (selected) {
        painter->setPen(Qt::NoPen);
        painter->setBrush(selectedBackground(palette));
        painter->drawRoundedRect(background, 5, 5);
    } else if (hovered) {
        painter->fillRect(background, hoverBackground(palette));
    }
    // The divider as a one-pixel rectangle: the same pixels as the line from corner to corner,
    // but a translucent line takes the raster engine's stroker, which hands its pixels to the
    // thread pool (20 µs a row, sixty times the rectangle).
    painter->fillRect(QRect(row.left(), row.bottom(), row.width(), 1), divider(palette));
}

} // namespace QuickPanelStyle
