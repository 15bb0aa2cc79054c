#include "ClipboardHistoryMenuViewModel.h"

#include "FixedPhraseClipboard.h"
#include "QuickPanelKeyTables.h"
#include "clipboard/ClipboardHistoryModel.h"
#include "phrases/FixedPhraseModel.h"
#include "platform/Scheduler.h"

#include <QPointer>
#include <QSet>

#include <algorithm>

namespace {

template<typename T, typename Id>
qsizetype indexOf(const QList<T>& list, const std::optional<QUuid>& id, Id idOf)
{
    if (!id) {
        return -1;
    }
    const auto found = std::find_if(
        list.cbegin(), list.cend(), [&](const T& entry) { return idOf(entry) == *id; });
    return found == list.cend() ? -1 : found - list.cbegin();
}

// The selection after an arrow key: the first entry when nothing (still listed) is selected,
// else the neighbour, staying at either end.
template<typename T, typename Id>
std::optional<QUuid> step(
    const QList<T>& list, const std::optional<QUuid>& selected, int delta, Id idOf)
{
    if (list.isEmpty()) {
        return std::nullopt;
    }
    const qsizetype index = indexOf(list, selected, idOf);
    if (index < 0) {
        return idOf(list.first());
    }
    return idOf(list.at(std::clamp<qsizetype>(index + delta, 0, list.size() - 1)));
}

QUuid historyID(const ClipboardHistoryItem& item)
{
    return item.id;
}

QUuid phraseID(const FixedPhraseSearchResult& result)
{
    return result.phrase.id;
}

const QString noItemsCaption = QStringLiteral("項目はありません");
const QString noMatchesCaption = QStringLiteral("一致する項目はありません");

} // namespace

ClipboardHistoryMenuViewModel::ClipboardHistoryMenuViewModel(ClipboardHistoryModel& history,
    FixedPhraseModel& fixedPhrases, ClipboardMenuState& menuState, Scheduler& scheduler,
    Executor& executor, CopyReport onItemCopied, QObject* parent)
    : QObject(parent)
    , m_history(history)
    , m_fixedPhrases(fixedPhrases)
    , m_scheduler(scheduler)
    , m_onItemCopied(std::move(onItemCopied))
    , m_thumbnails(executor)
{
    connect(&menuState, &ClipboardMenuState::resetTokenChanged, this,
        &ClipboardHistoryMenuViewModel::reset);
    connect(&history, &ClipboardHistoryModel::itemsChanged, this, [this] {
        forgetRemovedSearchTexts();
        Q_EMIT resultsChanged();
    });
    // New dimensions change what an image entry's search text holds.
    connect(&history, &ClipboardHistoryModel::imagePreviewGenerationChanged, this,
        &ClipboardHistoryMenuViewModel::resultsChanged);
    connect(&fixedPhrases, &FixedPhraseModel::foldersChanged, this, [this] {
        m_phraseSearch.reset();
        m_visiblePhraseCount.reset();
        Q_EMIT resultsChanged();
    });
    connect(&history, &ClipboardHistoryModel::displayHistoryRowCountChanged, this,
        &ClipboardHistoryMenuViewModel::layoutChanged);
}

ClipboardHistoryMenuViewModel::~ClipboardHistoryMenuViewModel() = default;

void ClipboardHistoryMenuViewModel::setSearchText(const QString& text)
{
    if (text == m_searchText) {
        return;
    }
    m_searchText = text;
    clearSelections();
    Q_EMIT imagePreviewHideRequested();
    Q_EMIT searchTextChanged();
}

void ClipboardHistoryMenuViewModel::setUiScale(double scale)
{
    if (scale == m_uiScale) {
        return;
    }
    m_uiScale = scale;
    Q_EMIT layoutChanged();
}

void ClipboardHistoryMenuViewModel::setSearchFieldFocused(bool focused)
{
    if (focused == m_searchFieldFocused) {
        return;
    }
    m_searchFieldFocused = focused;
    Q_EMIT searchFieldFocusedChanged();
}

SearchScope ClipboardHistoryMenuViewModel::searchScope() const
{
    return ClipboardHistorySearch::scope(m_searchText);
}

QString ClipboardHistoryMenuViewModel::activeSearchKeyword() const
{
    return ClipboardHistorySearch::keyword(m_searchText);
}

QList<ClipboardHistoryKind> ClipboardHistoryMenuViewModel::shownHistoryKinds() const
{
    return ClipboardHistorySearch::shownKinds(searchScope());
}

