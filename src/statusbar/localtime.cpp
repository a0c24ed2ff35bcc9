#include "localtime.h"

#include <QFileInfo>

LocalTime::LocalTime(const QString &zoneFile, QObject *parent) : QObject(parent), m_zoneFile(zoneFile)
{
    watch();
    auto forget = [this] {
        m_from = 1;
        m_until = 0;
        // A replaced file is no longer watched: watch its successor.
        watch();
    };
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, forget);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, forget);
}

void LocalTime::watch()
{
    const QString folder = QFileInfo(m_zoneFile).absolutePath();
    if (!m_watcher.directories().contains(folder))
        m_watcher.addPath(folder);
    if (!m_watcher.files().contains(m_zoneFile) && QFileInfo::exists(m_zoneFile))
        m_watcher.addPath(m_zoneFile);
}

QDateTime LocalTime::at(qint64 utcMs)
{
    if (utcMs < m_from || utcMs >= m_until) {
        const QDateTime local = QDateTime::fromMSecsSinceEpoch(utcMs, Qt::LocalTime);
        m_offsetS = local.offsetFromUtc();
        const qint64 into = ((utcMs % kQuarterHourMs) + kQuarterHourMs) % kQuarterHourMs;
        m_from = utcMs - into;
        m_until = m_from + kQuarterHourMs;
        return local;
    }
    return QDateTime::fromMSecsSinceEpoch(utcMs, Qt::OffsetFromUTC, m_offsetS);
}
