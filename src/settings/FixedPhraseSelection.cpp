#include "FixedPhraseSelection.h"

#include "phrases/FixedPhraseModel.h"

namespace {

template<typename T>
QList<QUuid> idsOf(const QList<T>& items)
{
    QList<QUuid> ids;
    ids.reserve(items.size());
    for (const T& item : items) {
        ids.append(item.id);
    }
    return ids;
}

template<typename T>
qsizetype indexOf(const QList<T>& items, const std::optional<QUuid>& id)
{
    if (!id) {
        return -1;
    }
    for (qsizetype index = 0; index < items.size(); ++index) {
        if (items[index].id == *id) {
            return index;
        }
    }
    return -1;
}

// The first of ids in the order of items; any of them when none is in items.
template<typename T>
std::optional<QUuid> firstInOrder(const QList<T>& items, const QSet<QUuid>& ids)
{
    for (const T& item : items) {
        if (ids.contains(item.id)) {
            return item.id;
        }
    }
    return ids.isEmpty() ? std::nullopt : std::optional(*ids.cbegin());
}

template<typename T>
std::optional<QUuid> firstID(const QList<T>& items)
{
    return items.isEmpty() ? std::nullopt : std::optional(items.first().id);
}

// The ids of set that name elements of items, plus current when there is one.
template<typename T>
QSet<QUuid> keepExisting(
    const QSet<QUuid>& set, const QList<T>& items, const std::optional<QUuid>& current)
{
    QSet<QUuid> kept;
    for (const T& item : items) {
        if (set.contains(item.id)) {
            kept.insert(item.id);
        }
    }
    if (current) {
        kept.insert(*current);
    }
    return kept;
}

template<typename T>
bool canStep(const QList<T>& items, const std::optional<QUuid>& id, int step)
{
    const qsizetype index = indexOf(items, id);
    return index >= 0 && index + step >= 0 && index + step < items.size();
}

QSet<QUuid> targetsOf(const QSet<QUuid>& ids, const std::optional<QUuid>& id)
{
    if (!ids.isEmpty()) {
        return ids;
    }
    return id ? QSet<QUuid> {*id} : QSet<QUuid> {};
}

template<typename T>
qsizetype firstPosition(const QList<T>& items, const QSet<QUuid>& ids)
{
    for (qsizetype index = 0; index < items.size(); ++index) {
        if (ids.contains(items[index].id)) {
            return index;
        }
    }
    return items.size();
}

QSet<QUuid> only(const std::optional<QUuid>& id)
{
    return id ? QSet<QUuid> {*id} : QSet<QUuid> {};
}

} // namespace

FixedPhraseSelection::FixedPhraseSelection(FixedPhraseModel& model, QObject* parent)
    : QObject(parent)
    , m_model(model)
    , m_topology(selectionTopology(model.folders()))
{
    connect(&model, &FixedPhraseModel::foldersChanged, this, [this] { followStore(); });
}

FixedPhraseSelection::Topology FixedPhraseSelection::selectionTopology(
    const FixedPhraseFolderList& folders)
{
    Topology topology;
    topology.reserve(folders.size());
    for (const FixedPhraseFolder& folder : folders) {
        QList<QUuid> ids {folder.id};
        ids.append(idsOf(folder.phrases));
        topology.append(ids);
    }
    return topology;
}

std::optional<QUuid> FixedPhraseSelection::nextID(qsizetype position, const QList<QUuid>& remaining)
{
    if (remaining.isEmpty()) {
        return std::nullopt;
    }
    return position < remaining.size() ? remaining.at(position) : remaining.last();
}

std::optional<FixedPhraseFolder> FixedPhraseSelection::selectedFolder() const
{
    if (auto folder = m_model.folder(m_folderID)) {
        return folder;
    }
    const FixedPhraseFolderList& folders = m_model.folders();
    return folders.isEmpty() ? std::nullopt : std::optional(folders.first());
}

std::optional<FixedPhrase> FixedPhraseSelection::selectedPhrase() const
{
    const std::optional<FixedPhraseFolder> folder = selectedFolder();
    if (!folder) {
        return std::nullopt;
    }
    const qsizetype index = indexOf(folder->phrases, m_phraseID);
    if (index >= 0) {
        return folder->phrases.at(index);
    }
    return folder->phrases.isEmpty() ? std::nullopt : std::optional(folder->phrases.first());
}

void FixedPhraseSelection::setSelectedFolderIDs(const QSet<QUuid>& ids)
{
    const QSet<QUuid> added = ids - m_folderIDs;
    m_folderIDs = ids;
    if (!added.isEmpty()) {
        m_folderID = firstInOrder(m_model.folders(), added);
        resetPhraseSelection();
    } else if (!m_folderID || !ids.contains(*m_folderID)) {
        m_folderID = firstInOrder(m_model.folders(), ids);
        resetPhraseSelection();
    }
    Q_EMIT selectionChanged();
}

