#pragma once

// The image hover preview: a tool window beside the quick panel that shows an entry's full
// image at its own size (one image pixel to one logical pixel), up to 85 % of the screen's
// visible frame each way, with scroll bars only when the image is larger. It has a red
// 2-pixel border with rounded corners, never takes focus and lets the mouse through, so the
// thumbnail under the pointer keeps its hover. Made on first use and kept for the whole run;
// it lets go of the image whenever it is hidden.
//
// The window under the pointer (normally the quick panel) is the anchor the preview sits
// beside; without one the pointer itself is.

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QRectF>

#include <optional>

class Displays;
class QLabel;
class QScrollArea;
class QWidget;

class HoverImagePreviewPanelController final : public QObject
{
    Q_OBJECT

public:
    explicit HoverImagePreviewPanelController(Displays& displays, QObject* parent = nullptr);
    ~HoverImagePreviewPanelController() override;

    // Shows image as a child of parentWindow; an image without area hides the preview.
    void show(const QImage& image, QWidget* parentWindow);
    void hide();

    bool isShown() const;
    // The window, made on first use.
    QWidget* window();
    QScrollArea* scrollArea() const { return m_scrollArea; }

private:
    std::optional<QRectF> windowUnderPointer(const QPoint& pointer) const;

    Displays& m_displays;
    QPointer<QWidget> m_window; // owned by its Qt parent once attached, else by this
    QScrollArea* m_scrollArea = nullptr;
    QLabel* m_imageView = nullptr;
};
