#pragma once

// A scriptable desktop of applications and windows for window placement tests. Windows can
// refuse a new position or size, hide their frame from reading, or be missing from the window
// list; every write request is recorded in order, accepted or not.

#include "platform/WindowAccess.h"

#include <QList>

class SimWindowAccess final : public WindowAccess
{
    Q_OBJECT

public:
    struct Window
    {
        WindowElement element;
        qint32 processIdentifier = 0;
        QString ownerName;
        std::optional<QString> title;
        QRectF frame;
        qint64 layer = 0;
        std::optional<bool> isOnScreen;
        std::optional<double> alpha;
        bool acceptsPosition = true;
        bool acceptsSize = true;
        bool frameReadable = true;
    };

    struct Write
    {
        WindowElement window;
        bool isPosition = false; // else a size
        QRectF frame; // the window's frame after the request

        bool operator==(const Write& other) const = default;
    };

    using WindowAccess::WindowAccess;

    QList<ApplicationRecord> runningApplications() const override { return m_applications; }
    std::optional<QList<WindowListEntry>> windowList() const override;
    std::optional<QList<WindowElement>> windows(qint32 processIdentifier) const override;
    std::optional<QPointF> position(WindowElement window) const override;
    std::optional<QSizeF> size(WindowElement window) const override;
    std::optional<QString> title(WindowElement window) const override;
    bool setPosition(WindowElement window, const QPointF& position) override;
    bool setSize(WindowElement window, const QSizeF& size) override;
    bool isTrusted(bool prompt) override;

    void setApplications(const QList<ApplicationRecord>& applications);
    // The application starts (or is already running) and the launch is announced.
    void launch(const ApplicationRecord& application);
    // Windows are listed and enumerated in the order they were added.
    void addWindow(const Window& window);
    void removeWindow(WindowElement window);
    const Window* window(WindowElement element) const;
    void setWindowListReadable(bool readable) { m_windowListReadable = readable; }
    void setTrusted(bool trusted) { m_trusted = trusted; }
    int promptCount() const { return m_prompts; }

    QList<Write> writes() const { return m_writes; }
    void clearWrites() { m_writes.clear(); }

private:
    Window* find(WindowElement element);

    QList<ApplicationRecord> m_applications;
    QList<Window> m_windows;
    QList<Write> m_writes;
    bool m_windowListReadable = true;
    bool m_trusted = true;
    int m_prompts = 0;
};
