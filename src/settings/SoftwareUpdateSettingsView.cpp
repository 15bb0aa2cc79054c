#include "SoftwareUpdateSettingsView.h"

#include "SettingsForm.h"
#include "update/SoftwareUpdaterModel.h"
#include "update/SoftwareVersion.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

SoftwareUpdateSettingsView::SoftwareUpdateSettingsView(
    SoftwareUpdaterModel* updater, QWidget* parent)
    : QWidget(parent)
{
    QVBoxLayout* column = SettingsForm::column(this);
    column->addWidget(SettingsForm::heading(QStringLiteral("更新"), this));

    auto* automatic = new QGroupBox(QStringLiteral("自動更新"), this);
    auto* automaticRows = new QFormLayout(automatic);
    QCheckBox* checks =
        SettingsForm::checkBox(QStringLiteral("アップデートを自動的に確認"), automatic);
    checks->setObjectName(QStringLiteral("automaticallyChecksForUpdatesToggle"));
    automaticRows->addRow(checks);
    const QString host = updater != nullptr ? updater->feedURL().host()
                                            : SoftwareUpdaterModel::defaultFeedURL.host();
    QLabel* source = SettingsForm::caption(QStringLiteral("更新は") + host +
            QStringLiteral(
                "から配信されます。ダウンロードした更新は署名を検証してから適用します。"),
        automatic);
    source->setObjectName(QStringLiteral("updateSourceCaption"));
    automaticRows->addRow(source);
    auto* lastCheck = new QLabel(lastCheckDescription(std::nullopt), automatic);
    lastCheck->setObjectName(QStringLiteral("lastCheckLabel"));
    automaticRows->addRow(QStringLiteral("最終確認"), lastCheck);
    auto* checkNow = new QPushButton(QStringLiteral("今すぐ確認"), automatic);
    checkNow->setObjectName(QStringLiteral("checkForUpdatesButton"));
    checkNow->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    automaticRows->addRow(checkNow);
    column->addWidget(automatic);

    auto* thisVersion = new QGroupBox(QStringLiteral("このバージョン"), this);
    auto* versionRows = new QFormLayout(thisVersion);
    auto* version = new QLabel(
        versionDescription(SoftwareVersion::version(), SoftwareVersion::build()), thisVersion);
    version->setObjectName(QStringLiteral("versionLabel"));
    versionRows->addRow(QStringLiteral("バージョン"), version);
    column->addWidget(thisVersion);
    column->addStretch();

    if (updater == nullptr) {
        checks->setEnabled(false);
        checkNow->setEnabled(false);
        return;
    }
    checks->setChecked(updater->automaticallyChecksForUpdates());
    checkNow->setEnabled(updater->canCheckForUpdates());
    lastCheck->setText(lastCheckDescription(updater->lastUpdateCheckDate()));
    connect(checks, &QCheckBox::toggled, updater,
        [updater](bool on) { updater->setAutomaticallyChecksForUpdates(on); });
    connect(updater, &SoftwareUpdaterModel::automaticallyChecksForUpdatesChanged, checks,
        [checks](bool on) { checks->setChecked(on); });
    connect(updater, &SoftwareUpdaterModel::canCheckForUpdatesChanged, checkNow,
        [checkNow](bool canCheck) { checkNow->setEnabled(canCheck); });
    connect(updater, &SoftwareUpdaterModel::lastUpdateCheckDateChanged, lastCheck,
        [lastCheck, updater] {
            lastCheck->setText(lastCheckDescription(updater->lastUpdateCheckDate()));
        });
    connect(checkNow, &QPushButton::clicked, updater, [updater] { updater->checkForUpdates(); });
}

QString SoftwareUpdateSettingsView::versionDescription(
    const std::optional<QString>& version, const std::optional<QString>& build)
{
    const QString unknown = QStringLiteral("不明");
    return version.value_or(unknown) + QStringLiteral(" (") + build.value_or(unknown) +
        QLatin1Char(')');
}

QString SoftwareUpdateSettingsView::lastCheckDescription(const std::optional<QDateTime>& date)
{
    if (!date) {
        return QStringLiteral("未確認");
    }
    return QLocale().toString(date->toLocalTime(), QStringLiteral("yyyy/MM/dd HH:mm:ss"));
}
