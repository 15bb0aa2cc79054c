#pragma once

// One Norvale per user, and the channel between it and `norvale <command>`.
//
// Files: $XDG_RUNTIME_DIR/norvale/ (created 0700; an existing folder must be ours and not a
// symbolic link, and is tightened to 0700) holds "norvale.lock" (a QLockFile held for the
// whole run; staleness only by a dead owner, never by age) and "norvale.sock" (a QLocalServer
// with UserAccessOption — a file-system socket, never the abstract namespace, whose
// permissions are our folder's and the socket's). The simulated world uses "norvale-sim.*" so
// that a demo and the real instance can run side by side.
//
// The server checks the peer's uid (SO_PEERCRED) and drops any other user, reads at most
// maxRequestSize bytes within requestTimeout, and answers once per connection, when the
// handler replies: at once or after long work, while the instance goes on serving others. A
// client that leaves first abandons the reply; nothing is written to its connection then.
// Replies go out in chunks as each connection drains (ReplyStream); an output built in the
// background is built on the executor, a few at once (LargeReplyQueue), so that a crowd of
// large listings keeps the memory bounded and `status` is answered meanwhile.
//
// Wire format (big-endian lengths):
//   request: "NVQ1", u32 length, compact JSON {"arguments": [...], "workingDirectory": "..."}
//   reply:   "NVR1", i32 exit code, u32 length + standard output, u32 length + standard error

#include "CommandRegistry.h"
#include "LargeReplyQueue.h"

#include <QByteArray>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class Executor;
class QLocalServer;
class QLocalSocket;
class QTimer;

struct InstanceRequest
{
    QStringList arguments; // the tokens after the program name and global options
    QString workingDirectory;

    bool operator==(const InstanceRequest& other) const = default;
};

namespace InstanceProtocol {

constexpr qint64 maxRequestSize = 64 * 1024;
constexpr qint64 maxReplySize = qint64(1) << 31;
constexpr int requestTimeoutMs = 5000;
// Connections the kernel queues for the instance before clients have to wait for a slot.
constexpr int listenBacklog = 256;

QByteArray encodeRequest(const InstanceRequest& request);
// Nothing when the bytes are not one complete, well-formed request.
std::optional<InstanceRequest> decodeRequest(const QByteArray& frame);
// The length of the request frame at the start of buffer: 0 while the header is incomplete,
// -1 when the header is malformed or announces more than maxRequestSize.
qint64 requestFrameLength(const QByteArray& buffer);

QByteArray encodeReply(const CommandResult& result);
// The frame of a reply is replyHead(result) + result.standardOutput + replyTail(result).
QByteArray replyHead(const CommandResult& result);
QByteArray replyTail(const CommandResult& result);
// Length of the reply frame at the start of buffer; 0 while incomplete, -1 when malformed.
qint64 replyFrameLength(const QByteArray& buffer);
std::optional<CommandResult> decodeReply(const QByteArray& frame);

} // namespace InstanceProtocol

struct InstancePaths
{
    QString directory;
    QString socketPath;
    QString lockPath;

    // Prepares the private folder under runtimeDirectory (when empty: XDG_RUNTIME_DIR, else
    // Qt's per-user runtime folder in /tmp).
    static std::optional<InstancePaths> prepare(
        bool simulated, QString* error, const QString& runtimeDirectory = QString());
};

class InstanceServer final : public QObject
{
    Q_OBJECT

public:
    using Handler = std::function<void(const InstanceRequest&, const CommandReply&)>;

    // Outputs built in the background at once; the next waits until one has been sent.
    static constexpr int largeRepliesAtOnce = 2;

    InstanceServer(Handler handler, Executor& executor, QObject* parent = nullptr);
    ~InstanceServer() override;

    enum class ListenResult
    {
        Listening,
        AnotherServerAnswers,
        Failed
    };
    // A socket file nobody answers on is stale (a killed instance) and is removed first.
    ListenResult listen(const QString& socketPath, QString* error);
    void close();
    bool isListening() const;

    // The uid of a connected local socket's peer.
    static std::optional<uint> peerUid(qintptr socketDescriptor);

private:
    void acceptConnections();
    void serve(QLocalSocket* socket);
    void readRequest(
        QLocalSocket* socket, QTimer* requestTimer, const std::shared_ptr<QByteArray>& buffer);
    void answer(QLocalSocket* socket, CommandResult result);

    Handler m_handler;
    Executor& m_executor;
    LargeReplyQueue m_largeReplies {largeRepliesAtOnce};
    QLocalServer* m_server = nullptr;
};

namespace InstanceClient {

enum class Outcome
{
    Replied,
    NotListening,
    Failed
};

// Connects, sends the request and waits for the reply, all within timeoutMs (blocking; for the
// command-line process). A full listen backlog makes it wait for a free slot; an instance that
// quits or crashes meanwhile ends the wait at once.
// NotListening: nothing accepts on the socket (no instance, or a stale file).
Outcome send(const QString& socketPath, const InstanceRequest& request, CommandResult* reply,
    QString* error, int timeoutMs = 30000);

} // namespace InstanceClient

// The instance lock plus the hand-over rule, for a start without a command and for the
// command-line routes.
class InstanceGuard final
{
public:
    explicit InstanceGuard(InstancePaths paths);
    ~InstanceGuard();

    const InstancePaths& paths() const { return m_paths; }

    enum class LockState
    {
        Acquired,
        HeldElsewhere,
        Failed
    };
    LockState tryLock(QString* error);
    bool isLocked() const;
    void unlock();

    enum class StartResult
    {
        Primary,
        HandedOver,
        Failed
    };
    // Becomes the instance (the lock is then held) or hands request to the running one,
    // retrying within waitMs while the other instance is still starting (holds the lock but
    // does not listen yet). reply receives the running instance's answer.
    StartResult becomePrimaryOrHandOver(
        const InstanceRequest& request, CommandResult* reply, QString* error, int waitMs = 5000);

private:
    InstancePaths m_paths;
    std::unique_ptr<QLockFile> m_lock;
};
