#include "AppSettingsModel.h"

#include "platform/DefaultsStore.h"

#include <algorithm>
#include <cmath>

namespace {

// Nearest multiple of 0.05, halves away from zero. Working in twentieths keeps the result
// the double closest to k / 20, so normalised values compare and print exactly.
double roundToStep(double value)
{
    return std::round(value * 20.0) / 20.0;
}

} // namespace

AppSettingsModel::AppSettingsModel(DefaultsStore& defaults, QObject* parent)
    : QObject(parent)
    , m_defaults(defaults)
{
    m_defaults.registerDefault(settingsUIScaleKey, 1.0);
    m_defaults.registerDefault(leftClickUIScaleKey, 1.0);
    m_defaults.registerDefault(closeOnCopyKey, false);

    m_closeLeftClickMenuOnCopy = m_defaults.boolValue(closeOnCopyKey).value_or(false);
    m_settingsUIScale = readScale(settingsUIScaleKey);
    m_leftClickUIScale = readScale(leftClickUIScaleKey);
    refresh();
}

void AppSettingsModel::setCloseLeftClickMenuOnCopy(bool close)
{
    m_defaults.set(closeOnCopyKey, close);
    if (m_closeLeftClickMenuOnCopy != close) {
        m_closeLeftClickMenuOnCopy = close;
        Q_EMIT closeLeftClickMenuOnCopyChanged(close);
    }
}

void AppSettingsModel::setSettingsUIScale(double scale)
{
    if (setScale(scale, m_settingsUIScale, settingsUIScaleKey)) {
        Q_EMIT settingsUIScaleChanged(m_settingsUIScale);
    }
}

void AppSettingsModel::setLeftClickUIScale(double scale)
{
    if (setScale(scale, m_leftClickUIScale, leftClickUIScaleKey)) {
        Q_EMIT leftClickUIScaleChanged(m_leftClickUIScale);
    }
}

void AppSettingsModel::refresh()
{
    // The login-item state is re-read here once launch at login exists; the scales and
    // close-on-copy are owned by this model and cannot change behind its back.
}

double AppSettingsModel::normalizedStoredScale(double stored)
{
    if (std::isnan(stored)) {
        stored = 0;
    }
    const double clamped = stored == 0 ? 1.0 : std::clamp(stored, minimumScale, maximumScale);
    return std::clamp(roundToStep(clamped), minimumScale, maximumScale);
}

double AppSettingsModel::normalizedScale(double value)
{
    double rounded = roundToStep(std::min(value, maximumScale));
    if (rounded <= minimumScale) {
        rounded = minimumScale;
    }
    return std::clamp(rounded, minimumScale, maximumScale);
}

bool AppSettingsModel::setScale(double value, double& field, const QString& key)
{
    if (std::isnan(value)) {
        return false;
    }
    // Assigning the normalised value runs this rule once more and lands here with a value
    // that is already normal, so the store never sees an off-step scale.
    const double normalized = normalizedScale(value);
    m_defaults.set(key, normalized);
    if (field == normalized) {
        return false;
    }
    field = normalized;
    return true;
}

double AppSettingsModel::readScale(const QString& key) const
{
    return normalizedStoredScale(m_defaults.doubleValue(key).value_or(0.0));
}
