#pragma once

#include "history/history.h"

#include <QSignalSpy>
#include <QTest>

// Helpers of the history tests: waiting for the program's history (never for time).
namespace HistoryTesting {

// How long a test waits for the writer thread before it calls it stuck: a busy machine's disk
// can hold a commit for seconds.
constexpr int kThreadMs = 20000;

// The history has its file open for reading.
inline bool waitReady(History *history)
{
    if (history->isReady())
        return true;
    history->startWriter();
    QSignalSpy ready(history, &History::ready);
    return ready.wait(kThreadMs) || history->isReady();
}

// Sends what is gathered and waits until the writer has it in the file.
inline bool writeNow(History *history)
{
    QSignalSpy committed(history, &History::batchCommitted);
    history->flush();
    return committed.wait(kThreadMs);
}

// Empties the program's history (tests share the per-user folder) and waits for it.
inline bool emptyHistory(History *history)
{
    bool done = false;
    bool ok = false;
    history->clear([&](bool cleared) {
        done = true;
        ok = cleared;
    });
    QSignalSpy changed(history, &History::changed);
    while (!done)
        if (!changed.wait(kThreadMs))
            return false;
    return ok;
}

// The program's history ready and empty, as a test that writes into it starts.
inline bool readyAndEmpty(History *history)
{
    return waitReady(history) && emptyHistory(history);
}

} // namespace HistoryTesting
