#pragma once

#include <QThread>

#include <atomic>
#include <functional>
#include <memory>

// A short-lived worker: one task, named by a one-character code given when it is made,
// on a thread of its own; it frees itself when done. The interface thread never waits for
// it, and it never touches a widget: it reports back, if at all, through queued signals.
class RunProcess : public QThread
{
    Q_OBJECT

public:
    using Task = std::function<void()>;

    // Task 'a', the click allowance: open now, then closed by whichever worker wakes
    // first after sleeping its `ms` (or earlier by the caller); the worker never opens it.
    // The flag is shared, so that it outlives a worker still asleep at exit.
    static RunProcess *startAllowance(std::shared_ptr<std::atomic<bool>> allowance, int ms);
    // Any other code runs `task`; an unknown code does nothing.
    static RunProcess *start(char code, Task task);

    char taskCode() const { return m_code; }

protected:
    void run() override;

private:
    RunProcess(char code, Task task);

    const char m_code;
    const Task m_task;
};
