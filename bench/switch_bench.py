"""Responsiveness benchmark: does the window answer while many pages load? Starts a program
with 100 loopback pages (sablix with the addresses on its command line; the bare
QWebEngineView floor, given the same keys) and, as soon as the first page shows, switches
pages 50 times, Ctrl+Q and Ctrl+M in turn (the previous page and back). Each page shows its
own colour; the time of a switch runs from the key press (XTest, as xdotool sends it) to the
moment X has the window's pixels of the other page: every damage the window reports is
checked until the pixel at its centre has changed. Reports p50, p99 and the worst switch,
and how many of the pages had loaded when the switches began and ended.
    switch_bench.py SABLIX PAGES_FLOOR [RUNS]
"""

import http.server
import os
import select
import statistics
import subprocess
import sys
import threading
import time

from Xlib import X, XK, display, error
from Xlib.ext import damage, xtest

PAGES = 100
SWITCHES = 50
SWITCH_TIMEOUT_S = 10.0
CAPTIONS = {"sablix": "sablix 浏览器", "floor": None}


def colour(n):
    """Page n's colour: neighbours differ, none is white or grey."""
    return ((n * 67) % 180 + 40, (n * 131 + 90) % 180 + 40, (n * 29 + 170) % 180 + 40)


def page(n):
    r, g, b = colour(n)
    # The same amount of text and boxes as the pages benchmark's page, and a coloured block
    # over the middle of the view.
    return ("<html><head><meta charset='utf-8'><title>页面 %d</title></head><body>"
            "<div style='position:fixed;left:30%%;top:30%%;width:40%%;height:40%%;background:#%02x%02x%02x'></div>"
            % (n, r, g, b) + "<p>" + "文字 text " * 400 + "</p>"
            + "<div style='width:40px;height:40px;background:#c33'></div>" * 50
            # Tells the server the page has loaded: how many had, when the switches began and ended.
            + "<script>addEventListener('load', function () { fetch('/loaded'); });</script>"
            + "</body></html>").encode("utf-8")


class Server:
    def __init__(self):
        self.loaded = 0
        self.lock = threading.Lock()
        server = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                path, _, query = self.path.partition("?")
                if path == "/loaded":
                    with server.lock:
                        server.loaded += 1
                    body = b""
                elif path == "/page.html" and query.startswith("n="):
                    body = page(int(query[2:]))
                else:
                    self.send_error(404)
                    return
                self.send_response(200)
                self.send_header("Content-Type", "text/html; charset=utf-8")
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)

            def log_message(self, *args):
                pass

        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        threading.Thread(target=self.httpd.serve_forever, daemon=True).start()
        self.base = "http://127.0.0.1:%d/page.html?n=" % self.httpd.server_address[1]


def windows_of(disp, pid):
    """Mapped top-level windows of the process (by _NET_WM_PID), largest first."""
    wm_pid = disp.intern_atom("_NET_WM_PID")
    found = []
    for window in disp.screen().root.query_tree().children:
        try:
            prop = window.get_full_property(wm_pid, X.AnyPropertyType)
            if not prop or prop.value[0] != pid or window.get_attributes().map_state != X.IsViewable:
                continue
            geometry = window.get_geometry()
            found.append((geometry.width * geometry.height, window))
        except Exception:  # a window gone meanwhile
            continue
    return [w for _, w in sorted(found, key=lambda item: -item[0])]


class Watch:
    """The damage of one window and the pixel at its centre."""

    def __init__(self, disp, window):
        self.disp = disp
        self.window = window
        geometry = window.get_geometry()
        self.x, self.y = geometry.width // 2, geometry.height // 2
        self.damage = window.damage_create(damage.DamageReportNonEmpty)
        disp.sync()

    def pixel(self):
        try:
            image = self.window.get_image(self.x, self.y, 1, 1, X.ZPixmap, 0xFFFFFFFF)
        except (error.BadDrawable, error.BadMatch, error.BadWindow):
            return None  # the window is gone (made anew) or not viewable
        return bytes(image.data[:3])

    def wait_for_change(self, before, deadline):
        """Waits until the centre pixel differs from `before`; the time it was seen, or None.
        The pixel is read at each damage, and every 50 ms as well, should a damage be missed
        (a switch seen that way is counted as late, never early)."""
        fd = self.disp.fileno()
        while True:
            now_pixel = self.pixel()
            if now_pixel != before:
                return time.monotonic(), now_pixel
            while self.disp.pending_events():
                event = self.disp.next_event()
                if event.type == self.disp.extension_event.DamageNotify:
                    self.disp.damage_subtract(self.damage, X.NONE, X.NONE)
                    now_pixel = self.pixel()
                    if now_pixel != before:
                        return time.monotonic(), now_pixel
            left = deadline - time.monotonic()
            if left <= 0:
                return None, before
            select.select([fd], [], [], min(left, 0.05))


