#include "FloatingPanelGeometry.h"

#include <algorithm>

namespace FloatingPanelGeometry {

namespace {

constexpr double folderOnlyPanelWidth = 160;
constexpr double fullPanelWidth = 430;
constexpr double minimumPanelHeight = 240;
constexpr double headerHeight = 30;
constexpr double rowHeight = 28;
constexpr double screenMargin = 16;
constexpr double anchorGap = 10;
constexpr double edgeInset = 8;

constexpr double previewScreenShare = 0.85;
constexpr double previewGap = 24;
const QRectF screenlessPreviewFrame(0, 0, 1440, 900);

// Half-open, as a point on the shared edge of two screens belongs to one of them.
bool contains(const QRectF& frame, const QPointF& point)
{
    return point.x() >= frame.left() && point.x() < frame.right() && point.y() >= frame.top() &&
        point.y() < frame.bottom();
}

// In the y-up space QRectF's top() is the lower edge and bottom() the upper one; these names
// say which is meant.
double minY(const QRectF& rect)
{
    return rect.top();
}

double maxY(const QRectF& rect)
{
    return rect.top() + rect.height();
}

} // namespace

qsizetype sidePanelRowCount(const FixedPhraseFolderList& visibleFolders)
{
    qsizetype rows = visibleFolders.size();
    for (const FixedPhraseFolder& folder : visibleFolders) {
        rows = std::max(rows, folder.phrases.size());
    }
    return rows;
}

std::optional<QRectF> visibleFrame(const QRectF& anchor, const QList<ScreenFrame>& screens)
{
    for (const ScreenFrame& screen : screens) {
        if (screen.frame.intersects(anchor)) {
            return screen.visibleFrame;
        }
    }
    if (!screens.isEmpty()) {
        return screens.first().visibleFrame;
    }
    return std::nullopt;
}

QRectF sidePanelAnchor(const QRectF& launcherFrame, const QPointF& pointer)
{
    return launcherFrame.isEmpty() ? QRectF(pointer, QSizeF(0, 0)) : launcherFrame;
}

QSizeF panelSize(qsizetype rowCount, double uiScale, const std::optional<QRectF>& visibleFrame,
    bool showsTitleColumn)
{
    const double wanted = uiScale * (rowHeight * double(rowCount) + headerHeight);
    const double minimum = uiScale * minimumPanelHeight;
    const double available = visibleFrame ? visibleFrame->height() - screenMargin
                                          : std::max(wanted, minimum) - screenMargin;
    const double height = std::min(std::max(minimum, wanted), std::max(minimum, available));
    const double width = uiScale * (showsTitleColumn ? fullPanelWidth : folderOnlyPanelWidth);
    return {width, height};
}

QPointF origin(const QSizeF& size, const QRectF& anchor, const std::optional<QRectF>& visibleFrame)
{
    double x = anchor.right() + anchorGap;
    double y = maxY(anchor) - size.height();
    if (!visibleFrame) {
        return {x, y};
    }
    const QRectF& visible = *visibleFrame;
    if (x + size.width() > visible.right()) {
        x = anchor.left() - size.width() - anchorGap;
    }
    x = std::min(
        std::max(x, visible.left() + edgeInset), visible.right() - size.width() - edgeInset);
    y = std::min(std::max(y, minY(visible) + edgeInset), maxY(visible) - size.height() - edgeInset);
    return {x, y};
}

std::optional<QRectF> imagePreviewFrame(const QSizeF& imageSize, const QPointF& pointer,
    const std::optional<QRectF>& windowUnderPointer, const QList<ScreenFrame>& screens)
{
    if (imageSize.width() <= 0 || imageSize.height() <= 0) {
        return std::nullopt;
    }
    const auto screen = std::find_if(screens.cbegin(), screens.cend(),
        [&pointer](const ScreenFrame& candidate) { return contains(candidate.frame, pointer); });
    QRectF visible = screenlessPreviewFrame;
    if (screen != screens.cend()) {
        visible = screen->visibleFrame;
    } else if (!screens.isEmpty()) {
        visible = screens.first().visibleFrame;
    }
    const QRectF anchor = windowUnderPointer.value_or(QRectF(pointer, QSizeF(0, 0)));

    const double width = std::min(imageSize.width(), previewScreenShare * visible.width());
    const double height = std::min(imageSize.height(), previewScreenShare * visible.height());
    double x = anchor.left() - width - previewGap;
    if (x < visible.left()) {
        x = std::min(anchor.right() + previewGap, visible.right() - width);
    }
    double y = pointer.y() - height / 2;
    y = std::max(std::min(y, maxY(visible) - height), minY(visible));
    return QRectF(x, y, width, height);
}

} // namespace FloatingPanelGeometry
