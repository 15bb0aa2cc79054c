#include "SettingsTab.h"

#include <algorithm>

// Outside any namespace, as the resource's initialiser is declared where this is called.
static void initSettingsSymbolResources()
{
    Q_INIT_RESOURCE(settings_symbols);
}

namespace SettingsTabs {

namespace {

struct Description
{
    SettingsTab tab;
    QString raw;
    QString title;
    QString symbol;
    QString themeIcon;
};

const QList<Description>& descriptions()
{
    static const QList<Description> list {
        {SettingsTab::General, QStringLiteral("general"), QStringLiteral("一般"),
            QStringLiteral("gearshape"), QStringLiteral("preferences-system")},
        {SettingsTab::ClipboardMonitoring, QStringLiteral("clipboardMonitoring"),
            QStringLiteral("クリップボード"), QStringLiteral("clipboard"),
            QStringLiteral("edit-paste")},
        {SettingsTab::FixedPhrases, QStringLiteral("fixedPhrases"), QStringLiteral("定型文"),
            QStringLiteral("text.quote"), QStringLiteral("format-justify-left")},
        {SettingsTab::Dock, QStringLiteral("dock"), QStringLiteral("Dock"),
            QStringLiteral("dock.rectangle"), QStringLiteral("user-desktop")},
        {SettingsTab::WindowPlacement, QStringLiteral("windowPlacement"),
            QStringLiteral("ウィンドウ固定"),
            QStringLiteral("rectangle.inset.filled.and.person.filled"),
            QStringLiteral("preferences-system-windows")},
        {SettingsTab::Mouse, QStringLiteral("mouse"), QStringLiteral("マウス"),
            QStringLiteral("computermouse"), QStringLiteral("input-mouse")},
        {SettingsTab::Sound, QStringLiteral("sound"), QStringLiteral("サウンド"),
            QStringLiteral("speaker.wave.2"), QStringLiteral("audio-volume-medium")},
        {SettingsTab::SoftwareUpdate, QStringLiteral("softwareUpdate"), QStringLiteral("更新"),
            QStringLiteral("arrow.down.circle"), QStringLiteral("system-software-update")},
    };
    return list;
}

const Description& describe(SettingsTab tab)
{
    return descriptions().at(static_cast<int>(tab));
}

template<typename Field>
std::optional<SettingsTab> find(Field field, const QString& value)
{
    const auto& list = descriptions();
    const auto found = std::find_if(list.cbegin(), list.cend(),
        [&](const Description& description) { return description.*field == value; });
    return found == list.cend() ? std::nullopt : std::optional(found->tab);
}

} // namespace

const QList<SettingsTab>& all()
{
    static const QList<SettingsTab> tabs = [] {
        QList<SettingsTab> list;
        for (const Description& description : descriptions()) {
            list.append(description.tab);
        }
        return list;
    }();
    return tabs;
}

QString rawValue(SettingsTab tab)
{
    return describe(tab).raw;
}

std::optional<SettingsTab> fromRawValue(const QString& raw)
{
    return find(&Description::raw, raw);
}

QString title(SettingsTab tab)
{
    return describe(tab).title;
}

std::optional<SettingsTab> fromTitle(const QString& title)
{
    return find(&Description::title, title);
}

QString symbol(SettingsTab tab)
{
    return describe(tab).symbol;
}

QIcon icon(SettingsTab tab)
{
    const Description& description = describe(tab);
    return symbolIcon(description.symbol, description.themeIcon);
}

QIcon symbolIcon(const QString& symbol, const QString& themeIcon)
{
    static const bool initialised = (initSettingsSymbolResources(), true);
    Q_UNUSED(initialised);
    const QIcon drawn(QStringLiteral(":/settings/symbols/%1.svg").arg(symbol));
    return QIcon::fromTheme(themeIcon, drawn);
}

} // namespace SettingsTabs
