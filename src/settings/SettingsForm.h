#pragma once

// The pieces every settings tab is built from, so the tabs look alike: section headings,
// explanatory captions, check boxes and the page's column. Sizes are left to the view's font
// (13 points × the scale), so that they follow the scale; headings are only heavier and
// captions only quieter.

#include <QString>

class QCheckBox;
class QLabel;
class QVBoxLayout;
class QWidget;

namespace SettingsForm {

QLabel* heading(const QString& text, QWidget* parent);
// Wraps, and doubles as the tooltip of the control it explains.
QLabel* caption(const QString& text, QWidget* parent);
QCheckBox* checkBox(const QString& text, QWidget* parent);
// The page's top-to-bottom column; the caller adds a stretch at the end.
QVBoxLayout* column(QWidget* page);

} // namespace SettingsForm
