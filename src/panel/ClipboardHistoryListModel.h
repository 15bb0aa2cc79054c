#pragma once

// The entries of one history section (text, URL or image) as the view model filters them,
// for the section's list or grid. It follows the view model's results, search and selection.
//
// A row's title, detail and date depend on the entry alone (an image's detail also on its
// preview, so it is not remembered); they are remembered while the entry is listed, so
// painting a row never measures a long text or converts its time again.
//
// Thumbnails come from the shared preview cache, decoded off the main thread by the view
// model's thumbnail loader; while a decode runs the row paints without one, and when it ends
// only the rows showing that image are reported changed. A row painted while the cache has no
// thumbnail at all asks the history for the previews it lacks, in one request per turn of the event
// loop for every such row: only images that are on screen are rendered (the cache holds 160, the
// history up to 500). A fingerprint is asked for once until its thumbnail arrived, so an image that
// cannot be rendered is not asked for again on every repaint.

#include "QuickPanelListModel.h"
#include "clipboard/ClipboardHistoryItem.h"

#include <QHash>
#include <QImage>
#include <QSet>
#include <QString>

class ClipboardHistoryMenuViewModel;

class ClipboardHistoryListModel final : public QuickPanelListModel<ClipboardHistoryItem>
{
public:
    ClipboardHistoryListModel(
        ClipboardHistoryMenuViewModel& menu, ClipboardHistoryKind kind, QObject* parent = nullptr);

    QVariant data(const QModelIndex& index, int role) const override;

    ClipboardHistoryKind kind() const { return m_kind; }
    // The preview title (text and URL) and the detail ("12文字", "URL", "4000 x 3000").
    QString title(int row) const;
    QString detail(int row) const;
    QString date(int row) const;
    // The thumbnail fitted into box (device pixels), or a null image (and a request for it)
    // while there is none.
    QImage thumbnail(int row, const QSize& box) const;

private:
    struct Labels
    {
        QString title;
        QString detail;
        QString date;
    };

    void refresh(Content content);
    const Labels& labels(int row) const;
    void requestPreview(const ClipboardHistoryItem& item) const;
    void thumbnailDecoded(const QString& fingerprint);

    ClipboardHistoryMenuViewModel& m_menu;
    const ClipboardHistoryKind m_kind;
    mutable QHash<QUuid, Labels> m_labels;
    mutable QList<ClipboardHistoryItem> m_previewRequests;
    mutable QSet<QString> m_requestedPreviews;
};
