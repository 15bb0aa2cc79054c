#include "GeneralSettingsTab.h"

#include "SettingsForm.h"
#include "SettingsRows.h"
#include "ShortcutRecorderRow.h"
#include "app/AppSettingsModel.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QStandardPaths>
#include <QUrl>
#include <QVBoxLayout>

GeneralSettingsTab::GeneralSettingsTab(
    AppSettingsModel& model, Scheduler& scheduler, QWidget* parent)
    : QWidget(parent)
    , m_model(model)
{
    QVBoxLayout* column = SettingsForm::column(this);
    column->addWidget(SettingsForm::heading(QStringLiteral("一般"), this));
    m_launchAtLogin = SettingsForm::checkBox(QStringLiteral("OS起動時に自動実行"), this);
    column->addWidget(m_launchAtLogin);
    m_loginNote = SettingsForm::caption(QString(), this);
    column->addWidget(m_loginNote);
    m_openSettings = new QPushButton(QStringLiteral("システム設定を開く"), this);
    m_openSettings->setObjectName(QStringLiteral("openLoginItemSettings"));
    column->addWidget(m_openSettings, 0, Qt::AlignLeft);

    column->addWidget(SettingsForm::heading(QStringLiteral("UIスケール"), this));
    auto* settingsScale = new ScaleControlRow(QStringLiteral("設定画面"), this);
    auto* panelScale = new ScaleControlRow(QStringLiteral("左クリック画面"), this);
    column->addWidget(settingsScale);
    column->addWidget(panelScale);
    SettingsForm::alignTitles({settingsScale->title(), panelScale->title()});
    column->addWidget(SettingsForm::caption(
        QStringLiteral("文字サイズとウィンドウサイズを連動して拡大・縮小します。"), this));

    column->addWidget(SettingsForm::heading(QStringLiteral("左クリック画面"), this));
    auto* recorder = new ShortcutRecorderRow(QStringLiteral("表示ショートカット"), scheduler, this);
    column->addWidget(recorder);
    auto* closeOnCopy = SettingsForm::checkBox(
        QStringLiteral("履歴をクリップボードにコピーしたら画面を閉じる"), this);
    column->addWidget(closeOnCopy);
    column->addStretch();

    showLoginItem();
    connect(&model, &AppSettingsModel::launchAtLoginChanged, this, [this] { showLoginItem(); });
    connect(m_launchAtLogin, &QCheckBox::clicked, this,
        [this](bool on) { m_model.setLaunchAtLoginEnabled(on); });
    connect(m_openSettings, &QPushButton::clicked, this, [] {
        const QString folder =
            QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
            QStringLiteral("/autostart");
        QDir().mkpath(folder);
        QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
    });

    settingsScale->setValue(model.settingsUIScale());
    panelScale->setValue(model.leftClickUIScale());
    connect(&model, &AppSettingsModel::settingsUIScaleChanged, settingsScale,
        &ScaleControlRow::setValue);
    connect(
        &model, &AppSettingsModel::leftClickUIScaleChanged, panelScale, &ScaleControlRow::setValue);
    connect(settingsScale, &ScaleControlRow::valueEdited, &model,
        &AppSettingsModel::setSettingsUIScale);
    connect(
        panelScale, &ScaleControlRow::valueEdited, &model, &AppSettingsModel::setLeftClickUIScale);

    recorder->setShortcut(model.leftClickShortcut());
    connect(&model, &AppSettingsModel::leftClickShortcutChanged, recorder,
        [recorder, &model] { recorder->setShortcut(model.leftClickShortcut()); });
    connect(recorder, &ShortcutRecorderRow::shortcutEdited, &model,
        &AppSettingsModel::setLeftClickShortcut);
    connect(recorder, &ShortcutRecorderRow::recordingActiveChanged, this,
        &GeneralSettingsTab::shortcutRecorderActiveChanged);

    closeOnCopy->setChecked(model.closeLeftClickMenuOnCopy());
    connect(&model, &AppSettingsModel::closeLeftClickMenuOnCopyChanged, closeOnCopy,
        &QCheckBox::setChecked);
    connect(
        closeOnCopy, &QCheckBox::clicked, &model, &AppSettingsModel::setCloseLeftClickMenuOnCopy);
}

void GeneralSettingsTab::showLoginItem()
{
    m_launchAtLogin->setChecked(m_model.launchAtLoginEnabled());
    const auto message = m_model.statusMessage();
    m_loginNote->setText(message.value_or(QString()));
    m_loginNote->setVisible(message.has_value());
    m_openSettings->setVisible(message.has_value());
}
