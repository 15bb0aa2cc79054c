#include "MouseSettingsTab.h"

#include "SettingsForm.h"
#include "SettingsRows.h"
#include "SystemSettingsPanes.h"
#include "mouse/MouseSettingsModel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

MouseSettingsTab::MouseSettingsTab(MouseSettingsModel& model, QWidget* parent)
    : QWidget(parent)
    , m_model(model)
{
    QVBoxLayout* column = SettingsForm::column(this);
    column->addWidget(SettingsForm::heading(QStringLiteral("マウス"), this));
    m_offNotice = SettingsForm::caption(
        QStringLiteral("マウス調整は右クリックメニューでオフになっています"), this);
    m_offNotice->setObjectName(QStringLiteral("mouseAdjustmentOffNotice"));
    column->addWidget(m_offNotice);
    m_enabled = SettingsForm::checkBox(QStringLiteral("マウス調整を有効化"), this);
    m_enabled->setObjectName(QStringLiteral("mouseAdjustmentToggle"));
    column->addWidget(m_enabled);
    addDevice(column);
    addNotes(column);
    addTuning(column);
    m_status = SettingsForm::statusLine(this);
    m_status->setObjectName(QStringLiteral("mouseStatusText"));
    column->addWidget(m_status);
    column->addStretch();

    showState();
    showDevices();
    showNotes();
    for (auto changed : {&MouseSettingsModel::mouseAdjustmentEnabledChanged,
             &MouseSettingsModel::scrollInvertedChanged,
             &MouseSettingsModel::scrollAccelerationEnabledChanged}) {
        connect(&model, changed, this, [this] { showState(); });
    }
    for (auto changed :
        {&MouseSettingsModel::wheelSpeedLevelChanged, &MouseSettingsModel::cursorSpeedLevelChanged,
            &MouseSettingsModel::cursorAccelerationLevelChanged}) {
        connect(&model, changed, this, [this] { showState(); });
    }
    connect(&model, &MouseSettingsModel::statusMessageChanged, this, [this] { showState(); });
    connect(&model, &MouseSettingsModel::devicesChanged, this, [this] { showDevices(); });
    connect(&model, &MouseSettingsModel::selectedDeviceIDChanged, this, [this] { showDevices(); });
    connect(&model, &MouseSettingsModel::softwareInversionChanged, this, [this] { showNotes(); });
    connect(
        &model, &MouseSettingsModel::conflictingApplicationsChanged, this, [this] { showNotes(); });
    connect(m_enabled, &QCheckBox::clicked, &model, &MouseSettingsModel::setMouseAdjustmentEnabled);
}

std::optional<QString> MouseSettingsTab::shownStatus(const std::optional<QString>& message)
{
    if (message &&
        (message->startsWith(QStringLiteral("選択中:")) ||
            message->startsWith(QStringLiteral("選択中：")))) {
        return std::nullopt;
    }
    return message;
}

void MouseSettingsTab::addDevice(QVBoxLayout* column)
{
    auto* row = new QHBoxLayout;
    auto* title = new QLabel(QStringLiteral("対象デバイス"), this);
    row->addWidget(title);
    m_devices = new QComboBox(this);
    m_devices->setObjectName(QStringLiteral("mouseDevicePicker"));
    m_devices->setAccessibleName(title->text());
    m_devices->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    title->setBuddy(m_devices);
    row->addWidget(m_devices, 1);
    auto* reload = SettingsForm::button(
        QStringLiteral("再読み込み"), QStringLiteral("refreshMouseDevicesButton"), this);
    row->addWidget(reload);
    column->addLayout(row);
    connect(m_devices, &QComboBox::activated, &m_model, [this](int index) {
        const QVariant id = m_devices->itemData(index);
        m_model.setSelectedDeviceID(
            id.isValid() ? std::optional<QString>(id.toString()) : std::nullopt);
    });
    connect(reload, &QPushButton::clicked, &m_model, &MouseSettingsModel::scheduleRefreshDevices);
}

void MouseSettingsTab::addNotes(QVBoxLayout* column)
{
    m_unavailableReason = SettingsForm::caption(QString(), this);
    m_unavailableReason->setObjectName(QStringLiteral("softwareInversionUnavailableText"));
    column->addWidget(m_unavailableReason);
    m_openAccessibility = SystemSettingsPanes::openButton(
        QStringLiteral("アクセシビリティ設定を開く"), SystemSettingsPanes::Pane::Accessibility,
        QStringLiteral("openAccessibilitySettingsButton"), this);
    m_openInputMonitoring = SystemSettingsPanes::openButton(QStringLiteral("入力監視設定を開く"),
        SystemSettingsPanes::Pane::InputMonitoring,
        QStringLiteral("openInputMonitoringSettingsButton"), this);
    QList<QPushButton*> openButtons;
    for (QPushButton* open : {m_openAccessibility, m_openInputMonitoring}) {
        if (open != nullptr) {
            openButtons.append(open);
        }
    }
    SettingsForm::addButtonRow(column, openButtons);

    m_conflicts = new QWidget(this);
    auto* row = new QHBoxLayout(m_conflicts);
    row->setContentsMargins({});
    m_conflictNames = new QLabel(m_conflicts);
    m_conflictNames->setObjectName(QStringLiteral("conflictingApplicationsText"));
    m_conflictNames->setWordWrap(true);
    row->addWidget(m_conflictNames, 1);
    auto* terminate = SettingsForm::button(QStringLiteral("競合アプリを終了"),
        QStringLiteral("terminateConflictingApplicationsButton"), m_conflicts);
    row->addWidget(terminate);
    column->addWidget(m_conflicts);
    connect(terminate, &QPushButton::clicked, &m_model,
        &MouseSettingsModel::scheduleTerminateConflictingApplications);
}

