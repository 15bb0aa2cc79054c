#pragma once

// The X11 CLIPBOARD selection as a Pasteboard.
//
// Change count: one atomic counter per process, shared by every LinuxPasteboard, moved once
// per QClipboard::changed(QClipboard::Clipboard), and changed() is emitted right after on
// every LinuxPasteboard of the process. Qt emits QClipboard::changed synchronously inside
// setMimeData for our own writes and once for every foreign change (a new owner, a repeated
// copy by the same owner, the owner's exit), except those whose time does not pass that of
// Qt's own last write: XcbOwnerChangeFilter counts those. PRIMARY is never counted. Clearing is a
// write of empty contents: QClipboard::clear() signals twice when we own the selection (once at
// once, once more when the X server echoes the ownership change) and does nothing at all when
// another client owns it.
//
// Reads (types, string, data) run on the capture worker. They never touch QClipboard, which
// belongs to the GUI thread and reads large images there; they go through a private xcb
// connection (XcbSelectionReader), one worker at a time; the main thread never waits for a
// read, however slow the owner (a read gives up after 10 s, or at once when the clipboard
// changes hands, and the new contents are then read anew). While the contents are our own last
// write, reads answer from a copy of it instead: Qt answers selection requests on the main
// thread, so a worker asking X for our own contents would stall for the whole time-out while
// the main thread waits for background work (at shutdown). An owner that timed out is not
// asked again until it copies anew (its window or the change count moves).
//
// Without an X display (offscreen, Wayland-only) the count still follows QClipboard and reads
// give nothing. The X display is the one named by DISPLAY, as Qt's xcb backend uses it.

#include "platform/Pasteboard.h"

#include <QList>

#include <memory>

class LinuxClipboardState;

class LinuxPasteboard final : public Pasteboard
{
public:
    LinuxPasteboard();
    ~LinuxPasteboard() override;

    QString name() const override;
    qint64 changeCount() const override;

    QStringList types() const override;
    std::optional<QString> string(const QString& type) const override;
    std::optional<QByteArray> data(const QString& type) const override;

    void clear() override;
    void write(const QList<QPair<QString, QByteArray>>& items) override;

    // False without an X display: reads then give nothing.
    bool canReadContents() const;

    // The pasteboard types for an owner's TARGETS: every text target becomes one
    // PasteboardType::string at the place of the first, the protocol targets are dropped, and
    // any other target keeps its name.
    static QStringList typesForTargets(const QList<QByteArray>& targets);
    // Decodes a text answer by the property type the owner gave it.
    static std::optional<QString> decodeText(const QByteArray& type, const QByteArray& bytes);

private:
    std::shared_ptr<LinuxClipboardState> m_state;
};
