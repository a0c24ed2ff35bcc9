#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QTcpServer>
#include <QUrl>

// A small HTTP server on 127.0.0.1 for the engine tests: fixed pages by path, optionally
// delayed, and a record of every request's headers.
class TestHttpServer : public QObject
{
    Q_OBJECT

public:
    struct Page
    {
        QByteArray body;
        QByteArray contentType = "text/html; charset=utf-8";
        int delayMs = 0;
        // Headers of the response beside the content ones; "Cache-Control: no-store" unless
        // they name a Cache-Control of their own.
        QByteArray headers;
        // The length the response says it has, when it sends less (a body cut short).
        qint64 declaredLength = -1;
        // "user:password" that a request must sign in with (HTTP basic), empty for none.
        QByteArray signIn;
        // Sends the body `chunkSize` bytes at a time, one piece every `chunkMs`; with
        // `endless`, zeros follow for ever and no length is given.
        qint64 chunkSize = 0;
        int chunkMs = 10;
        bool endless = false;
    };

    explicit TestHttpServer(QObject *parent = nullptr);

    void setPage(const QByteArray &path, const QByteArray &html, int delayMs = 0);
    void setPage(const QByteArray &path, const Page &page) { m_pages.insert(path, page); }
    // How many requests asked for this path (the query aside).
    int requestsFor(const QByteArray &path) const;
    // How many of them were answered, or would have been had the client stayed (after the
    // page's delay); pages sent in pieces aside.
    int answeredFor(const QByteArray &path) const { return m_answered.value(path); }
    QUrl url(const QByteArray &path) const;

    struct Request
    {
        QByteArray path;
        QHash<QByteArray, QByteArray> headers; // names lower-cased
    };
    QList<Request> requests;
    // Connections that began a TLS handshake (this server speaks plain HTTP only).
    int tlsAttempts = 0;
    // The Cookie header of the last request for this path (the query aside); empty when it
    // sent none or none came.
    QByteArray lastCookieHeader(const QByteArray &path) const;

private:
    void serve(QTcpSocket *socket);
    void stream(QTcpSocket *socket, const QByteArray &header, const Page &page);

    QTcpServer m_server;
    QHash<QByteArray, Page> m_pages;
    QHash<QByteArray, int> m_answered;
};
