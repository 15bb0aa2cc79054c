#pragma once

// Reads an X selection over a private xcb connection, so that a worker thread can fetch the
// clipboard without touching Qt's connection (which belongs to the GUI thread) and without
// stalling the main thread on large transfers.
//
// The protocol is the ICCCM one: ConvertSelection of a target to a property on a private,
// unmapped InputOnly window, wait for SelectionNotify, read the property in chunks, and follow
// INCR transfers (delete the property, collect each new chunk until a zero-length one).
// Every wait has a deadline: an owner that never answers, stalls in the middle of an INCR
// transfer or trickles it out chunk by chunk ends the read with TimedOut instead of hanging the
// caller. A read is abandoned as soon as the selection changes hands (XFixes tells this
// connection directly, whatever the main thread is doing): the contents it was fetching are no
// longer the clipboard's, and the new ones are captured by a read of their own. After a
// time-out, an abandoned read or a protocol error the connection is dropped, so that a late
// answer can never be mistaken for the reply to a later request; the next call connects again.
//
// Not thread-safe: one thread at a time (the owner guards it with a mutex).

#include <QByteArray>
#include <QHash>
#include <QList>

#include <cstdint>

struct xcb_connection_t;

class XcbSelectionReader final
{
public:
    struct Limits
    {
        // Time the owner has to answer a conversion request.
        int answerMilliseconds = 1500;
        // Time the owner has to deliver each chunk of an INCR transfer.
        int chunkMilliseconds = 2000;
        // Upper bound for a whole INCR transfer: an 18 MB image arrives in well under a second,
        // while an owner sending a small chunk just inside each chunk time-out would otherwise
        // keep the capture worker for minutes.
        int transferMilliseconds = 10000;
        // Larger contents are refused rather than held in memory.
        qint64 maxBytes = qint64(1) << 30;
    };

    enum class Status
    {
        Ok,
        NoDisplay,
        NoOwner,
        Refused,
        TimedOut,
        // The selection got a new owner (or the same owner new contents) during the read.
        Abandoned,
        TooLarge,
        Failed
    };

    struct Result
    {
        Status status = Status::Failed;
        // The property type the owner answered with (UTF8_STRING, STRING, ATOM, image/png...).
        QByteArray type;
        QByteArray bytes;
    };

    XcbSelectionReader(QByteArray displayName, QByteArray selection, Limits limits);
    ~XcbSelectionReader();
    XcbSelectionReader(const XcbSelectionReader&) = delete;
    XcbSelectionReader& operator=(const XcbSelectionReader&) = delete;

    // The window that owns the selection now; 0 when there is no owner or no display.
    std::uint32_t owner();
    // The names of the atoms in a TARGETS answer, in the owner's order.
    Status targetNames(const QByteArray& atomList, QList<QByteArray>* names);
    // The owner's answer for one target, given by name.
    Result convert(const QByteArray& target);

private:
    bool ensureConnected();
    void disconnect();
    std::uint32_t atom(const QByteArray& name, bool onlyIfExists);
    QByteArray atomName(std::uint32_t atom);
    Result convertAtom(std::uint32_t target);
    bool readProperty(QByteArray* bytes, std::uint32_t* type, qint64 limit);
    Result readIncremental(qint64 sizeHint);
    void watchOwnerChanges();
    void dropQueuedEvents();

    QByteArray m_displayName;
    QByteArray m_selectionName;
    Limits m_limits;
    xcb_connection_t* m_connection = nullptr;
    std::uint32_t m_window = 0;
    std::uint32_t m_selection = 0;
    std::uint32_t m_property = 0;
    std::uint32_t m_incr = 0;
    // The first event code of XFixes on this connection; 0 when the server lacks it.
    std::uint8_t m_xfixesFirstEvent = 0;
    QHash<QByteArray, std::uint32_t> m_atoms;
    QHash<std::uint32_t, QByteArray> m_names;
};
