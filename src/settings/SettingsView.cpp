#include "SettingsView.h"

#include "ClipboardMonitoringSettingsTab.h"
#include "DockMovementPreventionSettingsTab.h"
#include "FixedPhraseSettingsTab.h"
#include "GeneralSettingsTab.h"
#include "MouseSettingsTab.h"
#include "SoftwareUpdateSettingsView.h"
#include "SoundSettingsTab.h"
#include "WindowPlacementSettingsTab.h"
#include "app/AppSettingsModel.h"
#include "dock/DockMovementPreventionModel.h"
#include "mouse/MouseSettingsModel.h"
#include "placement/WindowPlacementModel.h"
#include "sound/SoundPriorityModel.h"

#include <QProxyStyle>
#include <QScrollArea>
#include <QShowEvent>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include <cmath>

namespace {

// The standard text size at a scale of 1.0, in the window's own unit: the window is 720 × 660
// device-independent pixels, and its text is 13 of them (9.75 typographic points on a 96 dpi
// desktop), so text and window keep their proportions on every screen.
constexpr double baseTextSize = 13.0;
constexpr double pointsPerInch = 72.0;

// Tabs with half the style's side padding: eight titles share the window's width.
class CompactTabStyle final : public QProxyStyle
{
public:
    int pixelMetric(
        PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override
    {
        const int value = QProxyStyle::pixelMetric(metric, option, widget);
        return metric == PM_TabBarTabHSpace ? value / 2 : value;
    }
};

} // namespace

SettingsView::SettingsView(
    SettingsModels models, DefaultsStore& defaults, Scheduler& scheduler, QWidget* parent)
    : QWidget(parent)
    , m_models(models)
    , m_scheduler(scheduler)
    , m_selectedTab(defaults, selectedTabKey, SettingsTabs::rawValue(SettingsTab::General))
{
    m_selectedTab.load();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins({});
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("settingsTabs"));
    // Eight titles share 720 points at any scale: no scroll arrows, compact tabs.
    m_tabs->setDocumentMode(true);
    m_tabs->setUsesScrollButtons(false);
    auto* style = new CompactTabStyle;
    style->setParent(m_tabs);
    m_tabs->tabBar()->setStyle(style);
    layout->addWidget(m_tabs);
    for (SettingsTab tab : SettingsTabs::all()) {
        auto* scroll = new QScrollArea(m_tabs);
        scroll->setObjectName(SettingsTabs::rawValue(tab));
        scroll->setWidgetResizable(true);
        scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        scroll->setFrameShape(QFrame::NoFrame);
        m_tabs->addTab(scroll, SettingsTabs::icon(tab), SettingsTabs::title(tab));
    }
    m_tabs->setCurrentIndex(static_cast<int>(selectedTab()));
    ensurePage(selectedTab());
    connect(m_tabs, &QTabWidget::currentChanged, this, [this](int index) {
        const SettingsTab tab = SettingsTabs::all().at(index);
        ensurePage(tab);
        m_selectedTab.set(SettingsTabs::rawValue(tab));
        if (tab == SettingsTab::WindowPlacement && m_models.windowPlacement != nullptr) {
            m_models.windowPlacement->refresh();
        }
    });
    AppSettingsModel& settings = m_models.appSettings;
    applyTextSize(settings.settingsUIScale());
    connect(&settings, &AppSettingsModel::settingsUIScaleChanged, this,
        [this](double scale) { applyTextSize(scale); });
}

SettingsView::~SettingsView() = default;

SettingsTab SettingsView::selectedTab() const
{
    return SettingsTabs::fromRawValue(m_selectedTab.value()).value_or(SettingsTab::General);
}

void SettingsView::setSelectedTab(SettingsTab tab)
{
    m_tabs->setCurrentIndex(static_cast<int>(tab));
}

void SettingsView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (event->spontaneous()) {
        return; // the window coming back from being minimised is no new showing
    }
    m_models.appSettings.refresh();
    if (m_models.dockMovementPrevention != nullptr) {
        m_models.dockMovementPrevention->refresh();
    }
    if (m_models.windowPlacement != nullptr) {
        m_models.windowPlacement->refresh();
    }
    if (m_models.mouseSettings != nullptr) {
        m_models.mouseSettings->scheduleRefreshDevices();
    }
    if (m_models.soundPriority != nullptr) {
        m_models.soundPriority->refreshDevices();
    }
}

void SettingsView::ensurePage(SettingsTab tab)
{
    auto* scroll = static_cast<QScrollArea*>(m_tabs->widget(static_cast<int>(tab)));
    if (scroll->widget() == nullptr) {
        scroll->setWidget(makePage(tab));
    }
}

QWidget* SettingsView::makePage(SettingsTab tab)
{
    switch (tab) {
    case SettingsTab::General: {
        auto* page = new GeneralSettingsTab(m_models.appSettings, m_scheduler);
        connect(page, &GeneralSettingsTab::shortcutRecorderActiveChanged, this,
            &SettingsView::shortcutRecorderActiveChanged);
        return page;
    }
    case SettingsTab::ClipboardMonitoring:
        return new ClipboardMonitoringSettingsTab(m_models.clipboardHistory);
    case SettingsTab::FixedPhrases:
        return new FixedPhraseSettingsTab(m_models.fixedPhrases);
    case SettingsTab::Dock:
        if (m_models.dockMovementPrevention != nullptr) {
            return new DockMovementPreventionSettingsTab(*m_models.dockMovementPrevention);
        }
        break;
    case SettingsTab::WindowPlacement:
        if (m_models.windowPlacement != nullptr) {
            auto* page = new WindowPlacementSettingsTab(*m_models.windowPlacement, m_scheduler);
            connect(page, &WindowPlacementSettingsTab::shortcutRecorderActiveChanged, this,
                &SettingsView::shortcutRecorderActiveChanged);
            return page;
        }
        break;
    case SettingsTab::Mouse:
        if (m_models.mouseSettings != nullptr) {
            return new MouseSettingsTab(*m_models.mouseSettings);
        }
        break;
    case SettingsTab::Sound:
        if (m_models.soundPriority != nullptr) {
            return new SoundSettingsTab(*m_models.soundPriority);
        }
        break;
    case SettingsTab::SoftwareUpdate:
        return new SoftwareUpdateSettingsView(m_models.softwareUpdater);
    default:
        break;
    }
    // The feature's tab comes with its model.
    return new QWidget;
}

void SettingsView::applyTextSize(double scale)
{
    const double iconSize = baseTextSize * scale;
    m_tabs->setIconSize(QSize(int(std::lround(iconSize)), int(std::lround(iconSize))));
    QFont font = m_tabs->font();
    font.setPointSizeF(baseTextSize * scale * pointsPerInch / logicalDpiY());
    m_tabs->setFont(font);
}
