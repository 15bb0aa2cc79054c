#include "ClipboardHistoryModel.h"

#include "ClipboardHistoryImageCache.h"
#include "ClipboardHistoryImagePreviewRenderer.h"
#include "ClipboardHistoryStorage.h"
#include "ClipboardImageSpill.h"
#include "ClipboardPasteboardReader.h"
#include "platform/DefaultsStore.h"
#include "platform/FileLocations.h"
#include "platform/Pasteboard.h"

#include <QPointer>

#include <algorithm>
#include <functional>

namespace {

const QByteArray pngSignature = QByteArrayLiteral("\x89PNG\r\n\x1a\n");

constexpr qint64 defaultHistoryCount = 80;
constexpr qint64 maxHistoryCount = 500;
constexpr qint64 defaultDisplayHistoryRowCount = 4;
constexpr qint64 maxDisplayHistoryRowCount = 12;

qint64 utf8Length(QStringView text)
{
    qint64 length = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        if (unit < 0x80) {
            length += 1;
        } else if (unit < 0x800) {
            length += 2;
        } else if (QChar::isHighSurrogate(unit) && i + 1 < text.size() &&
            QChar::isLowSurrogate(text[i + 1].unicode())) {
            length += 4;
            ++i;
        } else {
            length += 3; // a lone surrogate is written as U+FFFD
        }
    }
    return length;
}

} // namespace

ClipboardHistoryModel::ClipboardHistoryModel(Pasteboard& pasteboard, DefaultsStore& defaults,
    Scheduler& scheduler, Executor& executor, const FileLocations& locations, QObject* parent)
    : QObject(parent)
    , m_pasteboard(pasteboard)
    , m_scheduler(scheduler)
    , m_executor(executor)
    , m_storage(std::make_unique<ClipboardHistoryStorage>(locations.applicationSupportDirectory()))
    , m_imageSpill(std::make_shared<const ClipboardImageSpill>(locations.cacheDirectory(),
          ClipboardImageSpill::folderName(), ClipboardImageSpill::StaleFiles::Adopt))
    , m_clipboardHistoryEnabled(defaults, ClipboardHistorySettingsKey::enabled, true,
          {.changed =
                  [this](bool enabled) {
                      enabled ? startMonitoring() : stopMonitoring();
                      Q_EMIT clipboardHistoryEnabledChanged();
                  }})
    , m_maxTextHistoryCount(limitSetting(defaults, ClipboardHistorySettingsKey::maxTextHistoryCount,
          &ClipboardHistoryModel::maxTextHistoryCountChanged))
    , m_maxImageHistoryCount(
          limitSetting(defaults, ClipboardHistorySettingsKey::maxImageHistoryCount,
              &ClipboardHistoryModel::maxImageHistoryCountChanged))
    , m_maxURLHistoryCount(limitSetting(defaults, ClipboardHistorySettingsKey::maxURLHistoryCount,
          &ClipboardHistoryModel::maxURLHistoryCountChanged))
    , m_displayHistoryRowCount(countSetting(defaults,
          ClipboardHistorySettingsKey::displayHistoryRowCount, defaultDisplayHistoryRowCount,
          maxDisplayHistoryRowCount, [this] { Q_EMIT displayHistoryRowCountChanged(); }))
    , m_autoPasteAfterSelectingHistory(defaults,
          ClipboardHistorySettingsKey::autoPasteAfterSelectingHistory, false,
          {.changed =
                  [this](bool) {
                      Q_EMIT autoPasteAfterSelectingHistoryChanged();
                  }})
    , m_moveSelectedHistoryItemToTop(defaults,
          ClipboardHistorySettingsKey::moveSelectedHistoryItemToTop, false,
          {.changed =
                  [this](bool) {
                      Q_EMIT moveSelectedHistoryItemToTopChanged();
                  }})
    , m_saveExcelCopiesAsText(defaults, ClipboardHistorySettingsKey::saveExcelCopiesAsText, true,
          {.changed =
                  [this](bool) {
                      Q_EMIT saveExcelCopiesAsTextChanged();
                  }})
    , m_writer(scheduler, executor, m_storage->filePath(),
          [this]() -> PersistentStoreWriter::Snapshot {
              return {[items = m_items, path = m_storage->filePath()](
                          QIODevice& device) { // shared, not copied
                          return ClipboardHistoryStorage::encodeRestoringImages(
                              items, path, device);
                      },
                  {}};
          },
          {0, Executor::Priority::Utility})
{
    m_writer.setSaveFailedHandler([this](const PersistentStoreWriter::Outcome& outcome) {
        setStatusMessage(
            QStringLiteral("保存に失敗しました: ") + outcome.error.value_or(QString()));
    });
    ClipboardHistoryImageCache::shared().setSpill(std::make_shared<const ClipboardImageSpill>(
        locations.cacheDirectory(), ClipboardHistoryImageCache::spillFolderName()));
    registerDefaults(defaults);
    loadSettings();
    m_lastChangeCount = m_pasteboard.changeCount();
    loadHistory();
    connect(&m_pasteboard, &Pasteboard::changed, this, &ClipboardHistoryModel::pasteboardChanged);
    if (clipboardHistoryEnabled()) {
        startMonitoring();
    }
}

