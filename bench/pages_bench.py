"""Pages benchmark: opens 1, 20, 100, 60 and 256 pages of one loopback page in sablix, in
a bare QWebEngineView program (the floor) and, when it is installed, in Chromium (a fresh
profile, `--no-sandbox --disable-gpu`, the addresses on its command line, or handed to it one
by one by further starts); reports the median time from starting the program until all pages
have loaded and the PSS of the whole process tree (browser and engine processes), two seconds
after the last page loaded; for 60 and 256 pages also the PSS once sablix's background pages
rest. The runs of the programs take turns, so a machine busy with other work weighs on each
alike. First, the time from asking for a first page, once the window has been idle a second,
until it has loaded.
    pages_bench.py PAGES_SABLIX PAGES_FLOOR [RUNS] [CHROMIUM]
"""

import http.server
import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "reliability"))
from proctree import tree  # noqa: E402

PAGE = ("<html><head><meta charset='utf-8'><title>基准页面</title></head><body>"
        + "<p>" + "文字 text " * 400 + "</p>" + "<div style='width:40px;height:40px;background:#c33'></div>" * 50
        + "</body></html>").encode("utf-8")


# Chromium says nothing when a page has loaded: its copy of the page tells the server.
BEACON = b"<script>addEventListener('load', function () { fetch('/loaded' + location.search); });</script>"
PAGE_WITH_BEACON = PAGE.replace(b"</body>", BEACON + b"</body>")


class Beacons:
    """The pages that said they loaded, by their query."""

    def __init__(self):
        self.lock = threading.Condition()
        self.seen = set()

    def reset(self):
        with self.lock:
            self.seen = set()

    def add(self, query):
        with self.lock:
            self.seen.add(query)
            self.lock.notify_all()

    def wait(self, count, timeout):
        with self.lock:
            return self.lock.wait_for(lambda: len(self.seen) >= count, timeout)


BEACONS = Beacons()


class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        path, _, query = self.path.partition("?")
        if path == "/loaded":
            BEACONS.add(query)
            body = b""
        else:
            body = PAGE_WITH_BEACON if "beacon" in urllib.parse.parse_qs(query) else PAGE
        self.send_response(200)
        self.send_header("Content-Type", "text/html; charset=utf-8")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


def run(program, count, url, env=None):
    started = time.monotonic()
    proc = subprocess.Popen([program, str(count), url], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True,
                            env=dict(os.environ, **(env or {})))
    values = {}
    for line in proc.stdout:
        fields = line.split()
        if fields[0] == "loaded":
            values["ms"] = (time.monotonic() - started) * 1000.0
        else:
            values[fields[0]] = float(fields[1])
    proc.wait(1800)
    return values


def tree_pss_mib(root):
    total = 0.0
    for pid in tree(root):
        try:
            with open("/proc/%d/smaps_rollup" % pid) as f:
                for line in f:
                    if line.startswith("Pss:"):
                        total += int(line.split()[1]) / 1024.0
        except OSError:
            pass
    return total


def chromium_flags(profile):
    return ["--no-sandbox", "--disable-gpu", "--user-data-dir=" + profile, "--no-first-run",
            "--no-default-browser-check", "--disable-background-networking", "--disable-component-update",
            "--disable-sync", "--password-store=basic", "--proxy-server=127.0.0.1:9"]


def run_chromium(chromium, count, url, forwarded=False):
    """Chromium with a fresh profile: from start until `count` pages said they loaded, and the
    PSS of its process tree two seconds later."""
    profile = tempfile.mkdtemp(prefix="chromium-bench.")
    addresses = ["%s?beacon=1&n=%d" % (url, i) for i in range(count)]
    BEACONS.reset()
    started = time.monotonic()
    first = addresses[:1] if forwarded else addresses
    proc = subprocess.Popen([chromium] + chromium_flags(profile) + first, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL, start_new_session=True)
    try:
        if forwarded:
            # Each further start hands its address to the running browser and ends.
            BEACONS.wait(1, 120)
            for address in addresses[1:]:
                subprocess.run([chromium] + chromium_flags(profile) + [address], stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL, timeout=120)
        return loaded_and_memory(proc, count, started, 1800)
    finally:
        stop_tree(proc, group=True)
        shutil.rmtree(profile, ignore_errors=True)


def loaded_and_memory(proc, count, started, timeout):
    """Once `count` pages said they loaded: the time since `started`, and two seconds later the
    PSS of the program's process tree; nothing when they did not."""
    values = {}
    if BEACONS.wait(count, timeout):
        values["ms"] = (time.monotonic() - started) * 1000.0
        time.sleep(2)
        values["pss_mib"] = tree_pss_mib(proc.pid)
    return values


