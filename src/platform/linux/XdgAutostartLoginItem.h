#pragma once

// Launch at login as an XDG autostart entry, "<config>/autostart/<application id>.desktop",
// where <config> is $XDG_CONFIG_HOME when it is an absolute path, else ~/.config (read at each
// call, so a changed environment is honoured).
//
// What Linux lets us observe, mapped onto the login-item states:
// - no entry, or an entry that says Hidden=true (or X-GNOME-Autostart-enabled=false, which
//   GNOME writes when the user switches it off in its own tools): not registered;
// - an entry whose Exec names a program that is no longer there or not executable (Norvale
//   was moved or uninstalled since), or a bare name not found on PATH: not found; the session
//   could not start it;
// - an entry that cannot be read: unknown;
// - otherwise: enabled.
// Autostart needs no approval on Linux, so "requires approval" is never reported.
//
// Registering writes the entry atomically with Exec = the absolute path of the running
// executable; unregistering removes it (an absent entry is already unregistered).
//
// An entry under the former application id (the launcher entry was "norvale.desktop", and the
// desktop's own autostart tools copy launcher entries by name) is taken over before each
// operation: renamed to ours, or removed when ours exists too, since both would start Norvale
// twice at login.

#include "platform/LoginItem.h"

class XdgAutostartLoginItem final : public LoginItem
{
public:
    XdgAutostartLoginItem(
        QString applicationId, QString executablePath, QString formerApplicationId = {});

    LoginItemStatus status() const override;
    std::optional<QString> registerItem() override;
    std::optional<QString> unregisterItem() override;

    QString entryPath() const;

private:
    QString entryPath(const QString& applicationId) const;
    void adoptFormerEntry() const;

    QString m_applicationId;
    QString m_executablePath;
    QString m_formerApplicationId;
};
