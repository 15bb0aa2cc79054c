#pragma once

// Qt's xcb clipboard reports another client's CLIPBOARD owner change only when the time the
// server stored for it is later than the time of Qt's own last write. The server also accepts
// an owner whose time equals that one, and Qt writes with the time of the last event it saw:
// a client that takes the selection within the same millisecond, with CurrentTime or with a
// freshly fetched server time, presents exactly that time. Qt then drops both that change and
// the owner's later exit.
//
// This filter sees the XFixes owner-change events on Qt's own connection (Qt subscribes to
// them already) just before Qt handles each one. Every such change by another client is
// either reported by Qt, synchronously right after the filter (the clipboard state tells the
// filter with reportedByQt()), or calls `dropped` once Qt has handled it. Changes to an owner
// window of Qt's own connection are Qt's own writes, which Qt reports inside the write.

#include <QAbstractNativeEventFilter>
#include <QObject>

#include <cstdint>
#include <functional>

struct xcb_connection_t;

class XcbOwnerChangeFilter final : public QObject, public QAbstractNativeEventFilter
{
    Q_OBJECT

public:
    // Installs itself on the application while it lives.
    XcbOwnerChangeFilter(xcb_connection_t* connection, std::function<void()> dropped);
    ~XcbOwnerChangeFilter() override;

    // Called for every QClipboard::changed of the CLIPBOARD.
    void reportedByQt() { m_awaitingQt = false; }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    bool isOwnWindow(std::uint32_t window) const;
    void settle();

    std::function<void()> m_dropped;
    std::uint8_t m_xfixesFirstEvent = 0;
    std::uint32_t m_clipboard = 0;
    std::uint32_t m_resourceBase = 0;
    std::uint32_t m_resourceMask = 0;
    // A foreign change went to Qt and Qt has not reported it yet.
    bool m_awaitingQt = false;
};
