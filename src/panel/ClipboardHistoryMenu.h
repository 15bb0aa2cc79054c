#pragma once

// The quick panel's view: a header, the search bar, and for the search's scope the fixed
// phrase launcher and the history sections (text, URL, images) or the phrase search section.
// It is built once and kept for the whole run; every opening resets the view model, which
// this view follows: the lists follow their models, a scale or row-count change relays the
// sections out, and the search field takes the focus on every opening.
//
// Everything it shows and decides is the view model's (ClipboardHistoryMenuViewModel); the
// widgets only draw and forward. Nothing in it takes the focus but the search field, so a
// click anywhere leaves the keys with the field. Keys are routed for the whole window by two
// monitors: the search keys always, the side panel's key table while the side panel is open
// from the keyboard (no text field has the focus then). Keys nobody consumes go on to the
// focused widget and the window (Escape closes the quick panel).
//
// The header's "ウィンドウ位置適用" button stays disabled until window placement exists.
// A selection moved by the keyboard scrolls its section to centre it, gliding briefly.

#include "clipboard/ClipboardHistoryItem.h"

#include <QMap>
#include <QWidget>

class ClipboardHistoryListModel;
class ClipboardHistoryMenuViewModel;
class ClipboardHistoryRow;
class ClipboardImageHistoryGrid;
class ClipboardImageHistoryGridItem;
class FixedPhraseLauncherRow;
class FixedPhraseSearchListModel;
class FixedPhraseSearchRow;
class QLabel;
class QLineEdit;
class QPushButton;
class QuickPanelSearchBar;
class QuickPanelSection;

class ClipboardHistoryMenu final : public QWidget
{
    Q_OBJECT

public:
    explicit ClipboardHistoryMenu(ClipboardHistoryMenuViewModel& menu, QWidget* parent = nullptr);
    ~ClipboardHistoryMenu() override;

    QLineEdit* searchField() const;
    QuickPanelSection* historySection(ClipboardHistoryKind kind) const;
    QuickPanelSection* fixedPhraseSection() const { return m_fixedPhraseSection; }
    FixedPhraseLauncherRow* launcher() const { return m_launcher; }
    // The apply button works while window placement is on.
    void setWindowPlacementEnabled(bool enabled);

Q_SIGNALS:
    void launcherHoverChanged(bool hovered, const QRect& launcherGlobalFrame);
    void launcherGlobalFrameChanged(const QRect& launcherGlobalFrame);
    void thumbnailHoverChanged(const ClipboardHistoryItem& item, bool hovered);
    // The header's "ウィンドウ位置適用" button was clicked.
    void applyWindowPlacementRequested();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* buildHeader();
    QuickPanelSection* buildHistorySection(ClipboardHistoryKind kind);
    QuickPanelSection* buildFixedPhraseSection();
    void applyScope();
    void applyLayout();
    void refreshTexts();
    void scrollToSelectedHistoryItem();
    void scrollToSelectedFixedPhrase();
    void followSearchFieldFocus();
    void installKeyboardMonitors();
    bool searchKeyDown(QKeyEvent& event);
    bool fixedPhrasePanelKeyDown(QKeyEvent& event);

    ClipboardHistoryMenuViewModel& m_menu;
    QLabel* m_appSymbol = nullptr;
    QLabel* m_appName = nullptr;
    QLabel* m_appState = nullptr;
    QPushButton* m_applyPlacement = nullptr;
    QuickPanelSearchBar* m_searchBar = nullptr;
    FixedPhraseLauncherRow* m_launcher = nullptr;
    QMap<ClipboardHistoryKind, ClipboardHistoryListModel*> m_historyModels;
    QMap<ClipboardHistoryKind, QuickPanelSection*> m_historySections;
    QList<QWidget*> m_sectionDividers;
    ClipboardHistoryRow* m_rowDelegate = nullptr;
    ClipboardImageHistoryGridItem* m_gridItemDelegate = nullptr;
    ClipboardImageHistoryGrid* m_grid = nullptr;
    FixedPhraseSearchListModel* m_fixedPhraseModel = nullptr;
    FixedPhraseSearchRow* m_fixedPhraseRowDelegate = nullptr;
    QuickPanelSection* m_fixedPhraseSection = nullptr;
};
