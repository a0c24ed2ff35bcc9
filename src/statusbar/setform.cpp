#include "setform.h"

#include "clockformat.h"
#include "statusline.h"

TSetForm::TSetForm(StatusLine *status) : QObject(status), m_status(status)
{
    setObjectName(QStringLiteral("TSetForm"));
    m_timer.setInterval(1000);
    connect(&m_timer, &QTimer::timeout, this, &TSetForm::tick);
    m_timer.start();
}

void TSetForm::startClock()
{
    if (m_timer.isActive())
        return;
    tick();
    m_timer.start();
}

void TSetForm::stopClock()
{
    m_timer.stop();
}

void TSetForm::tick()
{
    m_status->setClockText(ClockFormat::expand(ClockFormat::kFormat, clock));
}
