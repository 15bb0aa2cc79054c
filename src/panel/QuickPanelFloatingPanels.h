#pragma once

// The quick panel's two floating windows, the fixed phrase side panel and the image hover
// preview, behind the one object the rest of the application talks to. It follows the panel's
// view model (keyboard-mode side panel, image previews of the keyboard selection, hiding on
// reset) and takes the pointer's comings and goings from the panel's widgets: hovering the
// launcher row opens the side panel in mouse mode, leaving it hides the panel after a delay,
// hovering a thumbnail previews its image. A phrase clicked in the side panel is copied
// through the view model like one chosen with the keys.
//
// Both windows are transient children of the quick panel's window (setPanelWindow) and are
// hidden when it closes (hideAll). The full image is decoded on the Executor and the preview
// appears when it arrives; a decode for an entry no longer previewed (the pointer moved on, the
// preview was hidden) is cancelled and never shown. The decoded image of the last preview is
// kept while the panel is open, so moving between a thumbnail and its neighbours does not
// decode it again and again; closing the panel lets it go.

#include "platform/Executor.h"

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>

class ClipboardHistoryMenuViewModel;
class ClipboardHistoryModel;
class Displays;
class Executor;
class FixedPhraseHoverPanelController;
class FixedPhraseModel;
class FixedPhrasePanelSelection;
class HoverImagePreviewPanelController;
class QWidget;
class Scheduler;
struct ClipboardHistoryItem;

class QuickPanelFloatingPanels final : public QObject
{
    Q_OBJECT

public:
    QuickPanelFloatingPanels(ClipboardHistoryMenuViewModel& viewModel,
        FixedPhraseModel& fixedPhrases, ClipboardHistoryModel& history, Scheduler& scheduler,
        Executor& executor, Displays& displays, QObject* parent = nullptr);
    ~QuickPanelFloatingPanels() override;

    // The quick panel's window: the floating windows' transient parent.
    void setPanelWindow(QWidget* quickPanelWindow);
    // The launcher row's frame in global coordinates, also when it is not hovered: the
    // keyboard mode opens the side panel beside it.
    void setLauncherGlobalRect(const QRect& launcherGlobalRect);
    // Mouse mode: the pointer entered or left the launcher row.
    void launcherHoverChanged(bool hovered, const QRect& launcherGlobalRect);
    void thumbnailHoverChanged(const ClipboardHistoryItem& item, bool hovered);
    // The quick panel closed.
    void hideAll();

    FixedPhraseHoverPanelController& sidePanel() const { return *m_sidePanel; }
    HoverImagePreviewPanelController& imagePreview() const { return *m_imagePreview; }

private:
    void showSidePanel(FixedPhrasePanelSelection* keyboardSelection);
    void showImagePreview(const ClipboardHistoryItem& item);
    void hideImagePreview();

    ClipboardHistoryMenuViewModel& m_viewModel;
    Executor& m_executor;
    FixedPhraseHoverPanelController* m_sidePanel = nullptr;
    HoverImagePreviewPanelController* m_imagePreview = nullptr;
    QPointer<QWidget> m_panelWindow;
    QRect m_launcherRect;
    // The entry previewed or being decoded for it, and the last full image decoded.
    QString m_previewFingerprint;
    QString m_decodedFingerprint;
    QImage m_decodedImage;
    TaskHandle m_fullImageDecode;
};
