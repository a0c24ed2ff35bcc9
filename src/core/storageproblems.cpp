#include "storageproblems.h"

#include "corelog.h"

#include "listfile.h"

#include <QDir>

StorageProblems::StorageProblems(QObject *parent) : QObject(parent)
{
    m_retry.setInterval(kRetryMs);
    connect(&m_retry, &QTimer::timeout, this, &StorageProblems::retry);
}

void StorageProblems::setRetryInterval(int ms)
{
    m_retry.setInterval(ms);
}

void StorageProblems::report(const QString &path, bool written, const QString &reason, std::function<void()> writeAgain)
{
    if (written) {
        if (!m_pending.remove(path))
            return;
        m_unsaid.removeAll(path);
        if (m_pending.isEmpty())
            m_retry.stop();
        emit resolved(path);
        return;
    }
    const bool known = m_pending.contains(path);
    if (!known)
        qCWarning(lcCore).noquote() << "cannot write" << path << ":" << reason;
    m_pending.insert(path, {reason, std::move(writeAgain)});
    if (!m_retry.isActive())
        m_retry.start();
    if (known)
        return;
    // Files fail together (one folder, one disk): they are said together, once the burst
    // of writes is over.
    if (m_unsaid.isEmpty())
        QMetaObject::invokeMethod(this, &StorageProblems::sayNewProblems, Qt::QueuedConnection);
    m_unsaid.append(path);
}

void StorageProblems::refusedRead(const QString &path, const QString &reason)
{
    QMetaObject::invokeMethod(
        this,
        [this, path, reason] {
            if (m_refusedSaid.contains(path))
                return;
            m_refusedSaid.append(path);
            qCWarning(lcCore).noquote() << "did not read" << path << ":" << reason;
            emit problem(QStringLiteral("未读取 %1：它%2。程序照常运行。").arg(QDir::toNativeSeparators(path), reason));
        },
        Qt::QueuedConnection);
}

bool StorageProblems::saveList(const QString &path, const QStringList &lines)
{
    QString reason;
    const bool written = ListFile::save(path, lines, &reason);
    report(path, written, reason, [this, path, lines] { saveList(path, lines); });
    return written;
}

void StorageProblems::retry()
{
    // Each write reports again, which may change the map under us.
    const QStringList files = m_pending.keys();
    for (const QString &file : files) {
        const auto it = m_pending.constFind(file);
        if (it != m_pending.constEnd() && it->writeAgain) {
            const std::function<void()> writeAgain = it->writeAgain;
            writeAgain();
        }
    }
}

void StorageProblems::sayNewProblems()
{
    if (m_unsaid.isEmpty())
        return;
    const QString first = m_unsaid.first();
    const QString reason = m_pending.value(first).reason;
    QString message = QStringLiteral("无法保存设置或列表: %1").arg(QDir::toNativeSeparators(first));
    if (!reason.isEmpty())
        message += QStringLiteral("：") + reason;
    if (m_unsaid.size() > 1)
        message += QStringLiteral("（另有 %1 个文件）").arg(m_unsaid.size() - 1);
    message += QStringLiteral("。程序照常运行，稍后再试。");
    m_unsaid.clear();
    emit problem(message);
}

bool saveList(StorageProblems *problems, const QString &path, const QStringList &lines)
{
    return problems ? problems->saveList(path, lines) : ListFile::save(path, lines);
}
