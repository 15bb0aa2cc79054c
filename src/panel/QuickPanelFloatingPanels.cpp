#include "QuickPanelFloatingPanels.h"

#include "ClipboardHistoryMenuViewModel.h"
#include "FixedPhraseHoverPanelController.h"
#include "HoverImagePreviewPanelController.h"
#include "clipboard/ClipboardHistoryImagePreviewRenderer.h"
#include "clipboard/ClipboardHistoryItem.h"
#include "clipboard/ClipboardHistoryModel.h"

#include <QBuffer>
#include <QImageReader>
#include <QWidget>

#include <algorithm>

namespace {

// The full image as the thumbnails show it: turned upright by its orientation.
QImage decodeFullImage(const ClipboardHistoryItem& item)
{
    std::optional<QByteArray> bytes = item.imageBytes();
    if (!bytes) {
        return {};
    }
    ClipboardHistoryImagePreviewRenderer::ensureAllocationLimit();
    QBuffer buffer(&*bytes);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    return reader.read();
}

} // namespace

QuickPanelFloatingPanels::QuickPanelFloatingPanels(ClipboardHistoryMenuViewModel& viewModel,
    FixedPhraseModel& fixedPhrases, ClipboardHistoryModel& history, Scheduler& scheduler,
    Executor& executor, Displays& displays, QObject* parent)
    : QObject(parent)
    , m_viewModel(viewModel)
    , m_executor(executor)
    , m_sidePanel(new FixedPhraseHoverPanelController(fixedPhrases, scheduler, displays, this))
    , m_imagePreview(new HoverImagePreviewPanelController(displays, this))
{
    connect(&viewModel, &ClipboardHistoryMenuViewModel::fixedPhrasePanelShowRequested, this,
        [this](FixedPhrasePanelSelection* selection) { showSidePanel(selection); });
    connect(&viewModel, &ClipboardHistoryMenuViewModel::fixedPhrasePanelHideRequested, this,
        [this] { m_sidePanel->hide(); });
    connect(&viewModel, &ClipboardHistoryMenuViewModel::imagePreviewRequested, this,
        [this](const ClipboardHistoryItem& item) { showImagePreview(item); });
    connect(&viewModel, &ClipboardHistoryMenuViewModel::imagePreviewHideRequested, this,
        [this] { hideImagePreview(); });
    connect(m_sidePanel, &FixedPhraseHoverPanelController::phraseCopied, this,
        [this](const FixedPhrase& phrase) { m_viewModel.copyPhraseFromSidePanel(phrase); });
    connect(m_sidePanel, &FixedPhraseHoverPanelController::keyboardSelectionDropped, this,
        [this](FixedPhrasePanelSelection* selection) {
            m_viewModel.fixedPhrasePanelDropped(selection);
        });
    // An entry deleted under the pointer takes its preview with it.
    connect(&history, &ClipboardHistoryModel::itemsChanged, this, [this, &history] {
        const QList<ClipboardHistoryItem>& items = history.items();
        const auto gone = [&items](const QString& fingerprint) {
            return !fingerprint.isEmpty() &&
                std::none_of(items.cbegin(), items.cend(), [&](const ClipboardHistoryItem& item) {
                    return item.fingerprint == fingerprint;
                });
        };
        if (gone(m_previewFingerprint)) {
            hideImagePreview();
        }
        if (gone(m_decodedFingerprint)) {
            m_decodedFingerprint.clear();
            m_decodedImage = QImage();
        }
    });
}

QuickPanelFloatingPanels::~QuickPanelFloatingPanels() = default;

void QuickPanelFloatingPanels::setPanelWindow(QWidget* quickPanelWindow)
{
    m_panelWindow = quickPanelWindow;
}

void QuickPanelFloatingPanels::setLauncherGlobalRect(const QRect& launcherGlobalRect)
{
    m_launcherRect = launcherGlobalRect;
}

void QuickPanelFloatingPanels::launcherHoverChanged(bool hovered, const QRect& launcherGlobalRect)
{
    m_launcherRect = launcherGlobalRect;
    if (hovered) {
        showSidePanel(nullptr);
    } else {
        m_sidePanel->scheduleHide();
    }
}

void QuickPanelFloatingPanels::thumbnailHoverChanged(const ClipboardHistoryItem& item, bool hovered)
{
    if (hovered) {
        showImagePreview(item);
    } else {
        hideImagePreview();
    }
}

void QuickPanelFloatingPanels::hideAll()
{
    m_sidePanel->hide();
    hideImagePreview();
    // The panel is closed: the full image kept for hovering again is dead weight until it
    // opens, which may be never (a 12-megapixel screenshot holds 48 MB of pixels).
    m_decodedFingerprint.clear();
    m_decodedImage = QImage();
}

void QuickPanelFloatingPanels::showSidePanel(FixedPhrasePanelSelection* keyboardSelection)
{
    m_sidePanel->show(m_viewModel.uiScale(), m_launcherRect, m_panelWindow, keyboardSelection);
}

void QuickPanelFloatingPanels::showImagePreview(const ClipboardHistoryItem& item)
{
    m_previewFingerprint = item.fingerprint;
    if (item.fingerprint == m_decodedFingerprint) {
        m_fullImageDecode.cancel();
        m_imagePreview->show(m_decodedImage, m_panelWindow);
        return;
    }
    // Whatever preview was up belongs to another entry.
    m_imagePreview->hide();
    QPointer<QuickPanelFloatingPanels> self(this);
    m_fullImageDecode = m_executor.run<QImage>(
        Executor::Priority::UserInitiated,
        [item](const CancelToken& token) {
            return token.isCancelled() ? QImage() : decodeFullImage(item);
        },
        [self, fingerprint = item.fingerprint](QImage image) {
            if (!self) {
                return;
            }
            self->m_fullImageDecode.release();
            self->m_decodedFingerprint = fingerprint;
            self->m_decodedImage = std::move(image);
            self->m_imagePreview->show(self->m_decodedImage, self->m_panelWindow);
        });
}

void QuickPanelFloatingPanels::hideImagePreview()
{
    m_fullImageDecode.cancel();
    m_previewFingerprint.clear();
    m_imagePreview->hide();
}
