#pragma once

// Fonts and colours the quick panel's widgets and delegates share. Sizes are in pixels,
// already multiplied by the panel's scale: a "13 × scale" font is font(base, 13 * scale).

#include <QColor>
#include <QFont>
#include <QPalette>

class QPainter;
class QRect;

namespace QuickPanelStyle {

QFont font(const QFont& base, double pixelSize, QFont::Weight weight = QFont::Normal);
// The secondary text colour (captions, dates, counts).
QColor secondary(const QPalette& palette);
// Dividers between rows and faint borders.
QColor divider(const QPalette& palette);
// The keyboard selection's background, and the pointer's.
QColor selectedBackground(const QPalette& palette);
QColor hoverBackground(const QPalette& palette);
// A list row's background (selection or pointer) and the divider along its bottom.
void paintRowFrame(
    QPainter* painter, const QRect& row, const QPalette& palette, bool selected, bool hovered);

} // namespace QuickPanelStyle