QList<ClipboardHistoryItem> ClipboardHistoryMenuViewModel::filteredItems(
    ClipboardHistoryKind kind) const
{
    const SearchScope scope = searchScope();
    if ((scope == SearchScope::Url && kind != ClipboardHistoryKind::Url) ||
        (scope == SearchScope::Image && kind != ClipboardHistoryKind::Image)) {
        return {};
    }
    const QString keyword = activeSearchKeyword();
    const ClipboardHistorySearch::KeywordMatcher matcher(keyword);
    QList<ClipboardHistoryItem> result;
    for (const ClipboardHistoryItem& item : m_history.items()) {
        if (item.kind == kind && (keyword.isEmpty() || itemMatches(item, matcher))) {
            result.append(item);
        }
    }
    return result;
}

// A capture keeps what is known of the other entries: only the new one is measured on the next
// keystroke.
void ClipboardHistoryMenuViewModel::forgetRemovedSearchTexts()
{
    QSet<QUuid> ids;
    for (const ClipboardHistoryItem& item : m_history.items()) {
        ids.insert(item.id);
    }
    m_searchTextHeads.removeIf([&ids](const auto& entry) { return !ids.contains(entry.key()); });
}

void ClipboardHistoryMenuViewModel::prepareSearchTexts()
{
    for (const ClipboardHistoryItem& item : m_history.items()) {
        if (item.kind != ClipboardHistoryKind::Image && !m_searchTextHeads.contains(item.id)) {
            m_searchTextHeads.insert(item.id, ClipboardHistorySearch::searchTextHead(item));
        }
    }
}

bool ClipboardHistoryMenuViewModel::itemMatches(
    const ClipboardHistoryItem& item, const ClipboardHistorySearch::KeywordMatcher& matcher) const
{
    if (item.kind == ClipboardHistoryKind::Image) {
        return matcher.matches(ClipboardHistorySearch::searchText(item));
    }
    auto head = m_searchTextHeads.constFind(item.id);
    if (head == m_searchTextHeads.cend()) {
        head = m_searchTextHeads.insert(item.id, ClipboardHistorySearch::searchTextHead(item));
    }
    return matcher.matches(*head, item.text.value_or(QString()));
}

// Typing mostly extends the keyword: then only the phrases the shorter one found can match.
QList<FixedPhraseSearchResult> ClipboardHistoryMenuViewModel::filteredFixedPhraseResults() const
{
    const QString keyword = activeSearchKeyword();
    if (!m_phraseSearch) {
        m_phraseSearch = PhraseSearch {keyword,
            ClipboardHistorySearch::fixedPhraseResults(m_fixedPhrases.visibleFolders(), keyword)};
    } else if (m_phraseSearch->keyword != keyword) {
        m_phraseSearch->results = keyword.contains(m_phraseSearch->keyword)
            ? ClipboardHistorySearch::narrowedFixedPhraseResults(m_phraseSearch->results, keyword)
            : ClipboardHistorySearch::fixedPhraseResults(m_fixedPhrases.visibleFolders(), keyword);
        m_phraseSearch->keyword = keyword;
    }
    return m_phraseSearch->results;
}

QString ClipboardHistoryMenuViewModel::countText(qsizetype count)
{
    return QString::number(count) + QStringLiteral("件");
}

QString ClipboardHistoryMenuViewModel::fixedPhraseLauncherDetail() const
{
    if (!m_visiblePhraseCount) {
        qsizetype count = 0;
        for (const FixedPhraseFolder& folder : m_fixedPhrases.visibleFolders()) {
            count += folder.phrases.size();
        }
        m_visiblePhraseCount = count;
    }
    const qsizetype count = *m_visiblePhraseCount;
    return count == 0 ? QStringLiteral("未表示") : countText(count);
}

QString ClipboardHistoryMenuViewModel::historySectionEmptyCaption() const
{
    // A bare scope prefix is a search too: nothing of that kind "matches" it.
    return m_searchText.isEmpty() ? noItemsCaption : noMatchesCaption;
}

QString ClipboardHistoryMenuViewModel::fixedPhraseSectionEmptyCaption() const
{
    return activeSearchKeyword().isEmpty() ? noItemsCaption : noMatchesCaption;
}

