"""Idle benchmark: one loopback page open and nothing happening. Reports the share of one
core used by the program's process tree (browser and engine processes) and the X server,
over a quiet stretch after the page loaded, for the bare QWebEngineView floor and sablix.
    idle_bench.py PAGES_SABLIX PAGES_FLOOR [SECONDS] [RUNS]
"""

import os
import statistics
import subprocess
import sys
import time

from pages_bench import serve

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "tests", "reliability"))
from proctree import tree  # noqa: E402

SETTLE_S = 5


def cpu_ns(pids):
    """CPU time used so far by every thread of the processes, in nanoseconds (the scheduler's
    own count: a tick of 10 ms would be a fifth of the whole figure over 20 s)."""
    total = 0
    for pid in pids:
        try:
            tasks = os.listdir("/proc/%d/task" % pid)
        except OSError:
            continue
        for task in tasks:
            try:
                with open("/proc/%d/task/%s/schedstat" % (pid, task)) as f:
                    total += int(f.read().split()[0])
            except (OSError, IndexError, ValueError):
                pass
    return total


def run(program, url, seconds, extra_env=None):
    env = dict(os.environ, BENCH_STAY_MS=str((SETTLE_S + seconds + 2) * 1000), **(extra_env or {}))
    proc = subprocess.Popen([program, "1", url], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True, env=env)
    for line in proc.stdout:
        if line.startswith("loaded"):
            break
    time.sleep(SETTLE_S)
    watched = tree(proc.pid) | ({int(os.environ["SABLIX_XVFB_PID"])} if "SABLIX_XVFB_PID" in os.environ else set())
    before = cpu_ns(watched)
    time.sleep(seconds)
    used = cpu_ns(watched) - before
    proc.stdout.read()
    proc.wait(60)
    return 100.0 * used / 1e9 / seconds


def main():
    sablix, floor = sys.argv[1], sys.argv[2]
    seconds = int(sys.argv[3]) if len(sys.argv) > 3 else 20
    runs = int(sys.argv[4]) if len(sys.argv) > 4 else 3
    url, stop = serve()
    print("%-22s %16s" % ("program", "idle % of a core"))
    for name, program, env in (("floor", floor, None), ("sablix", sablix, None),
                               ("sablix, clock stopped", sablix, {"BENCH_CLOCK_STOPPED": "1"})):
        samples = [run(program, url, seconds, env) for _ in range(runs)]
        print("%-22s %16.3f   (runs: %s)" % (name, statistics.median(samples), ", ".join("%.3f" % s for s in samples)))
        sys.stdout.flush()
    stop()


if __name__ == "__main__":
    main()
