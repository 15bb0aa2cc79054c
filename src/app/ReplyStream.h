#pragma once

// One reply of the instance on its way to its client. It is fed to the connection a chunk at a
// time as the connection drains (bytesWritten), so neither the main thread nor the socket's
// buffer ever holds more than a chunk of it beyond the reply itself, and other connections
// are served between the chunks. A reply whose output is built in the background (a large
// listing) is built first, off the main thread, holding its slot of the LargeReplyQueue
// until its last byte has been handed over.
//
// The stream is a child of its connection: a client that leaves (the connection is deleted)
// ends the stream, cancels a build that has not finished and frees its slot. What follows the
// reply (CommandResult::afterReply) runs once the client has closed the connection, or at once
// when it had gone already.

#include "CommandRegistry.h"
#include "LargeReplyQueue.h"
#include "platform/Executor.h"

#include <QByteArrayList>
#include <QObject>

class QLocalSocket;

class ReplyStream final : public QObject
{
    Q_OBJECT

public:
    // How much of a reply is handed to the connection at a time.
    static constexpr qsizetype chunkSize = 256 * 1024;

    // Sends result on socket (nullptr or disconnected: the client has gone; only afterReply
    // runs then).
    static void send(QLocalSocket* socket, CommandResult result);
    // Builds result's output on executor, then sends it; slot is freed once all is handed over.
    static void buildAndSend(
        QLocalSocket* socket, CommandResult result, Executor& executor, LargeReplyQueue::Slot slot);

private:
    ReplyStream(QLocalSocket* socket, std::function<void()> afterReply);

    void start(CommandResult result);
    void feed();

    QLocalSocket* m_socket;
    bool m_started = false;
    QByteArrayList m_pieces; // what is left to hand over: the frame's head, output, tail
    qsizetype m_offset = 0; // into the first piece
    LargeReplyQueue::Slot m_slot;
    TaskHandle m_build;
};
