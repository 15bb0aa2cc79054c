#pragma once

// The clipboard history: watches the pasteboard's change count, records every new text, URL
// and image, removes duplicates, keeps a limit per kind, saves "ClipboardHistory.json",
// prepares image previews and puts a chosen entry back on the clipboard. Main thread only.
//
// Background work, one task per activity, each held in its TaskHandle slot:
// - capture (user-initiated): reads the pasteboard on the worker and spills an image's bytes
//   to the cache folder there (ClipboardImageSpill), so the list holds handles, not images;
//   changes that arrive while it runs collapse into one pending change count, the newest;
// - save (utility, through a PersistentStoreWriter): writes a snapshot of the list; a burst of
//   requests gives one write now and at most one more with the newest list;
// - previews (utility): renders the pending thumbnails in batches;
// - copy-back (user-initiated): reads a spilled image's bytes for the clipboard write.
// Results are applied on the main thread after re-checking that they are still wanted
// (capture generation, monitoring switch, change count).
//
// Changes are noticed two ways: the pasteboard's change notification runs the change check
// at once (posted, so a burst of notifications gives one check), and the 0.75 s poll of the
// change count runs it too, as the guarantee for a change whose notification never came.
// Both go through the same check, so the capture rules are the same whichever sees it first.
//
// A limit only trims when it changes: every other way into the list (capture, loading,
// the panel's delete) keeps it within the limits already.
//
// A save that is still running when the application quits would be lost with the process:
// flushPendingSave() finishes it, bounded, at termination.

#include "ClipboardHistoryImageCache.h"
#include "ClipboardHistoryItem.h"
#include "ClipboardHistoryStorageUsage.h"
#include "platform/Executor.h"
#include "platform/Scheduler.h"
#include "platform/Setting.h"
#include "support/PersistentStoreWriter.h"

#include <QDeadlineTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <functional>
#include <memory>
#include <optional>

