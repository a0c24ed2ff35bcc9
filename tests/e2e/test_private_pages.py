"""Private pages with the real program: a private page (Ctrl+Shift+N) visits a page on
127.0.0.1 with an address of its own that sets a cookie lasting a day; its cookie reaches no
page of the user's and no later private page; after it closed and the program ended, neither
the address nor the cookie is anywhere in the program folder, the home or the XDG folders.
A page of the user's visited in the same run is found there (the search can find things)."""

import os
import uuid

from sablixtest import PageServer, SablixTestCase, data_file, open_page_lines, page, read_lines, wait_for, where_found, main

SECRET = "secret-" + uuid.uuid4().hex
COOKIE_VALUE = "crumb" + uuid.uuid4().hex
KEPT = "kept-" + uuid.uuid4().hex


def cookie_server():
    """/SECRET.html sets the cookie; /KEPT.html and /echo.html are plain pages."""
    cookie = ("Set-Cookie", "private=%s; Max-Age=86400; Path=/" % COOKIE_VALUE)
    return PageServer({"/%s.html" % name: page(name, name) for name in (SECRET, KEPT, "echo")},
                      headers={"/%s.html" % SECRET: [cookie]}, no_store=True)


def files_holding(needle):
    return sorted(set(where_found({"": needle}).get("", [])))


class PrivatePages(SablixTestCase):
    def setUp(self):
        super().setUp()
        self.server = cookie_server()

    def go_and_wait(self, path):
        """Goes to a page; the Cookie header its request sent."""
        self.app.go(self.server.url(path))
        return wait_for(lambda: self.server.cookies_sent(path), what="the request for " + path)[0]

    def test_a_private_page_leaves_nothing_behind(self):
        self.app = app = self.start()
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
