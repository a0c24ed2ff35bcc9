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
    };

    explicit TestHttpServer(QObject *parent = nullptr);

    void setPage(const QByteArray &path, const QByteArray &html, int delayMs = 0);
    void setPage(const QByteArray &path, const Page &page) { m_pages.insert(path, page); }
    // How many requests asked for this path (the query aside).
    int requestsFor(const QByteArray &path) const;
    QUrl url(const QByteArray &path) const;

    struct Request
    {
        QByteArray path;
        QHash<QByteArray, QByteArray> headers; // names lower-cased
    };
    QList<Request> requests;

private:
    void serve(QTcpSocket *socket);

    QTcpServer m_server;
    QHash<QByteArray, Page> m_pages;
};
