#include "historywriter.h"

#include "../core/pinyin.h"

#include <QDateTime>

HistoryWriter::HistoryWriter(const QString &path) : m_path(path)
{
}

void HistoryWriter::open(int retentionDays)
{
    // The pinyin readings are read here, off the interface thread, before anything asks.
    Pinyin::shared();
    QString notice;
    const bool ok = m_database.open(m_path, &notice);
    if (!ok && notice.isEmpty())
        notice = QStringLiteral("无法打开历史记录 %1：%2；本次运行不记录历史。").arg(m_path, m_database.lastError());
    if (ok) {
        prune(retentionDays);
        // A file kept before there were pinyin keys gets them a stretch at a time, with the
        // visits that come meanwhile written in between.
        QMetaObject::invokeMethod(this, &HistoryWriter::keyPending, Qt::QueuedConnection);
    }
    emit opened(ok, notice);
}

void HistoryWriter::keyPending()
{
    const int keyed = m_database.keyPending(kKeyStretch);
    if (keyed > 0)
        QMetaObject::invokeMethod(this, &HistoryWriter::keyPending, Qt::QueuedConnection);
    else if (keyed < 0)
        reportFailure();
}

void HistoryWriter::reportFailure()
{
    if (m_failureReported || !m_database.isOpen())
        return;
    m_failureReported = true;
    emit failed(QStringLiteral("无法写入历史记录 %1：%2").arg(m_path, m_database.lastError()));
}

void HistoryWriter::write(quint64 batch, const QList<HistoryVisit> &visits)
{
    if (m_database.addVisits(visits))
        emit committed(batch, int(visits.size()));
    else
        reportFailure();
}

void HistoryWriter::retitle(const QString &address, const QString &title)
{
    if (!m_database.setTitle(address, title))
        reportFailure();
}

void HistoryWriter::remove(const QStringList &addresses)
{
    const bool ok = m_database.remove(addresses);
    if (!ok)
        reportFailure();
    emit removed(ok);
}

void HistoryWriter::clear()
{
    emit cleared(m_database.clear());
}

void HistoryWriter::prune(int days)
{
    if (days <= 0)
        return;
    m_database.removeOlderThan(QDateTime::currentMSecsSinceEpoch() - qint64(days) * 24 * 3600 * 1000);
}

void HistoryWriter::close()
{
    m_database.close();
}
