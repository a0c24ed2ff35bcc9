#include "testhttpserver.h"

#include <QTcpSocket>
#include <QPointer>
#include <QTimer>

#include <memory>

TestHttpServer::TestHttpServer(QObject *parent) : QObject(parent)
{
    m_server.listen(QHostAddress::LocalHost, 0);
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

void TestHttpServer::setPage(const QByteArray &path, const QByteArray &html, int delayMs)
{
    Page page;
    page.body = html;
    page.delayMs = delayMs;
    m_pages.insert(path, page);
}

QUrl TestHttpServer::url(const QByteArray &path) const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(QString::fromLatin1(path)));
}

void TestHttpServer::serve(QTcpSocket *socket)
{
    QByteArray received = socket->property("received").toByteArray() + socket->readAll();
    socket->setProperty("received", received);
    // A TLS handshake is no request: answered as a plain HTTP server answers it, in plain
    // text, and the connection closed.
    if (received.startsWith('\x16')) {
        ++tlsAttempts;
        socket->write("HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
        socket->disconnectFromHost();
        return;
    }
    const qsizetype end = received.indexOf("\r\n\r\n");
    if (end < 0)
        return;
    socket->setProperty("received", QByteArray());

    const QList<QByteArray> lines = received.left(end).split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    Request request;
    request.path = requestLine.value(1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon > 0)
            request.headers.insert(lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
    }
    requests.append(request);

    const QByteArray path = request.path.split('?').value(0);
    const auto it = m_pages.constFind(path);
    QByteArray response;
    int delay = 0;
    if (it == m_pages.constEnd()) {
        const QByteArray body = "<html><head><title>404</title></head><body>not found</body></html>";
        response = "HTTP/1.1 404 Not Found\r\nContent-Type: text/html\r\nContent-Length: " +
                   QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    } else if (!it->signIn.isEmpty() && request.headers.value("authorization") != "Basic " + it->signIn.toBase64()) {
        const QByteArray body = "<html><head><title>401</title></head><body>sign in</body></html>";
        response = "HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"测试区域\"\r\nContent-Type: text/html\r\n"
                   "Content-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    } else {
        delay = it->delayMs;
        if (it->chunkSize > 0 || it->endless) {
            const QByteArray length = it->endless ? QByteArray()
                                                  : "Content-Length: " + QByteArray::number(it->declaredLength >= 0 ? it->declaredLength : it->body.size()) + "\r\n";
            stream(socket, "HTTP/1.1 200 OK\r\nContent-Type: " + it->contentType + "\r\nCache-Control: no-store\r\n" +
                               it->headers + length + "Connection: close\r\n\r\n", *it);
            return;
        }
        const QByteArray caching = it->headers.contains("Cache-Control") ? QByteArray() : "Cache-Control: no-store\r\n";
        response = "HTTP/1.1 200 OK\r\nContent-Type: " + it->contentType + "\r\n" + caching + it->headers +
                   "Content-Length: " + QByteArray::number(it->declaredLength >= 0 ? it->declaredLength : it->body.size()) +
                   "\r\nConnection: close\r\n\r\n" + it->body;
    }
    QTimer::singleShot(delay, this, [this, path, to = QPointer<QTcpSocket>(socket), response] {
        ++m_answered[path];
        if (!to)
            return; // the client went away meanwhile
        to->write(response);
        to->disconnectFromHost();
    });
}

int TestHttpServer::requestsFor(const QByteArray &path) const
{
    int count = 0;
    for (const Request &request : requests)
        count += request.path.split('?').value(0) == path;
    return count;
}

QByteArray TestHttpServer::lastCookieHeader(const QByteArray &path) const
{
    QByteArray header;
    for (const Request &request : requests)
        if (request.path.split('?').value(0) == path)
            header = request.headers.value("cookie");
    return header;
}

void TestHttpServer::stream(QTcpSocket *socket, const QByteArray &header, const Page &page)
{
    socket->write(header);
    const qint64 size = qMax<qint64>(page.chunkSize, 1);
    auto *timer = new QTimer(socket);
    auto sent = std::make_shared<qint64>(0);
    connect(timer, &QTimer::timeout, socket, [socket, timer, page, size, sent] {
        // Keeps the socket's buffer short, so the pace is the one asked for.
        if (socket->bytesToWrite() > 4 * size)
            return;
        if (page.endless) {
            socket->write(QByteArray(size, '\0'));
            return;
        }
        socket->write(page.body.mid(*sent, size));
        *sent += size;
        if (*sent >= page.body.size()) {
            timer->stop();
            socket->disconnectFromHost();
        }
    });
    timer->start(page.chunkMs);
}
