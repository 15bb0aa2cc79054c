#pragma once

// The fixed phrase side panel's content: the folder column ("分類", 160 wide) and, while the
// selection shows it, the title column ("タイトル", 270 wide) with the chosen folder's phrases.
// Each row carries its shortcut label ("1"..."9", "a"..."z", blank beyond the 35th).
//
// It draws the selection it is given and changes it only on clicks: a click on a folder
// chooses it and opens the title column; a click on a phrase chooses it and reports it for
// copying. Keys reach the selection elsewhere (the quick panel forwards them in keyboard
// mode). A new content is made every time the panel is shown; the selection may go away
// before it does (the quick panel drops its keyboard selection when the panel hides), after
// which the content shows nothing chosen and reports no clicks.
//
// The pointer entering and leaving is reported in every mode; the controller decides what it
// means.

#include "FixedPhrasePanelSelection.h"

#include <QPointer>
#include <QWidget>

class FixedPhraseHoverPanelColumn;
class FixedPhraseModel;

class FixedPhraseHoverPanel final : public QWidget
{
    Q_OBJECT

public:
    FixedPhraseHoverPanel(const FixedPhraseModel& model, FixedPhrasePanelSelection& selection,
        double uiScale, QWidget* parent = nullptr);

    FixedPhraseHoverPanelColumn* folderColumn() const { return m_folders; }
    FixedPhraseHoverPanelColumn* titleColumn() const { return m_titles; }

Q_SIGNALS:
    void phraseClicked(const FixedPhrase& phrase);
    void hoverChanged(bool hovered);

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void reloadFolders();
    void reloadTitles();
    void showSelection();
    void folderClicked(const QUuid& id);
    void phraseRowClicked(const QUuid& id);

    QPointer<FixedPhrasePanelSelection> m_selection;
    FixedPhraseHoverPanelColumn* m_folders = nullptr;
    FixedPhraseHoverPanelColumn* m_titles = nullptr;
    std::optional<QUuid> m_listedFolderID;
};