void MouseSettingsTab::addTuning(QVBoxLayout* column)
{
    m_wheelSpeed = new LevelSliderRow(
        QStringLiteral("1ノッチあたりの行数"), 1, 20, QStringLiteral("行分"), this);
    m_wheelSpeed->setObjectName(QStringLiteral("wheelSpeedSlider"));
    column->addWidget(m_wheelSpeed);
    m_scrollInverted = SettingsForm::checkBox(QStringLiteral("スクロールを反転"), this);
    m_scrollInverted->setObjectName(QStringLiteral("scrollInvertedToggle"));
    column->addWidget(m_scrollInverted);
    m_scrollAcceleration = SettingsForm::checkBox(QStringLiteral("スクロール加速を有効化"), this);
    m_scrollAcceleration->setObjectName(QStringLiteral("scrollAccelerationToggle"));
    column->addWidget(m_scrollAcceleration);
    m_cursorSpeed = new LevelSliderRow(QStringLiteral("移動速度"), 1, 20, QString(), this);
    m_cursorSpeed->setObjectName(QStringLiteral("cursorSpeedSlider"));
    column->addWidget(m_cursorSpeed);
    m_cursorAcceleration = new LevelSliderRow(QStringLiteral("加速度"), 0, 20, QString(), this);
    m_cursorAcceleration->setObjectName(QStringLiteral("cursorAccelerationSlider"));
    column->addWidget(m_cursorAcceleration);
    SettingsForm::alignTitles(
        {m_wheelSpeed->title(), m_cursorSpeed->title(), m_cursorAcceleration->title()});

    auto* reset = SettingsForm::destructiveButton(
        QStringLiteral("すべての設定をリセット"), QStringLiteral("resetMouseSettingsButton"), this);
    const QString help = QStringLiteral("マウス調整をオフにし、アプリが保存した調整値と変更済みの"
                                        "スクロール設定を初期化します。");
    reset->setToolTip(help);
    column->addWidget(reset, 0, Qt::AlignLeft);
    column->addWidget(SettingsForm::caption(help, this));

    connect(m_wheelSpeed, &LevelSliderRow::valueEdited, &m_model,
        &MouseSettingsModel::setWheelSpeedLevel);
    connect(m_cursorSpeed, &LevelSliderRow::valueEdited, &m_model,
        &MouseSettingsModel::setCursorSpeedLevel);
    connect(m_cursorAcceleration, &LevelSliderRow::valueEdited, &m_model,
        &MouseSettingsModel::setCursorAccelerationLevel);
    connect(
        m_scrollInverted, &QCheckBox::clicked, &m_model, &MouseSettingsModel::setScrollInverted);
    connect(m_scrollAcceleration, &QCheckBox::clicked, &m_model,
        &MouseSettingsModel::setScrollAccelerationEnabled);
    connect(reset, &QPushButton::clicked, &m_model, &MouseSettingsModel::resetAllSettings);
}

void MouseSettingsTab::showState()
{
    const bool enabled = m_model.mouseAdjustmentEnabled();
    m_offNotice->setVisible(!enabled);
    m_enabled->setChecked(enabled);
    m_wheelSpeed->setValue(m_model.wheelSpeedLevel());
    m_scrollInverted->setChecked(m_model.scrollInverted());
    m_scrollAcceleration->setChecked(m_model.scrollAccelerationEnabled());
    m_cursorSpeed->setValue(m_model.cursorSpeedLevel());
    m_cursorAcceleration->setValue(m_model.cursorAccelerationLevel());
    SettingsForm::showStatus(m_status, shownStatus(m_model.statusMessage()));
}

void MouseSettingsTab::showDevices()
{
    const QSignalBlocker block(m_devices);
    m_devices->clear();
    m_devices->addItem(QStringLiteral("未選択"));
    for (const MouseDevice& device : m_model.devices()) {
        m_devices->addItem(device.displayName(), device.id());
    }
    const std::optional<QString> selected = m_model.selectedDeviceID();
    m_devices->setCurrentIndex(selected ? m_devices->findData(*selected) : 0);
}

void MouseSettingsTab::showNotes()
{
    SettingsForm::showStatus(m_unavailableReason, m_model.softwareInversionUnavailableReason());
    if (m_openAccessibility != nullptr) {
        m_openAccessibility->setVisible(m_model.requiresAccessibilityPermission());
    }
    if (m_openInputMonitoring != nullptr) {
        m_openInputMonitoring->setVisible(m_model.requiresInputMonitoringPermission());
    }
    const QStringList& names = m_model.conflictingApplications();
    m_conflictNames->setText(
        QStringLiteral("競合アプリ稼働中: ") + names.join(QStringLiteral(", ")));
    m_conflicts->setVisible(!names.isEmpty());
}
