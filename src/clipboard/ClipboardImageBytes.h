#pragma once

// The bytes of a history image, held where they cost the process no memory: a handle to a
// file in the image spill folder (ClipboardImageSpill) that reads them on demand, or the bytes
// themselves until they are spilled (or when spilling failed). Immutable and shared: copies
// are cheap, may cross threads, and compare equal when they hold the same bytes. A spill file
// is removed with the last handle to it, so an image that left the history leaves no file.
//
// The spill file is a cache: "ClipboardHistory.json" stays the only record. A file that went
// missing or changed its length reads as unreadable (read() gives nothing) until restore()
// writes the bytes back, which the history save does from the history file.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class ClipboardImageBytes final
{
public:
    // Bytes held in memory; implicit, so that an item can be built from plain bytes.
    ClipboardImageBytes(QByteArray bytes); // NOLINT(google-explicit-constructor)
    // Bytes already written to path, size of them; the file goes with the last copy.
    // When keep is set by the time the last copy goes, the file stays (for the next start).
    static ClipboardImageBytes spilled(
        QString path, qint64 size, std::shared_ptr<const std::atomic_bool> keep = {});

    qint64 size() const;
    bool isSpilled() const;
    // The bytes, or nothing when their spill file is gone or damaged.
    std::optional<QByteArray> read() const;
    // Hands the bytes to sink in pieces of chunkSize bytes (the last may be shorter); false
    // when the spill file is gone, damaged or the sink refused a piece.
    bool readChunks(qsizetype chunkSize, const std::function<bool(QByteArrayView)>& sink) const;
    // Whether read() would find the spill file whole, checked by its length only.
    bool isIntact() const;
    // Writes bytes (which must have the handle's size) back into a lost or damaged spill file.
    bool restore(const QByteArray& bytes) const;

    bool operator==(const ClipboardImageBytes& other) const;
    // Whether both are copies of one handle: never reads a file, so the main thread may ask.
    bool isSameHandle(const ClipboardImageBytes& other) const
    {
        return m_backing == other.m_backing;
    }

private:
    struct Backing;
    explicit ClipboardImageBytes(std::shared_ptr<const Backing> backing);

    std::shared_ptr<const Backing> m_backing;
};
