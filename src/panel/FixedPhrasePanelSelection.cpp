#include "FixedPhrasePanelSelection.h"

#include "phrases/FixedPhraseModel.h"

#include <algorithm>

namespace {

template<typename T>
qsizetype indexOf(const QList<T>& list, const std::optional<QUuid>& id)
{
    if (!id) {
        return -1;
    }
    const auto found =
        std::find_if(list.cbegin(), list.cend(), [&id](const T& entry) { return entry.id == *id; });
    return found == list.cend() ? -1 : found - list.cbegin();
}

} // namespace

FixedPhrasePanelSelection::FixedPhrasePanelSelection(
    const FixedPhraseModel& model, bool keyboardMode, QObject* parent)
    : QObject(parent)
    , m_model(model)
    , m_keyboardMode(keyboardMode)
{ }

FixedPhraseFolderList FixedPhrasePanelSelection::folders() const
{
    return m_model.visibleFolders();
}

QList<FixedPhrase> FixedPhrasePanelSelection::phrasesOfSelectedFolder() const
{
    const FixedPhraseFolderList all = folders();
    const qsizetype index = indexOf(all, m_selectedFolderID);
    return index < 0 ? QList<FixedPhrase>() : all.at(index).phrases;
}

FixedPhrasePanelSelection::KeyOutcome FixedPhrasePanelSelection::handleKeyDown(
    std::uint16_t keyCode, QStringView characters)
{
    const auto action = QuickPanelKeys::fixedPhrasePanelAction(
        keyCode, m_focusedColumn, m_titleColumnVisible, m_selectedFolderID.has_value());
    KeyOutcome outcome;
    outcome.consumed = true;
    switch (action) {
    case FixedPhrasePanelKeyAction::None:
        outcome.consumed = false;
        break;
    case FixedPhrasePanelKeyAction::ConfirmSelection:
        if (const auto phrase = confirmSelection()) {
            outcome.request = Request::CopyPhrase;
            outcome.phrase = *phrase;
        }
        break;
    case FixedPhrasePanelKeyAction::Hide:
        outcome.request = Request::Hide;
        break;
    case FixedPhrasePanelKeyAction::MoveDown:
        moveSelection(1);
        break;
    case FixedPhrasePanelKeyAction::MoveUp:
        moveSelection(-1);
        break;
    case FixedPhrasePanelKeyAction::CloseTitleColumn:
        setSelection(m_selectedFolderID, std::nullopt);
        setTitleColumnVisible(false);
        setFocusedColumn(FixedPhrasePanelColumn::Folder);
        break;
    case FixedPhrasePanelKeyAction::ReturnToSearch:
        outcome.request = Request::ReturnToSearch;
        break;
    case FixedPhrasePanelKeyAction::OpenTitleColumn:
        setTitleColumnVisible(true);
        openTitleColumn();
        break;
    case FixedPhrasePanelKeyAction::SelectFolderByLabel:
        outcome.consumed = selectFolderForShortcut(characters);
        break;
    case FixedPhrasePanelKeyAction::CopyPhraseByLabel:
        if (const auto phrase = selectPhraseForShortcut(characters)) {
            outcome.request = Request::CopyPhrase;
            outcome.phrase = *phrase;
        } else {
            outcome.consumed = false;
        }
        break;
    }
    return outcome;
}

void FixedPhrasePanelSelection::moveSelection(int delta)
{
    if (m_focusedColumn == FixedPhrasePanelColumn::Title) {
        const QList<FixedPhrase> phrases = phrasesOfSelectedFolder();
        if (phrases.isEmpty()) {
            setSelection(m_selectedFolderID, std::nullopt);
            return;
        }
        const qsizetype current = std::max<qsizetype>(indexOf(phrases, m_selectedPhraseID), 0);
        const qsizetype next = std::clamp<qsizetype>(current + delta, 0, phrases.size() - 1);
        setSelection(m_selectedFolderID, phrases.at(next).id);
        return;
    }
    const FixedPhraseFolderList all = folders();
    if (all.isEmpty()) {
        setSelection(std::nullopt, std::nullopt);
        setTitleColumnVisible(false);
        return;
    }
    const qsizetype current = indexOf(all, m_selectedFolderID);
    qsizetype next = 0;
    if (current >= 0) {
        next = std::clamp<qsizetype>(current + delta, 0, all.size() - 1);
    } else if (delta < 0) {
        next = all.size() - 1;
    }
    selectFolder(all.at(next).id, m_titleColumnVisible);
}

