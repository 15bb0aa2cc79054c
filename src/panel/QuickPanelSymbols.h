#pragma once

// The quick panel's symbols: the desktop's icon theme where it has a freedesktop icon that
// means the same, else a drawing of our own, so a bare desktop (no theme, as under Xvfb)
// shows the panel the same way.

#include <QIcon>
#include <QString>

namespace QuickPanelSymbols {

// By the symbol's name: "magnifyingglass", "xmark.circle.fill", "xmark.circle", "photo",
// "text.quote", "chevron.right", "square.stack.3d.up".
QIcon icon(const QString& symbol);

} // namespace QuickPanelSymbols