double ClipboardHistoryMenuViewModel::sectionFrameHeight(ClipboardHistoryKind kind) const
{
    const int rows = m_history.displayHistoryRowCount();
    if (kind != ClipboardHistoryKind::Image) {
        return rows * 35 + 30;
    }
    const int imageRows = std::min(rows, 3);
    const double rowHeight = std::max(124 * m_uiScale, 136.0);
    return std::max(imageRows - 1, 0) * 8 + rowHeight * imageRows + 30 + 8 + 12;
}

bool ClipboardHistoryMenuViewModel::handleSearchKeyDown(std::uint16_t keyCode)
{
    switch (QuickPanelKeys::searchFieldAction(keyCode, searchScope(), m_searchText.isEmpty())) {
    case SearchFieldKeyAction::None:
        return false;
    case SearchFieldKeyAction::CopySelectedHistoryItem:
        copySelectedHistoryItem();
        break;
    case SearchFieldKeyAction::SelectNextHistoryItem:
        selectNextTextHistoryItem();
        break;
    case SearchFieldKeyAction::SelectPreviousHistoryItem:
        selectPreviousTextHistoryItem();
        break;
    case SearchFieldKeyAction::CopySelectedFixedPhrase:
        copySelectedFixedPhrase();
        break;
    case SearchFieldKeyAction::SelectNextFixedPhrase:
        selectNextFixedPhrase();
        break;
    case SearchFieldKeyAction::SelectPreviousFixedPhrase:
        selectPreviousFixedPhrase();
        break;
    case SearchFieldKeyAction::ShowFixedPhrasePanel:
        showFixedPhrasePanelFromKeyboard();
        break;
    }
    return true;
}

QList<ClipboardHistoryItem> ClipboardHistoryMenuViewModel::navigatedItems() const
{
    return filteredItems(ClipboardHistorySearch::navigationKind(searchScope()));
}

void ClipboardHistoryMenuViewModel::selectNextTextHistoryItem()
{
    setSelectedHistoryItemID(step(navigatedItems(), m_selectedHistoryItemID, 1, historyID));
}

void ClipboardHistoryMenuViewModel::selectPreviousTextHistoryItem()
{
    setSelectedHistoryItemID(step(navigatedItems(), m_selectedHistoryItemID, -1, historyID));
}

void ClipboardHistoryMenuViewModel::copySelectedHistoryItem()
{
    const QList<ClipboardHistoryItem> items = navigatedItems();
    const qsizetype index = indexOf(items, m_selectedHistoryItemID, historyID);
    if (index >= 0) {
        copyHistoryItem(items.at(index));
    }
}

void ClipboardHistoryMenuViewModel::selectNextFixedPhrase()
{
    setSelectedFixedPhraseID(
        step(filteredFixedPhraseResults(), m_selectedFixedPhraseID, 1, phraseID));
}

void ClipboardHistoryMenuViewModel::selectPreviousFixedPhrase()
{
    setSelectedFixedPhraseID(
        step(filteredFixedPhraseResults(), m_selectedFixedPhraseID, -1, phraseID));
}

void ClipboardHistoryMenuViewModel::copySelectedFixedPhrase()
{
    const QList<FixedPhraseSearchResult> results = filteredFixedPhraseResults();
    const qsizetype index = indexOf(results, m_selectedFixedPhraseID, phraseID);
    if (index >= 0) {
        copyFixedPhrase(results.at(index).phrase);
    }
}

void ClipboardHistoryMenuViewModel::showFixedPhrasePanelFromKeyboard()
{
    setFixedPhrasePanelVisible(true);
    setSearchFieldFocused(false);
    clearSelections();
    m_sidePanel = std::make_unique<FixedPhrasePanelSelection>(m_fixedPhrases, true);
    Q_EMIT fixedPhrasePanelShowRequested(m_sidePanel.get());
}

bool ClipboardHistoryMenuViewModel::handleFixedPhrasePanelKeyDown(
    std::uint16_t keyCode, QStringView characters)
{
    if (!m_sidePanel || !m_sidePanel->keyboardMode()) {
        return false;
    }
    // The outcome is acted on here, after the selection has finished its step: hiding the
    // side panel destroys it.
    const auto outcome = m_sidePanel->handleKeyDown(keyCode, characters);
    switch (outcome.request) {
    case FixedPhrasePanelSelection::Request::None:
        break;
    case FixedPhrasePanelSelection::Request::CopyPhrase:
        copyPhraseFromSidePanel(outcome.phrase);
        break;
    case FixedPhrasePanelSelection::Request::Hide:
        hideFixedPhrasePanel();
        break;
    case FixedPhrasePanelSelection::Request::ReturnToSearch:
        returnToSearch();
        break;
    }
    return outcome.consumed;
}

