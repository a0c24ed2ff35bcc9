"""Restore after a killed run, with the real program: the offer after kill -9 with one page and
with three, none after an orderly close, and a kill in the middle of a restore. Continuing where
the user left off ("继续上次打开的页面"): the pages in order with the one in front, pinned and muted
tabs as they were, a tab dragged elsewhere, and addresses of the command line after them."""

import os
import signal
import time

from sablixtest import (PageServer, SablixTestCase, data_file, open_page_lines, page, read_lines, wait_for,
                        write_config, main)


def write_list(name, lines):
    with open(data_file(name), "wb") as f:
        f.write("".join(line + "\r\n" for line in lines).encode("gb18030"))


def state_lines():
    return read_lines(data_file("OpenURLState.lst"))


class Restore(SablixTestCase):
    def setUp(self):
        super().setUp()
        # Each page says when it has loaded (its title is in by then): a close before that
        # would keep the address the engine shows in its place while it loads.
        self.server = PageServer({"/%d.html" % i: page("Page %d" % i, "<script>onload = () => fetch('/%d-loaded')</script>" % i)
                                  for i in range(1, 4)})

    def line(self, i):
        return "Page %d#%s" % (i, self.server.url("/%d.html" % i))

    def open_pages(self, app, count):
        for i in range(1, count + 1):
            if i > 1:
                app.key("ctrl+b")
            app.go(self.server.url("/%d.html" % i))
            wait_for(lambda: self.line(i) in open_page_lines(), what="page %d to load" % i)

    def kill(self, app):
        app.proc.send_signal(signal.SIGKILL)
        app.proc.wait()

    def test_one_page_comes_back_after_kill(self):
        app = self.start()
        self.open_pages(app, 1)
        self.kill(app)
        again = self.start()
        again.key("ctrl+shift+t")
        wait_for(lambda: open_page_lines() == [self.line(1)], what="the page to come back")
        self.assertEqual(again.exit(), 0)

    def test_three_pages_come_back_in_order_and_survive_a_kill_during_the_restore(self):
        app = self.start()
        self.open_pages(app, 3)
        expected = [self.line(1), self.line(2), self.line(3)]
        self.assertEqual(sorted(open_page_lines()), sorted(expected))
        order = open_page_lines()
        self.kill(app)

        second = self.start()
        second.key("ctrl+shift+t")
        time.sleep(0.3)
        self.kill(second)
        # Whatever the kill interrupted, the lists still hold every page.
        self.assertEqual(open_page_lines(), order)

        third = self.start()
        third.key("ctrl+shift+t")
        # The page in front loads; those behind it keep their lines until shown.
        wait_for(lambda: open_page_lines() == order, what="the pages to come back in order")
        self.assertEqual(third.exit(), 0)
        self.assertEqual(open_page_lines(), order)

    def test_no_offer_after_an_orderly_close(self):
        app = self.start()
        self.open_pages(app, 1)
        self.assertEqual(app.exit(), 0)
        again = self.start()
        # Nothing is offered: the key has only the (empty) recently closed list to reopen.
        again.key("ctrl+shift+t")
        # The exit key is handled after it: the reopening had its chance.
        self.assertEqual(again.exit(), 0)
        self.assertFalse(os.path.exists(data_file("OpenURLList.lst")))


    def continue_where_left_off(self):
        write_config("[RunData]\nRestoreOnStart=1\n")

    def loaded(self, since):
        """The pages asked of the server since `since` requests."""
        return [path for path in self.server.requests[since:] if path.endswith(".html")]

    def finished(self, i, since):
        return "/%d-loaded" % i in self.server.requests[since:]

    def test_continuing_opens_the_last_pages_in_order_with_the_one_in_front(self):
        self.continue_where_left_off()
        app = self.start()
        self.open_pages(app, 3)
        order = open_page_lines()
        app.key("ctrl+q")
        self.assertEqual(app.exit(), 0)
        self.assertEqual(state_lines(), ["-#" + self.server.url("/1.html"), "A#" + self.server.url("/2.html"),
                                         "-#" + self.server.url("/3.html")])

        asked = len(self.server.requests)
        again = self.start()
        wait_for(lambda: self.finished(2, asked), what="the page in front to load")
        self.assertEqual(again.exit(), 0)
        # Only the page in front loaded; the others wait until shown, and keep their lines.
        self.assertEqual(self.loaded(asked), ["/2.html"])
        self.assertEqual(open_page_lines(), order)

        # An address on the command line opens after them, in front.
        self.server.pages["/4.html"] = page("Page 4")
        third = self.start(self.server.url("/4.html"))
        wait_for(lambda: open_page_lines() == order + ["Page 4#" + self.server.url("/4.html")],
                 what="the command line's page after the others")
        self.assertEqual(third.exit(), 0)
        self.assertEqual(state_lines()[-1], "A#" + self.server.url("/4.html"))

    def test_pinned_and_muted_pages_stay_so_and_an_older_list_still_opens(self):
        self.continue_where_left_off()
        os.makedirs(data_file(""), exist_ok=True)
        urls = [self.server.url("/%d.html" % i) for i in range(1, 4)]
        write_list("OpenURLList.lst", [self.line(i) for i in range(1, 4)])
        write_list("OpenURLState.lst", ["P#" + urls[0], "AM#" + urls[1], "-#" + urls[2]])
        asked = len(self.server.requests)
        app = self.start()
        wait_for(lambda: self.finished(2, asked), what="the page in front to load")
        self.assertEqual(app.exit(), 0)
        # The engine kept the page muted: the close read it back so.
        self.assertEqual(state_lines(), ["P#" + urls[0], "AM#" + urls[1], "-#" + urls[2]])
        self.assertEqual(open_page_lines(), [self.line(i) for i in range(1, 4)])

        # A list from before the state was kept opens as it is, the first page in front.
        os.remove(data_file("OpenURLState.lst"))
        asked = len(self.server.requests)
        again = self.start()
        wait_for(lambda: "/1.html" in self.loaded(asked), what="the first page to load")
        self.assertEqual(again.exit(), 0)
        self.assertEqual(self.loaded(asked), ["/1.html"])
        self.assertEqual(state_lines(), ["A#" + urls[0], "-#" + urls[1], "-#" + urls[2]])


if __name__ == "__main__":
    main()
