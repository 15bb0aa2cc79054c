#pragma once

// The quick panel's search bar: the magnifying glass, the search field and, while there is
// text, the clear button ("検索条件をクリア"). The field's text is the view model's
// searchText, in both directions.
//
// Keys pressed in the field go to the view model first, by canonical key code; those it does
// not consume reach the field (typing, the cursor) and then the panel (Escape closes it).
// While an input method is composing in the field (pre-edit text present), every key belongs
// to the input method and the view model sees none.

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

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool keyPressed(QKeyEvent* event);

    ClipboardHistoryMenuViewModel& m_menu;
    QLabel* m_symbol;
    QLineEdit* m_field;
    QToolButton* m_clear;
    bool m_composing = false;
};