void ClipboardHistoryMenuViewModel::fixedPhrasePanelDropped(
    const FixedPhrasePanelSelection* selection)
{
    if (!m_sidePanel || m_sidePanel.get() != selection) {
        return;
    }
    // The side panel's old content, on its way out, still refers to it.
    m_sidePanel.release()->deleteLater();
    setFixedPhrasePanelVisible(false);
    focusSearchField();
}

void ClipboardHistoryMenuViewModel::copyHistoryItem(const ClipboardHistoryItem& item)
{
    // An image is written once its bytes are read; the panel reports the copy only then, so
    // that a paste that follows finds the entry on the clipboard.
    m_history.copyToClipboard(item, [self = QPointer(this)](bool copied) {
        if (self && copied) {
            self->m_onItemCopied(ClipboardHistoryMenuCopySource::History);
        }
    });
}

void ClipboardHistoryMenuViewModel::deleteHistoryItem(const QUuid& id)
{
    if (m_selectedHistoryItemID == id) {
        setSelectedHistoryItemID(std::nullopt);
    }
    m_history.removeItem(id);
}

void ClipboardHistoryMenuViewModel::copyFixedPhrase(const FixedPhrase& phrase)
{
    FixedPhraseClipboard::copy(m_history, m_fixedPhrases, phrase);
    m_onItemCopied(ClipboardHistoryMenuCopySource::FixedPhraseAutoPaste);
}

void ClipboardHistoryMenuViewModel::copyPhraseFromSidePanel(const FixedPhrase& phrase)
{
    FixedPhraseClipboard::copy(m_history, m_fixedPhrases, phrase);
    hideFixedPhrasePanel();
    m_onItemCopied(ClipboardHistoryMenuCopySource::FixedPhraseAutoPaste);
}

void ClipboardHistoryMenuViewModel::prepareImagePreviews(const QList<ClipboardHistoryItem>& items)
{
    m_history.prepareImagePreviews(items);
}

void ClipboardHistoryMenuViewModel::focusSearchField()
{
    m_scheduler.post([self = QPointer(this)] {
        if (self) {
            self->setSearchFieldFocused(true);
        }
    });
}

void ClipboardHistoryMenuViewModel::reset()
{
    Q_EMIT wasReset();
    setSearchText(QString());
    setFixedPhrasePanelVisible(false);
    clearSelections();
    hideFixedPhrasePanel();
    Q_EMIT imagePreviewHideRequested();
}

void ClipboardHistoryMenuViewModel::setSelectedHistoryItemID(std::optional<QUuid> id)
{
    if (id == m_selectedHistoryItemID) {
        return;
    }
    m_selectedHistoryItemID = id;
    Q_EMIT selectedHistoryItemIDChanged();
    const QList<ClipboardHistoryItem> items = navigatedItems();
    const qsizetype index = indexOf(items, id, historyID);
    if (index >= 0 && items.at(index).imageData) {
        Q_EMIT imagePreviewRequested(items.at(index));
    } else {
        Q_EMIT imagePreviewHideRequested();
    }
}

void ClipboardHistoryMenuViewModel::setSelectedFixedPhraseID(std::optional<QUuid> id)
{
    if (id == m_selectedFixedPhraseID) {
        return;
    }
    m_selectedFixedPhraseID = id;
    Q_EMIT selectedFixedPhraseIDChanged();
}

void ClipboardHistoryMenuViewModel::setFixedPhrasePanelVisible(bool visible)
{
    if (visible == m_fixedPhrasePanelVisible) {
        return;
    }
    m_fixedPhrasePanelVisible = visible;
    Q_EMIT fixedPhrasePanelVisibleChanged();
}

void ClipboardHistoryMenuViewModel::clearSelections()
{
    setSelectedHistoryItemID(std::nullopt);
    setSelectedFixedPhraseID(std::nullopt);
}

void ClipboardHistoryMenuViewModel::hideFixedPhrasePanel()
{
    // Released only once the side panel let go of it, but no longer ours meanwhile: the hide
    // asked for here is not one that happened on its own.
    const std::unique_ptr<FixedPhrasePanelSelection> closing = std::move(m_sidePanel);
    Q_EMIT fixedPhrasePanelHideRequested();
    focusSearchField();
}

void ClipboardHistoryMenuViewModel::returnToSearch()
{
    setFixedPhrasePanelVisible(false);
    hideFixedPhrasePanel();
}