ClipboardHistoryModel::~ClipboardHistoryModel()
{
    // The history's images wait in the spill folder for the next start, which adopts them
    // instead of writing them all again.
    m_imageSpill->keepFilesForNextStart();
}

// Settings

Setting<qint64> ClipboardHistoryModel::countSetting(DefaultsStore& defaults, const QString& key,
    qint64 defaultValue, qint64 maximum, std::function<void()> changed)
{
    return {defaults, key, defaultValue,
        {.normalize = Setting<qint64>::clampedTo(1, maximum),
            .changed = [changed = std::move(changed)](qint64) {
                changed();
            }}};
}

Setting<qint64> ClipboardHistoryModel::limitSetting(
    DefaultsStore& defaults, const QString& key, void (ClipboardHistoryModel::*changed)())
{
    return countSetting(defaults, key, defaultHistoryCount, maxHistoryCount, [this, changed] {
        trimHistoryIfNeeded();
        Q_EMIT(this->*changed)();
    });
}

void ClipboardHistoryModel::registerDefaults(DefaultsStore& defaults)
{
    // An installation that had one common limit keeps it for all three kinds; only a value
    // stored as an integer counts.
    qint64 legacyLimit = defaultHistoryCount;
    const DefaultsValue legacy = defaults.value(ClipboardHistorySettingsKey::legacyMaxHistoryCount);
    if (defaultsTypeOf(legacy) == DefaultsType::Integer) {
        legacyLimit = std::get<qint64>(legacy);
    }
    m_clipboardHistoryEnabled.registerDefault();
    m_maxTextHistoryCount.registerDefault(legacyLimit);
    m_maxImageHistoryCount.registerDefault(legacyLimit);
    m_maxURLHistoryCount.registerDefault(legacyLimit);
    m_displayHistoryRowCount.registerDefault();
    m_autoPasteAfterSelectingHistory.registerDefault();
    m_moveSelectedHistoryItemToTop.registerDefault();
    m_saveExcelCopiesAsText.registerDefault();
}

void ClipboardHistoryModel::loadSettings()
{
    m_clipboardHistoryEnabled.load();
    m_maxTextHistoryCount.load();
    m_maxImageHistoryCount.load();
    m_maxURLHistoryCount.load();
    m_displayHistoryRowCount.load();
    m_autoPasteAfterSelectingHistory.load();
    m_moveSelectedHistoryItemToTop.load();
    m_saveExcelCopiesAsText.load();
}

// Items

void ClipboardHistoryModel::setItems(const QList<ClipboardHistoryItem>& items)
{
    replaceItems(items);
}

void ClipboardHistoryModel::replaceItems(QList<ClipboardHistoryItem> items)
{
    m_items = std::move(items);
    Q_EMIT itemsChanged();
}

void ClipboardHistoryModel::setStatusMessage(const QString& message)
{
    if (m_statusMessage == message) {
        return;
    }
    m_statusMessage = message;
    Q_EMIT statusMessageChanged();
}

