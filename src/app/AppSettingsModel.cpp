#include "AppSettingsModel.h"

#include "support/UIScale.h"

AppSettingsModel::AppSettingsModel(DefaultsStore& defaults, QObject* parent)
    : QObject(parent)
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
    refresh();
}

void AppSettingsModel::refresh()
{
    // The login-item state is re-read here once launch at login exists; the scales and
    // close-on-copy are owned by this model and cannot change behind its back.
}

Setting<double>::Rules AppSettingsModel::scaleRules(std::function<void(const double&)> changed)
{
    return {.normalize = UIScale::normalized,
        .normalizeRead = UIScale::normalizedStored,
        .changed = std::move(changed)};
}
