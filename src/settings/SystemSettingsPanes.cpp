#include "SystemSettingsPanes.h"

#include "SettingsForm.h"

#include <QDesktopServices>
#include <QPushButton>

namespace SystemSettingsPanes {

std::optional<QUrl> url(Pane pane)
{
#ifdef Q_OS_MACOS
    return QUrl(pane == Pane::Accessibility
            ? QStringLiteral("x-apple.systempreferences:com.apple.preference.security?"
                             "Privacy_Accessibility")
            : QStringLiteral("x-apple.systempreferences:com.apple.preference.security?"
                             "Privacy_ListenEvent"));
#else
    Q_UNUSED(pane)
    return std::nullopt;
#endif
}

QPushButton* openButton(const QString& text, Pane pane, const QString& objectName, QWidget* parent)
{
    const std::optional<QUrl> target = url(pane);
    if (!target) {
        return nullptr;
    }
    QPushButton* button = SettingsForm::button(text, objectName, parent);
    QObject::connect(button, &QPushButton::clicked, button,
        [target = *target] { QDesktopServices::openUrl(target); });
    return button;
}

} // namespace SystemSettingsPanes
