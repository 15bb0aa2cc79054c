#pragma once

// Key events the test types: each one reaches the subscribers only while the monitor is
// installed for its kind, as the real monitor would deliver it.

#include "platform/GlobalKeyMonitor.h"

class SimGlobalKeyMonitor final : public GlobalKeyMonitor
{
    Q_OBJECT

public:
    using GlobalKeyMonitor::GlobalKeyMonitor;

    bool isAvailable() const override { return m_available; }
    void install(GlobalKeyEvent::Types types) override;
    void remove() override { m_installed.reset(); }

    void setAvailable(bool available) { m_available = available; }
    // The kinds installed for, none while removed.
    std::optional<GlobalKeyEvent::Types> installed() const { return m_installed; }
    // Delivers the event when installed for its kind; true when it was delivered.
    bool type(const GlobalKeyEvent& event);

private:
    bool m_available = true;
    std::optional<GlobalKeyEvent::Types> m_installed;
};
