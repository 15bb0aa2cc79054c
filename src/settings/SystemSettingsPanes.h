#pragma once

// The pages of the desktop's settings where the user grants what moving other windows and the
// wheel processing need, for the buttons beside the permission notes.
//
// Decision: a Linux desktop has no such pages, so there the notes stand without buttons.
// Moving other windows needs no grant on X11 (a session that refuses is a Wayland one, where
// no setting helps), and the wheel processing needs read access to /dev/input and write access
// to /dev/uinput, which come from group membership or udev rules, not from a settings page.
// Only the system settings of macOS have the two privacy panes.

#include <QString>
#include <QUrl>

#include <optional>

class QPushButton;
class QWidget;

namespace SystemSettingsPanes {

enum class Pane
{
    Accessibility,
    InputMonitoring,
};

std::optional<QUrl> url(Pane pane);
// A button that opens the pane through the desktop, or null where the desktop has no such page.
QPushButton* openButton(const QString& text, Pane pane, const QString& objectName, QWidget* parent);

} // namespace SystemSettingsPanes
