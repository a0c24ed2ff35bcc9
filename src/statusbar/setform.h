#pragma once

#include <QDateTime>
#include <QObject>
#include <QTimer>

#include <functional>

class StatusLine;

// The hidden form that carries the status-bar clock: panel 3 shows the date and time,
// refreshed each second while the window is shown and not minimised.
class TSetForm : public QObject
{
    Q_OBJECT

public:
    explicit TSetForm(StatusLine *status);

    void startClock();
    void stopClock();
    bool clockRunning() const { return m_timer.isActive(); }
    void tick();

    // Where the time comes from; tests set a fixed clock.
    std::function<QDateTime()> clock = [] { return QDateTime::currentDateTime(); };

private:
    StatusLine *m_status;
    QTimer m_timer;
};
