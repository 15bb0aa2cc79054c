#include "SoftwareUpdateSettingsView.h"

#include "SettingsForm.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

SoftwareUpdateSettingsView::SoftwareUpdateSettingsView(QWidget* parent)
    : QWidget(parent)
{
    QVBoxLayout* column = SettingsForm::column(this);
    column->addWidget(SettingsForm::heading(QStringLiteral("更新"), this));

    auto* automatic = new QGroupBox(QStringLiteral("自動更新"), this);
    auto* automaticRows = new QFormLayout(automatic);
    QCheckBox* checks =
        SettingsForm::checkBox(QStringLiteral("アップデートを自動的に確認"), automatic);
    checks->setObjectName(QStringLiteral("automaticallyChecksForUpdatesToggle"));
    checks->setEnabled(false);
    automaticRows->addRow(checks);
    automaticRows->addRow(
        QStringLiteral("最終確認"), new QLabel(QStringLiteral("未確認"), automatic));
    auto* checkNow = new QPushButton(QStringLiteral("今すぐ確認"), automatic);
    checkNow->setObjectName(QStringLiteral("checkForUpdatesButton"));
    checkNow->setEnabled(false);
    checkNow->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    automaticRows->addRow(checkNow);
    column->addWidget(automatic);

    auto* thisVersion = new QGroupBox(QStringLiteral("このバージョン"), this);
    auto* versionRows = new QFormLayout(thisVersion);
    versionRows->addRow(QStringLiteral("バージョン"),
        new QLabel(versionDescription(QStringLiteral(NORVALE_VERSION), std::nullopt), thisVersion));
    column->addWidget(thisVersion);
    column->addStretch();
}

QString SoftwareUpdateSettingsView::versionDescription(
    const std::optional<QString>& version, const std::optional<QString>& build)
{
    const QString unknown = QStringLiteral("不明");
    return version.value_or(unknown) + QStringLiteral(" (") + build.value_or(unknown) +
        QLatin1Char(')');
}
