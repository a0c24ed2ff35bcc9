"""Restore after a killed run, with the real program: the offer after kill -9 with one page and
with three, none after an orderly close, and a kill in the middle of a restore."""

import os
import signal
import time

from sablixtest import PageServer, SablixTestCase, data_file, open_page_lines, page, wait_for, main


class Restore(SablixTestCase):
    def setUp(self):
        super().setUp()
        self.server = PageServer({"/%d.html" % i: page("Page %d" % i) for i in range(1, 4)})

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


if __name__ == "__main__":
    main()
