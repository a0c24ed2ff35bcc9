#include "runprocess.h"

namespace {

bool knownCode(char code)
{
    switch (code) {
    case 'a':
    case 'G':
    case 'H':
    case 'I':
    case 'J':
    case 'O':
        return true;
    default:
        return false;
    }
}

} // namespace

RunProcess::RunProcess(char code, Task task) : m_code(code), m_task(std::move(task))
{
    connect(this, &QThread::finished, this, &QObject::deleteLater);
}

RunProcess *RunProcess::startAllowance(std::shared_ptr<std::atomic<bool>> allowance, int ms)
{
    // Opened here, on the caller's thread, and only here: the worker may start after the
    // allowance was closed again (a popup let through, a page closing itself), and a
    // closed allowance must stay closed.
    allowance->store(true);
    return start('a', [allowance, ms] {
        QThread::msleep(ulong(qMax(0, ms)));
        allowance->store(false);
    });
}

RunProcess *RunProcess::start(char code, Task task)
{
    auto *worker = new RunProcess(code, knownCode(code) ? std::move(task) : Task());
    worker->QThread::start();
    return worker;
}

void RunProcess::run()
{
    if (m_task)
        m_task();
}
