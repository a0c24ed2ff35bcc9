#include "history.h"

#include "historywriter.h"

#include <QDeadlineTimer>
#include <QLoggingCategory>
#include <QThread>
#include <QTimer>

Q_LOGGING_CATEGORY(lcHistory, "sablix.history", QtWarningMsg)

namespace {

// Asks `worker` to run `last` as the last thing on its thread, then waits for the thread to
// end, a bounded time: a thread held up in its file system is left behind (false), never
// waited for until the program can no longer end.
template <typename F> bool finish(QThread *thread, QObject *worker, F &&last)
{
    QMetaObject::invokeMethod(
        worker,
        [last = std::forward<F>(last)] {
            last();
            QThread::currentThread()->quit();
        },
        Qt::QueuedConnection);
    if (thread->wait(QDeadlineTimer(History::kCloseWaitMs)))
        return true;
    qCWarning(lcHistory) << thread->objectName() << "did not end; left behind";
    // A running QThread must not be destroyed: it stays with the process.
    thread->setParent(nullptr);
    return false;
}

} // namespace

struct HistorySearch::Worker : QObject
{
    QString path;
    HistoryDatabase database;
};

HistorySearch::HistorySearch(const QString &path, QObject *parent)
    : QObject(parent), m_thread(new QThread(this)), m_worker(new Worker),
      m_latest(std::make_shared<std::atomic<quint64>>(0))
{
    m_worker->path = path;
    m_thread->setObjectName(QStringLiteral("history search"));
    m_worker->moveToThread(m_thread);
    m_thread->start();
}

HistorySearch::~HistorySearch()
{
    cancel();
    Worker *worker = m_worker;
    if (finish(m_thread, m_worker, [worker] { worker->database.close(); }))
        delete m_worker;
}

void HistorySearch::cancel()
{
    m_latest->fetch_add(1);
}

quint64 HistorySearch::find(const QString &text, const HistoryKey &from, int limit)
{
    const quint64 ticket = m_latest->fetch_add(1) + 1;
    Worker *worker = m_worker;
    const std::shared_ptr<std::atomic<quint64>> latest = m_latest;
    QMetaObject::invokeMethod(
        m_worker,
        [this, worker, latest, ticket, text, from, limit] {
            // Asked again since: this one is given up before it starts.
            if (latest->load() != ticket)
                return;
            auto answer = [this, ticket](const QList<HistoryEntry> &entries, bool done, bool atEnd) {
                QMetaObject::invokeMethod(
                    this, [this, ticket, entries, done, atEnd] { emit found(ticket, entries, done, atEnd); },
                    Qt::QueuedConnection);
            };
            if (!worker->database.isOpen() && !worker->database.openToRead(worker->path)) {
                answer({}, true, true);
                return;
            }
            HistoryKey key = from;
            int wanted = limit;
            for (;;) {
                QList<HistoryEntry> step;
                const bool more = worker->database.searchStep(text, key, wanted, &step);
                wanted -= int(step.size());
                if (latest->load() != ticket)
                    return;
                const bool done = !more || wanted <= 0;
                // What is found goes at once: the first matches show while the rest is read.
                if (!step.isEmpty() || done)
                    answer(step, done, !more);
                if (done)
                    return;
            }
        },
        Qt::QueuedConnection);
    return ticket;
}

