#include "AppSettingsModel.h"

#include "support/UIScale.h"

AppSettingsModel::AppSettingsModel(DefaultsStore& defaults, LoginItem& loginItem, QObject* parent)
    : QObject(parent)
    , m_defaults(defaults)
    , m_loginItem(loginItem)
    , m_closeLeftClickMenuOnCopy(defaults, closeOnCopyKey, false,
          {.changed =
                  [this](bool close) {
                      Q_EMIT closeLeftClickMenuOnCopyChanged(close);
                  }})
    , m_settingsUIScale(defaults, settingsUIScaleKey, 1.0,
          scaleRules([this](double scale) { Q_EMIT settingsUIScaleChanged(scale); }))
    , m_leftClickUIScale(defaults, leftClickUIScaleKey, 1.0,
          scaleRules([this](double scale) { Q_EMIT leftClickUIScaleChanged(scale); }))
{
    m_settingsUIScale.registerDefault();
    m_leftClickUIScale.registerDefault();
    m_closeLeftClickMenuOnCopy.registerDefault();

    m_closeLeftClickMenuOnCopy.load();
    m_settingsUIScale.load();
    m_leftClickUIScale.load();
    if (const auto stored = m_defaults.dataValue(leftClickShortcutKey)) {
        m_leftClickShortcut = LeftClickShortcut::fromJson(*stored);
    }
    refresh();
}

void AppSettingsModel::setLeftClickShortcut(const std::optional<LeftClickShortcut>& shortcut)
{
    if (shortcut) {
        m_defaults.set(leftClickShortcutKey, shortcut->toJson());
    } else {
        m_defaults.remove(leftClickShortcutKey);
    }
    if (shortcut != m_leftClickShortcut) {
        m_leftClickShortcut = shortcut;
        Q_EMIT leftClickShortcutChanged();
    }
}

void AppSettingsModel::setLaunchAtLoginEnabled(bool enabled)
{
    const std::optional<QString> failure =
        enabled ? m_loginItem.registerItem() : m_loginItem.unregisterItem();
    refresh();
    if (failure) {
        m_statusMessage = QStringLiteral("自動実行の設定を変更できませんでした: ") + *failure;
        Q_EMIT launchAtLoginChanged();
    }
}

void AppSettingsModel::refresh()
{
    const LoginItemStatus status = m_loginItem.status();
    m_launchAtLoginEnabled = status == LoginItemStatus::Enabled;
    m_requiresApproval = status == LoginItemStatus::RequiresApproval;
    switch (status) {
    case LoginItemStatus::NotRegistered:
    case LoginItemStatus::Enabled:
        m_statusMessage.reset();
        break;
    case LoginItemStatus::RequiresApproval:
        m_statusMessage = QStringLiteral("システム設定で承認が必要です");
        break;
    case LoginItemStatus::NotFound:
        m_statusMessage = QStringLiteral("自動実行サービスが見つかりません");
        break;
    case LoginItemStatus::Unknown:
        m_statusMessage = QStringLiteral("自動実行の状態を確認できません");
        break;
    }
    Q_EMIT launchAtLoginChanged();
}

Setting<double>::Rules AppSettingsModel::scaleRules(std::function<void(const double&)> changed)
{
    return {.normalize = UIScale::normalized,
        .normalizeRead = UIScale::normalizedStored,
        .changed = std::move(changed)};
}
