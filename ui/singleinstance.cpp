#include "singleinstance.h"

#include "handovermessage.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QTimer>
#include <QVariant>

#ifdef Q_OS_UNIX
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

// Long enough for a window busy in a modal dialog or under a loaded machine; a window that
// stays silent longer is taken as hung.
constexpr int answerTimeoutMs = 10000;
constexpr int lockTimeoutMs = 10000;
const char bodySizeProperty[] = "bodySize";

uint currentUserId()
{
#ifdef Q_OS_UNIX
    return uint(::geteuid());
#else
    return 0;
#endif
}

// No one but this user may create or replace anything in the folder.
bool isUsersAlone(const QFileInfo &folder, QFileDevice::Permissions othersMayNot)
{
    return folder.isAbsolute() && folder.isDir() && !folder.isSymLink() && folder.ownerId() == currentUserId()
            && !(folder.permissions() & othersMayNot);
}

constexpr QFileDevice::Permissions othersWrite = QFileDevice::WriteGroup | QFileDevice::WriteOther;
constexpr QFileDevice::Permissions othersAny = othersWrite | QFileDevice::ReadGroup | QFileDevice::ExeGroup
        | QFileDevice::ReadOther | QFileDevice::ExeOther;

// A folder that only this user owns and enters, for the socket and its lock, made on first
// use. In $XDG_RUNTIME_DIR when that is the user's own; otherwise in the user's cache folder,
// not in /tmp, where another user could take the name first and so deny the hand-over.
QString socketFolder(QString *error)
{
    QString base = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (base.isEmpty() || !isUsersAlone(QFileInfo(base), othersWrite)) {
        base = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
        QDir().mkpath(base);
    }
    const QString folder = base + QStringLiteral("/org.pomvane.Pomvane");
    QDir().mkdir(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QFileInfo info(folder);
    if (!isUsersAlone(info, othersAny)) {
        *error = info.exists()
                ? QStringLiteral("%1 must be a folder of this user's alone (mode 700), and is not").arg(folder)
                : QStringLiteral("cannot create the folder %1").arg(folder);
        return {};
    }
    return folder;
}

} // namespace

SingleInstance::SingleInstance(const QString &socketPath, QObject *parent)
    : QObject(parent)
    , socketPath(socketPath)
    , lockFile(socketPath + QStringLiteral(".lock"))
    , peerUserId(currentUserId())
{
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultSocketPath(QString *error)
{
    const QString folder = socketFolder(error);
    if (folder.isEmpty())
        return {};
    // Display names may hold any character and be long (a Wayland socket's full path), and a
    // socket path is limited to 107 bytes: hash them.
    const QByteArray display = qgetenv("DISPLAY") + '\n' + qgetenv("WAYLAND_DISPLAY");
    const QByteArray hash = QCryptographicHash::hash(display, QCryptographicHash::Sha256).toHex().left(16);
    return folder + QStringLiteral("/display-%1").arg(QLatin1StringView(hash));
}

void SingleInstance::lock()
{
    // A lock left by a process that died is taken over; a start stuck for longer than the
    // timeout does not keep this one from running.
    if (!lockFile.isLocked())
        lockFile.tryLock(lockTimeoutMs);
}

SingleInstance::HandOver SingleInstance::handOver(std::span<const std::string> paths, bool walkFolders,
                                                  QString *error)
{
    lock();
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(answerTimeoutMs)) {
        if (socket.error() == QLocalSocket::ServerNotFoundError
            || socket.error() == QLocalSocket::ConnectionRefusedError)
            return NoWindow;
        *error = QStringLiteral("cannot reach the running window: %1").arg(socket.errorString());
        return Failed;
    }
    const QByteArray message = handover::encode(paths, walkFolders);
    if (message.size() - handover::headerSize > handover::maxBodySize) {
        *error = QStringLiteral("too many files to hand to the running window at once");
        return Failed;
    }
    socket.write(message);
    while (socket.bytesToWrite() > 0 && socket.waitForBytesWritten(answerTimeoutMs)) {
    }
    char answer = 0;
    if (socket.bytesToWrite() > 0 || !socket.waitForReadyRead(answerTimeoutMs)
        || !socket.getChar(&answer) || answer != handover::accepted) {
        *error = QStringLiteral("the running window did not take the files");
        return Failed;
    }
    return HandedOver;
}

bool SingleInstance::listen(QString *error)
{
    lock();
    server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    // handOver() found no window behind the socket, and the lock keeps other starts out
    // until this one listens: what is there is stale.
    QLocalServer::removeServer(socketPath);
    const bool listening = server->listen(socketPath);
    if (listening)
        connect(server, &QLocalServer::newConnection, this, &SingleInstance::takeConnection);
    else
        *error = server->errorString();
    lockFile.unlock();
    return listening;
}

void SingleInstance::takeConnection()
{
    while (QLocalSocket *socket = server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        if (!peerIsUser(socket)) {
            socket->abort();
            continue;
        }
        // A peer that never finishes its message must not hold on for ever.
        QTimer::singleShot(answerTimeoutMs, socket, &QLocalSocket::abort);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readMessage(socket); });
        readMessage(socket);
    }
}

void SingleInstance::readMessage(QLocalSocket *socket)
{
    QVariant size = socket->property(bodySizeProperty);
    if (!size.isValid()) {
        if (socket->bytesAvailable() < handover::headerSize)
            return;
        const qsizetype bodySize = handover::bodySize(socket->read(handover::headerSize));
        if (bodySize < 0) {
            socket->abort();
            return;
        }
        size = qlonglong(bodySize);
        socket->setProperty(bodySizeProperty, size);
    }
    if (socket->bytesAvailable() < size.toLongLong())
        return;
    const QByteArray body = socket->read(size.toLongLong());
    std::vector<std::string> paths;
    bool walkFolders = false;
    // Anything after the message is as wrong as a message that does not add up.
    if (socket->bytesAvailable() > 0 || !handover::decodeBody(body, paths, walkFolders)) {
        socket->abort();
        return;
    }
    disconnect(socket, &QLocalSocket::readyRead, this, nullptr);
    emit filesReceived(paths, walkFolders);
    socket->putChar(handover::accepted);
    socket->disconnectFromServer();
}

bool SingleInstance::peerIsUser(QLocalSocket *socket) const
{
#if defined(Q_OS_LINUX)
    struct ucred credentials {};
    socklen_t length = sizeof credentials;
    if (::getsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0)
        return false;
    return credentials.uid == peerUserId;
#elif defined(Q_OS_UNIX)
    uid_t user = 0;
    gid_t group = 0;
    return ::getpeereid(int(socket->socketDescriptor()), &user, &group) == 0 && user == peerUserId;
#else
    // Elsewhere the pipe's access list, set by UserAccessOption, admits only this user.
    Q_UNUSED(socket);
    return true;
#endif
}
