#pragma once

// The side panel's selection: the chosen folder and phrase, the focused column and whether the
// title column is shown, with the moves its keys make. A fresh one is made every time the side
// panel opens, so every opening starts on the folder column with nothing chosen.
//
// It reads the visible folders anew on every step: a folder or phrase that disappeared in the
// meantime counts as not selected. It performs nothing outside itself: a key that means
// "copy this phrase", "hide" or "back to the search field" is returned to the caller, which
// may destroy this object in response.

#include "QuickPanelKeyTables.h"
#include "phrases/FixedPhrase.h"

#include <QObject>
#include <QUuid>

#include <cstdint>
#include <optional>

class FixedPhraseModel;

class FixedPhrasePanelSelection final : public QObject
{
    Q_OBJECT

public:
    enum class Request
    {
        None,
        CopyPhrase,
        Hide,
        ReturnToSearch
    };
    struct KeyOutcome
    {
        bool consumed = false;
        Request request = Request::None;
        FixedPhrase phrase; // for CopyPhrase
    };

    FixedPhrasePanelSelection(
        const FixedPhraseModel& model, bool keyboardMode, QObject* parent = nullptr);

    bool keyboardMode() const { return m_keyboardMode; }
    std::optional<QUuid> selectedFolderID() const { return m_selectedFolderID; }
    std::optional<QUuid> selectedPhraseID() const { return m_selectedPhraseID; }
    FixedPhrasePanelColumn focusedColumn() const { return m_focusedColumn; }
    bool titleColumnVisible() const { return m_titleColumnVisible; }

    FixedPhraseFolderList folders() const;
    QList<FixedPhrase> phrasesOfSelectedFolder() const;

    KeyOutcome handleKeyDown(std::uint16_t keyCode, QStringView characters);
    void moveSelection(int delta);
    // The phrase to copy when the title column is focused on one.
    std::optional<FixedPhrase> confirmSelection();
    void ensureSelectedPhrase();
    bool selectFolderForShortcut(QStringView characters);
    // Selects the labelled phrase of the chosen folder and returns it for copying.
    std::optional<FixedPhrase> selectPhraseForShortcut(QStringView characters);
    void selectFolder(const QUuid& folderID, bool showsTitleColumn);
    void selectPhrase(const QUuid& phraseID);

Q_SIGNALS:
    void selectionChanged();
    // The panel's width follows the title column.
    void titleColumnVisibilityChanged(bool visible);

private:
    void setSelection(std::optional<QUuid> folderID, std::optional<QUuid> phraseID);
    void setTitleColumnVisible(bool visible);
    void setFocusedColumn(FixedPhrasePanelColumn column);
    void openTitleColumn();

    const FixedPhraseModel& m_model;
    const bool m_keyboardMode;
    std::optional<QUuid> m_selectedFolderID;
    std::optional<QUuid> m_selectedPhraseID;
    FixedPhrasePanelColumn m_focusedColumn = FixedPhrasePanelColumn::Folder;
    bool m_titleColumnVisible = false;
};
