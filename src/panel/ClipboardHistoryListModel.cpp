#include "ClipboardHistoryListModel.h"

#include "ClipboardHistoryDateFormatting.h"
#include "ClipboardHistoryMenuViewModel.h"
#include "clipboard/ClipboardHistoryImageCache.h"

namespace {

QUuid itemID(const ClipboardHistoryItem& item)
{
    return item.id;
}

} // namespace

ClipboardHistoryListModel::ClipboardHistoryListModel(
    ClipboardHistoryMenuViewModel& menu, ClipboardHistoryKind kind, QObject* parent)
    : QuickPanelListModel(itemID, parent)
    , m_menu(menu)
    , m_kind(kind)
{
    connect(&menu, &ClipboardHistoryMenuViewModel::resultsChanged, this,
        [this] { refresh(Content::MayHaveChanged); });
    connect(&menu, &ClipboardHistoryMenuViewModel::searchTextChanged, this,
        [this] { refresh(Content::Unchanged); });
    connect(&menu, &ClipboardHistoryMenuViewModel::selectedHistoryItemIDChanged, this,
        [this] { setSelectedID(m_menu.selectedHistoryItemID()); });
    if (kind == ClipboardHistoryKind::Image) {
        connect(&menu.thumbnails(), &ClipboardHistoryThumbnailLoader::thumbnailDecoded, this,
            &ClipboardHistoryListModel::thumbnailDecoded);
    }
    refresh(Content::MayHaveChanged);
}

void ClipboardHistoryListModel::refresh(Content content)
{
    // A section the search's scope hides lists nothing (and is not filtered for nothing).
    const QList<ClipboardHistoryItem> items = m_menu.shownHistoryKinds().contains(m_kind)
        ? m_menu.filteredItems(m_kind)
        : QList<ClipboardHistoryItem>();
    QSet<QUuid> listed;
    for (const ClipboardHistoryItem& item : items) {
        listed.insert(item.id);
    }
    m_labels.removeIf([&listed](const auto& entry) { return !listed.contains(entry.key()); });
    replaceRows(items, content);
}

QVariant ClipboardHistoryListModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid) || role != Qt::DisplayRole) {
        return {};
    }
    return title(index.row());
}

const ClipboardHistoryListModel::Labels& ClipboardHistoryListModel::labels(int row) const
{
    const ClipboardHistoryItem& item = at(row);
    auto found = m_labels.constFind(item.id);
    if (found == m_labels.cend()) {
        const bool image = m_kind == ClipboardHistoryKind::Image;
        found = m_labels.insert(item.id,
            {image ? QString() : item.normalizedTextPreview(), image ? QString() : item.detail(),
                ClipboardHistoryDateFormatting::string(item.createdAt)});
    }
    return *found;
}

QString ClipboardHistoryListModel::title(int row) const
{
    // An image's title is its dimensions, which arrive with its preview: never remembered.
    return m_kind == ClipboardHistoryKind::Image ? at(row).detail() : labels(row).title;
}

QString ClipboardHistoryListModel::detail(int row) const
{
    return m_kind == ClipboardHistoryKind::Image ? at(row).detail() : labels(row).detail;
}

QString ClipboardHistoryListModel::date(int row) const
{
    return labels(row).date;
}

QImage ClipboardHistoryListModel::thumbnail(int row, const QSize& box) const
{
    const ClipboardHistoryItem& item = at(row);
    if (!ClipboardHistoryImageCache::shared().hasImage(item.fingerprint)) {
        requestPreview(item);
        return {};
    }
    m_requestedPreviews.remove(item.fingerprint);
    return m_menu.thumbnails().thumbnail(item.fingerprint, box);
}

void ClipboardHistoryListModel::thumbnailDecoded(const QString& fingerprint)
{
    for (int row = 0; row < rowCount(); ++row) {
        if (at(row).fingerprint == fingerprint) {
            Q_EMIT dataChanged(index(row), index(row));
        }
    }
}

void ClipboardHistoryListModel::requestPreview(const ClipboardHistoryItem& item) const
{
    if (!item.imageData || m_requestedPreviews.contains(item.fingerprint)) {
        return;
    }
    m_requestedPreviews.insert(item.fingerprint);
    m_previewRequests.append(item);
    if (m_previewRequests.size() == 1) {
        // Painting is no time to start work: the request leaves after this paint.
        QMetaObject::invokeMethod(
            const_cast<ClipboardHistoryListModel*>(this),
            [this] { m_menu.prepareImagePreviews(std::exchange(m_previewRequests, {})); },
            Qt::QueuedConnection);
    }
}
