#include "setform.h"

#include "../app/mainform.h"
#include "clockformat.h"

TSetForm::TSetForm(TQORMainForm *mainForm) : QObject(mainForm), m_main(mainForm)
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
    try {
        m_main->setStatusText(3, ClockFormat::expand(ClockFormat::kFormat, clock));
    } catch (...) {
    }
}
