#pragma once

// Where the quick panel's two floating panels go, as pure functions in the y-up screen space
// (platform/ScreenSpace.h converts): the fixed phrase side panel beside the launcher row and
// the image hover preview beside the quick panel.
//
// The side panel is 160 wide with the folder column only and 430 with the title column (both
// times the scale); it is tall enough for a 30 header and 28 per row of the longer column, at
// least 240, and no taller than the screen's visible height less 16. It opens 10 to the right
// of the anchor, or to its left when it would pass the screen's right edge, 8 inside the
// visible frame, its top level with the anchor's top.
//
// The preview shows the image at its own size up to 85 % of the visible frame each way (it
// scrolls beyond), 24 to the left of the window under the pointer or, without room there, to
// its right, vertically centred on the pointer and kept on the screen.
//
// A zero-size rectangle intersects no screen: an anchor at the pointer finds the main screen.

#include "phrases/FixedPhrase.h"
#include "platform/ScreenSpace.h"

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSizeF>

#include <optional>

namespace FloatingPanelGeometry {

// The rows the side panel wants: the visible folders or the phrases of the fullest one.
qsizetype sidePanelRowCount(const FixedPhraseFolderList& visibleFolders);

// The visible frame of the first screen that intersects anchor, else the main screen's.
std::optional<QRectF> visibleFrame(const QRectF& anchor, const QList<ScreenFrame>& screens);

// The launcher row's frame, or a zero-size rectangle at the pointer when it has none.
QRectF sidePanelAnchor(const QRectF& launcherFrame, const QPointF& pointer);
QSizeF panelSize(qsizetype rowCount, double uiScale, const std::optional<QRectF>& visibleFrame,
    bool showsTitleColumn);
QPointF origin(const QSizeF& size, const QRectF& anchor, const std::optional<QRectF>& visibleFrame);

// The preview's frame; nothing for an image without area. windowUnderPointer is the frame of
// the topmost window at the pointer, when there is one.
std::optional<QRectF> imagePreviewFrame(const QSizeF& imageSize, const QPointF& pointer,
    const std::optional<QRectF>& windowUnderPointer, const QList<ScreenFrame>& screens);

} // namespace FloatingPanelGeometry