def stop_tree(proc, group=False):
    """Ends the program (its process group when it has one of its own), and whatever of its
    process tree is left after 30 s."""
    left = tree(proc.pid)
    try:
        if group:
            os.killpg(proc.pid, signal.SIGTERM)
        else:
            proc.terminate()
        proc.wait(30)
    except (ProcessLookupError, subprocess.TimeoutExpired):
        pass
    for pid in left:
        try:
            os.kill(pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
    if proc.poll() is None:
        proc.wait()


def medians(samples):
    return {key: statistics.median(s[key] for s in samples) for key in samples[0]}


def serve():
    """The benchmark page on 127.0.0.1: its address and how to stop serving it."""
    httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    threading.Thread(target=httpd.serve_forever, daemon=True).start()
    return "http://127.0.0.1:%d/page.html" % httpd.server_address[1], httpd.shutdown


def taking_turns(programs, repeats):
    """Each program's samples, the programs taking turns run by run."""
    samples = {name: [] for name, _ in programs}
    for _ in range(repeats):
        for name, start in programs:
            value = start()
            if value:
                samples[name].append(value)
    return {name: medians(values) for name, values in samples.items() if values}


def main():
    sablix, floor = sys.argv[1], sys.argv[2]
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 3
    chromium = sys.argv[4] if len(sys.argv) > 4 else shutil.which("chromium")
    if chromium and not os.access(chromium, os.X_OK):
        chromium = None
    url, stop = serve()
    print("the machine: %d processors, load average %.1f %.1f %.1f at the start" % ((os.cpu_count(),) + os.getloadavg()))
    if not chromium:
        print("Chromium not installed: its rows are left out")

    # The first page a user asks for once the window is up and idle (sablix's ad filter in
    # force, its lists from the compiled cache): time from the request.
    print("first page asked for after 1 s idle: request to loaded, ms (median of %d)" % runs)
    idle = {"BENCH_OPEN_AFTER_MS": "1000"}
    first = taking_turns([("floor", lambda: run(floor, 1, url, idle)), ("sablix", lambda: run(sablix, 1, url, idle))], runs)
    for name in ("floor", "sablix"):
        ms = first[name]["open_to_loaded_ms"]
        print("  %-8s %8.0f   %5.2fx" % (name, ms, ms / first["floor"]["open_to_loaded_ms"]))
    sys.stdout.flush()

    print("pages opened at start (medians: of %d runs for 1 page, of %d for 20 and 100, of 1 for 60 and 256)"
          % (3 * runs, runs))
    print("%-22s %-8s %14s %10s %12s %10s %10s" % ("pages", "program", "start+load ms", "PSS MiB", "rested MiB",
                                                  "time ratio", "mem ratio"))
    # One page's start varies by a tenth either way from run to run, and costs little: it
    # runs three times as often, so that its median says more than its luck.
    cases = [("1", 1, None, 3 * runs, True), ("20", 20, None, runs, True),
             ("20 forwarded", 20, {"BENCH_FORWARDED": "1"}, runs, True), ("100", 100, None, runs, True),
             ("60", 60, {"BENCH_REST": "1"}, 1, False), ("256", 256, {"BENCH_REST": "1"}, 1, True)]
    table = {}
    for label, count, env, repeats, with_chromium in cases:
        programs = [("floor", lambda c=count: run(floor, c, url)),
                    ("sablix", lambda c=count, e=env: run(sablix, c, url, e))]
        if chromium and with_chromium:
            forwarded = bool(env and "BENCH_FORWARDED" in env)
            programs.append(("chromium", lambda c=count, f=forwarded: run_chromium(chromium, c, url, f)))
        results = taking_turns(programs, repeats)
        table[label] = results
        for name, _ in programs:
            r = results.get(name)
            if not r:
                print("%-22s %-8s %14s" % (label, name, "did not load"))
                continue
            rested = "%10.0f" % r["pss_rested_mib"] if "pss_rested_mib" in r else "%10s" % "-"
            print("%-22s %-8s %14.0f %10.0f %12s %10.2f %10.2f" % (label, name, r["ms"], r["pss_mib"], rested,
                                                                 r["ms"] / results["floor"]["ms"],
                                                                 r["pss_mib"] / results["floor"]["pss_mib"]))
        sys.stdout.flush()
    stop()

    # Where sablix stands against its aims, from the figures above.
    def ratio(label, key):
        return table[label]["sablix"][key] / table[label]["floor"][key]

    aims = [("first page after idle <= 0.8x the floor's time",
             first["sablix"]["open_to_loaded_ms"] / first["floor"]["open_to_loaded_ms"], 0.8),
            ("1 page, start to loaded <= 0.8x time", ratio("1", "ms"), 0.8),
            ("20 pages <= 1.0x time", ratio("20", "ms"), 1.0), ("20 pages <= 1.0x memory", ratio("20", "pss_mib"), 1.0),
            ("20 forwarded <= 1.0x time", ratio("20 forwarded", "ms"), 1.0),
            ("20 forwarded <= 1.0x memory", ratio("20 forwarded", "pss_mib"), 1.0),
            ("100 pages <= 1.0x time", ratio("100", "ms"), 1.0), ("100 pages <= 0.9x memory", ratio("100", "pss_mib"), 0.9)]
    print("aims")
    for text, value, limit in aims:
        print("  %-48s %5.2fx  %s" % (text, value, "met" if value <= limit else "NOT met"))
    rested = table["256"]["sablix"].get("pss_rested_mib")
    if rested is not None:
        print("  %-48s %5.0f MiB  %s" % ("256 pages held, rested <= 1536 MiB", rested, "met" if rested <= 1536 else "NOT met"))
    if "chromium" in table["20"]:
        value = table["20"]["sablix"]["ms"] / table["20"]["chromium"]["ms"]
        print("  %-48s %5.2fx  %s" % ("20 pages ahead of Chromium (time)", value, "met" if value < 1.0 else "NOT met"))


if __name__ == "__main__":
    main()