class ClipboardHistoryStorage;
class ClipboardImageSpill;
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
    static constexpr double pollInterval = 0.75;
    static constexpr int maxPreviewsAtStart = 120;

    ClipboardHistoryModel(Pasteboard& pasteboard, DefaultsStore& defaults, Scheduler& scheduler,
        Executor& executor, const FileLocations& locations, QObject* parent = nullptr);
    ~ClipboardHistoryModel() override;

    bool clipboardHistoryEnabled() const { return m_clipboardHistoryEnabled.value(); }
    void setClipboardHistoryEnabled(bool enabled) { m_clipboardHistoryEnabled.set(enabled); }
    int maxTextHistoryCount() const { return int(m_maxTextHistoryCount.value()); }
    void setMaxTextHistoryCount(int count) { m_maxTextHistoryCount.set(count); }
    int maxImageHistoryCount() const { return int(m_maxImageHistoryCount.value()); }
    void setMaxImageHistoryCount(int count) { m_maxImageHistoryCount.set(count); }
    int maxURLHistoryCount() const { return int(m_maxURLHistoryCount.value()); }
    void setMaxURLHistoryCount(int count) { m_maxURLHistoryCount.set(count); }
    int displayHistoryRowCount() const { return int(m_displayHistoryRowCount.value()); }
    void setDisplayHistoryRowCount(int count) { m_displayHistoryRowCount.set(count); }
    bool autoPasteAfterSelectingHistory() const { return m_autoPasteAfterSelectingHistory.value(); }
    void setAutoPasteAfterSelectingHistory(bool on) { m_autoPasteAfterSelectingHistory.set(on); }
    bool moveSelectedHistoryItemToTop() const { return m_moveSelectedHistoryItemToTop.value(); }
    void setMoveSelectedHistoryItemToTop(bool on) { m_moveSelectedHistoryItemToTop.set(on); }
    bool saveExcelCopiesAsText() const { return m_saveExcelCopiesAsText.value(); }
    void setSaveExcelCopiesAsText(bool on) { m_saveExcelCopiesAsText.set(on); }

    QList<ClipboardHistoryItem> items() const { return m_items; }
    // The quick panel's delete action replaces the list and then calls saveItems().
    void setItems(const QList<ClipboardHistoryItem>& items);
    std::optional<QString> statusMessage() const { return m_statusMessage; }
    // Why the history started empty this run (its file could not be read), for the command
    // line; the interface stays silent about it.
    QString storeWarning() const { return m_writer.loadWarning(); }
    int imagePreviewGeneration() const { return m_imagePreviewGeneration; }

    Pasteboard& pasteboard() const { return m_pasteboard; }
    // The change count last seen or produced here. The application sets it after it wrote a
    // fixed phrase to the clipboard, so that the phrase is not recorded.
    qint64 lastChangeCount() const { return m_lastChangeCount; }
    void setLastChangeCount(qint64 changeCount) { m_lastChangeCount = changeCount; }

    // Puts the item back on the clipboard as one write of its content. A spilled image's bytes
    // are read on a worker (the file may hold tens of MB) and written here afterwards, unless
    // the entry left the history or another copy was asked for meanwhile. done (optional)
    // runs once: true after the write (or the clear of an entry without content), false when
    // the copy was dropped.
    void copyToClipboard(
        const ClipboardHistoryItem& item, std::function<void(bool copied)> done = {});
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

    void registerDefaults(DefaultsStore& defaults);
    void loadSettings();
    void loadHistory();
    // A count clamped to 1...maximum on reading and on setting.
    static Setting<qint64> countSetting(DefaultsStore& defaults, const QString& key,
        qint64 defaultValue, qint64 maximum, std::function<void()> changed);
    // A per-kind limit: a change trims the history before it is announced.
    Setting<qint64> limitSetting(
        DefaultsStore& defaults, const QString& key, void (ClipboardHistoryModel::*changed)());

    void startMonitoring();
    void stopMonitoring();
    void pasteboardChanged();
    void checkForChange();
    void startPendingPasteboardCaptureIfNeeded();
    void finishCapture(std::optional<ClipboardHistoryItem> item, qint64 expected, int generation);
    void insertCapturedItem(const ClipboardHistoryItem& item);
    // Drops what passes the per-kind limits; true when anything was dropped.
    bool trimHistory();
    void trimHistoryIfNeeded();
    void promoteItemToTopIfNeeded(const QUuid& itemID);
    void finishImageCopy(const ClipboardHistoryItem& item, std::optional<QByteArray> bytes);
    void writeToClipboard(const ClipboardHistoryItem& item, const std::optional<QByteArray>& bytes);
    // Drops the copy whose bytes are still being read: a later request wins.
    void dropPendingCopy();

    void startNextPreviewBatch();
    void finishPreviewBatch(const QList<ClipboardHistoryImagePreview>& previews);

    void setStatusMessage(const QString& message);
    void replaceItems(QList<ClipboardHistoryItem> items);

    Pasteboard& m_pasteboard;
    Scheduler& m_scheduler;
    Executor& m_executor;
    std::unique_ptr<ClipboardHistoryStorage> m_storage;
    // Shared with the capture jobs, which spill on the worker.
    std::shared_ptr<const ClipboardImageSpill> m_imageSpill;

    Setting<bool> m_clipboardHistoryEnabled;
    Setting<qint64> m_maxTextHistoryCount;
    Setting<qint64> m_maxImageHistoryCount;
    Setting<qint64> m_maxURLHistoryCount;
    Setting<qint64> m_displayHistoryRowCount;
    Setting<bool> m_autoPasteAfterSelectingHistory;
    Setting<bool> m_moveSelectedHistoryItemToTop;
    Setting<bool> m_saveExcelCopiesAsText;
    QList<ClipboardHistoryItem> m_items;
    std::optional<QString> m_statusMessage;
    int m_imagePreviewGeneration = 0;

    TimerHandle m_monitoringTimer;
    // The change check a notification posted and that has not run yet.
    TimerHandle m_notifiedCheck;
    TaskHandle m_captureTask;
    std::optional<qint64> m_pendingCaptureChangeCount;
    int m_captureGeneration = 0;
    TaskHandle m_imagePreviewTask;
    TaskHandle m_copyTask;
    std::function<void(bool)> m_copyDone;
    PendingPreviews m_pendingImagePreviewItems;
    QSet<QString> m_previewsInFlight;
    qint64 m_lastChangeCount = 0;
    // Last: its pending completions refer to the members above.
    PersistentStoreWriter m_writer;
};
