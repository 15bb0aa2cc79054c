#pragma once

// "更新": the automatic-check switch, where updates come from, the last check and a check
// button, and this build's version. Without an updater (the models of a test that needs none)
// the switch and the button are disabled and the last check reads "未確認".

#include <QDateTime>
#include <QString>
#include <QWidget>

#include <optional>

class SoftwareUpdaterModel;

class SoftwareUpdateSettingsView final : public QWidget
{
    Q_OBJECT

public:
    explicit SoftwareUpdateSettingsView(SoftwareUpdaterModel* updater, QWidget* parent = nullptr);

    // "<version> (<build>)", each missing part read as "不明".
    static QString versionDescription(
        const std::optional<QString>& version, const std::optional<QString>& build);
    // The date in local time as "yyyy/MM/dd HH:mm:ss", or "未確認" without one.
    static QString lastCheckDescription(const std::optional<QDateTime>& date);
};