def key(disp, keysym_name, control_code):
    code = disp.keysym_to_keycode(XK.string_to_keysym(keysym_name))
    xtest.fake_input(disp, X.KeyPress, control_code)
    xtest.fake_input(disp, X.KeyPress, code)
    xtest.fake_input(disp, X.KeyRelease, code)
    xtest.fake_input(disp, X.KeyRelease, control_code)
    disp.sync()


def percentile(values, share):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(round(share * (len(ordered) - 1))))]


def run(name, command, env, server, disp):
    proc = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env)
    try:
        deadline = time.monotonic() + 60
        windows = []
        while not windows and time.monotonic() < deadline:
            windows = windows_of(disp, proc.pid)
            if not windows:
                time.sleep(0.02)
        if not windows:
            return None
        window = windows[0]
        window.set_input_focus(X.RevertToParent, X.CurrentTime)
        watch = Watch(disp, window)
        colours = {bytes((b, g, r)) for r, g, b in (colour(n) for n in range(PAGES))}
        # The first page shown: the switches start from there, while the rest load.
        shown = None
        deadline = time.monotonic() + 120
        while shown not in colours and time.monotonic() < deadline:
            # The window may be made anew when the first page shows (an OpenGL surface).
            current = windows_of(disp, proc.pid)
            if current and current[0].id != window.id:
                window = current[0]
                watch = Watch(disp, window)
            _, shown = watch.wait_for_change(shown, min(deadline, time.monotonic() + 0.5))
        if shown not in colours:
            return None
        loaded_at_start = server.loaded
        control = disp.keysym_to_keycode(XK.string_to_keysym("Control_L"))
        times = []
        misses = 0
        for i in range(SWITCHES):
            window.set_input_focus(X.RevertToParent, X.CurrentTime)
            before = watch.pixel()
            pressed = time.monotonic()
            key(disp, "q" if i % 2 == 0 else "m", control)
            seen, _ = watch.wait_for_change(before, pressed + SWITCH_TIMEOUT_S)
            if seen is None:
                misses += 1
                continue
            times.append((seen - pressed) * 1000.0)
        return {"times": times, "misses": misses, "loaded_at_start": loaded_at_start, "loaded_at_end": server.loaded}
    finally:
        proc.kill()
        proc.wait()


def main():
    sablix, floor = sys.argv[1], sys.argv[2]
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 3
    disp = display.Display()
    # A window made anew leaves its old id behind: the errors that follow say nothing.
    disp.set_error_handler(lambda *args: None)
    if not disp.has_extension("DAMAGE") or not disp.has_extension("XTEST"):
        print("switch_bench: the X server lacks DAMAGE or XTEST")
        return 2
    disp.damage_query_version()
    print("the machine: %d processors, load average %.1f %.1f %.1f at the start" % ((os.cpu_count(),) + os.getloadavg()))
    print("%d pages loading, %d switches (Ctrl+Q, Ctrl+M in turn), key press to the other page's pixels, ms"
          % (PAGES, SWITCHES))
    print("%-8s %8s %8s %8s %8s %8s   %s" % ("program", "p50", "p99", "worst", "mean", "missed", "pages loaded when the switches began-ended"))
    samples = {"floor": [], "sablix": []}
    notes = {"floor": [], "sablix": []}
    for _ in range(runs):
        for name in ("floor", "sablix"):
            server = Server()
            addresses = [server.base + str(n) for n in range(PAGES)]
            if name == "sablix":
                command = [sablix] + addresses
                env = dict(os.environ)
            else:
                command = [floor, str(PAGES), server.base]
                env = dict(os.environ, BENCH_NUMBERED="1", BENCH_STAY_MS="600000")
            result = run(name, command, env, server, disp)
            server.httpd.shutdown()
            if not result:
                notes[name].append("no page showed")
                continue
            samples[name].extend(result["times"])
            notes[name].append("%d-%d%s" % (result["loaded_at_start"], result["loaded_at_end"],
                                            ", %d missed" % result["misses"] if result["misses"] else ""))
    for name in ("floor", "sablix"):
        times = samples[name]
        if not times:
            print("%-8s %8s   %s" % (name, "-", "; ".join(notes[name])))
            continue
        print("%-8s %8.1f %8.1f %8.1f %8.1f %8d   %s" % (name, percentile(times, 0.5), percentile(times, 0.99), max(times),
                                                      statistics.mean(times), runs * SWITCHES - len(times),
                                                      "; ".join(notes[name])))
    times = samples["sablix"]
    if times:
        p50, p99 = percentile(times, 0.5), percentile(times, 0.99)
        print("aims: p50 < 30 ms %s (%.1f), p99 < 100 ms %s (%.1f)"
              % ("met" if p50 < 30 else "NOT met", p50, "met" if p99 < 100 else "NOT met", p99))
    return 0


if __name__ == "__main__":
    sys.exit(main())
