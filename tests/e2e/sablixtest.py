"""Drives the real sablix binary under Xvfb: starts it, types with xdotool, reads its files.

Runs inside tests/support/run-isolated.sh and with-xvfb.sh, which give every test its own
program folder ($SABLIX_HOME), per-user folders and display.
"""

import functools
import http.server
import os
import re
import shutil
import subprocess
import threading
import time
import unittest

BIN = os.environ["SABLIX_BIN"]
PROGRAM = os.environ["SABLIX_HOME"]
CAPTION = "sablix 浏览器"


def data_file(name):
    return os.path.join(PROGRAM, "Data", name)


def read_lines(path):
    """A list file's lines, as the program writes them (GB18030, CR LF)."""
    with open(path, "rb") as f:
        data = f.read()
    if not data:
        return []
    assert data.endswith(b"\r\n"), data[-20:]
    return data.decode("gb18030").split("\r\n")[:-1]


def read_config():
    try:
        with open(os.path.join(PROGRAM, "Config.ini"), "rb") as f:
            return f.read().decode("gb18030")
    except FileNotFoundError:
        return None


def write_config(text):
    with open(os.path.join(PROGRAM, "Config.ini"), "wb") as f:
        f.write(text.replace("\n", "\r\n").encode("gb18030"))


def wait_for(predicate, timeout=20.0, interval=0.1, what="condition"):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        try:
            value = predicate()
        except FileNotFoundError:
            # A file the program has not written yet: the state has not come about yet.
            value = None
        if value:
            return value
        time.sleep(interval)
    raise AssertionError("timed out waiting for " + what)


def xdotool(*args, check=True):
    result = subprocess.run(["xdotool", *args], capture_output=True, text=True)
    if check and result.returncode != 0:
        raise AssertionError("xdotool %s failed: %s" % (" ".join(args), result.stderr))
    return result.stdout.strip()


def visible_windows():
    out = xdotool("search", "--onlyvisible", "--name", CAPTION, check=False)
    return [w for w in out.split() if w]


class PageServer:
    """Serves fixed pages on 127.0.0.1 from a thread.

    `headers` gives pages headers of their own ({path: [(name, value)]}, a cookie to set);
    with `no_store` no page may be kept in a cache, so every visit reaches the server. A page
    is text (HTML unless `types` says otherwise: {path: content type}) or bytes."""

    def __init__(self, pages, headers=None, no_store=False, types=None):
        self.pages = pages
        self.headers = headers or {}
        self.no_store = no_store
        self.types = types or {}
        # Every path asked for, query included, in the order the requests came.
        self.requests = []
        # The same with the Cookie header each request sent ("" for none).
        self.cookies = []
        # Every POST: (path, the body as text), in order; answered with the page at its path.
        self.posts = []
        server = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                server.requests.append(self.path)
                server.cookies.append((self.path, self.headers.get("Cookie", "")))
                path = self.path.split("?")[0]
                body = server.pages.get(path)
                if body is None:
                    self.send_error(404)
                    return
                data = body if isinstance(body, bytes) else body.encode("utf-8")
                self.send_response(200)
                self.send_header("Content-Type", server.types.get(path, "text/html; charset=utf-8"))
                self.send_header("Content-Length", str(len(data)))
                if server.no_store:
                    self.send_header("Cache-Control", "no-store")
                for name, value in server.headers.get(path, []):
                    self.send_header(name, value)
                self.end_headers()
                self.wfile.write(data)

            def do_POST(self):
                length = int(self.headers.get("Content-Length", "0"))
                server.posts.append((self.path, self.rfile.read(length).decode("utf-8", "replace")))
                self.do_GET()

            def log_message(self, *args):
                pass

        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.port = self.httpd.server_address[1]
        threading.Thread(target=self.httpd.serve_forever, daemon=True).start()

    def url(self, path):
        return "http://127.0.0.1:%d%s" % (self.port, path)

    def cookies_sent(self, path):
        """The Cookie headers of the requests for `path`, in order: with its query when it has
        one, with any query when it has none."""
        return [cookie for asked, cookie in self.cookies if asked == path or asked.split("?")[0] == path]

    def close(self):
        self.httpd.shutdown()


def page(title, body=""):
    return "<html><head><title>%s</title></head><body>%s</body></html>" % (title, body)


SANITIZER_REPORT = re.compile(r"runtime error:|ERROR: (Address|Leak)Sanitizer")


