#pragma once

// Ctrl+V through XTest. The key codes come from the current keyboard mapping at each paste,
// so a layout switched meanwhile is honoured.

#include "platform/SyntheticKeyboard.h"

#include <memory>

class X11Connection;

class LinuxSyntheticKeyboard final : public SyntheticKeyboard
{
public:
    LinuxSyntheticKeyboard();
    ~LinuxSyntheticKeyboard() override;

    // An X11 session whose server offers XTest.
    bool isTrusted() const override;
    // Press Control_L, press V, release V, release Control_L, then flush.
    bool postPasteShortcut() override;

private:
    std::shared_ptr<X11Connection> m_x11;
};
