#pragma once

// The image section's grid: three columns of equal width that follow the panel's width, rows
// as high as the grid items say, laid out lazily by QListView. It reports the pointer
// entering and leaving a thumbnail (for the image hover preview), also when the entry under
// a resting pointer goes away.

#include "clipboard/ClipboardHistoryItem.h"

#include <QListView>

#include <optional>

class ClipboardHistoryListModel;
class ClipboardImageHistoryGridItem;

class ClipboardImageHistoryGrid final : public QListView
{
    Q_OBJECT

public:
    static constexpr int columns = 3;

    ClipboardImageHistoryGrid(ClipboardHistoryListModel& model,
        ClipboardImageHistoryGridItem& delegate, QWidget* parent = nullptr);

    // After a scale change: the cells follow the items' new height.
    void relayout();

Q_SIGNALS:
    void thumbnailHoverChanged(const ClipboardHistoryItem& item, bool hovered);

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    void updateHoveredThumbnail(const std::optional<QPoint>& position);

    ClipboardHistoryListModel& m_model;
    ClipboardImageHistoryGridItem& m_delegate;
    std::optional<ClipboardHistoryItem> m_hovered;
};
