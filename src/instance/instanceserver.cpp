#include "instanceserver.h"

#include "instancelog.h"

#include "instanceprotocol.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

#include <sys/socket.h>
#include <unistd.h>

namespace {

bool sameUser(QLocalSocket *socket)
{
    struct ucred credentials = {};
    socklen_t length = sizeof credentials;
    const int fd = int(socket->socketDescriptor());
    if (fd < 0 || ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0)
        return false;
    return credentials.uid == ::getuid();
}

} // namespace

InstanceServer::InstanceServer(std::function<void(const QString &)> handler, QObject *parent)
    : QObject(parent), m_handler(std::move(handler)), m_server(new QLocalServer(this))
{
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    m_server->setMaxPendingConnections(kMaxConnections);
    connect(m_server, &QLocalServer::newConnection, this, &InstanceServer::accept);
}

InstanceServer::~InstanceServer() = default;

bool InstanceServer::isListening() const
{
    return m_server->isListening();
}

bool InstanceServer::listen()
{
    const QString path = InstanceProtocol::socketPath();
    if (path.isEmpty())
        return false;
    // Someone answers there: another full instance listens already; leave it be. (A
    // listen with access options would silently take the path over.)
    QLocalSocket probe;
    probe.connectToServer(path);
    if (probe.waitForConnected(500)) {
        probe.abort();
        return false;
    }
    QLocalServer::removeServer(path);
    return m_server->listen(path);
}

void InstanceServer::accept()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        if (m_connections >= kMaxConnections || !sameUser(socket)) {
            qCWarning(lcInstance) << "a connection was refused:"
                                  << (m_connections >= kMaxConnections ? "too many at once" : "another user");
            socket->abort();
            socket->deleteLater();
            continue;
        }
        ++m_connections;
        // Qt must not buffer more than a message holds: a flood stays in the socket.
        socket->setReadBufferSize(InstanceProtocol::kMaxFrame);
        auto *idle = new QTimer(socket);
        idle->setSingleShot(true);
        idle->setInterval(kIdleMs);
        connect(idle, &QTimer::timeout, socket, &QLocalSocket::abort);
        idle->start();
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, idle] {
            idle->start();
            readFrom(socket);
        });
        connect(socket, &QLocalSocket::disconnected, this, [this, socket] {
            --m_connections;
            socket->deleteLater();
        });
        if (socket->bytesAvailable() > 0)
            readFrom(socket);
    }
}

void InstanceServer::readFrom(QLocalSocket *socket)
{
    // One message after another, each answered before the next is read.
    while (socket->state() == QLocalSocket::ConnectedState && socket->bytesAvailable() >= 2) {
        const InstanceProtocol::Unframed message =
            InstanceProtocol::unframe(socket->peek(qMin<qint64>(socket->bytesAvailable(), InstanceProtocol::kMaxFrame)));
        if (message.status == InstanceProtocol::Unframed::Bad) {
            qCWarning(lcInstance) << "a malformed message; the connection is dropped";
            socket->abort();
            return;
        }
        if (message.status == InstanceProtocol::Unframed::Incomplete)
            return; // the rest is still on its way
        socket->read(message.used);
        const QString &text = message.text;
        m_handler(text);
        if (socket->state() != QLocalSocket::ConnectedState)
            return;
        socket->write(&InstanceProtocol::kHandled, 1);
        socket->flush();
    }
}
