#pragma once

// The base of the quick panel's delegates: the scale they paint at (sizes change with it, so
// the views lay their rows out again) and the view model their clicks go to.

#include <QStyledItemDelegate>

class ClipboardHistoryMenuViewModel;

class QuickPanelDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    void setUiScale(double scale);
    double uiScale() const { return m_scale; }

protected:
    explicit QuickPanelDelegate(ClipboardHistoryMenuViewModel& menu, QObject* parent = nullptr);

    ClipboardHistoryMenuViewModel& menu() const { return m_menu; }

private:
    ClipboardHistoryMenuViewModel& m_menu;
    double m_scale = 1.0;
};
