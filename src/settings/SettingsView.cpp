#include "SettingsView.h"

#include "ClipboardMonitoringSettingsTab.h"
#include "GeneralSettingsTab.h"
#include "app/AppSettingsModel.h"
#include "placement/WindowPlacementModel.h"

#include <QScrollArea>
#include <QShowEvent>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

// The desktop's standard text size at a scale of 1.0.
constexpr double baseTextPoints = 13.0;

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
    layout->addWidget(m_tabs);
    for (SettingsTab tab : SettingsTabs::all()) {
        auto* scroll = new QScrollArea(m_tabs);
        scroll->setObjectName(SettingsTabs::rawValue(tab));
        scroll->setWidgetResizable(true);
        scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        scroll->setFrameShape(QFrame::NoFrame);
        scroll->setWidget(makePage(tab));
        m_tabs->addTab(scroll, SettingsTabs::icon(tab), SettingsTabs::title(tab));
    }
    m_tabs->setCurrentIndex(static_cast<int>(selectedTab()));
    connect(m_tabs, &QTabWidget::currentChanged, this, [this](int index) {
        const SettingsTab tab = SettingsTabs::all().at(index);
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
    if (m_models.windowPlacement != nullptr) {
        m_models.windowPlacement->refresh();
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
    default:
        // The feature's tab comes with its model.
        return new QWidget;
    }
}

void SettingsView::applyTextSize(double scale)
{
    QFont font = m_tabs->font();
    font.setPointSizeF(baseTextPoints * scale);
    m_tabs->setFont(font);
}
