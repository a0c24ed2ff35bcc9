"""Peers benchmark: the sablix program as a desktop starts it (the addresses on its command
line, a fresh program folder each time), beside the bare QWebEngineView window and, when it
is installed, Chromium (a fresh profile each time). For one address, the time from exec until
the page's onload; for twenty, until all twenty have loaded, and the PSS of the whole process
tree two seconds later; and, with one page loaded, the share of a core the process tree and the
X server use over 20 idle seconds (as the idle benchmark counts it). Each program starts once before the runs (files a first start makes,
such as the ad filter's compiled lists, are then in place, as on a desktop), then the programs
take turns run by run; medians, and ratios to the bare window's.
    peers_bench.py SABLIX PAGES_FLOOR [RUNS] [CHROMIUM]
"""

import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

import idle_bench
from pages_bench import BEACONS, chromium_flags, loaded_and_memory, run_chromium, serve, stop_tree

IDLE_S = 20


def run_sablix(sablix, count, url):
    folder = tempfile.mkdtemp(prefix="sablix-peers.")
    addresses = ["%s?beacon=1&n=%d" % (url, i) for i in range(count)]
    BEACONS.reset()
    started = time.monotonic()
    proc = subprocess.Popen([sablix] + addresses, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                            env=dict(os.environ, SABLIX_HOME=folder))
    try:
        return loaded_and_memory(proc, count, started, 600)
    finally:
        stop_tree(proc)
        shutil.rmtree(folder, ignore_errors=True)


def run_floor(floor, count, url):
    """The bare window timed as the others are, by its pages' onload (its own report comes with
    the engine's load-finished signal, later); it stays until it is ended."""
    BEACONS.reset()
    started = time.monotonic()
    proc = subprocess.Popen([floor, str(count), url + "?beacon=1&n="], stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL, env=dict(os.environ, BENCH_NUMBERED="1", BENCH_STAY_MS="600000"))
    try:
        return loaded_and_memory(proc, count, started, 600)
    finally:
        stop_tree(proc)


def idle_chromium(chromium, url, seconds):
    idle_bench.quiet_machine()
    profile = tempfile.mkdtemp(prefix="chromium-bench.")
    BEACONS.reset()
    proc = subprocess.Popen([chromium] + chromium_flags(profile) + [url + "?beacon=1"], stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL, start_new_session=True)
    try:
        return idle_bench.share_of_core(proc.pid, seconds) if BEACONS.wait(1, 120) else None
    finally:
        stop_tree(proc, group=True)
        shutil.rmtree(profile, ignore_errors=True)


def main():
    sablix, floor = sys.argv[1], sys.argv[2]
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 3
    chromium = sys.argv[4] if len(sys.argv) > 4 else shutil.which("chromium")
    url, stop = serve()
    print("the machine: %d processors, load average %.1f %.1f %.1f at the start" % ((os.cpu_count(),) + os.getloadavg()))
    programs = {"floor": lambda n: run_floor(floor, n, url), "sablix": lambda n: run_sablix(sablix, n, url)}
    if chromium:
        programs["chromium"] = lambda n: run_chromium(chromium, n, url)
    else:
        print("Chromium not installed: its rows are left out")
    for start in programs.values():
        start(1)

    print("%-34s %-8s %10s %7s" % ("addresses on the command line", "program", "median", "ratio"))
    for count in (1, 20):
        samples = {name: [] for name in programs}
        # One page's start varies by a tenth either way from run to run, and costs little: it
        # runs three times as often.
        repeats = 3 * runs if count == 1 else runs
        for _ in range(repeats):
            for name, start in programs.items():
                value = start(count)
                if value:
                    samples[name].append(value)
        figures = [("exec to onload, ms" if count == 1 else "exec to all loaded, ms", "ms")]
        if count > 1:
            figures.append(("PSS of the process tree, MiB", "pss_mib"))
        for text, key in figures:
            floor_median = statistics.median(s[key] for s in samples["floor"])
            for name in programs:
                if len(samples[name]) < repeats:
                    print("%-34s %-8s %10s" % ("%d: %s" % (count, text), name, "did not load"))
                    continue
                value = statistics.median(s[key] for s in samples[name])
                print("%-34s %-8s %10.0f %6.2fx   (%s)" % ("%d: %s" % (count, text), name, value, value / floor_median,
                                                        " ".join("%.0f" % s[key] for s in samples[name])))
        sys.stdout.flush()

    idle = {"floor": lambda: idle_bench.run(floor, url, IDLE_S), "sablix": lambda: idle_bench.run_program(sablix, url, IDLE_S)}
    if chromium:
        idle["chromium"] = lambda: idle_chromium(chromium, url, IDLE_S)
    samples = {name: [] for name in idle}
    for _ in range(runs):
        for name, start in idle.items():
            value = start()
            if value is not None:
                samples[name].append(value)
    text = "1: idle %d s, %% of a core" % IDLE_S
    floor_median = statistics.median(samples["floor"])
    for name, values in samples.items():
        if len(values) < runs:
            print("%-34s %-8s %10s" % (text, name, "did not load"))
            continue
        value = statistics.median(values)
        print("%-34s %-8s %10.3f %6.2fx   (%s)" % (text, name, value, value / floor_median, " ".join("%.3f" % v for v in values)))
    if len(samples["sablix"]) == runs:
        value = statistics.median(samples["sablix"])
        print("aim: sablix idle with one page < 0.2 %% of a core: %.3f %%  %s" % (value, "met" if value < 0.2 else "NOT met"))
    stop()


if __name__ == "__main__":
    main()
