"""Clearing on exit with the real program: a page on 127.0.0.1 sets a cookie that lasts a day,
the program closes about three seconds after it started, and neither the cookie file nor the
next run has the cookie. Without clearing on exit the same steps keep it (the check can see one)."""

import http.server
import os
import sqlite3
import threading
import time
import unittest

from sablixtest import Sablix, open_page_lines, reset_folders, wait_for, write_config, main


class CookieServer:
    """/set.html sets a lasting cookie; every request's Cookie header is kept."""

    def __init__(self):
        self.cookies = []
        server = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                path = self.path.split("?")[0]
                server.cookies.append((path, self.headers.get("Cookie", "")))
                title = {"/set.html": "Set", "/echo.html": "Echo"}.get(path)
                if title is None:
                    self.send_error(404)
                    return
                body = ("<html><head><title>%s</title></head><body>%s</body></html>" % (title, title)).encode()
                self.send_response(200)
                self.send_header("Content-Type", "text/html; charset=utf-8")
                self.send_header("Content-Length", str(len(body)))
                self.send_header("Cache-Control", "no-store")
                if path == "/set.html":
                    self.send_header("Set-Cookie", "kept=1; Max-Age=86400; Path=/")
                self.end_headers()
                self.wfile.write(body)

            def log_message(self, *args):
                pass

        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.port = self.httpd.server_address[1]
        threading.Thread(target=self.httpd.serve_forever, daemon=True).start()

    def url(self, path):
        return "http://127.0.0.1:%d%s" % (self.port, path)

    def sent_to(self, path):
        return [cookie for p, cookie in self.cookies if p == path]

    def close(self):
        self.httpd.shutdown()


def cookies_on_disk():
    """The engine's cookie file: (host, name) of every cookie in it."""
    path = os.path.join(os.environ["XDG_DATA_HOME"], "sablix", "engine", "Cookies")
    if not os.path.exists(path):
        return []
    db = sqlite3.connect("file:%s?mode=ro" % path, uri=True)
    try:
        return db.execute("SELECT host_key, name FROM cookies").fetchall()
    except sqlite3.DatabaseError:
        return []
    finally:
        db.close()


class ClearOnExit(unittest.TestCase):
    def setUp(self):
        reset_folders()
        self.server = CookieServer()
        self.apps = []

    def tearDown(self):
        for app in self.apps:
            app.stop()
        self.server.close()

    def start(self):
        app = Sablix()
        self.apps.append(app)
        app.wait_window()
        return app

    def run_that_sets_the_cookie(self, clean_on_exit):
        write_config("[RunData]\nCleanOnExit=%d\n" % clean_on_exit)
        started = time.monotonic()
        app = self.start()
        app.go(self.server.url("/set.html"))
        wait_for(lambda: "Set#" + self.server.url("/set.html") in open_page_lines(), what="the page that sets the cookie")
        self.assertEqual(app.exit(), 0)
        return time.monotonic() - started

    def next_run_sends(self):
        app = self.start()
        app.go(self.server.url("/echo.html"))
        wait_for(lambda: self.server.sent_to("/echo.html"), what="the next run's request")
        sent = self.server.sent_to("/echo.html")[-1]
        self.assertEqual(app.exit(), 0)
        return sent

    def test_a_close_soon_after_start_leaves_no_cookie_behind(self):
        took = self.run_that_sets_the_cookie(clean_on_exit=1)
        # Start, one page, clearing and the close: a few seconds, not the clearing's bound.
        self.assertLess(took, 15, "the run took %.1f s" % took)
        self.assertNotIn(("127.0.0.1", "kept"), cookies_on_disk())
        self.assertNotIn("kept=1", self.next_run_sends())

    def test_a_run_that_only_starts_and_closes_clears_what_an_earlier_run_left(self):
        self.run_that_sets_the_cookie(clean_on_exit=0)
        self.assertIn(("127.0.0.1", "kept"), cookies_on_disk())
        # Started, closed about three seconds later, no page opened.
        write_config("[RunData]\nCleanOnExit=1\n")
        started = time.monotonic()
        app = self.start()
        wait_for(lambda: time.monotonic() - started >= 3, what="three seconds")
        self.assertEqual(app.exit(), 0)
        self.assertNotIn(("127.0.0.1", "kept"), cookies_on_disk())
        self.assertNotIn("kept=1", self.next_run_sends())

    def test_without_clearing_the_cookie_stays(self):
        self.run_that_sets_the_cookie(clean_on_exit=0)
        self.assertIn(("127.0.0.1", "kept"), cookies_on_disk())
        self.assertIn("kept=1", self.next_run_sends())


if __name__ == "__main__":
    main()
