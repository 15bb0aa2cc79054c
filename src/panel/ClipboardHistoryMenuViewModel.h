#pragma once

// Everything the quick panel (ClipboardHistoryMenu) knows and decides, without a widget: the
// search text and what it selects, the filtered lists, counts, captions and section heights,
// the keyboard selections and their moves, copying and deleting, and the reset on every
// opening. The widgets draw what this says and forward their keys and clicks to it.
//
// It is one of the two places that see several models: it reads the history and the phrases
// through their public operations and reports every copy through onItemCopied, which the
// application turns into closing the panel and pasting. Derived values are recomputed on
// every call from the models' current state, so a capture or an edit never leaves a stale
// list behind; only the title and detail of text and URL entries, which depend on their
// content alone, are remembered while the entry stays (a keystroke would otherwise count the
// characters of 1,000 texts again), and the phrase results of the last keyword until the
// phrases change (a keyword that extends it searches only those: 10,000 phrases take
// milliseconds to search).
//
// Image thumbnails are decoded off the main thread by the loader this owns (thumbnails()),
// which every image list shares, so one decode serves every cell showing the same image.
//
// Requests to the floating panels (the fixed phrase side panel, the image preview) leave as
// signals: the panels are shared windows that the widget layer owns.
//
// The side panel's selection, while the panel is open from the keyboard, is owned here and
// replaced on every opening. Escape hides the side panel but leaves fixedPhrasePanelVisible
// as it is; whenever the side panel goes, the search field takes the keys again. The way back to
// the search field (Left) clears it, as a reset does. So does the side panel going without being
// asked to (the pointer took it over on the launcher row, or its delayed hide ran): keys must not
// act on a selection nobody sees, so they return to the search field.
//
// Main thread only.

#include "ClipboardHistorySearch.h"
#include "ClipboardHistoryThumbnailLoader.h"
#include "ClipboardMenuState.h"
#include "FixedPhrasePanelSelection.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QUuid>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class ClipboardHistoryModel;
class Executor;
class FixedPhraseModel;
class Scheduler;

class ClipboardHistoryMenuViewModel final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString searchText READ searchText WRITE setSearchText NOTIFY searchTextChanged)
    Q_PROPERTY(double uiScale READ uiScale WRITE setUiScale NOTIFY layoutChanged)
    Q_PROPERTY(bool fixedPhrasePanelVisible READ fixedPhrasePanelVisible NOTIFY
            fixedPhrasePanelVisibleChanged)
    Q_PROPERTY(bool searchFieldFocused READ searchFieldFocused WRITE setSearchFieldFocused NOTIFY
            searchFieldFocusedChanged)

