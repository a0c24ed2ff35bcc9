#pragma once

#include "../cleaner/clearablestore.h"

#include "historydatabase.h"

#include <QObject>
#include <QTimer>

#include <deque>
#include <functional>

class QThread;
class HistoryWriter;

// The browsing history of the program: visits are gathered into batches here and written
// by a writer on a thread of its own; the interface thread reads through a connection of
// its own, opened once the writer has the file (after moving a bad one aside).
class History : public QObject, public ClearableStore
{
    Q_OBJECT

public:
    static constexpr int kBatchMs = 1000;
    static constexpr int kBatchVisits = 100;

    explicit History(const QString &path = HistoryDatabase::defaultPath(), int retentionDays = HistoryDatabase::kDefaultDays,
                     QObject *parent = nullptr);
    // What is gathered is written before the writer stops.
    ~History() override;

    QString path() const { return m_path; }
    // True once the file is open for reading and writing.
    bool isReady() const { return m_reader.isOpen(); }
    // The interface thread's view of the file (nothing before ready()).
    HistoryDatabase &reader() { return m_reader; }

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
    void startWriter();
    template <typename F> void post(F &&work);

    QString m_path;
    int m_retentionDays;
    QThread *m_thread;
    HistoryWriter *m_writer;
    HistoryDatabase m_reader;
    QList<HistoryVisit> m_pending;
    quint64 m_nextBatch = 1;
    bool m_recording = true;
    QTimer m_batchTimer;
    QTimer m_pruneTimer;
    std::deque<std::function<void(bool)>> m_clearing;
};
