#pragma once

// Records every paste chord with the scheduler's uptime and the application that was
// frontmost at that moment (the one that would receive it).

#include "platform/Scheduler.h"
#include "platform/SyntheticKeyboard.h"
#include "platform/Workspace.h"

#include <QList>

#include <optional>

class SimSyntheticKeyboard final : public SyntheticKeyboard
{
public:
    struct Keystroke
    {
        double uptime = 0;
        std::optional<RunningApplication> target;
    };

    // workspace may be null: keystrokes are then recorded without a target.
    explicit SimSyntheticKeyboard(Scheduler& scheduler, const Workspace* workspace = nullptr);

    bool isTrusted() const override { return m_trusted; }
    bool postPasteShortcut() override;

    void setTrusted(bool trusted) { m_trusted = trusted; }
    QList<Keystroke> keystrokes() const { return m_keystrokes; }

private:
    Scheduler& m_scheduler;
    const Workspace* m_workspace = nullptr;
    bool m_trusted = true;
    QList<Keystroke> m_keystrokes;
};