std::optional<FixedPhrase> FixedPhrasePanelSelection::confirmSelection()
{
    if (m_focusedColumn == FixedPhrasePanelColumn::Title) {
        const QList<FixedPhrase> phrases = phrasesOfSelectedFolder();
        const qsizetype index = indexOf(phrases, m_selectedPhraseID);
        return index < 0 ? std::nullopt : std::optional(phrases.at(index));
    }
    setTitleColumnVisible(m_selectedFolderID.has_value());
    openTitleColumn();
    return std::nullopt;
}

void FixedPhrasePanelSelection::ensureSelectedPhrase()
{
    const QList<FixedPhrase> phrases = phrasesOfSelectedFolder();
    if (phrases.isEmpty()) {
        setSelection(m_selectedFolderID, std::nullopt);
    } else if (indexOf(phrases, m_selectedPhraseID) < 0) {
        setSelection(m_selectedFolderID, phrases.first().id);
    }
}

bool FixedPhrasePanelSelection::selectFolderForShortcut(QStringView characters)
{
    const auto index = QuickPanelKeys::labelIndex(characters);
    const FixedPhraseFolderList all = folders();
    if (!index || *index >= all.size()) {
        return false;
    }
    selectFolder(all.at(*index).id, true);
    setFocusedColumn(FixedPhrasePanelColumn::Title);
    return true;
}

std::optional<FixedPhrase> FixedPhrasePanelSelection::selectPhraseForShortcut(
    QStringView characters)
{
    const auto index = QuickPanelKeys::labelIndex(characters);
    const QList<FixedPhrase> phrases = phrasesOfSelectedFolder();
    if (!index || *index >= phrases.size()) {
        return std::nullopt;
    }
    const FixedPhrase& phrase = phrases.at(*index);
    setSelection(m_selectedFolderID, phrase.id);
    return phrase;
}

void FixedPhrasePanelSelection::selectFolder(const QUuid& folderID, bool showsTitleColumn)
{
    setSelection(folderID, std::nullopt);
    setTitleColumnVisible(showsTitleColumn);
}

void FixedPhrasePanelSelection::selectPhrase(const QUuid& phraseID)
{
    setSelection(m_selectedFolderID, phraseID);
}

void FixedPhrasePanelSelection::setSelection(
    std::optional<QUuid> folderID, std::optional<QUuid> phraseID)
{
    if (folderID == m_selectedFolderID && phraseID == m_selectedPhraseID) {
        return;
    }
    m_selectedFolderID = folderID;
    m_selectedPhraseID = phraseID;
    Q_EMIT selectionChanged();
}

void FixedPhrasePanelSelection::setTitleColumnVisible(bool visible)
{
    if (visible == m_titleColumnVisible) {
        return;
    }
    m_titleColumnVisible = visible;
    Q_EMIT titleColumnVisibilityChanged(visible);
}

void FixedPhrasePanelSelection::setFocusedColumn(FixedPhrasePanelColumn column)
{
    if (column == m_focusedColumn) {
        return;
    }
    m_focusedColumn = column;
    Q_EMIT selectionChanged();
}

// Right on a folder, and Return in the folder column: its phrases, the first one chosen.
void FixedPhrasePanelSelection::openTitleColumn()
{
    ensureSelectedPhrase();
    if (m_selectedPhraseID) {
        setFocusedColumn(FixedPhrasePanelColumn::Title);
    }
}
