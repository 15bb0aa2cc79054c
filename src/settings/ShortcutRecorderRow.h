#pragma once

// A settings row that records a global shortcut by having the user press it: the title, a box
// showing the shortcut or the live prompt (a click starts recording), a button that clears it,
// and the help text beneath. An invisible capture view takes the keyboard while recording and
// hands every key and modifier change to the coordinator; Tab and the window's own shortcuts
// are recorded like any other key rather than acted on.

#include "shortcuts/LeftClickShortcut.h"

#include <QWidget>

#include <optional>

class QPushButton;
class Scheduler;
class ShortcutRecorderCaptureView;
class ShortcutRecorderCoordinator;

class ShortcutRecorderRow final : public QWidget
{
    Q_OBJECT

public:
    ShortcutRecorderRow(const QString& title, Scheduler& scheduler, QWidget* parent = nullptr);
    ~ShortcutRecorderRow() override;

    void setShortcut(const std::optional<LeftClickShortcut>& shortcut);
    ShortcutRecorderCoordinator& coordinator() const { return *m_coordinator; }

Q_SIGNALS:
    void shortcutEdited(const std::optional<LeftClickShortcut>& shortcut);
    void recordingActiveChanged(bool active);

private:
    ShortcutRecorderCoordinator* m_coordinator = nullptr;
    ShortcutRecorderCaptureView* m_capture = nullptr;
    QPushButton* m_box = nullptr;
};
