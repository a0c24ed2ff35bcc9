#pragma once

#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>

// The one channel for files the program could not write (a read-only folder, a full disk).
// Whoever writes a file reports each outcome here. A file that starts failing is said once,
// in one message for all the files that failed together; while it fails, what is in memory
// is written again on a timer, and a write of it that succeeds ends the problem. The
// program goes on either way.
class StorageProblems : public QObject
{
    Q_OBJECT

public:
    static constexpr int kRetryMs = 30000;

    explicit StorageProblems(QObject *parent = nullptr);

    // The outcome of one write of `path`. On failure, `writeAgain` writes what is in memory
    // now and reports its own outcome; the newest one of a file is kept.
    void report(const QString &path, bool written, const QString &reason, std::function<void()> writeAgain = {});
    // A file that was not read (SafeFile's refusal: a link, a FIFO, too large): said once
    // per file for the run. From any thread.
    void refusedRead(const QString &path, const QString &reason);
    // A list file (ListFile::save) with its outcome reported.
    bool saveList(const QString &path, const QStringList &lines);

    bool hasPending() const { return !m_pending.isEmpty(); }
    QStringList pendingFiles() const { return m_pending.keys(); }
    void setRetryInterval(int ms);
    // Writes every failing file again now.
    void retry();

signals:
    // A line for the status line, in Chinese.
    void problem(const QString &message);
    // A file that had failed is written again.
    void resolved(const QString &path);

private:
    void sayNewProblems();

    struct Pending
    {
        QString reason;
        std::function<void()> writeAgain;
    };
    QMap<QString, Pending> m_pending;
    QStringList m_unsaid; // failed since the last message, in order
    QStringList m_refusedSaid;
    QTimer m_retry;
};

// A list file saved through the channel when there is one, else as it is.
bool saveList(StorageProblems *problems, const QString &path, const QStringList &lines);

// The file a list of one owner goes to, with the channel its outcomes go to; none set: the
// list is kept in memory only.
struct OwnedListFile
{
    QString path;
    StorageProblems *problems = nullptr;

    bool save(const QStringList &lines) const { return path.isEmpty() || saveList(problems, path, lines); }
};
