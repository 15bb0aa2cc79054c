#include "SoundSettingsTab.h"

#include "SettingsForm.h"
#include "SoundPriorityPickerRow.h"
#include "sound/SoundPriorityModel.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

SoundSettingsTab::SoundSettingsTab(SoundPriorityModel& model, QWidget* parent)
    : QWidget(parent)
    , m_model(model)
{
    QVBoxLayout* column = SettingsForm::column(this);
    column->addWidget(SettingsForm::heading(QStringLiteral("サウンド"), this));
    m_enabled = SettingsForm::checkBox(QStringLiteral("サウンド優先度を有効化"), this);
    m_enabled->setObjectName(QStringLiteral("soundPriorityToggle"));
    column->addWidget(m_enabled);

    QVBoxLayout* group = SettingsForm::group(QStringLiteral("出力先の優先度"), column, this);
    m_status = SettingsForm::statusLine(this);
    m_status->setObjectName(QStringLiteral("soundStatusText"));
    group->addWidget(m_status);
    const QString help = QStringLiteral("接続済みとして検出した出力デバイスを保存し、利用可能な中"
                                        "で優先度が高いものへ自動で切り替えます。");
    m_enabled->setToolTip(help);
    group->addWidget(SettingsForm::caption(help, this));
    group->addWidget(SettingsForm::caption(
        QStringLiteral(
            "BT接続機器を高優先度、MacBook本体スピーカーを低優先度等に設定することを推奨"),
        this));
    for (int slot = 1; slot <= SoundPriorityModel::slotCount; ++slot) {
        auto* picker = new SoundPriorityPickerRow(slot, this);
        group->addWidget(picker);
        m_pickers.append(picker);
        connect(picker, &SoundPriorityPickerRow::deviceChosen, &model,
            &SoundPriorityModel::setDeviceID);
    }
    auto* clear = SettingsForm::button(QStringLiteral("未接続の未使用デバイスを整理"),
        QStringLiteral("clearUnknownDevicesButton"), this);
    group->addWidget(clear, 0, Qt::AlignLeft);
    auto* reset = SettingsForm::destructiveButton(
        QStringLiteral("すべての設定をリセット"), QStringLiteral("resetSoundSettingsButton"), this);
    const QString resetHelp = QStringLiteral(
        "サウンド優先度をオフにし、優先度設定と保存した出力デバイス履歴を初期化します。");
    reset->setToolTip(resetHelp);
    group->addWidget(reset, 0, Qt::AlignLeft);
    group->addWidget(SettingsForm::caption(resetHelp, this));
    m_offNotice = SettingsForm::caption(
        QStringLiteral("サウンド優先度は右クリックメニューでオフになっています"), this);
    m_offNotice->setObjectName(QStringLiteral("soundPriorityOffNotice"));
    column->addWidget(m_offNotice);
    column->addStretch();

    showState();
    showSlots();
    connect(
        &model, &SoundPriorityModel::soundPriorityEnabledChanged, this, [this] { showState(); });
    connect(&model, &SoundPriorityModel::statusMessageChanged, this, [this] { showState(); });
    connect(&model, &SoundPriorityModel::devicesChanged, this, [this] { showSlots(); });
    connect(&model, &SoundPriorityModel::priorityDeviceIDsChanged, this, [this] { showSlots(); });
    connect(m_enabled, &QCheckBox::clicked, &model, &SoundPriorityModel::setSoundPriorityEnabled);
    connect(clear, &QPushButton::clicked, &model, &SoundPriorityModel::clearUnknownDevices);
    connect(reset, &QPushButton::clicked, &model, &SoundPriorityModel::resetAllSettings);
}

void SoundSettingsTab::showState()
{
    m_enabled->setChecked(m_model.soundPriorityEnabled());
    SettingsForm::showStatus(m_status, m_model.statusMessage());
    m_offNotice->setVisible(!m_model.soundPriorityEnabled());
}

void SoundSettingsTab::showSlots()
{
    const QList<SoundOutputDevice> devices = m_model.devices();
    const SoundPriorityModel::PriorityDeviceIDs ids = m_model.priorityDeviceIDs();
    for (SoundPriorityPickerRow* picker : m_pickers) {
        picker->showChoice(devices, ids.value(picker->slot()));
    }
}
