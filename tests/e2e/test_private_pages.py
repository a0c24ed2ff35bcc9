"""Private pages with the real program: a private page (Ctrl+Shift+N) visits a page on
127.0.0.1 with an address of its own that sets a cookie lasting a day; its cookie reaches no
page of the user's and no later private page; after it closed and the program ended, neither
the address nor the cookie is anywhere in the program folder, the home or the XDG folders.
A page of the user's visited in the same run is found there (the search can find things)."""

import http.server
import os
import threading
import unittest
import uuid

from sablixtest import PROGRAM, Sablix, data_file, open_page_lines, read_lines, reset_folders, wait_for, main

SECRET = "secret-" + uuid.uuid4().hex
COOKIE_VALUE = "crumb" + uuid.uuid4().hex
KEPT = "kept-" + uuid.uuid4().hex


class Server:
    """/SECRET.html sets the cookie; every request's path and Cookie header are kept."""

    def __init__(self):
        self.requests = []
        server = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                server.requests.append((self.path, self.headers.get("Cookie", "")))
                path = self.path.split("?")[0]
                title = path.strip("/").split(".")[0]
                body = ("<html><head><title>%s</title></head><body>%s</body></html>" % (title, title)).encode()
                self.send_response(200)
                self.send_header("Content-Type", "text/html; charset=utf-8")
                self.send_header("Content-Length", str(len(body)))
                self.send_header("Cache-Control", "no-store")
                if path == "/%s.html" % SECRET:
                    self.send_header("Set-Cookie", "private=%s; Max-Age=86400; Path=/" % COOKIE_VALUE)
                self.end_headers()
                self.wfile.write(body)

            def log_message(self, *args):
                pass

        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.port = self.httpd.server_address[1]
        threading.Thread(target=self.httpd.serve_forever, daemon=True).start()

    def url(self, path):
        return "http://127.0.0.1:%d%s" % (self.port, path)

    def cookie_sent_for(self, path):
        """The Cookie header of the request for `path` (query included); None before it came."""
        for asked, cookie in self.requests:
            if asked == path:
                return cookie
        return None

    def close(self):
        self.httpd.shutdown()


def files_holding(needle):
    """Every file under the program folder, the home and the XDG folders holding `needle`, in
    UTF-8 or UTF-16 (the engine keeps some strings that way)."""
    patterns = [needle.encode(), needle.encode("utf-16-le")]
    roots = [PROGRAM] + [os.environ[name] for name in
                         ("HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR")]
    found = []
    for root in roots:
        for folder, _, names in os.walk(root):
            for name in names:
                path = os.path.join(folder, name)
                if os.path.islink(path) or not os.path.isfile(path):
                    continue
                try:
                    with open(path, "rb") as f:
                        data = f.read()
                except OSError:
                    continue
                if any(p in data for p in patterns):
                    found.append(path)
    return sorted(set(found))


class PrivatePages(unittest.TestCase):
    def setUp(self):
        reset_folders()
        self.server = Server()
        self.app = None

    def tearDown(self):
        if self.app:
            self.app.stop()
        self.server.close()

    def go_and_wait(self, path):
        self.app.go(self.server.url(path))
        wait_for(lambda: self.server.cookie_sent_for(path) is not None, what="the request for " + path)
        return self.server.cookie_sent_for(path)

    def test_a_private_page_leaves_nothing_behind(self):
        self.app = app = Sablix()
        app.wait_window()
        kept = "/%s.html" % KEPT
        app.go(self.server.url(kept))
        wait_for(lambda: any(self.server.url(kept) in line for line in open_page_lines()), what="the user's page listed")

        # A private page goes to the page that sets the cookie.
        app.key("ctrl+shift+n")
        self.go_and_wait("/%s.html" % SECRET)
        # From it, a second private page: the cookie was taken and is theirs.
        sent = self.go_and_wait("/echo.html?private")
        self.assertIn("private=" + COOKIE_VALUE, sent)

        # Both private pages close (the second is active, then the first); the user's page
        # stays, and what it opens does not get the cookie.
        app.key("ctrl+w", "ctrl+w")
        sent = self.go_and_wait("/echo.html?user")
        self.assertNotIn(COOKIE_VALUE, sent)
        # A new private page has nothing of the old one's.
        app.key("ctrl+shift+n")
        sent = self.go_and_wait("/echo.html?again")
        self.assertNotIn(COOKIE_VALUE, sent)
        app.key("ctrl+w")

        self.assertEqual(app.exit(), 0)
        self.app = None

        # The user's page is kept where the program keeps pages: the search finds things.
        self.assertTrue(os.path.exists(data_file("Url.lst")))
        self.assertIn(self.server.url(kept), read_lines(data_file("Url.lst")))
        self.assertTrue(files_holding(KEPT))
        # Nothing of the private pages anywhere.
        self.assertEqual(files_holding(SECRET), [])
        self.assertEqual(files_holding(COOKIE_VALUE), [])
        self.assertEqual(files_holding("echo.html?private"), [])
        self.assertEqual(files_holding("echo.html?again"), [])


if __name__ == "__main__":
    main()
