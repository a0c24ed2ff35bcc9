#pragma once

#include "../cleaner/clearablestore.h"

#include "historydatabase.h"

#include <QObject>
#include <QTimer>

#include <atomic>
#include <deque>
#include <functional>
#include <memory>

class QThread;
class HistoryWriter;

// Searches the history on a thread of its own, through a connection of its own, so that no
// query ever holds up the interface. Only the newest request counts: asking again gives up
// the one before, between two steps of it. Answers come back on the asking thread.
class HistorySearch : public QObject
{
    Q_OBJECT

public:
    explicit HistorySearch(const QString &path, QObject *parent = nullptr);
    // Gives up what runs and closes the connection.
    ~HistorySearch() override;

    // Up to `limit` entries matching `text` (everything when empty) after `from`, newest
    // first; gives up any request before it. Returns the request's number.
    quint64 find(const QString &text, const HistoryKey &from, int limit);
    // Gives up what was asked.
    void cancel();

signals:
    // Part of the answer to request `ticket`: the entries found since the last part, in order.
    // `done` with the last part; then `atEnd` when nothing is left after what was found.
    void found(quint64 ticket, const QList<HistoryEntry> &entries, bool done, bool atEnd);

private:
    struct Worker;
    QThread *m_thread;
    Worker *m_worker;
    std::shared_ptr<std::atomic<quint64>> m_latest;
};

// The browsing history of the program: visits are gathered into batches here and written
// by a writer on a thread of its own; the interface thread reads through a connection of
// its own, opened once the writer has the file (after moving a bad one aside).
class History : public QObject, public ClearableStore
{
    Q_OBJECT

public:
    static constexpr int kBatchMs = 1000;
    static constexpr int kBatchVisits = 100;
    // The writer (and SQLite with it: the pinyin readings, the file opened and pruned) starts
    // once it has work, once something wants to read (startWriter), or this long after the
    // history was made, whichever comes first: the program's start and its first page do not
    // share the processors with it. What is posted before waits in its queue, in order.
    static constexpr int kWriterStartMs = 1000;

    explicit History(const QString &path = HistoryDatabase::defaultPath(), int retentionDays = HistoryDatabase::kDefaultDays,
                     QObject *parent = nullptr);
    // What is gathered is written before the writer stops.
    ~History() override;

    QString path() const { return m_path; }
    // True once the file is open for reading and writing.
    bool isReady() const { return m_reader.isOpen(); }
    // Opens the file now, if it is not open yet; ready() follows.
    void startWriter();
    bool writerStarted() const;
    // The interface thread's view of the file (nothing before ready()).
    HistoryDatabase &reader() { return m_reader; }
    // The searches of the history window, off the interface thread.
    HistorySearch *search();
    // How long the close waits for a writer held up by its file system (a hung network
    // folder) before the program ends without it.
    static constexpr int kCloseWaitMs = 10000;

    // Nothing is recorded from now on (the program is closing: a page that finishes while
    // the close clears the history must not come back into it).
    void stopRecording() { m_recording = false; }
    void record(const QString &address, const QString &title, qint64 time);
    void updateTitle(const QString &address, const QString &title);
    // Sends what is gathered to the writer now.
    void flush();
    void remove(const QStringList &addresses);
    // Empties the history, what is still gathered too; `done` hears whether it worked, once
    // the file is empty.
    void clear(std::function<void(bool ok)> done = {});
    void clearStore(std::function<void(bool ok)> done) override { clear(std::move(done)); }
    int retentionDays() const { return m_retentionDays; }
    void setRetentionDays(int days);

signals:
    void ready();
    // For the status line, once.
    void notice(const QString &text);
    // The history changed in the file (written, removed, cleared).
    void changed();
    void batchCommitted(quint64 batch, int visits);

private:
    // Queues work for the writer; `start`: starts the writer for it, if it has not started.
    template <typename F> void post(F &&work, bool start = true);

    QString m_path;
    int m_retentionDays;
    QThread *m_thread;
    HistoryWriter *m_writer;
    HistoryDatabase m_reader;
    HistorySearch *m_search;
    QList<HistoryVisit> m_pending;
    quint64 m_nextBatch = 1;
    bool m_recording = true;
    QTimer m_batchTimer;
    QTimer m_pruneTimer;
    std::deque<std::function<void(bool)>> m_clearing;
};