void ClipboardHistoryModel::loadHistory()
{
    m_writer.settleLeftovers(&ClipboardHistoryStorage::decodes);
    ClipboardHistoryStorage::LoadResult loaded = m_storage->load(
        [spill = m_imageSpill](QByteArray bytes) { return spill->spill(std::move(bytes)); });
    // A file that was not read is never written over this run; an unreadable one is kept
    // aside first, so that the next save cannot destroy it.
    const QString refusal =
        QStringLiteral("読み込めなかった履歴ファイルを上書きしないよう、保存を止めています (") +
        m_storage->filePath() + QStringLiteral(")");
    switch (loaded.status) {
    case ClipboardHistoryStorage::LoadStatus::Loaded:
    case ClipboardHistoryStorage::LoadStatus::Missing:
        break;
    case ClipboardHistoryStorage::LoadStatus::Unreadable:
        m_writer.keepUnreadableFile(refusal);
        break;
    case ClipboardHistoryStorage::LoadStatus::TooLarge:
        m_writer.refuseWrites(refusal);
        break;
    }
    m_imageSpill->finishAdopting();
    QList<ClipboardHistoryItem> items = std::move(loaded.items);
    ClipboardHistoryItem::reclassifyLoaded(items);
    m_items = std::move(items);
    trimHistoryIfNeeded();

    QList<ClipboardHistoryItem> images;
    for (const ClipboardHistoryItem& item : std::as_const(m_items)) {
        if (item.kind == ClipboardHistoryKind::Image) {
            images.append(item);
            if (images.size() == maxPreviewsAtStart) {
                break;
            }
        }
    }
    prepareImagePreviews(images);
}

void ClipboardHistoryModel::removeItem(const QUuid& id)
{
    QList<ClipboardHistoryItem> remaining = m_items;
    remaining.removeIf([&id](const ClipboardHistoryItem& item) { return item.id == id; });
    if (remaining.size() == m_items.size()) {
        return;
    }
    replaceItems(std::move(remaining));
    saveItems();
}

ClipboardHistoryStorageUsage ClipboardHistoryModel::storageUsage() const
{
    ClipboardHistoryStorageUsage usage;
    for (const ClipboardHistoryItem& item : m_items) {
        switch (item.kind) {
        case ClipboardHistoryKind::Text:
            usage.textBytes += item.text ? utf8Length(*item.text) : 0;
            break;
        case ClipboardHistoryKind::Url:
            usage.urlBytes += item.text ? utf8Length(*item.text) : 0;
            break;
        case ClipboardHistoryKind::Image:
            usage.imageBytes += item.imageByteCount();
            break;
        }
    }
    return usage;
}

QString ClipboardHistoryModel::historyFilePath() const
{
    return m_storage->filePath();
}

// Monitoring and capture

void ClipboardHistoryModel::startMonitoring()
{
    m_monitoringTimer.cancel();
    ++m_captureGeneration;
    m_pendingCaptureChangeCount.reset();
    m_lastChangeCount = m_pasteboard.changeCount();
    m_monitoringTimer = m_scheduler.repeating(pollInterval, [this] { checkForChange(); });
    setStatusMessage(QStringLiteral("クリップボード監視: オン"));
}

void ClipboardHistoryModel::stopMonitoring()
{
    m_monitoringTimer.cancel();
    m_notifiedCheck.cancel();
    ++m_captureGeneration;
    m_pendingCaptureChangeCount.reset();
    setStatusMessage(QStringLiteral("クリップボード監視: オフ"));
}

void ClipboardHistoryModel::pasteboardChanged()
{
    if (clipboardHistoryEnabled() && !m_notifiedCheck.isActive()) {
        m_notifiedCheck = m_scheduler.postDelayed(0, [this] { checkForChange(); });
    }
}

void ClipboardHistoryModel::checkForChange()
{
    if (!clipboardHistoryEnabled()) {
        return;
    }
    const qint64 changeCount = m_pasteboard.changeCount();
    if (changeCount == m_lastChangeCount) {
        return;
    }
    m_lastChangeCount = changeCount;
    m_pendingCaptureChangeCount = changeCount;
    startPendingPasteboardCaptureIfNeeded();
}

void ClipboardHistoryModel::startPendingPasteboardCaptureIfNeeded()
{
    if (!m_captureTask.isEmpty() || !m_pendingCaptureChangeCount) {
        return;
    }
    const qint64 expected = *m_pendingCaptureChangeCount;
    m_pendingCaptureChangeCount.reset();
    const int generation = m_captureGeneration;
    const bool saveExcelCopiesAsText = m_saveExcelCopiesAsText.value();
    const QDateTime now = m_scheduler.now();
    const Pasteboard* pasteboard = &m_pasteboard;
    QPointer<ClipboardHistoryModel> self(this);
    m_captureTask = m_executor.run<std::optional<ClipboardHistoryItem>>(
        Executor::Priority::UserInitiated,
        [pasteboard, expected, saveExcelCopiesAsText, now, spill = m_imageSpill](
            const CancelToken&) {
            std::optional<ClipboardHistoryItem> item = ClipboardPasteboardReader::captureItem(
                *pasteboard, expected, saveExcelCopiesAsText, now);
            if (item && item->imageData) {
                item->imageData = spill->spill(item->imageData->read().value_or(QByteArray()));
            }
            return item;
        },
        [self, expected, generation](std::optional<ClipboardHistoryItem> item) {
            if (self) {
                self->finishCapture(std::move(item), expected, generation);
            }
        });
}

