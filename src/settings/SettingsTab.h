#pragma once

// The settings window's tabs in their order, with the raw values stored under
// settings.selectedTab, the titles shown (and accepted by `norvale settings --tab`) and the
// symbols drawn beside them.

#include <QIcon>
#include <QList>
#include <QString>

#include <optional>

enum class SettingsTab
{
    General,
    ClipboardMonitoring,
    FixedPhrases,
    Dock,
    WindowPlacement,
    Mouse,
    Sound,
    SoftwareUpdate,
};

namespace SettingsTabs {

const QList<SettingsTab>& all();
QString rawValue(SettingsTab tab);
std::optional<SettingsTab> fromRawValue(const QString& raw);
QString title(SettingsTab tab);
std::optional<SettingsTab> fromTitle(const QString& title);
QString symbol(SettingsTab tab);
// The desktop's icon theme where it has an icon that means the same, else our own drawing.
QIcon icon(SettingsTab tab);
// Any other symbol of the settings window by its name, themed the same way.
QIcon symbolIcon(const QString& symbol, const QString& themeIcon);

} // namespace SettingsTabs
