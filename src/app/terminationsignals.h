#pragma once

#include <QObject>

class QSocketNotifier;

// SIGTERM (the desktop session ending), SIGHUP and SIGINT become a Qt signal on the
// interface thread, so that they run the same orderly shutdown as Ctrl+E.
class TerminationSignals : public QObject
{
    Q_OBJECT

public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

signals:
    void terminationRequested();

private:
    QSocketNotifier *m_notifier = nullptr;
};
