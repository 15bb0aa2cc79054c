#pragma once

// One section of the quick panel: a header line with the title and the number of entries,
// then the entries' view, or a caption in its place while there are none. The section
// follows its view's model for the count; the caption's text is the panel's to say.

#include <QWidget>

class QAbstractItemView;
class QLabel;
class QStackedLayout;

class QuickPanelSection final : public QWidget
{
    Q_OBJECT

public:
    QuickPanelSection(const QString& title, QAbstractItemView* view, QWidget* parent = nullptr);

    QAbstractItemView* view() const { return m_view; }
    // Shown when the view's model has no rows.
    void setEmptyCaption(const QString& caption);
    void setUiScale(double scale, double countPixelSize);
    // The count and which of the view and the caption is shown, from the model.
    void refresh();

private:
    QAbstractItemView* m_view;
    QLabel* m_title;
    QLabel* m_count;
    QLabel* m_caption;
    QStackedLayout* m_content;
};
