"""Idle benchmark: one loopback page open and nothing happening. Reports the share of one
core used by the program's process tree (browser and engine processes) and the X server,
over a quiet stretch after the page loaded, for the bare QWebEngineView floor, sablix's page
collection in the benchmark's window, and the sablix program itself as a desktop starts it
(the address on its command line, its own window and settings).
    idle_bench.py PAGES_SABLIX PAGES_FLOOR [SECONDS] [RUNS] [SABLIX]
"""

import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

from pages_bench import BEACONS, serve

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


def machine_busy_share(seconds=1.0):
    """The share of the whole machine's processors in use over `seconds` (/proc/stat)."""
    def times():
        with open("/proc/stat") as f:
            fields = [int(v) for v in f.readline().split()[1:]]
        return sum(fields), fields[3] + fields[4]  # all, idle + iowait
    total, idle = times()
    time.sleep(seconds)
    total2, idle2 = times()
    return 1.0 - (idle2 - idle) / max(1, total2 - total)


def quiet_machine(limit_s=120):
    """Waits until the machine is idle (under 2 % busy for a second), at most `limit_s`: what
    ran before (another benchmark's hundreds of pages) may still be ending or being reclaimed,
    and that would be counted against the program. Says so when it never got quiet."""
    end = time.monotonic() + limit_s
    while time.monotonic() < end:
        if machine_busy_share() < 0.02:
            return
    print("(the machine did not get quiet within %d s: the figures below include its other work)" % limit_s)


def share_of_core(pid, seconds):
    """The share of one core the process tree and the X server use over `seconds`, once settled."""
    time.sleep(SETTLE_S)
    watched = tree(pid) | ({int(os.environ["SABLIX_XVFB_PID"])} if "SABLIX_XVFB_PID" in os.environ else set())
    before = cpu_ns(watched)
    time.sleep(seconds)
    return 100.0 * (cpu_ns(watched) - before) / 1e9 / seconds


def run(program, url, seconds, extra_env=None):
    quiet_machine()
    env = dict(os.environ, BENCH_STAY_MS=str((SETTLE_S + seconds + 2) * 1000), **(extra_env or {}))
    proc = subprocess.Popen([program, "1", url], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True, env=env)
    for line in proc.stdout:
        if line.startswith("loaded"):
            break
    share = share_of_core(proc.pid, seconds)
    proc.stdout.read()
    proc.wait(60)
    return share


def screen_changes(seconds):
    """The rectangles of the screen drawn anew over `seconds` (the X server's DAMAGE
    extension), most frequent first, or None without python3-xlib."""
    try:
        from Xlib import display
        from Xlib.ext import damage
    except ImportError:
        # Debian's package serves the system's Python; a python3 of the user's own on the
        # PATH does not look there.
        sys.path.append("/usr/lib/python3/dist-packages")
        try:
            from Xlib import display
            from Xlib.ext import damage
        except ImportError:
            return None
    d = display.Display()
    d.damage_query_version()
    screen = d.screen()
    screen.root.damage_create(damage.DamageReportRawRectangles)
    d.sync()
    rects = {}
    # The whole screen is reported once as the watch begins.
    initial = {(screen.width_in_pixels, screen.height_in_pixels)}
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        while d.pending_events():
            event = d.next_event()
            if event.type == d.extension_event.DamageNotify:
                a = event.area
                key = (a.width, a.height)
                if key in initial:
                    initial.discard(key)
                    continue
                rects[key] = rects.get(key, 0) + 1
        time.sleep(0.05)
    d.close()
    return sorted(rects.items(), key=lambda item: -item[1])


def run_program(sablix, url, seconds, changes=None):
    """The program as installed: a program folder and settings of its own, the address on its
    command line; the page tells the server it loaded."""
    quiet_machine()
    folder = tempfile.mkdtemp(prefix="sablix-idle.")
    BEACONS.reset()
    proc = subprocess.Popen([sablix, url + "?beacon=1"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                            env=dict(os.environ, SABLIX_HOME=folder))
    try:
        if not BEACONS.wait(1, 120):
            return None
        share = share_of_core(proc.pid, seconds)
        # What each second's tick puts on the screen: the clock's rectangle alone, not the window.
        if changes is not None:
            changes.append(screen_changes(5))
        return share
    finally:
        proc.terminate()
        proc.wait(60)
        shutil.rmtree(folder, ignore_errors=True)


def main():
    sablix, floor = sys.argv[1], sys.argv[2]
    seconds = int(sys.argv[3]) if len(sys.argv) > 3 else 20
    runs = int(sys.argv[4]) if len(sys.argv) > 4 else 3
    program = sys.argv[5] if len(sys.argv) > 5 else None
    url, stop = serve()
    print("the machine: %d processors, load average %.1f %.1f %.1f at the start" % ((os.cpu_count(),) + os.getloadavg()))
    print("%-26s %16s" % ("program", "idle % of a core"))
    rows = [("floor", lambda: run(floor, url, seconds)), ("sablix", lambda: run(sablix, url, seconds)),
            ("sablix, clock stopped", lambda: run(sablix, url, seconds, {"BENCH_CLOCK_STOPPED": "1"}))]
    changes = []
    if program:
        rows.append(("sablix program", lambda: run_program(program, url, seconds, changes)))
    medians = {}
    for name, start in rows:
        samples = [s for s in (start() for _ in range(runs)) if s is not None]
        if not samples:
            print("%-26s %16s" % (name, "did not load"))
            continue
        medians[name] = statistics.median(samples)
        print("%-26s %16.3f   (runs: %s)" % (name, medians[name], ", ".join("%.3f" % s for s in samples)))
        sys.stdout.flush()
    stop()
    if changes and changes[-1] is not None:
        print("screen drawn anew in 5 s of the program idle (width x height: times): %s" %
              ", ".join("%dx%d: %d" % (w, h, n) for (w, h), n in changes[-1][:4]))
    if "sablix program" in medians:
        value = medians["sablix program"]
        print("aim: the program idle with one page < 0.2 %% of a core: %.3f %%  %s" % (value, "met" if value < 0.2 else "NOT met"))


if __name__ == "__main__":
    main()