public:
    using CopyReport = std::function<void(ClipboardHistoryMenuCopySource)>;

    ClipboardHistoryMenuViewModel(ClipboardHistoryModel& history, FixedPhraseModel& fixedPhrases,
        ClipboardMenuState& menuState, Scheduler& scheduler, Executor& executor,
        CopyReport onItemCopied, QObject* parent = nullptr);
    ~ClipboardHistoryMenuViewModel() override;

    QString searchText() const { return m_searchText; }
    // Clears both selections and hides the image preview when the text changes.
    void setSearchText(const QString& text);
    double uiScale() const { return m_uiScale; }
    void setUiScale(double scale);
    bool fixedPhrasePanelVisible() const { return m_fixedPhrasePanelVisible; }
    bool searchFieldFocused() const { return m_searchFieldFocused; }
    void setSearchFieldFocused(bool focused);
    std::optional<QUuid> selectedHistoryItemID() const { return m_selectedHistoryItemID; }
    std::optional<QUuid> selectedFixedPhraseID() const { return m_selectedFixedPhraseID; }

    SearchScope searchScope() const;
    QString activeSearchKeyword() const;
    QList<ClipboardHistoryKind> shownHistoryKinds() const;
    QList<ClipboardHistoryItem> filteredItems(ClipboardHistoryKind kind) const;
    QList<FixedPhraseSearchResult> filteredFixedPhraseResults() const;
    // "12件"
    static QString countText(qsizetype count);
    // The launcher row's second line: the number of visible phrases, or "未表示".
    QString fixedPhraseLauncherDetail() const;
    QString historySectionEmptyCaption() const;
    QString fixedPhraseSectionEmptyCaption() const;
    double sectionFrameHeight(ClipboardHistoryKind kind) const;

    // The search field's keys, by canonical key code; true when consumed.
    bool handleSearchKeyDown(std::uint16_t keyCode);
    void selectNextTextHistoryItem();
    void selectPreviousTextHistoryItem();
    void copySelectedHistoryItem();
    void selectNextFixedPhrase();
    void selectPreviousFixedPhrase();
    void copySelectedFixedPhrase();
    void showFixedPhrasePanelFromKeyboard();

    // The side panel's state while it is open from the keyboard, else null.
    FixedPhrasePanelSelection* fixedPhrasePanelSelection() const { return m_sidePanel.get(); }
    // The side panel's keys in keyboard mode; true when consumed.
    bool handleFixedPhrasePanelKeyDown(std::uint16_t keyCode, QStringView characters);
    // The side panel dropped selection's content on its own: back to the search field.
    void fixedPhrasePanelDropped(const FixedPhrasePanelSelection* selection);

    // Clicks on rows.
    void copyHistoryItem(const ClipboardHistoryItem& item);
    void deleteHistoryItem(const QUuid& id);
    void copyFixedPhrase(const FixedPhrase& phrase);
    // A phrase chosen in the side panel: copied, then the side panel is hidden.
    void copyPhraseFromSidePanel(const FixedPhrase& phrase);
    // Shown image entries without a thumbnail: the history renders what is missing.
    void prepareImagePreviews(const QList<ClipboardHistoryItem>& items);
    ClipboardHistoryThumbnailLoader& thumbnails() { return m_thumbnails; }

    // Measures what the first search would (the title and detail of every text and URL entry),
    // for a moment when nobody waits for it.
    void prepareSearchTexts();

    // Focus returns to the search field on the next turn of the main loop, after layout.
    void focusSearchField();
    // Every opening: an empty search, no selection, no side panel, the focus in the field.
    void reset();

Q_SIGNALS:
    void searchTextChanged();
    void selectedHistoryItemIDChanged();
    void selectedFixedPhraseIDChanged();
    void fixedPhrasePanelVisibleChanged();
    void searchFieldFocusedChanged();
    // The history or the phrases changed: lists, counts and captions are to be read again.
    void resultsChanged();
    // The scale or the number of rows changed: sizes are to be read again.
    void layoutChanged();
    void imagePreviewRequested(const ClipboardHistoryItem& item);
    void imagePreviewHideRequested();
    void fixedPhrasePanelShowRequested(FixedPhrasePanelSelection* selection);
    void fixedPhrasePanelHideRequested();
    // The panel was reset: whatever the search field was in the middle of is dropped.
    void wasReset();

private:
    QList<ClipboardHistoryItem> navigatedItems() const;
    void setSelectedHistoryItemID(std::optional<QUuid> id);
    void setSelectedFixedPhraseID(std::optional<QUuid> id);
    void setFixedPhrasePanelVisible(bool visible);
    void clearSelections();
    void hideFixedPhrasePanel();
    void returnToSearch();
    bool itemMatches(const ClipboardHistoryItem& item,
        const ClipboardHistorySearch::KeywordMatcher& matcher) const;
    void forgetRemovedSearchTexts();

    ClipboardHistoryModel& m_history;
    FixedPhraseModel& m_fixedPhrases;
    Scheduler& m_scheduler;
    CopyReport m_onItemCopied;
    ClipboardHistoryThumbnailLoader m_thumbnails;

    QString m_searchText;
    double m_uiScale = 1.0;
    bool m_fixedPhrasePanelVisible = false;
    bool m_searchFieldFocused = false;
    std::optional<QUuid> m_selectedHistoryItemID;
    std::optional<QUuid> m_selectedFixedPhraseID;
    std::unique_ptr<FixedPhrasePanelSelection> m_sidePanel;
    // Search text heads of the text and URL entries in the history, by id.
    mutable QHash<QUuid, QString> m_searchTextHeads;
    // The phrases the last keyword found and the number of visible phrases, until the next
    // edit of the phrases.
    struct PhraseSearch
    {
        QString keyword;
        QList<FixedPhraseSearchResult> results;
    };
    mutable std::optional<PhraseSearch> m_phraseSearch;
    mutable std::optional<qsizetype> m_visiblePhraseCount;
};
