#pragma once

// Whether Norvale starts with the user's session, and the switch for it. The states are those
// a login-item service reports; each backend says which of them it can observe.

#include <QString>

#include <optional>

enum class LoginItemStatus
{
    NotRegistered,
    Enabled,
    RequiresApproval,
    NotFound,
    // The state could not be read.
    Unknown
};

class LoginItem
{
public:
    virtual ~LoginItem() = default;

    virtual LoginItemStatus status() const = 0;
    // Each returns nothing on success, else the reason it failed, for the user.
    virtual std::optional<QString> registerItem() = 0;
    virtual std::optional<QString> unregisterItem() = 0;
};
