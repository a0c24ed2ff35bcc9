#include "instanceserver.h"

#include "instancelog.h"

#include "instanceprotocol.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

#include <algorithm>

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

const QString kDeadline = QStringLiteral("messageDeadline");

QTimer *deadlineOf(QLocalSocket *socket)
{
    return socket->findChild<QTimer *>(kDeadline, Qt::FindDirectChildrenOnly);
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
        if (!sameUser(socket)) {
            qCWarning(lcInstance) << "a connection was refused: another user";
            socket->abort();
            socket->deleteLater();
            continue;
        }
        if (m_open.size() >= kMaxConnections) {
            // The one whose message has been on its way the longest makes room: a second
            // start sends each message at once, so it is the newcomer that is kept, and a
            // start in the middle of its addresses has just been answered.
            qCWarning(lcInstance) << "every connection was taken; the slowest was ended";
            QLocalSocket *slowest = *std::min_element(m_open.cbegin(), m_open.cend(), [](QLocalSocket *a, QLocalSocket *b) {
                return deadlineOf(a)->remainingTime() < deadlineOf(b)->remainingTime();
            });
            m_open.removeOne(slowest);
            slowest->abort();
            slowest->deleteLater();
        }
        m_open.append(socket);
        // Qt must not buffer more than a message holds: a flood stays in the socket.
        socket->setReadBufferSize(InstanceProtocol::kMaxFrame);
        // For the whole message, however its bytes come: a byte now and then does not keep
        // a connection.
        auto *deadline = new QTimer(socket);
        deadline->setObjectName(kDeadline);
        deadline->setSingleShot(true);
        deadline->setInterval(m_frameMs);
        connect(deadline, &QTimer::timeout, socket, &QLocalSocket::abort);
        deadline->start();
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, deadline] { readFrom(socket, deadline); });
        connect(socket, &QLocalSocket::disconnected, this, [this, socket] {
            m_open.removeOne(socket);
            socket->deleteLater();
        });
        // A second start writes its message as it connects: taken now, it is answered before
        // later newcomers could push it out.
        if (socket->bytesAvailable() > 0 || socket->waitForReadyRead(0))
            readFrom(socket, deadline);
    }
}

void InstanceServer::readFrom(QLocalSocket *socket, QTimer *deadline)
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
        // The next message has its own time.
        deadline->start();
    }
}
