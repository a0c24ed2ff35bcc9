"""Clearing on exit with the real program: a page on 127.0.0.1 sets a cookie that lasts a day,
the program closes about three seconds after it started, and neither the cookie file nor the
next run has the cookie. Without clearing on exit the same steps keep it (the check can see one)."""

import os
import sqlite3
import time

from sablixtest import PageServer, SablixTestCase, open_page_lines, page, wait_for, write_config, main


def cookie_server():
    """/set.html sets a cookie that lasts a day; /echo.html shows what comes back."""
    return PageServer({"/set.html": page("Set", "Set"), "/echo.html": page("Echo", "Echo")},
                      headers={"/set.html": [("Set-Cookie", "kept=1; Max-Age=86400; Path=/")]}, no_store=True)


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


class ClearOnExit(SablixTestCase):
    def setUp(self):
        super().setUp()
        self.server = cookie_server()

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
        wait_for(lambda: self.server.cookies_sent("/echo.html"), what="the next run's request")
        sent = self.server.cookies_sent("/echo.html")[-1]
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
