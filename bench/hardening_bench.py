"""What the engine's enhanced security mode costs: sablix (pages_sablix) with the mode off and
on, taking turns run by run (which goes first alternating), on the pages benchmark's page (1 and 20 pages) and on two pages
heavy with JavaScript, one of loops and one of document work. Reports medians of the time
from start until all pages have loaded, the PSS of the process tree, and for the JavaScript
pages the time their script took by its own clock; then each on/off ratio.
    hardening_bench.py PAGES_SABLIX [RUNS]
"""

import http.server
import os
import statistics
import sys
import threading

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from pages_bench import PAGE, run  # noqa: E402

# Arithmetic, objects, strings and a sort: what the compiler speeds up.
LOOPS = """
var t0 = performance.now();
var s = 0;
for (var i = 0; i < 20000000; i++) s = (s + i * i) % 1000003;
var items = [];
for (var i = 0; i < 200000; i++) items.push({k: (i * 7919) % 200003, v: "v" + i});
items.sort(function (a, b) { return a.k - b.k; });
var text = "";
for (var i = 0; i < 100000; i++) text += String.fromCharCode(0x4e00 + i % 500);
var took = performance.now() - t0;
"""

# Making, styling, measuring and finding elements: the work of a script-built page.
DOM = """
var t0 = performance.now();
var root = document.getElementById("root");
for (var i = 0; i < 5000; i++) {
  var item = document.createElement("div");
  item.className = "c" + (i % 10);
  item.textContent = "项目 " + i;
  root.appendChild(item);
}
var width = 0;
for (var i = 0; i < 100; i++) {
  var item = root.children[i * 50];
  item.style.width = (i % 90) + "px";
  width += item.offsetWidth;
}
for (var i = 0; i < 50; i++) width += document.querySelectorAll(".c" + (i % 10)).length;
root.innerHTML = root.innerHTML;
var took = performance.now() - t0;
"""


def script_page(body):
    # The page's script runs before its load ends; it tells the server how long it took.
    return ("<html><head><meta charset='utf-8'><title>脚本</title></head><body><div id='root'></div><script>"
            + body + "new Image().src = '/took?ms=' + took.toFixed(1);</script></body></html>").encode("utf-8")


PAGES = {"/page.html": PAGE, "/loops.html": script_page(LOOPS), "/dom.html": script_page(DOM)}
TOOK = []


class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        path, _, query = self.path.partition("?")
        if path == "/took":
            TOOK.append(float(query.split("=")[1]))
        body = PAGES.get(path, b"")
        self.send_response(200 if path in PAGES or path == "/took" else 404)
        self.send_header("Content-Type", "text/html; charset=utf-8")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


def main():
    sablix = sys.argv[1]
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    threading.Thread(target=httpd.serve_forever, daemon=True).start()
    base = "http://127.0.0.1:%d" % httpd.server_address[1]
    print("the machine: %d processors, load average %.1f %.1f %.1f at the start" % ((os.cpu_count(),) + os.getloadavg()))
    print("enhanced security off and on, median of %d runs taking turns" % runs)
    print("%-14s %-4s %14s %10s %12s" % ("page", "mode", "start+load ms", "PSS MiB", "script ms"))
    cases = [("page x1", "/page.html", 1), ("page x20", "/page.html", 20), ("loops", "/loops.html", 1),
             ("document", "/dom.html", 1)]
    ratios = []
    for label, path, count in cases:
        samples = {"off": [], "on": []}
        for turn in range(runs):
            # Which goes first alternates: a run just after another starts on a busier machine.
            order = (("off", "0"), ("on", "1")) if turn % 2 == 0 else (("on", "1"), ("off", "0"))
            for mode, value in order:
                del TOOK[:]
                result = run(sablix, count, base + path, {"BENCH_ENHANCED_SECURITY": value})
                if "ms" not in result:
                    continue
                if TOOK:
                    result["script_ms"] = TOOK[0]
                samples[mode].append(result)
        medians = {}
        for mode in ("off", "on"):
            if not samples[mode]:
                print("%-14s %-4s %14s" % (label, mode, "did not load"))
                continue
            medians[mode] = {key: statistics.median(s[key] for s in samples[mode] if key in s)
                             for key in samples[mode][0]}
            m = medians[mode]
            script = "%12.0f" % m["script_ms"] if "script_ms" in m else "%12s" % "-"
            print("%-14s %-4s %14.0f %10.0f %s" % (label, mode, m["ms"], m["pss_mib"], script))
        if len(medians) == 2:
            ratios.append((label, medians))
        sys.stdout.flush()
    httpd.shutdown()
    print("on/off ratios")
    for label, m in ratios:
        parts = ["time %.2fx" % (m["on"]["ms"] / m["off"]["ms"]), "memory %.2fx" % (m["on"]["pss_mib"] / m["off"]["pss_mib"])]
        if "script_ms" in m["on"] and "script_ms" in m["off"]:
            parts.append("script %.2fx" % (m["on"]["script_ms"] / m["off"]["script_ms"]))
        print("  %-14s %s" % (label, ", ".join(parts)))


if __name__ == "__main__":
    main()
