#pragma once

#include <QDateTime>
#include <QFileSystemWatcher>
#include <QObject>

// The local time for a clock that reads it every second. Asking the system for local time
// looks at its time-zone file each time; this keeps the offset from UTC instead and asks
// again only where it can change: at each quarter hour of UTC (every zone's transitions fall
// on one) and when the zone file or the folder holding it changes (a new zone is a new link).
class LocalTime : public QObject
{
    Q_OBJECT

public:
    explicit LocalTime(const QString &zoneFile = QStringLiteral("/etc/localtime"), QObject *parent = nullptr);

    QDateTime now() { return at(QDateTime::currentMSecsSinceEpoch()); }
    // The local time at a moment given in milliseconds since the epoch (UTC).
    QDateTime at(qint64 utcMs);

    static constexpr qint64 kQuarterHourMs = 15 * 60 * 1000;

private:
    void watch();

    QString m_zoneFile;
    QFileSystemWatcher m_watcher;
    qint64 m_from = 1;  // the offset holds for [m_from, m_until)
    qint64 m_until = 0;
    int m_offsetS = 0;
};
