#pragma once

#include "localtime.h"

#include <QDateTime>
#include <QObject>
#include <QTimer>

#include <functional>

class StatusLine;

// The hidden form that carries the status-bar clock: panel 3 shows the date and time,
// refreshed each second while the window is shown and not minimised. Each tick is armed for
// just after the next second begins: one wake-up a second, never a second shown late.
class TSetForm : public QObject
{
    Q_OBJECT

public:
    explicit TSetForm(StatusLine *status);

    void startClock();
    void stopClock();
    bool clockRunning() const { return m_timer.isActive(); }
    void tick();
    // How long until the next tick (-1 while the clock is stopped).
    int msToNextTick() const { return m_timer.remainingTime(); }
    // A tick comes this long after its second began: a coarse timer may fire a little early.
    static constexpr int kAfterSecondMs = 60;

    // Where the time comes from; tests set a fixed clock.
    std::function<QDateTime()> clock = [this] { return m_localTime.now(); };

private:
    LocalTime m_localTime;
    QDateTime showTime();
    void armTick(const QDateTime &now);

    StatusLine *m_status;
    QTimer m_timer;
};