void FixedPhraseSelection::setSelectedPhraseIDs(const QSet<QUuid>& ids)
{
    const QSet<QUuid> added = ids - m_phraseIDs;
    m_phraseIDs = ids;
    const QList<FixedPhrase> phrases = selectedFolder().value_or(FixedPhraseFolder {}).phrases;
    if (!added.isEmpty()) {
        m_phraseID = firstInOrder(phrases, added);
    } else if (!m_phraseID || !ids.contains(*m_phraseID)) {
        m_phraseID = firstInOrder(phrases, ids);
    }
    Q_EMIT selectionChanged();
}

void FixedPhraseSelection::normalizeSelection()
{
    const FixedPhraseFolderList& folders = m_model.folders();
    if (!m_model.folder(m_folderID)) {
        m_folderID = firstID(folders);
    }
    m_folderIDs = keepExisting(m_folderIDs, folders, m_folderID);
    const QList<FixedPhrase> phrases = selectedFolder().value_or(FixedPhraseFolder {}).phrases;
    if (indexOf(phrases, m_phraseID) < 0) {
        m_phraseID = firstID(phrases);
    }
    m_phraseIDs = keepExisting(m_phraseIDs, phrases, m_phraseID);
    Q_EMIT selectionChanged();
}

void FixedPhraseSelection::addFolder()
{
    const QUuid id = m_model.addFolder();
    m_folderID = id;
    m_folderIDs = {id};
    m_phraseID.reset();
    m_phraseIDs.clear();
    Q_EMIT selectionChanged();
}

void FixedPhraseSelection::addPhrase()
{
    const std::optional<FixedPhraseFolder> folder = selectedFolder();
    if (!folder) {
        return;
    }
    if (const std::optional<QUuid> id = m_model.addPhrase(folder->id)) {
        m_phraseID = id;
        m_phraseIDs = {*id};
        Q_EMIT selectionChanged();
    }
}

void FixedPhraseSelection::removeSelectedFolders()
{
    const QSet<QUuid> ids = targetsOf(m_folderIDs, m_folderID);
    if (ids.isEmpty()) {
        return;
    }
    const qsizetype position = firstPosition(m_model.folders(), ids);
    m_model.removeFolders(ids);
    m_folderID = nextID(position, idsOf(m_model.folders()));
    m_folderIDs = only(m_folderID);
    resetPhraseSelection();
    Q_EMIT selectionChanged();
}

void FixedPhraseSelection::removeSelectedPhrases()
{
    const QSet<QUuid> ids = targetsOf(m_phraseIDs, m_phraseID);
    const std::optional<FixedPhraseFolder> folder = selectedFolder();
    if (ids.isEmpty() || !folder) {
        return;
    }
    const qsizetype position = firstPosition(folder->phrases, ids);
    for (const FixedPhrase& phrase : folder->phrases) {
        if (ids.contains(phrase.id)) {
            m_model.removePhrase(folder->id, phrase.id);
        }
    }
    const QList<FixedPhrase> remaining =
        m_model.folder(folder->id).value_or(FixedPhraseFolder {}).phrases;
    m_phraseID = nextID(position, idsOf(remaining));
    m_phraseIDs = only(m_phraseID);
    Q_EMIT selectionChanged();
}

bool FixedPhraseSelection::canMoveSelectedFolder(int step) const
{
    return m_folderIDs.size() < 2 && canStep(m_model.folders(), m_folderID, step);
}

bool FixedPhraseSelection::canMoveSelectedPhrase(int step) const
{
    return m_phraseIDs.size() < 2 &&
        canStep(selectedFolder().value_or(FixedPhraseFolder {}).phrases, m_phraseID, step);
}

void FixedPhraseSelection::moveSelectedFolder(int step)
{
    if (canMoveSelectedFolder(step)) {
        m_model.moveFolder(*m_folderID, step);
        normalizeSelection();
    }
}

void FixedPhraseSelection::moveSelectedPhrase(int step)
{
    if (canMoveSelectedPhrase(step)) {
        m_model.movePhrase(selectedFolder()->id, *m_phraseID, step);
        normalizeSelection();
    }
}

void FixedPhraseSelection::dropFolders(const QSet<int>& offsets, int toOffset)
{
    m_model.moveFolders(offsets, toOffset);
    normalizeSelection();
}

void FixedPhraseSelection::dropPhrases(const QSet<int>& offsets, int toOffset)
{
    if (const std::optional<FixedPhraseFolder> folder = selectedFolder()) {
        m_model.movePhrases(folder->id, offsets, toOffset);
        normalizeSelection();
    }
}

void FixedPhraseSelection::followStore()
{
    Topology topology = selectionTopology(m_model.folders());
    if (topology != m_topology) {
        m_topology = std::move(topology);
        normalizeSelection();
    }
}

void FixedPhraseSelection::resetPhraseSelection()
{
    m_phraseIDs.clear();
    m_phraseID = firstID(selectedFolder().value_or(FixedPhraseFolder {}).phrases);
}
