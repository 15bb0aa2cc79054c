#include "DockMovementPreventionSettingsTab.h"

#include "SettingsForm.h"
#include "dock/DockMovementPreventionModel.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

DockMovementPreventionSettingsTab::DockMovementPreventionSettingsTab(
    DockMovementPreventionModel& model, QWidget* parent)
    : QWidget(parent)
    , m_model(model)
{
    QVBoxLayout* column = SettingsForm::column(this);
    column->addWidget(SettingsForm::heading(QStringLiteral("Dock"), this));
    m_enabled = SettingsForm::checkBox(QStringLiteral("複数ディスプレイ間のDock移動を抑止"), this);
    m_enabled->setObjectName(QStringLiteral("dockMovementPreventionToggle"));
    const QString help = QStringLiteral("非メインディスプレイのDock表示エッジにカーソルが触れたとき"
                                        "だけ、少し内側へ戻してDockの移動を抑止します。");
    m_enabled->setToolTip(help);
    column->addWidget(m_enabled);
    column->addWidget(SettingsForm::caption(help, this));
    m_restore = SettingsForm::button(QStringLiteral("フルスクリーン時の表示設定を戻す"),
        QStringLiteral("restoreSeparateDisplaySpacesButton"), this);
    column->addWidget(m_restore, 0, Qt::AlignLeft);
    m_status = SettingsForm::statusLine(this);
    m_status->setObjectName(QStringLiteral("dockStatusText"));
    column->addWidget(m_status);
    m_logoutNote = SettingsForm::caption(
        QStringLiteral("旧方式の表示設定はログアウトしてから再ログインすると完全に戻ります。"),
        this);
    m_logoutNote->setObjectName(QStringLiteral("dockLogoutNote"));
    column->addWidget(m_logoutNote);
    column->addStretch();

    showState();
    connect(&model, &DockMovementPreventionModel::dockMovementPreventionEnabledChanged, this,
        [this] { showState(); });
    connect(&model, &DockMovementPreventionModel::stateChanged, this, [this] { showState(); });
    connect(m_enabled, &QCheckBox::clicked, &model,
        &DockMovementPreventionModel::setDockMovementPreventionEnabled);
    connect(m_restore, &QPushButton::clicked, &model,
        &DockMovementPreventionModel::restoreSeparateDisplaySpaces);
}

void DockMovementPreventionSettingsTab::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous()) {
        m_model.refresh();
    }
}

void DockMovementPreventionSettingsTab::showState()
{
    m_enabled->setChecked(m_model.dockMovementPreventionEnabled());
    m_restore->setVisible(m_model.legacySpacesModeEnabled());
    SettingsForm::showStatus(m_status, m_model.statusMessage());
    m_logoutNote->setVisible(m_model.requiresLogout());
}
