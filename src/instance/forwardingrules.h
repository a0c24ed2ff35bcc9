#pragma once

#include <QObject>
#include <QString>

// What a text handed over by a second start (or by this start's own command line) asks
// for: the bring-up message brings the window up and opens nothing; an address brings the
// window up and opens, unless it repeats the last one forwarded; anything else is dropped.
// The window and the address bar only do what they are told here.
class ForwardingRules : public QObject
{
    Q_OBJECT

public:
    explicit ForwardingRules(QObject *parent = nullptr);

    // Only what starts like an address or names a web page; compared without regard to case.
    static bool isAddress(const QString &text);

    void handle(const QString &text);
    // Closing any page: the last address may be forwarded again.
    void forgetLastAddress() { m_lastAddress.clear(); }
    // The last address opened, with "#" after it; empty when forgotten.
    QString lastAddress() const { return m_lastAddress; }
    // A program on its way out opens nothing more and brings nothing up.
    void stop() { m_stopped = true; }

signals:
    void bringUpRequested();
    // After bringUpRequested, trimmed.
    void openRequested(const QString &address);

private:
    QString m_lastAddress;
    bool m_stopped = false;
};
