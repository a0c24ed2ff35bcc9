#include "setform.h"

#include "clockformat.h"
#include "statusline.h"

TSetForm::TSetForm(StatusLine *status) : QObject(status), m_status(status)
{
    setObjectName(QStringLiteral("TSetForm"));
    // Coarse: the system may fold the wake-up in with others; the margin after the second
    // keeps it from landing before the second has changed.
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::CoarseTimer);
    connect(&m_timer, &QTimer::timeout, this, [this] { armTick(showTime()); });
    armTick(clock());
}

void TSetForm::armTick(const QDateTime &now)
{
    m_timer.start(1000 - qMax(0, now.time().msec()) + kAfterSecondMs);
}

void TSetForm::startClock()
{
    if (m_timer.isActive())
        return;
    armTick(showTime());
}

void TSetForm::stopClock()
{
    m_timer.stop();
}

void TSetForm::tick()
{
    showTime();
}

QDateTime TSetForm::showTime()
{
    // One reading a tick, shown and then timed from.
    const QDateTime now = clock();
    m_status->setClockText(ClockFormat::expand(ClockFormat::kFormat, now));
    return now;
}
