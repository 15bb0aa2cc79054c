#pragma once

// The shipped 18 × 18 "N" tile the tray shows (drawn for 18 × 18, also rendered at the sizes
// trays ask for), or the theme's fallback when the resource is missing.

#include <QIcon>

QIcon statusItemIcon();
