#include "InstanceChannel.h"

#include "ReplyStream.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <QtEndian>

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

constexpr char requestMagic[] = "NVQ1";
constexpr char replyMagic[] = "NVR1";
constexpr qsizetype magicSize = 4;

void appendUInt32(QByteArray& out, quint32 value)
{
    char bytes[4];
    qToBigEndian(value, bytes);
    out.append(bytes, 4);
}

quint32 readUInt32(const QByteArray& in, qsizetype offset)
{
    return qFromBigEndian<quint32>(in.constData() + offset);
}

bool isPrivateDirectory(const QString& path, QString* error)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat info = {};
    if (::lstat(native.constData(), &info) != 0) {
        *error = QStringLiteral("cannot inspect %1: %2")
                     .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    if (!S_ISDIR(info.st_mode)) {
        *error = QStringLiteral("%1 is not a folder").arg(path);
        return false;
    }
    if (info.st_uid != ::getuid()) {
        *error = QStringLiteral("%1 belongs to another user").arg(path);
        return false;
    }
    if ((info.st_mode & 077) != 0 && ::chmod(native.constData(), 0700) != 0) {
        *error = QStringLiteral("cannot make %1 private: %2")
                     .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    return true;
}

// Connects to the socket at path within timeoutMs. While every slot of the listen backlog is
// taken (a burst of clients, or an instance busy for a moment), a blocking connect on a local
// socket waits for one, bounded by the send time-out; it then fails with EAGAIN. -1 and errno
// on failure.
int connectWaitingForASlot(const QString& path, int timeoutMs)
{
    const QByteArray native = QFile::encodeName(path);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    if (native.size() >= qsizetype(sizeof address.sun_path)) {
        errno = ENAMETOOLONG;
        return -1;
    }
    std::memcpy(address.sun_path, native.constData(), size_t(native.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    const timeval limit {timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    int result = ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    if (result == 0) {
        do {
            result = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        } while (result != 0 && errno == EINTR);
    }
    if (result != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

} // namespace

QByteArray InstanceProtocol::encodeRequest(const InstanceRequest& request)
{
    QJsonObject object;
    object.insert(QStringLiteral("arguments"), QJsonArray::fromStringList(request.arguments));
    object.insert(QStringLiteral("workingDirectory"), request.workingDirectory);
    const QByteArray json = QJsonDocument(object).toJson(QJsonDocument::Compact);
    QByteArray frame(requestMagic, magicSize);
    appendUInt32(frame, static_cast<quint32>(json.size()));
    frame.append(json);
    return frame;
}

qint64 InstanceProtocol::requestFrameLength(const QByteArray& buffer)
{
    const qsizetype known = std::min<qsizetype>(buffer.size(), magicSize);
    if (buffer.left(known) != QByteArray(requestMagic, known)) {
        return -1;
    }
    if (buffer.size() < magicSize + 4) {
        return 0;
    }
    const qint64 length = readUInt32(buffer, magicSize);
    if (length + magicSize + 4 > maxRequestSize) {
        return -1;
    }
    return buffer.size() >= length + magicSize + 4 ? length + magicSize + 4 : 0;
}

std::optional<InstanceRequest> InstanceProtocol::decodeRequest(const QByteArray& frame)
{
    if (requestFrameLength(frame) != frame.size()) {
        return std::nullopt;
    }
    QJsonParseError parseError {};
    const QJsonDocument document = QJsonDocument::fromJson(frame.mid(magicSize + 4), &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject()) {
        return std::nullopt;
    }
    const QJsonObject object = document.object();
    const QJsonValue arguments = object.value(QStringLiteral("arguments"));
    const QJsonValue directory = object.value(QStringLiteral("workingDirectory"));
    if (!arguments.isArray() || !directory.isString()) {
        return std::nullopt;
    }
    InstanceRequest request;
    for (const QJsonValue& argument : arguments.toArray()) {
        if (!argument.isString()) {
            return std::nullopt;
        }
        request.arguments.append(argument.toString());
    }
    request.workingDirectory = directory.toString();
    return request;
}

QByteArray InstanceProtocol::encodeReply(const CommandResult& result)
{
    return replyHead(result) + result.standardOutput + replyTail(result);
}

QByteArray InstanceProtocol::replyHead(const CommandResult& result)
{
    QByteArray head(replyMagic, magicSize);
    appendUInt32(head, static_cast<quint32>(result.exitCode));
    appendUInt32(head, static_cast<quint32>(result.standardOutput.size()));
    return head;
}

QByteArray InstanceProtocol::replyTail(const CommandResult& result)
{
    QByteArray tail;
    appendUInt32(tail, static_cast<quint32>(result.standardError.size()));
    tail.append(result.standardError);
    return tail;
}

qint64 InstanceProtocol::replyFrameLength(const QByteArray& buffer)
{
    const qsizetype known = std::min<qsizetype>(buffer.size(), magicSize);
    if (buffer.left(known) != QByteArray(replyMagic, known)) {
        return -1;
    }
    qint64 offset = magicSize + 4;
    for (int part = 0; part < 2; ++part) {
        if (buffer.size() < offset + 4) {
            return 0;
        }
        offset += 4 + qint64(readUInt32(buffer, offset));
        if (offset > maxReplySize) {
            return -1;
        }
    }
    return buffer.size() >= offset ? offset : 0;
}

std::optional<CommandResult> InstanceProtocol::decodeReply(const QByteArray& frame)
{
    // No bytes at all are an incomplete frame (length 0), not an empty one.
    const qint64 length = replyFrameLength(frame);
    if (length <= 0 || length != frame.size()) {
        return std::nullopt;
    }
    CommandResult result;
    result.exitCode = static_cast<qint32>(readUInt32(frame, magicSize));
    qsizetype offset = magicSize + 4;
    const quint32 outLength = readUInt32(frame, offset);
    result.standardOutput = frame.mid(offset + 4, outLength);
    offset += 4 + outLength;
    const quint32 errLength = readUInt32(frame, offset);
    result.standardError = frame.mid(offset + 4, errLength);
    return result;
}

std::optional<InstancePaths> InstancePaths::prepare(
    bool simulated, QString* error, const QString& runtimeDirectory)
{
    QString base =
        runtimeDirectory.isEmpty() ? qEnvironmentVariable("XDG_RUNTIME_DIR") : runtimeDirectory;
    if (base.isEmpty()) {
        // Qt's fallback: a per-user folder in /tmp that it creates 0700 and checks.
        base = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    }
    if (base.isEmpty()) {
        *error = QStringLiteral("no private runtime folder (XDG_RUNTIME_DIR is not set)");
        return std::nullopt;
    }
    if (!isPrivateDirectory(base, error)) {
        return std::nullopt;
    }
    InstancePaths paths;
    paths.directory = QDir(base).filePath(QStringLiteral("norvale"));
    const QByteArray native = QFile::encodeName(paths.directory);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST) {
        *error = QStringLiteral("cannot create %1: %2")
                     .arg(paths.directory, QString::fromLocal8Bit(std::strerror(errno)));
        return std::nullopt;
    }
    if (!isPrivateDirectory(paths.directory, error)) {
        return std::nullopt;
    }
    const QString stem = simulated ? QStringLiteral("norvale-sim") : QStringLiteral("norvale");
    paths.socketPath = QDir(paths.directory).filePath(stem + QStringLiteral(".sock"));
    paths.lockPath = QDir(paths.directory).filePath(stem + QStringLiteral(".lock"));
    if (QFile::encodeName(paths.socketPath).size() >= qsizetype(sizeof(sockaddr_un::sun_path))) {
        *error = QStringLiteral("the socket path %1 is too long").arg(paths.socketPath);
        return std::nullopt;
    }
    return paths;
}

InstanceServer::InstanceServer(Handler handler, Executor& executor, QObject* parent)
    : QObject(parent)
    , m_handler(std::move(handler))
    , m_executor(executor)
{ }

InstanceServer::~InstanceServer()
{
    close();
}

InstanceServer::ListenResult InstanceServer::listen(const QString& socketPath, QString* error)
{
    close();
    if (QFile::exists(socketPath)) {
        QLocalSocket probe;
        probe.connectToServer(socketPath);
        if (probe.waitForConnected(500)) {
            probe.abort();
            *error = QStringLiteral("another Norvale answers on %1").arg(socketPath);
            return ListenResult::AnotherServerAnswers;
        }
        // Nobody accepts: left behind by an instance that was killed.
        QLocalServer::removeServer(socketPath);
    }
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    m_server->setListenBacklogSize(InstanceProtocol::listenBacklog);
    m_server->setMaxPendingConnections(InstanceProtocol::listenBacklog);
    if (!m_server->listen(socketPath)) {
        *error = QStringLiteral("cannot listen on %1: %2").arg(socketPath, m_server->errorString());
        delete m_server;
        m_server = nullptr;
        return ListenResult::Failed;
    }
    connect(m_server, &QLocalServer::newConnection, this, &InstanceServer::acceptConnections);
    return ListenResult::Listening;
}

void InstanceServer::close()
{
    // Before the connections go: their streams free slots, which must admit nobody now.
    m_largeReplies.clear();
    if (m_server != nullptr) {
        m_server->close();
        delete m_server;
        m_server = nullptr;
    }
}

bool InstanceServer::isListening() const
{
    return m_server != nullptr && m_server->isListening();
}

std::optional<uint> InstanceServer::peerUid(qintptr socketDescriptor)
{
    struct ucred credentials = {};
    socklen_t length = sizeof(credentials);
    if (::getsockopt(static_cast<int>(socketDescriptor), SOL_SOCKET, SO_PEERCRED, &credentials,
            &length) != 0 ||
        length != sizeof(credentials)) {
        return std::nullopt;
    }
    return credentials.uid;
}

void InstanceServer::acceptConnections()
{
    while (m_server != nullptr && m_server->hasPendingConnections()) {
        serve(m_server->nextPendingConnection());
    }
}

void InstanceServer::serve(QLocalSocket* socket)
{
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    const std::optional<uint> uid = peerUid(socket->socketDescriptor());
    if (!uid || *uid != ::getuid()) {
        socket->abort();
        socket->deleteLater();
        return;
    }
    // A peer that never completes its request is dropped; one that has may wait for long work.
    auto* requestTimer = new QTimer(socket);
    requestTimer->setSingleShot(true);
    connect(requestTimer, &QTimer::timeout, socket, [socket] { socket->abort(); });
    requestTimer->start(InstanceProtocol::requestTimeoutMs);
    auto buffer = std::make_shared<QByteArray>();
    connect(socket, &QLocalSocket::readyRead, this,
        [this, socket, requestTimer, buffer] { readRequest(socket, requestTimer, buffer); });
    if (socket->bytesAvailable() > 0) {
        readRequest(socket, requestTimer, buffer);
    }
}

void InstanceServer::readRequest(
    QLocalSocket* socket, QTimer* requestTimer, const std::shared_ptr<QByteArray>& buffer)
{
    if (socket->property("norvaleAnswered").toBool()) {
        socket->readAll();
        return;
    }
    buffer->append(socket->read(InstanceProtocol::maxRequestSize - buffer->size() + 1));
    const qint64 length = InstanceProtocol::requestFrameLength(*buffer);
    if (length == 0) {
        if (buffer->size() > InstanceProtocol::maxRequestSize) {
            socket->abort();
        }
        return;
    }
    socket->setProperty("norvaleAnswered", true);
    requestTimer->stop();
    std::optional<InstanceRequest> request;
    if (length > 0 && length == buffer->size()) {
        request = InstanceProtocol::decodeRequest(*buffer);
    }
    buffer->clear();

    // The handler may answer after the connection, or the server, has gone.
    QPointer<QLocalSocket> connection(socket);
    QPointer<InstanceServer> server(this);
    const CommandReply reply([server, connection](CommandResult result) {
        if (server != nullptr) {
            server->answer(connection.data(), std::move(result));
        } else {
            ReplyStream::send(nullptr, std::move(result));
        }
    });
    connect(socket, &QLocalSocket::disconnected, socket, [reply] { reply.abandon(); });
    if (!request) {
        return reply(CommandResult::failure(
            QStringLiteral("Norvale could not read the request"), CommandExit::usage));
    }
    m_handler(*request, reply);
}

void InstanceServer::answer(QLocalSocket* socket, CommandResult result)
{
    if (!result.buildOutput) {
        return ReplyStream::send(socket, std::move(result));
    }
    QPointer<QLocalSocket> connection(socket);
    m_largeReplies.enqueue(
        [this, connection, result = std::move(result)](LargeReplyQueue::Slot slot) mutable {
            ReplyStream::buildAndSend(
                connection.data(), std::move(result), m_executor, std::move(slot));
        });
}

InstanceClient::Outcome InstanceClient::send(const QString& socketPath,
    const InstanceRequest& request, CommandResult* reply, QString* error, int timeoutMs)
{
    const QString seconds = QString::number(timeoutMs / 1000.0);
    const QDeadlineTimer deadline(timeoutMs);
    const int fd = connectWaitingForASlot(socketPath, timeoutMs);
    if (fd < 0) {
        if (errno == ENOENT || errno == ECONNREFUSED) {
            return Outcome::NotListening;
        }
        *error = errno == EAGAIN
            ? QStringLiteral("Norvale is busy: no connection was free within %1 s").arg(seconds)
            : QStringLiteral("cannot connect to Norvale: %1")
                  .arg(QString::fromLocal8Bit(std::strerror(errno)));
        return Outcome::Failed;
    }
    QLocalSocket socket;
    if (!socket.setSocketDescriptor(fd)) {
        ::close(fd);
        *error = QStringLiteral("cannot connect to Norvale: %1").arg(socket.errorString());
        return Outcome::Failed;
    }
    socket.write(InstanceProtocol::encodeRequest(request));
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime()))) {
            *error =
                QStringLiteral("Norvale did not take the request: %1").arg(socket.errorString());
            return Outcome::Failed;
        }
    }
    QByteArray buffer;
    for (;;) {
        buffer.append(socket.readAll());
        const qint64 length = InstanceProtocol::replyFrameLength(buffer);
        if (length < 0) {
            *error = QStringLiteral("Norvale sent an unreadable reply");
            return Outcome::Failed;
        }
        if (length > 0) {
            const auto decoded = InstanceProtocol::decodeReply(buffer.left(length));
            if (!decoded) {
                *error = QStringLiteral("Norvale sent an unreadable reply");
                return Outcome::Failed;
            }
            *reply = *decoded;
            return Outcome::Replied;
        }
        if (socket.state() != QLocalSocket::ConnectedState && socket.bytesAvailable() == 0) {
            *error = QStringLiteral("Norvale quit before it answered");
            return Outcome::Failed;
        }
        if (deadline.hasExpired()) {
            *error = QStringLiteral("Norvale did not answer within %1 s").arg(seconds);
            return Outcome::Failed;
        }
        socket.waitForReadyRead(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
    }
}

InstanceGuard::InstanceGuard(InstancePaths paths)
    : m_paths(std::move(paths))
    , m_lock(std::make_unique<QLockFile>(m_paths.lockPath))
{
    // The lock is held for the whole run: only a dead owner makes it stale, never its age.
    m_lock->setStaleLockTime(0);
}

InstanceGuard::~InstanceGuard() = default;

InstanceGuard::LockState InstanceGuard::tryLock(QString* error)
{
    if (m_lock->isLocked()) {
        return LockState::Acquired;
    }
    if (m_lock->tryLock(0)) {
        return LockState::Acquired;
    }
    switch (m_lock->error()) {
    case QLockFile::LockFailedError:
        return LockState::HeldElsewhere;
    case QLockFile::PermissionError:
        *error = QStringLiteral("no permission to create %1").arg(m_paths.lockPath);
        return LockState::Failed;
    case QLockFile::NoError:
    case QLockFile::UnknownError:
        break;
    }
    *error = QStringLiteral("cannot lock %1").arg(m_paths.lockPath);
    return LockState::Failed;
}

bool InstanceGuard::isLocked() const
{
    return m_lock->isLocked();
}

void InstanceGuard::unlock()
{
    m_lock->unlock();
}

InstanceGuard::StartResult InstanceGuard::becomePrimaryOrHandOver(
    const InstanceRequest& request, CommandResult* reply, QString* error, int waitMs)
{
    QDeadlineTimer deadline(waitMs);
    for (;;) {
        switch (tryLock(error)) {
        case LockState::Acquired:
            return StartResult::Primary;
        case LockState::Failed:
            return StartResult::Failed;
        case LockState::HeldElsewhere:
            break;
        }
        switch (InstanceClient::send(m_paths.socketPath, request, reply, error)) {
        case InstanceClient::Outcome::Replied:
            return StartResult::HandedOver;
        case InstanceClient::Outcome::Failed:
            return StartResult::Failed;
        case InstanceClient::Outcome::NotListening:
            break;
        }
        if (deadline.hasExpired()) {
            *error = QStringLiteral("Norvale is running but does not answer on %1")
                         .arg(m_paths.socketPath);
            return StartResult::Failed;
        }
        QThread::msleep(100);
    }
}
