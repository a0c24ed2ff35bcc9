"""Pages benchmark: opens 1, 20 and 100 pages of one loopback page in sablix and in a bare
QWebEngineView program (the floor); reports the median time from starting the program until
all pages have loaded (sablix loads its engine with the first page, the floor before its
window: timing from the start counts both) and the PSS of the whole process tree (browser
and engine processes), two seconds after the last page loaded.
    pages_bench.py PAGES_SABLIX PAGES_FLOOR [RUNS]
"""

import http.server
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


def run(program, count, url):
    started = time.monotonic()
    proc = subprocess.Popen([program, str(count), url], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    elapsed = None
    values = {}
    for line in proc.stdout:
        fields = line.split()
        if fields[0] == "loaded":
            elapsed = (time.monotonic() - started) * 1000.0
        else:
            values[fields[0]] = float(fields[1])
    proc.wait(600)
    return elapsed, values["pss_mib"]


def main():
    sablix, floor = sys.argv[1], sys.argv[2]
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 3
    httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    threading.Thread(target=httpd.serve_forever, daemon=True).start()
    url = "http://127.0.0.1:%d/page.html" % httpd.server_address[1]

    print("%-7s %-8s %12s %12s %12s %12s" % ("pages", "program", "start+load ms", "PSS MiB", "time ratio", "mem ratio"))
    for count in (1, 20, 100):
        results = {}
        for name, program in (("floor", floor), ("sablix", sablix)):
            samples = [run(program, count, url) for _ in range(runs)]
            results[name] = (statistics.median(s[0] for s in samples), statistics.median(s[1] for s in samples))
        for name in ("floor", "sablix"):
            ms, pss = results[name]
            print("%-7d %-8s %12.0f %12.0f %12.2f %12.2f" % (count, name, ms, pss, ms / results["floor"][0],
                                                             pss / results["floor"][1]))
        sys.stdout.flush()
    httpd.shutdown()


if __name__ == "__main__":
    main()
