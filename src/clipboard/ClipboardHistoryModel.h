#pragma once

// The clipboard history: watches the pasteboard's change count, records every new text, URL
// and image, removes duplicates, keeps a limit per kind, saves "ClipboardHistory.json",
// prepares image previews and puts a chosen entry back on the clipboard. Main thread only.
//
// Background work, one task per activity, each held in its TaskHandle slot:
// - capture (user-initiated): reads the pasteboard on the worker; changes that arrive while
//   it runs collapse into one pending change count, the newest;
// - save (utility, through a PersistentStoreWriter): writes a snapshot of the list; a burst of
//   requests gives one write now and at most one more with the newest list;
// - previews (utility): renders the pending thumbnails in batches.
// Results are applied on the main thread after re-checking that they are still wanted
// (capture generation, monitoring switch, change count).
//
// A save that is still running when the application quits would be lost with the process:
// flushPendingSave() finishes it, bounded, at termination.

#include "ClipboardHistoryImageCache.h"
#include "ClipboardHistoryItem.h"
#include "ClipboardHistoryStorageUsage.h"
#include "platform/Executor.h"
#include "platform/Scheduler.h"
#include "support/PersistentStoreWriter.h"

#include <QDeadlineTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <memory>
#include <optional>

class ClipboardHistoryStorage;
class DefaultsStore;
class FileLocations;
class Pasteboard;

namespace ClipboardHistorySettingsKey {
inline const QString enabled = QStringLiteral("feature.clipboardHistory.enabled");
inline const QString legacyMaxHistoryCount =
    QStringLiteral("feature.clipboardHistory.maxHistoryCount");
inline const QString maxTextHistoryCount =
    QStringLiteral("feature.clipboardHistory.maxTextHistoryCount");
inline const QString maxImageHistoryCount =
    QStringLiteral("feature.clipboardHistory.maxImageHistoryCount");
inline const QString maxURLHistoryCount =
    QStringLiteral("feature.clipboardHistory.maxURLHistoryCount");
inline const QString displayHistoryRowCount =
    QStringLiteral("feature.clipboardHistory.displayHistoryRowCount");
inline const QString autoPasteAfterSelectingHistory =
    QStringLiteral("feature.clipboardHistory.autoPasteAfterSelectingHistory");
inline const QString moveSelectedHistoryItemToTop =
    QStringLiteral("feature.clipboardHistory.moveSelectedHistoryItemToTop");
inline const QString saveExcelCopiesAsText =
    QStringLiteral("feature.clipboardHistory.saveExcelCopiesAsText");
} // namespace ClipboardHistorySettingsKey

class ClipboardHistoryModel final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool clipboardHistoryEnabled READ clipboardHistoryEnabled WRITE
            setClipboardHistoryEnabled NOTIFY clipboardHistoryEnabledChanged)
    Q_PROPERTY(int maxTextHistoryCount READ maxTextHistoryCount WRITE setMaxTextHistoryCount NOTIFY
            maxTextHistoryCountChanged)
    Q_PROPERTY(int maxImageHistoryCount READ maxImageHistoryCount WRITE setMaxImageHistoryCount
            NOTIFY maxImageHistoryCountChanged)
    Q_PROPERTY(int maxURLHistoryCount READ maxURLHistoryCount WRITE setMaxURLHistoryCount NOTIFY
            maxURLHistoryCountChanged)
    Q_PROPERTY(int displayHistoryRowCount READ displayHistoryRowCount WRITE
            setDisplayHistoryRowCount NOTIFY displayHistoryRowCountChanged)
    Q_PROPERTY(bool autoPasteAfterSelectingHistory READ autoPasteAfterSelectingHistory WRITE
            setAutoPasteAfterSelectingHistory NOTIFY autoPasteAfterSelectingHistoryChanged)
    Q_PROPERTY(bool moveSelectedHistoryItemToTop READ moveSelectedHistoryItemToTop WRITE
            setMoveSelectedHistoryItemToTop NOTIFY moveSelectedHistoryItemToTopChanged)
    Q_PROPERTY(bool saveExcelCopiesAsText READ saveExcelCopiesAsText WRITE setSaveExcelCopiesAsText
            NOTIFY saveExcelCopiesAsTextChanged)
    Q_PROPERTY(QList<ClipboardHistoryItem> items READ items WRITE setItems NOTIFY itemsChanged)
    Q_PROPERTY(std::optional<QString> statusMessage READ statusMessage NOTIFY statusMessageChanged)
    Q_PROPERTY(
        int imagePreviewGeneration READ imagePreviewGeneration NOTIFY imagePreviewGenerationChanged)