class Sablix:
    """One sablix process."""

    _count = 0

    def __init__(self, *args, cwd=None):
        before = set(visible_windows())
        # Its output goes to a file: a pipe nobody reads would block a program that logs much.
        Sablix._count += 1
        self.log_path = os.path.join(os.environ.get("SABLIX_TEST_ROOT", "/tmp"), "sablix-%d.log" % Sablix._count)
        with open(self.log_path, "wb") as log:
            self.proc = subprocess.Popen([BIN, *args], cwd=cwd, stdout=log, stderr=subprocess.STDOUT)
        self.window = None
        self._before = before

    def wait_window(self, timeout=20.0):
        def appeared():
            if self.proc.poll() is not None:
                raise AssertionError("sablix ended early: %s" % self.log())
            new = [w for w in visible_windows() if w not in self._before]
            return new[0] if new else None

        self.window = wait_for(appeared, timeout, what="the sablix window")
        # Keys go to it once it has the keyboard (no window manager gives it).
        self.focus()
        wait_for(self.has_keyboard, timeout, what="the sablix window to have the keyboard")
        return self.window

    def has_keyboard(self):
        focused = xdotool("getwindowfocus", "-f", check=False)
        return focused != "" and focused == self.current_window()

    def log(self):
        with open(self.log_path, "rb") as f:
            return f.read().decode(errors="replace")

    def current_window(self):
        """The window may be created anew (the first page brings an OpenGL surface)."""
        out = xdotool("search", "--onlyvisible", "--pid", str(self.proc.pid), "--name", CAPTION, check=False)
        windows = [w for w in out.split() if w]
        if windows:
            self.window = windows[-1]
        return self.window

    def focus(self):
        # --sync returns once the window has the keyboard.
        xdotool("windowfocus", "--sync", self.current_window())

    def key(self, *keys):
        self.focus()
        # X hands the keys over in order, and the program acts on each before the next.
        for k in keys:
            xdotool("key", "--clearmodifiers", k)

    def click_page(self):
        """A left click in the middle of the window, inside the active page."""
        window = self.current_window()
        self.focus()
        geometry = dict(line.split("=") for line in xdotool("getwindowgeometry", "--shell", window).split())
        xdotool("mousemove", "--window", window, str(int(geometry["WIDTH"]) // 2), str(int(geometry["HEIGHT"]) // 2),
                "click", "1")

    def type(self, text):
        self.focus()
        xdotool("type", "--delay", "25", text)

    def go(self, text):
        """Puts the text into the address box (F6) and presses Enter."""
        self.key("F6")
        self.type(text)
        self.key("Return")

    def maps(self):
        with open("/proc/%d/maps" % self.proc.pid) as f:
            return f.read()

    def sanitized(self):
        """Built with the sanitizers (`make test SANITIZE=1`): several times slower, and the
        leak check runs at its end."""
        return "libasan" in self.maps()

    def alive(self):
        return self.proc.poll() is None

    def exit(self, timeout=30.0):
        """Ctrl+E, the way a user leaves."""
        self.key("ctrl+e")
        return self.wait(timeout)

    def wait(self, timeout=30.0):
        try:
            status = self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
            raise AssertionError("sablix did not end")
        # Ended by a signal (an abort at the close): what it said last, before its folder goes.
        if status < 0:
            print("sablix ended by signal %d; the end of its log:\n%s" % (-status, self.log()[-4000:]), flush=True)
        return status

    def stop(self):
        if self.alive():
            self.proc.terminate()
            try:
                self.proc.wait(30)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()


class SablixTestCase(unittest.TestCase):
    """A test that starts as a first run, with the programs it started stopped at its end and
    its page server (self.server, made by the test's setUp) closed."""

    def setUp(self):
        reset_folders()
        self.server = None
        self.apps = []

    def tearDown(self):
        for app in self.apps:
            app.stop()
        if self.server:
            self.server.close()
        # A sanitizer's report goes to the program's log, unseen unless the test fails here.
        for app in self.apps:
            if SANITIZER_REPORT.search(app.log()):
                self.fail("sanitizer report from sablix (%s):\n%s" % (app.log_path, app.log()))

    def start(self, *args, cwd=None):
        """Starts sablix and waits for its window to have the keyboard."""
        app = Sablix(*args, cwd=cwd)
        self.apps.append(app)
        app.wait_window()
        return app


def open_page_lines():
    path = data_file("OpenURLList.lst")
    return read_lines(path) if os.path.exists(path) else []


def where_found(tokens):
    """{key: [files under the program folder, the home and the XDG folders that hold its token]},
    as plain bytes or as UTF-16 (the engine keeps some strings that way)."""
    found = {}
    for top in [PROGRAM] + [os.environ[name] for name in
                            ("HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR")]:
        for root, _, names in os.walk(top):
            for name in names:
                path = os.path.join(root, name)
                if os.path.islink(path) or not os.path.isfile(path):
                    continue
                try:
                    with open(path, "rb") as f:
                        data = f.read()
                except OSError:
                    continue
                for key, token in tokens.items():
                    if token.encode() in data or token.encode("utf-16-le") in data:
                        found.setdefault(key, []).append(path)
    return found


def reset_folders():
    """Empties the program folder and the per-user folders: each test starts as a first run."""
    for root in (PROGRAM, os.environ["XDG_DATA_HOME"], os.environ["XDG_CONFIG_HOME"],
                 os.environ["XDG_CACHE_HOME"], os.environ["XDG_RUNTIME_DIR"]):
        for name in os.listdir(root):
            path = os.path.join(root, name)
            if os.path.isdir(path) and not os.path.islink(path):
                shutil.rmtree(path)
            else:
                os.remove(path)


def main():
    unittest.main(verbosity=2)
