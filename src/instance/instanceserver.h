#pragma once

#include <QObject>

#include <functional>

class QLocalServer;
class QLocalSocket;

// The running instance's listener for second starts: user-only socket, peers of the same
// user only, one message at a time per connection and never more than one message's worth
// read ahead. Garbage, a message cut short or a flood ends that connection, not the
// listener.
class InstanceServer : public QObject
{
    Q_OBJECT

public:
    static constexpr int kMaxConnections = 8;
    static constexpr int kIdleMs = 10000;

    explicit InstanceServer(std::function<void(const QString &)> handler, QObject *parent = nullptr);
    ~InstanceServer() override;

    // Listens unless another live instance already does; a stale socket is replaced.
    bool listen();
    bool isListening() const;

private:
    void accept();
    void readFrom(QLocalSocket *socket);

    std::function<void(const QString &)> m_handler;
    QLocalServer *m_server;
    int m_connections = 0;
};