void ClipboardHistoryModel::finishCapture(
    std::optional<ClipboardHistoryItem> item, qint64 expected, int generation)
{
    m_captureTask.release();
    if (generation == m_captureGeneration && clipboardHistoryEnabled() &&
        m_pasteboard.changeCount() == expected && item) {
        insertCapturedItem(*item);
    }
    if (!clipboardHistoryEnabled()) {
        return;
    }
    const qint64 changeCount = m_pasteboard.changeCount();
    if (changeCount != m_lastChangeCount) {
        m_lastChangeCount = changeCount;
        m_pendingCaptureChangeCount = changeCount;
    }
    startPendingPasteboardCaptureIfNeeded();
}

void ClipboardHistoryModel::insertCapturedItem(const ClipboardHistoryItem& item)
{
    if (!m_items.isEmpty() && m_items.first().fingerprint == item.fingerprint) {
        return;
    }
    QList<ClipboardHistoryItem> items;
    items.reserve(m_items.size() + 1);
    items.append(item);
    for (const ClipboardHistoryItem& existing : std::as_const(m_items)) {
        if (existing.fingerprint != item.fingerprint) {
            items.append(existing);
        }
    }
    replaceItems(std::move(items));
    prepareImagePreviews({item});
    trimHistory();
    saveItems();
}

void ClipboardHistoryModel::trimHistoryIfNeeded()
{
    if (trimHistory()) {
        saveItems();
    }
}

bool ClipboardHistoryModel::trimHistory()
{
    int texts = 0;
    int urls = 0;
    int images = 0;
    QList<ClipboardHistoryItem> kept;
    kept.reserve(m_items.size());
    for (const ClipboardHistoryItem& item : std::as_const(m_items)) {
        int* counter = nullptr;
        qint64 limit = 0;
        switch (item.kind) {
        case ClipboardHistoryKind::Text:
            counter = &texts;
            limit = m_maxTextHistoryCount.value();
            break;
        case ClipboardHistoryKind::Url:
            counter = &urls;
            limit = m_maxURLHistoryCount.value();
            break;
        case ClipboardHistoryKind::Image:
            counter = &images;
            limit = m_maxImageHistoryCount.value();
            break;
        }
        if (*counter < limit) {
            ++*counter;
            kept.append(item);
        }
    }
    if (kept.size() == m_items.size()) {
        return false;
    }
    replaceItems(std::move(kept));
    return true;
}

// Copy back

void ClipboardHistoryModel::copyToClipboard(
    const ClipboardHistoryItem& item, std::function<void(bool copied)> done)
{
    dropPendingCopy();
    if (item.kind != ClipboardHistoryKind::Image || !item.imageData ||
        !item.imageData->isSpilled()) {
        writeToClipboard(item, item.imageBytes());
        if (done) {
            done(true);
        }
        return;
    }
    m_copyDone = std::move(done);
    QPointer<ClipboardHistoryModel> self(this);
    m_copyTask = m_executor.run<std::optional<QByteArray>>(
        Executor::Priority::UserInitiated,
        [bytes = *item.imageData](const CancelToken&) { return bytes.read(); },
        [self, item](std::optional<QByteArray> bytes) {
            if (self) {
                self->finishImageCopy(item, std::move(bytes));
            }
        });
}

void ClipboardHistoryModel::finishImageCopy(
    const ClipboardHistoryItem& item, std::optional<QByteArray> bytes)
{
    m_copyTask.release();
    const std::function<void(bool)> done = std::exchange(m_copyDone, {});
    // Deleted or cleared while its bytes were read: the user no longer has it to choose.
    const bool present = std::any_of(m_items.cbegin(), m_items.cend(),
        [&item](const ClipboardHistoryItem& entry) { return entry.id == item.id; });
    if (present) {
        writeToClipboard(item, bytes);
    }
    if (done) {
        done(present);
    }
}

void ClipboardHistoryModel::dropPendingCopy()
{
    m_copyTask.cancel();
    if (const std::function<void(bool)> done = std::exchange(m_copyDone, {})) {
        done(false);
    }
}

