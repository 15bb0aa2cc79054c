#pragma once

// A login-item service whose state and failures the test sets. Registering enables the item
// unless a failure reason is set; the status can be set to any state the real services report.

#include "platform/LoginItem.h"

class SimLoginItem final : public LoginItem
{
public:
    LoginItemStatus status() const override { return m_status; }
    std::optional<QString> registerItem() override { return change(LoginItemStatus::Enabled); }
    std::optional<QString> unregisterItem() override
    {
        return change(LoginItemStatus::NotRegistered);
    }

    void setStatus(LoginItemStatus status) { m_status = status; }
    // The next changes fail with this reason (none: they succeed again).
    void setFailure(std::optional<QString> reason) { m_failure = std::move(reason); }

private:
    std::optional<QString> change(LoginItemStatus status)
    {
        if (!m_failure) {
            m_status = status;
        }
        return m_failure;
    }

    LoginItemStatus m_status = LoginItemStatus::NotRegistered;
    std::optional<QString> m_failure;
};
