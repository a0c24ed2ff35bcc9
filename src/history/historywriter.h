#pragma once

#include "historydatabase.h"

#include <QObject>

// The history's one writer: lives on a thread of its own with its own connection, so that
// no write ever waits on the interface thread. Each method runs on that thread (History
// posts to it); what became of the work comes back as signals, queued to the receiver.
class HistoryWriter : public QObject
{
    Q_OBJECT

public:
    explicit HistoryWriter(const QString &path);

    void open(int retentionDays);
    void write(quint64 batch, const QList<HistoryVisit> &visits);
    void retitle(const QString &address, const QString &title);
    void remove(const QStringList &addresses);
    void clear();
    // Forgets what is older than `days` days.
    void prune(int days);
    void close();
    // Rows of the file without pinyin keys are keyed this many at a time.
    static constexpr int kKeyStretch = 2000;

signals:
    // `notice`: what the status line should say once (a file moved aside, a history that
    // cannot be kept this run); empty when all is well.
    void opened(bool ok, const QString &notice);
    // Every visit of the batch is in the file.
    void committed(quint64 batch, int visits);
    void removed(bool ok);
    void cleared(bool ok);
    // A write failed; said once per run.
    void failed(const QString &message);

private:
    void keyPending();
    void reportFailure();

    QString m_path;
    HistoryDatabase m_database;
    bool m_failureReported = false;
};