void ClipboardHistoryModel::writeToClipboard(
    const ClipboardHistoryItem& item, const std::optional<QByteArray>& bytes)
{
    // One write of the whole content: clipboard daemons refill a cleared clipboard, and their
    // refill could replace the entry the user chose. Only an entry without content clears.
    if (item.kind == ClipboardHistoryKind::Image) {
        // Bytes that can no longer be read count as none.
        if (!bytes) {
            m_pasteboard.clear();
            return;
        }
        const QString type =
            bytes->startsWith(pngSignature) ? PasteboardType::png : PasteboardType::tiff;
        m_pasteboard.write({{type, *bytes}});
    } else {
        if (!item.text) {
            m_pasteboard.clear();
            return;
        }
        m_pasteboard.write({{PasteboardType::string, item.text->toUtf8()}});
    }
    promoteItemToTopIfNeeded(item.id);
    m_lastChangeCount = m_pasteboard.changeCount();
    setStatusMessage(QStringLiteral("クリップボードに戻しました"));
}

void ClipboardHistoryModel::promoteItemToTopIfNeeded(const QUuid& itemID)
{
    if (!moveSelectedHistoryItemToTop()) {
        return;
    }
    const auto found = std::find_if(m_items.cbegin(), m_items.cend(),
        [&itemID](const ClipboardHistoryItem& item) { return item.id == itemID; });
    if (found == m_items.cend() || found == m_items.cbegin()) {
        return;
    }
    const qsizetype index = std::distance(m_items.cbegin(), found);
    QList<ClipboardHistoryItem> items = m_items;
    ClipboardHistoryItem promoted = items.takeAt(index);
    promoted.createdAt = m_scheduler.now();
    items.prepend(std::move(promoted));
    replaceItems(std::move(items));
    saveItems();
}

// Saving

void ClipboardHistoryModel::saveItems()
{
    m_writer.requestSave();
}

bool ClipboardHistoryModel::flushPendingSave(QDeadlineTimer deadline)
{
    return m_writer.flush(deadline);
}

// Previews

void ClipboardHistoryModel::prepareImagePreviews(const QList<ClipboardHistoryItem>& items)
{
    const ClipboardHistoryImageCache& cache = ClipboardHistoryImageCache::shared();
    for (const ClipboardHistoryItem& item : items) {
        if (item.kind != ClipboardHistoryKind::Image || !item.imageData ||
            cache.hasImage(item.fingerprint) || m_previewsInFlight.contains(item.fingerprint)) {
            continue;
        }
        if (!m_pendingImagePreviewItems.items.contains(item.fingerprint)) {
            m_pendingImagePreviewItems.order.append(item.fingerprint);
        }
        m_pendingImagePreviewItems.items.insert(item.fingerprint, item);
    }
    if (m_imagePreviewTask.isEmpty() && !m_pendingImagePreviewItems.order.isEmpty()) {
        startNextPreviewBatch();
    }
}

void ClipboardHistoryModel::startNextPreviewBatch()
{
    QList<ClipboardHistoryItem> batch;
    batch.reserve(m_pendingImagePreviewItems.order.size());
    for (const QString& fingerprint : std::as_const(m_pendingImagePreviewItems.order)) {
        batch.append(m_pendingImagePreviewItems.items.value(fingerprint));
    }
    m_previewsInFlight = QSet<QString>(
        m_pendingImagePreviewItems.order.cbegin(), m_pendingImagePreviewItems.order.cend());
    m_pendingImagePreviewItems = {};
    QPointer<ClipboardHistoryModel> self(this);
    m_imagePreviewTask = m_executor.run<QList<ClipboardHistoryImagePreview>>(
        Executor::Priority::Utility,
        [batch, spill = ClipboardHistoryImageCache::shared().spill()](const CancelToken& token) {
            return ClipboardHistoryImagePreviewRenderer::render(batch, &token, spill.get());
        },
        [self](QList<ClipboardHistoryImagePreview> previews) {
            if (self) {
                self->finishPreviewBatch(previews);
            }
        });
}

void ClipboardHistoryModel::finishPreviewBatch(const QList<ClipboardHistoryImagePreview>& previews)
{
    m_imagePreviewTask.release();
    m_previewsInFlight.clear();
    ClipboardHistoryImageCache::shared().store(previews);
    ++m_imagePreviewGeneration;
    Q_EMIT imagePreviewGenerationChanged();
    if (!m_pendingImagePreviewItems.order.isEmpty()) {
        startNextPreviewBatch();
    }
}