public:
    static constexpr int minHistoryCount = 1;
    static constexpr int maxHistoryCount = 500;
    static constexpr int defaultHistoryCount = 80;
    static constexpr int minDisplayHistoryRowCount = 1;
    static constexpr int maxDisplayHistoryRowCount = 12;
    static constexpr int defaultDisplayHistoryRowCount = 4;
    static constexpr double pollInterval = 0.75;
    static constexpr int maxPreviewsAtStart = 120;

    ClipboardHistoryModel(Pasteboard& pasteboard, DefaultsStore& defaults, Scheduler& scheduler,
        Executor& executor, const FileLocations& locations, QObject* parent = nullptr);
    ~ClipboardHistoryModel() override;

    bool clipboardHistoryEnabled() const { return m_clipboardHistoryEnabled; }
    void setClipboardHistoryEnabled(bool enabled);
    int maxTextHistoryCount() const { return m_maxTextHistoryCount; }
    void setMaxTextHistoryCount(int count);
    int maxImageHistoryCount() const { return m_maxImageHistoryCount; }
    void setMaxImageHistoryCount(int count);
    int maxURLHistoryCount() const { return m_maxURLHistoryCount; }
    void setMaxURLHistoryCount(int count);
    int displayHistoryRowCount() const { return m_displayHistoryRowCount; }
    void setDisplayHistoryRowCount(int count);
    bool autoPasteAfterSelectingHistory() const { return m_autoPasteAfterSelectingHistory; }
    void setAutoPasteAfterSelectingHistory(bool on);
    bool moveSelectedHistoryItemToTop() const { return m_moveSelectedHistoryItemToTop; }
    void setMoveSelectedHistoryItemToTop(bool on);
    bool saveExcelCopiesAsText() const { return m_saveExcelCopiesAsText; }
    void setSaveExcelCopiesAsText(bool on);

    QList<ClipboardHistoryItem> items() const { return m_items; }
    // The quick panel's delete action replaces the list and then calls saveItems().
    void setItems(const QList<ClipboardHistoryItem>& items);
    std::optional<QString> statusMessage() const { return m_statusMessage; }
    int imagePreviewGeneration() const { return m_imagePreviewGeneration; }

    Pasteboard& pasteboard() const { return m_pasteboard; }
    // The change count last seen or produced here. The application sets it after it wrote a
    // fixed phrase to the clipboard, so that the phrase is not recorded.
    qint64 lastChangeCount() const { return m_lastChangeCount; }
    void setLastChangeCount(qint64 changeCount) { m_lastChangeCount = changeCount; }

    // Puts the item back on the clipboard as one write of its content.
    void copyToClipboard(const ClipboardHistoryItem& item);
    // Removes every item with that id and saves.
    void removeItem(const QUuid& id);
    // Requests a save; coalesces with a save in flight.
    void saveItems();
    // Requests previews of the image items whose thumbnails are not cached.
    void prepareImagePreviews(const QList<ClipboardHistoryItem>& items);
    ClipboardHistoryStorageUsage storageUsage() const;

    // At quit: finishes the save in flight and the one still pending after it, at most until
    // deadline. True when everything requested was written (or failed with a status message).
    bool flushPendingSave(QDeadlineTimer deadline);
    bool isSaving() const { return m_writer.isWriting(); }

    QString historyFilePath() const;
    // True when a bad history file could not be moved aside: nothing is written this run.
    bool isStorageWriteProtected() const;

Q_SIGNALS:
    void clipboardHistoryEnabledChanged();
    void maxTextHistoryCountChanged();
    void maxImageHistoryCountChanged();
    void maxURLHistoryCountChanged();
    void displayHistoryRowCountChanged();
    void autoPasteAfterSelectingHistoryChanged();
    void moveSelectedHistoryItemToTopChanged();
    void saveExcelCopiesAsTextChanged();
    void itemsChanged();
    void statusMessageChanged();
    void imagePreviewGenerationChanged();

private:
    struct PendingPreviews
    {
        QStringList order;
        QHash<QString, ClipboardHistoryItem> items;
    };

    void registerDefaults();
    void readSettings();
    void loadHistory();
    int readClampedInteger(const QString& key, int fallback, int minimum, int maximum) const;
    bool readBool(const QString& key, bool fallback) const;
    bool applyLimit(int& member, int count, const QString& key);

    void startMonitoring();
    void stopMonitoring();
    void pollPasteboard();
    void startPendingPasteboardCaptureIfNeeded();
    void finishCapture(std::optional<ClipboardHistoryItem> item, qint64 expected, int generation);
    void insertCapturedItem(const ClipboardHistoryItem& item);
    // Drops what passes the per-kind limits; true when anything was dropped.
    bool trimHistory();
    void trimHistoryIfNeeded();
    void promoteItemToTopIfNeeded(const QUuid& itemID);

    void startNextPreviewBatch();
    void finishPreviewBatch(const QList<ClipboardHistoryImagePreview>& previews);

    void setStatusMessage(const QString& message);
    void replaceItems(QList<ClipboardHistoryItem> items);

    Pasteboard& m_pasteboard;
    DefaultsStore& m_defaults;
    Scheduler& m_scheduler;
    Executor& m_executor;
    std::unique_ptr<ClipboardHistoryStorage> m_storage;

    bool m_clipboardHistoryEnabled = true;
    int m_maxTextHistoryCount = defaultHistoryCount;
    int m_maxImageHistoryCount = defaultHistoryCount;
    int m_maxURLHistoryCount = defaultHistoryCount;
    int m_displayHistoryRowCount = defaultDisplayHistoryRowCount;
    bool m_autoPasteAfterSelectingHistory = false;
    bool m_moveSelectedHistoryItemToTop = false;
    bool m_saveExcelCopiesAsText = true;
    QList<ClipboardHistoryItem> m_items;
    std::optional<QString> m_statusMessage;
    int m_imagePreviewGeneration = 0;

    TimerHandle m_monitoringTimer;
    TaskHandle m_captureTask;
    std::optional<qint64> m_pendingCaptureChangeCount;
    int m_captureGeneration = 0;
    TaskHandle m_imagePreviewTask;
    PendingPreviews m_pendingImagePreviewItems;
    QSet<QString> m_previewsInFlight;
    qint64 m_lastChangeCount = 0;
    // Last: its pending completions refer to the members above.
    PersistentStoreWriter m_writer;
};
