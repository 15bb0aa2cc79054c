#pragma once

// The fixed phrase side panel's window and its rules: its size and place beside the launcher
// row, the keyboard and mouse modes, and the delayed hide.
//
// The window is a frameless tool window that never takes focus (the quick panel keeps the
// keyboard), made on first use and kept for the whole run. It is a transient child of the
// quick panel's window, so the window manager keeps it above the panel; it also follows the
// panel when that moves and hides when the panel hides.
//
// In mouse mode the panel keeps a selection of its own and hides 0.22 s after the pointer
// left both the launcher row and the panel (the delay lets the pointer travel from one to the
// other; entering the panel cancels it). In keyboard mode it shows the quick panel's keyboard
// selection and ignores the pointer. Its width follows the title column: when the column
// appears or goes, the panel is resized and placed again.
//
// Anchors are in Qt's global coordinates; the placement rules run in the y-up space.

#include "FixedPhraseHoverPanel.h"
#include "platform/Scheduler.h"

#include <QObject>
#include <QPointer>
#include <QRect>

class Displays;
class FixedPhraseModel;
class FixedPhrasePanelSelection;
class QWidget;
struct FixedPhrase;

class FixedPhraseHoverPanelController final : public QObject
{
    Q_OBJECT

public:
    FixedPhraseHoverPanelController(const FixedPhraseModel& model, Scheduler& scheduler,
        Displays& displays, QObject* parent = nullptr);
    ~FixedPhraseHoverPanelController() override;

    // Shows a fresh content anchored at anchor (the launcher row; the pointer when empty) as
    // a child of parentWindow. keyboardSelection, when given, is the keyboard mode's selection
    // (it belongs to the caller); without it the panel is in mouse mode.
    void show(double uiScale, const QRect& anchor, QWidget* parentWindow,
        FixedPhrasePanelSelection* keyboardSelection = nullptr);
    void hide();
    void scheduleHide();

    bool isShown() const;
    // The window, made on first use.
    QWidget* window();
    FixedPhraseHoverPanel* content() const { return m_content; }

Q_SIGNALS:
    void phraseCopied(const FixedPhrase& phrase);
    // The keyboard mode's content went: hidden, or replaced by the pointer's. Its keys have
    // no panel to act on any more.
    void keyboardSelectionDropped(FixedPhrasePanelSelection* selection);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void hoverChanged(bool hovered);
    void placeWindow();
    void dropContent();
    void attach(QWidget* parentWindow);

    const FixedPhraseModel& m_model;
    Scheduler& m_scheduler;
    Displays& m_displays;
    // Owned by its Qt parent once attached, else by this.
    QPointer<QWidget> m_window;
    QPointer<QWidget> m_parentWindow;
    QPointer<FixedPhraseHoverPanel> m_content;
    QPointer<FixedPhrasePanelSelection> m_selection;
    TimerHandle m_hideWorkItem;
    QRect m_anchor;
    double m_uiScale = 1.0;
    bool m_keyboardMode = false;
};
