#pragma once

#include <QtGlobal>

// What the system says about one process: memory and processor time, read from /proc.
// Each call reads a few small files; none keeps anything.
namespace ProcessUsage {

// The process's proportional set size in KiB: its own pages plus its share of those it
// shares. Where the system hides that (another user, a sandboxed process that is not
// dumpable) the resident size stands in; -1 when the process is gone.
qint64 memoryKiB(qint64 pid);
// User and system time used so far, in clock ticks; -1 when the process is gone.
qint64 cpuTicks(qint64 pid);
int ticksPerSecond();

} // namespace ProcessUsage
