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


def ticks(pids):
    total = 0
    for pid in pids:
        try:
            with open("/proc/%d/stat" % pid) as f:
                fields = f.read().rsplit(")", 1)[1].split()
            total += int(fields[11]) + int(fields[12])
        except (OSError, IndexError):
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
    before = ticks(watched)
    time.sleep(seconds)
    used = ticks(watched) - before
    proc.stdout.read()
    proc.wait(60)
    return 100.0 * used / os.sysconf("SC_CLK_TCK") / seconds


def main():
    sablix, floor = sys.argv[1], sys.argv[2]
    seconds = int(sys.argv[3]) if len(sys.argv) > 3 else 20
    runs = int(sys.argv[4]) if len(sys.argv) > 4 else 3
    url, stop = serve()
    print("%-22s %16s" % ("program", "idle % of a core"))
    for name, program, env in (("floor", floor, None), ("sablix", sablix, None),
                               ("sablix, clock stopped", sablix, {"BENCH_CLOCK_STOPPED": "1"})):
        samples = [run(program, url, seconds, env) for _ in range(runs)]
        print("%-22s %16.2f   (runs: %s)" % (name, statistics.median(samples), ", ".join("%.2f" % s for s in samples)))
        sys.stdout.flush()
    stop()


if __name__ == "__main__":
    main()
