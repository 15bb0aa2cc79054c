#pragma once

// The synthetic paste keystroke. On X11 it is Ctrl+V through XTest; "trusted" means the
// session lets us synthesise input at all (an X11 session with the XTest extension).

class SyntheticKeyboard
{
public:
    virtual ~SyntheticKeyboard() = default;

    virtual bool isTrusted() const = 0;
    // Posts key-down then key-up of the platform's paste chord; false when nothing was sent.
    virtual bool postPasteShortcut() = 0;
};