History::History(const QString &path, int retentionDays, QObject *parent)
    : QObject(parent), m_path(path), m_retentionDays(retentionDays), m_thread(new QThread(this)),
      m_writer(new HistoryWriter(path)), m_search(nullptr)
{
    m_thread->setObjectName(QStringLiteral("history writer"));
    m_writer->moveToThread(m_thread);
    QTimer::singleShot(kWriterStartMs, this, &History::startWriter);

    connect(m_writer, &HistoryWriter::opened, this, [this](bool ok, const QString &text) {
        if (!text.isEmpty())
            emit notice(text);
        if (ok && m_reader.openToRead(m_path))
            emit ready();
    });
    connect(m_writer, &HistoryWriter::committed, this, [this](quint64 batch, int visits) {
        emit batchCommitted(batch, visits);
        emit changed();
    });
    connect(m_writer, &HistoryWriter::removed, this, &History::changed);
    connect(m_writer, &HistoryWriter::failed, this, &History::notice);
    connect(m_writer, &HistoryWriter::cleared, this, [this](bool ok) {
        if (!m_clearing.empty()) {
            const auto done = std::move(m_clearing.front());
            m_clearing.pop_front();
            if (done)
                done(ok);
        }
        emit changed();
    });

    m_batchTimer.setSingleShot(true);
    m_batchTimer.setInterval(kBatchMs);
    connect(&m_batchTimer, &QTimer::timeout, this, &History::flush);
    // A program left running for days still forgets what is older than it keeps.
    m_pruneTimer.setInterval(6 * 3600 * 1000);
    connect(&m_pruneTimer, &QTimer::timeout, this, [this] {
        const int days = m_retentionDays;
        post([days](HistoryWriter *writer) { writer->prune(days); });
    });
    m_pruneTimer.start();

    // The first thing the writer does, whenever it starts.
    const int days = m_retentionDays;
    HistoryWriter *writer = m_writer;
    QMetaObject::invokeMethod(m_writer, [writer, days] { writer->open(days); }, Qt::QueuedConnection);
}

bool History::writerStarted() const
{
    return m_thread->isRunning() || m_thread->isFinished();
}

void History::startWriter()
{
    if (!m_thread->isRunning())
        m_thread->start(QThread::LowPriority);
}

History::~History()
{
    // A writer that never ran still writes what was posted to it, then closes.
    startWriter();
    flush();
    // The readers go first: the writer's connection, the last, takes the log away with it.
    delete m_search;
    m_search = nullptr;
    m_reader.close();
    HistoryWriter *writer = m_writer;
    if (finish(m_thread, m_writer, [writer] { writer->close(); }))
        delete m_writer;
}

HistorySearch *History::search()
{
    // Made when first asked: a run that never opens the history window has no such thread.
    if (!m_search)
        m_search = new HistorySearch(m_path, this);
    startWriter();
    return m_search;
}

template <typename F> void History::post(F &&work, bool start)
{
    HistoryWriter *writer = m_writer;
    QMetaObject::invokeMethod(m_writer, [writer, work = std::forward<F>(work)] { work(writer); }, Qt::QueuedConnection);
    if (start)
        startWriter();
}

void History::record(const QString &address, const QString &title, qint64 time)
{
    if (!m_recording || address.isEmpty() || address.size() > HistoryDatabase::kMaxAddress)
        return;
    m_pending.append({address, title, time});
    if (m_pending.size() >= kBatchVisits)
        flush();
    else if (!m_batchTimer.isActive())
        m_batchTimer.start();
}

void History::updateTitle(const QString &address, const QString &title)
{
    if (!m_recording)
        return;
    // A visit still gathered takes the title with it; the write after it would find nothing.
    for (auto it = m_pending.rbegin(); it != m_pending.rend(); ++it) {
        if (it->address == address) {
            it->title = title;
            return;
        }
    }
    // A page's title comes while it loads: it waits in the queue for the writer's start.
    post([address, title](HistoryWriter *writer) { writer->retitle(address, title); }, false);
}

void History::flush()
{
    m_batchTimer.stop();
    if (m_pending.isEmpty())
        return;
    const quint64 batch = m_nextBatch++;
    const QList<HistoryVisit> visits = std::exchange(m_pending, {});
    post([batch, visits](HistoryWriter *writer) { writer->write(batch, visits); });
}

void History::remove(const QStringList &addresses)
{
    flush();
    post([addresses](HistoryWriter *writer) { writer->remove(addresses); });
}

void History::clear(std::function<void(bool)> done)
{
    m_batchTimer.stop();
    m_pending.clear();
    m_clearing.push_back(std::move(done));
    post([](HistoryWriter *writer) { writer->clear(); });
}

void History::setRetentionDays(int days)
{
    m_retentionDays = days;
    post([days](HistoryWriter *writer) { writer->prune(days); });
}
