#pragma once

// The settings window frame: titled "設定", not resizable, hosting the settings view. Created once
// and kept: closing only hides it. Ctrl+Q — the close-window chord that stands in for Command-Q —
// closes this window and is consumed, so it never reaches an application-wide quit shortcut.
//
// On X11 the frame margins are 0 until the window manager has framed the window, so the
// size rule runs again once _NET_FRAME_EXTENTS is known (polled briefly after show).

#include "SettingsWindowGeometry.h"
#include "platform/Scheduler.h"

#include <QWidget>

class Displays;
class Workspace;

class SettingsWindow final : public QWidget
{
    Q_OBJECT

public:
    SettingsWindow(
        Displays& displays, Workspace& workspace, Scheduler& scheduler, QWidget* parent = nullptr);
    ~SettingsWindow() override;

    // Takes the view that fills the window (the settings view), replacing any previous one.
    void setContent(QWidget* content);
    QWidget* content() const { return m_content; }

    // Sizes the window (centred when it was not on screen), shows it and activates it.
    void open(double scale);
    // A scale change: resize without centring, keeping the window inside its screen.
    void setUIScale(double scale);
    double uiScale() const { return m_scale; }

    // True for the close-window chord: key press, modifiers exactly Control, key Q.
    static bool isCloseWindowChord(const QKeyEvent& event);

protected:
    bool event(QEvent* event) override;

private:
    void applySize(bool centre);
    std::optional<QRect> visibleFrame() const;
    void watchFrameExtents();

    Displays& m_displays;
    Workspace& m_workspace;
    Scheduler& m_scheduler;
    QWidget* m_content = nullptr;
    double m_scale = 1.0;
    bool m_centredOnOpen = false;
    int m_extentPolls = 0;
    TimerHandle m_extentTimer;
};
