#pragma once

#include <QList>
#include <QObject>

#include <functional>

class QLocalServer;
class QLocalSocket;
class QTimer;

// The running instance's listener for second starts: user-only socket, peers of the same
// user only, one message at a time per connection and never more than one message's worth
// read ahead. Garbage, a message cut short or a flood ends that connection, not the
// listener. Each message has to arrive whole within a deadline, and when every slot is
// taken a newcomer takes the place of the one whose message has been on its way the
// longest: clients that trickle bytes cannot keep a real second start out.
class InstanceServer : public QObject
{
    Q_OBJECT

public:
    static constexpr int kMaxConnections = 8;
    // A second start sends each message at once; a connection gets this long for each.
    static constexpr int kFrameMs = 2000;

    explicit InstanceServer(std::function<void(const QString &)> handler, QObject *parent = nullptr);
    ~InstanceServer() override;

    // Listens unless another live instance already does; a stale socket is replaced.
    bool listen();
    bool isListening() const;
    // Tests shorten it.
    void setFrameDeadline(int ms) { m_frameMs = ms; }

private:
    void accept();
    void readFrom(QLocalSocket *socket, QTimer *deadline);

    std::function<void(const QString &)> m_handler;
    QLocalServer *m_server;
    // Open connections, the oldest first.
    QList<QLocalSocket *> m_open;
    int m_frameMs = kFrameMs;
};
