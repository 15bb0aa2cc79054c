#pragma once

// What the "定型文" tab has selected, and the edits that depend on it, without any widget: a
// folder and a phrase being edited, and the multi-selection of each list.
//
// The selection follows the store by itself: whenever the shape of the store changes (its
// selectionTopology: every folder's id followed by its phrases' ids, in order) it is
// normalised, so additions, removals, reorders and imports never leave it pointing at a
// missing folder or phrase. An edit of a title or of content keeps the shape and leaves the
// selection alone. The first state is empty: until the user clicks, the folder and phrase
// shown are the first ones.
//
// Decisions:
// - When a click adds several rows at once (a range), the first of them in list order becomes
//   the one edited, so the outcome does not depend on hashing.
// - The move buttons follow the folder and phrase the user picked (selectedFolderID /
//   selectedPhraseID), not the first-row fallback: a move acts on what the user chose.

#include "phrases/FixedPhrase.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QUuid>

#include <optional>

class FixedPhraseModel;

class FixedPhraseSelection final : public QObject
{
    Q_OBJECT

public:
    using Topology = QList<QList<QUuid>>;

    explicit FixedPhraseSelection(FixedPhraseModel& model, QObject* parent = nullptr);

    static Topology selectionTopology(const FixedPhraseFolderList& folders);
    // What stands at position after the element there was removed: none when nothing
    // remains, else the element now at position, else the last one.
    static std::optional<QUuid> nextID(qsizetype position, const QList<QUuid>& remaining);

    std::optional<QUuid> selectedFolderID() const { return m_folderID; }
    std::optional<QUuid> selectedPhraseID() const { return m_phraseID; }
    const QSet<QUuid>& selectedFolderIDs() const { return m_folderIDs; }
    const QSet<QUuid>& selectedPhraseIDs() const { return m_phraseIDs; }
    // The folder with selectedFolderID, else the first; the phrase likewise within it.
    std::optional<FixedPhraseFolder> selectedFolder() const;
    std::optional<FixedPhrase> selectedPhrase() const;

    // What a list reports when the user changes its selection.
    void setSelectedFolderIDs(const QSet<QUuid>& ids);
    void setSelectedPhraseIDs(const QSet<QUuid>& ids);
    void normalizeSelection();

    void addFolder();
    void addPhrase();
    void removeSelectedFolders();
    void removeSelectedPhrases();
    bool canRemoveFolders() const { return m_folderID || !m_folderIDs.isEmpty(); }
    bool canRemovePhrases() const { return m_phraseID || !m_phraseIDs.isEmpty(); }
    bool canMoveSelectedFolder(int step) const;
    bool canMoveSelectedPhrase(int step) const;
    void moveSelectedFolder(int step);
    void moveSelectedPhrase(int step);
    // Drag and drop: the rows at offsets go before the row that stood at toOffset.
    void dropFolders(const QSet<int>& offsets, int toOffset);
    void dropPhrases(const QSet<int>& offsets, int toOffset);

Q_SIGNALS:
    // Any of the four values may have changed.
    void selectionChanged();

private:
    void followStore();
    // selectedPhraseIDs empty, selectedPhraseID the first phrase of the selected folder.
    void resetPhraseSelection();

    FixedPhraseModel& m_model;
    Topology m_topology;
    std::optional<QUuid> m_folderID;
    std::optional<QUuid> m_phraseID;
    QSet<QUuid> m_folderIDs;
    QSet<QUuid> m_phraseIDs;
};
