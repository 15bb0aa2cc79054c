#pragma once

// The pieces every settings tab is built from, so the tabs look alike: section headings,
// explanatory captions, check boxes and the page's column. Sizes are left to the view's font
// (13 points × the scale), so that they follow the scale; headings are only heavier and
// captions only quieter.

#include <QList>
#include <QString>

#include <optional>

class QBoxLayout;
class QCheckBox;
class QLabel;
class QPushButton;
class QVBoxLayout;
class QWidget;

namespace SettingsForm {

QLabel* heading(const QString& text, QWidget* parent);
// Wraps, and doubles as the tooltip of the control it explains.
QLabel* caption(const QString& text, QWidget* parent);
QCheckBox* checkBox(const QString& text, QWidget* parent);
// The page's top-to-bottom column; the caller adds a stretch at the end.
QVBoxLayout* column(QWidget* page);

// A caption set in from the left edge by indent points, under the control it explains.
QLabel* indentedCaption(const QString& text, int indent, QWidget* parent);
// A caption that shows a model's status line and is hidden while there is none.
QLabel* statusLine(QWidget* parent);
void showStatus(QLabel* line, const std::optional<QString>& message);
// A push button that Return does not press by accident; destructive ones are drawn in red.
QPushButton* button(const QString& text, const QString& objectName, QWidget* parent);
QPushButton* destructiveButton(const QString& text, const QString& objectName, QWidget* parent);
// A titled group box in the column; returns the group's own column.
QVBoxLayout* group(const QString& title, QBoxLayout* into, QWidget* parent);
// Buttons side by side, left-aligned.
void addButtonRow(QBoxLayout* into, const QList<QPushButton*>& buttons);
// Keeps the titles of rows that stand one under another equally wide, at any font size, so
// that the controls after them start at the same x.
void alignTitles(const QList<QLabel*>& titles);

} // namespace SettingsForm
