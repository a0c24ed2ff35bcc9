"""Pages benchmark: opens 1, 20, 100, 60 and 256 pages of one loopback page in sablix and in
a bare QWebEngineView program (the floor); reports the median time from starting the program
until all pages have loaded and the PSS of the whole process tree (browser and engine
processes), two seconds after the last page loaded; for 60 and 256 pages also the PSS once
sablix's background pages rest. First, the time from asking for a first page, once the
window has been idle a second, until it has loaded.
    pages_bench.py PAGES_SABLIX PAGES_FLOOR [RUNS]
"""

import http.server
import os
import statistics
import subprocess
import sys
import threading
import time

PAGE = ("<html><head><meta charset='utf-8'><title>基准页面</title></head><body>"
        + "<p>" + "文字 text " * 400 + "</p>" + "<div style='width:40px;height:40px;background:#c33'></div>" * 50
        + "</body></html>").encode("utf-8")


class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        self.send_response(200)
        self.send_header("Content-Type", "text/html; charset=utf-8")
        self.send_header("Content-Length", str(len(PAGE)))
        self.end_headers()
        self.wfile.write(PAGE)

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


def medians(samples):
    return {key: statistics.median(s[key] for s in samples) for key in samples[0]}


def serve():
    """The benchmark page on 127.0.0.1: its address and how to stop serving it."""
    httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    threading.Thread(target=httpd.serve_forever, daemon=True).start()
    return "http://127.0.0.1:%d/page.html" % httpd.server_address[1], httpd.shutdown


def main():
    sablix, floor = sys.argv[1], sys.argv[2]
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 3
    url, stop = serve()

    # The first page a user asks for once the window is up and idle: time from the request.
    print("first page asked for after 1 s idle: request to loaded, ms (median of %d)" % runs)
    idle = {"BENCH_OPEN_AFTER_MS": "1000"}
    first = {name: medians([run(program, 1, url, idle) for _ in range(runs)])["open_to_loaded_ms"]
             for name, program in (("floor", floor), ("sablix", sablix))}
    for name in ("floor", "sablix"):
        print("  %-8s %8.0f   %5.2fx" % (name, first[name], first[name] / first["floor"]))
    sys.stdout.flush()

    print("%-22s %-8s %14s %10s %12s %10s %10s" % ("pages", "program", "start+load ms", "PSS MiB", "rested MiB",
                                                  "time ratio", "mem ratio"))
    cases = [("1", 1, None, runs), ("20", 20, None, runs), ("20 forwarded", 20, {"BENCH_FORWARDED": "1"}, runs),
             ("100", 100, None, runs), ("60", 60, {"BENCH_REST": "1"}, 1), ("256", 256, {"BENCH_REST": "1"}, 1)]
    for label, count, env, repeats in cases:
        results = {}
        for name, program in (("floor", floor), ("sablix", sablix)):
            results[name] = medians([run(program, count, url, env if name == "sablix" else None)
                                     for _ in range(repeats)])
        for name in ("floor", "sablix"):
            r = results[name]
            rested = "%10.0f" % r["pss_rested_mib"] if "pss_rested_mib" in r else "%10s" % "-"
            print("%-22s %-8s %14.0f %10.0f %12s %10.2f %10.2f" % (label, name, r["ms"], r["pss_mib"], rested,
                                                                 r["ms"] / results["floor"]["ms"],
                                                                 r["pss_mib"] / results["floor"]["pss_mib"]))
        sys.stdout.flush()
    stop()


if __name__ == "__main__":
    main()
