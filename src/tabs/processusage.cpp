#include "processusage.h"

#include "../core/safefile.h"

#include <QByteArray>
#include <QList>

#include <unistd.h>

namespace {

QByteArray readProc(qint64 pid, const char *name)
{
    return SafeFile::read(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(name))).value_or(QByteArray());
}

} // namespace

namespace ProcessUsage {

qint64 memoryKiB(qint64 pid)
{
    if (pid <= 0)
        return -1;
    // One line a kind, summed over every mapping by the kernel.
    const QByteArray rollup = readProc(pid, "smaps_rollup");
    for (const QByteArray &line : rollup.split('\n')) {
        if (line.startsWith("Pss:")) {
            bool ok = false;
            const qint64 kib = line.mid(4).simplified().split(' ').value(0).toLongLong(&ok);
            if (ok)
                return kib;
        }
    }
    // statm is open to everyone: pages, the second field resident.
    const QList<QByteArray> statm = readProc(pid, "statm").simplified().split(' ');
    bool ok = false;
    const qint64 pages = statm.value(1).toLongLong(&ok);
    if (!ok)
        return -1;
    return pages * (::sysconf(_SC_PAGESIZE) / 1024);
}

qint64 cpuTicks(qint64 pid)
{
    if (pid <= 0)
        return -1;
    const QByteArray stat = readProc(pid, "stat");
    // The command name may hold spaces and brackets: the fields start after the last ')'.
    const int end = stat.lastIndexOf(')');
    if (end < 0)
        return -1;
    const QList<QByteArray> fields = stat.mid(end + 1).simplified().split(' ');
    // After the name: state is field 3 of the whole line, utime 14 and stime 15.
    bool userOk = false;
    bool systemOk = false;
    const qint64 user = fields.value(11).toLongLong(&userOk);
    const qint64 system = fields.value(12).toLongLong(&systemOk);
    return userOk && systemOk ? user + system : -1;
}

int ticksPerSecond()
{
    static const int ticks = int(::sysconf(_SC_CLK_TCK));
    return ticks > 0 ? ticks : 100;
}

} // namespace ProcessUsage
