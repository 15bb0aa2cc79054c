#include "ReplyStream.h"

#include "InstanceChannel.h"

#include <QLocalSocket>

#include <algorithm>
#include <utility>

namespace {

bool isGone(const QLocalSocket* socket)
{
    return socket == nullptr || socket->state() != QLocalSocket::ConnectedState;
}

} // namespace

ReplyStream::ReplyStream(QLocalSocket* socket, std::function<void()> afterReply)
    : QObject(socket)
    , m_socket(socket)
{
    if (afterReply) {
        // Once the client has the whole reply (it closes), or has left meanwhile.
        connect(socket, &QLocalSocket::disconnected, this, std::move(afterReply));
    }
    connect(socket, &QLocalSocket::bytesWritten, this, &ReplyStream::feed);
}

void ReplyStream::send(QLocalSocket* socket, CommandResult result)
{
    if (isGone(socket)) {
        // Nobody reads the answer, but what follows it still happens.
        if (result.afterReply) {
            result.afterReply();
        }
        return;
    }
    auto* stream = new ReplyStream(socket, std::exchange(result.afterReply, nullptr));
    stream->start(std::move(result));
}

void ReplyStream::buildAndSend(
    QLocalSocket* socket, CommandResult result, Executor& executor, LargeReplyQueue::Slot slot)
{
    if (isGone(socket)) {
        return send(socket, std::move(result));
    }
    auto* stream = new ReplyStream(socket, std::exchange(result.afterReply, nullptr));
    stream->m_slot = std::move(slot);
    std::function<QByteArray()> build = std::exchange(result.buildOutput, nullptr);
    // Cancelled with the stream: a completion never reaches a stream that has gone.
    stream->m_build = executor.run<QByteArray>(
        Executor::Priority::Utility,
        [build = std::move(build)](const CancelToken&) { return build(); },
        [stream, result = std::move(result)](QByteArray output) mutable {
            result.standardOutput = std::move(output);
            stream->start(std::move(result));
        });
}

void ReplyStream::start(CommandResult result)
{
    if (isGone(m_socket)) {
        // The client left while the output was built; the connection is about to go.
        m_slot.reset();
        return;
    }
    m_started = true;
    m_pieces = {InstanceProtocol::replyHead(result), std::move(result.standardOutput),
        InstanceProtocol::replyTail(result)};
    feed();
}

void ReplyStream::feed()
{
    if (!m_started || m_pieces.isEmpty()) {
        return;
    }
    while (!m_pieces.isEmpty() && m_socket->bytesToWrite() < chunkSize) {
        const QByteArray& piece = m_pieces.first();
        const qsizetype size = std::min(chunkSize, piece.size() - m_offset);
        m_socket->write(piece.constData() + m_offset, size);
        m_offset += size;
        if (m_offset == piece.size()) {
            m_pieces.removeFirst();
            m_offset = 0;
        }
    }
    if (m_pieces.isEmpty()) {
        // The rest is in the connection's buffer, at most a chunk: the next large reply may
        // start. The connection closes once that rest has been written.
        m_slot.reset();
        m_socket->disconnectFromServer();
    }
}
