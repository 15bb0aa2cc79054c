#pragma once

// The quick panel's search bar: the magnifying glass, the search field and, while there is
// text, the clear button ("検索条件をクリア"). The field's text is the view model's
// searchText, in both directions.
//
// The field's keys are routed by the panel (ClipboardHistoryMenu). While an input method is
// composing in the field (pre-edit text present), every key belongs to the input method; a
// reset of the panel or a text set from the view model drops the composition, so the keys
// never wait for a pre-edit that is gone.

#include <QWidget>

class ClipboardHistoryMenuViewModel;
class QLabel;
class QLineEdit;
class QToolButton;

class QuickPanelSearchBar final : public QWidget
{
    Q_OBJECT

public:
    explicit QuickPanelSearchBar(ClipboardHistoryMenuViewModel& menu, QWidget* parent = nullptr);

    QLineEdit* field() const { return m_field; }
    void setUiScale(double scale);
    bool isComposing() const { return m_composing; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void dropComposition();

    ClipboardHistoryMenuViewModel& m_menu;
    QLabel* m_symbol;
    QLineEdit* m_field;
    QToolButton* m_clear;
    bool m_composing = false;
};
