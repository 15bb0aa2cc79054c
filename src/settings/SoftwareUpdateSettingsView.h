#pragma once

// "更新": automatic checks, the last check and a check button, and this build's version. Until
// the updater runs in this application the checks cannot be changed or started, so those
// controls are shown disabled with "未確認" as the last check.

#include <QString>
#include <QWidget>

#include <optional>

class SoftwareUpdateSettingsView final : public QWidget
{
    Q_OBJECT

public:
    explicit SoftwareUpdateSettingsView(QWidget* parent = nullptr);

    // "<version> (<build>)", each missing part read as "不明".
    static QString versionDescription(
        const std::optional<QString>& version, const std::optional<QString>& build);
};
