"""The typical request, end to end: type, load, search, complete, leave; and the orderly
shutdown on SIGTERM."""

import os
import signal

from sablixtest import (PROGRAM, PageServer, SablixTestCase, data_file, open_page_lines, page, read_config,
                        read_lines, wait_for, main)

FIRST_ENGINE = "https://www.baidu.com/baidu?tn=sablix_dg&ie=utf-8&word="


class Browsing(SablixTestCase):
    def setUp(self):
        super().setUp()
        self.server = PageServer({
            "/a.html": page("页面甲", "<p>甲</p>"),
            "/b.html": page("Page B"),
            "/c.html": page("Page C"),
        })

    def test_typical_request(self):
        self.app = self.start()
        window = self.app.window
        # The engine starts by itself once the window is up, before any page is asked for.
        wait_for(lambda: "libQt6WebEngineCore" in self.app.maps(), what="the engine to start ahead of the first page")
        self.assertEqual(open_page_lines(), [])

        typed = self.server.url("/a.html")[len("http://"):]
        self.app.go(typed)
        wait_for(lambda: "页面甲#" + self.server.url("/a.html") in open_page_lines(), what="the page to load")
        self.assertIn("libQt6WebEngineCore", self.app.maps())
        # One native window for the whole run: the first page does not make a new one.
        self.assertEqual(self.app.current_window(), window)

        # A bare word searches with the first engine, in a new page.
        self.app.go("sablixword")
        # Ctrl+Enter completes a name to www.NAME.com.
        self.app.key("F6")
        self.app.type("abc")
        self.app.key("ctrl+Return")
        # Two searches from the search box, the second one twice.
        self.app.key("F6", "Tab")
        self.app.type("first query")
        self.app.key("Return")
        for _ in range(2):
            self.app.key("F6", "Tab")
            self.app.type("second")
            self.app.key("Return")

        # The exit key is handled after the keys before it.
        self.assertEqual(self.app.exit(), 0)
        self.assertEqual(read_lines(data_file("Url.lst")), [
            self.server.url("/a.html"),
            FIRST_ENGINE + "sablixword",
            "http://www.abc.com/",
        ])
        self.assertEqual(read_lines(data_file("SearchHistory.lst")), ["first query", "second"])
        self.assertIn("TrueClose=1", read_config())
        # More than two pages were open: the last moment's pages are in the second list.
        lines = read_lines(data_file("OpenURLList2.lst"))
        self.assertIn("页面甲#" + self.server.url("/a.html"), lines)

    def test_window_keys_run_while_the_menu_bar_has_the_keyboard(self):
        a, b, c = (self.server.url(p) for p in ("/a.html", "/b.html", "/c.html"))
        self.app = self.start()
        self.app.go(a)
        wait_for(lambda: open_page_lines() == ["页面甲#" + a], what="the first page")
        # A tap of Alt after a click into the page: Ctrl+B opens a blank page, whose address
        # box takes what is typed next.
        self.app.click_page()
        self.app.key("alt", "ctrl+b")
        self.app.type(b)
        self.app.key("Return")
        wait_for(lambda: open_page_lines() == ["页面甲#" + a, "Page B#" + b], what="the page typed into the blank one")
        # The same after the View menu was opened and closed with Esc.
        self.app.click_page()
        self.app.key("alt+v", "Escape", "ctrl+b")
        self.app.type(c)
        self.app.key("Return")
        wait_for(lambda: open_page_lines() == ["页面甲#" + a, "Page B#" + b, "Page C#" + c],
                 what="the page typed into the second blank one")
        self.assertEqual(self.app.exit(), 0)
        self.assertNotIn("Ambiguous shortcut", self.app.log())

    def test_sigterm_runs_the_orderly_shutdown(self):
        self.app = self.start()
        self.app.go(self.server.url("/b.html"))
        wait_for(lambda: open_page_lines(), what="the page to load")
        self.app.proc.send_signal(signal.SIGTERM)
        self.assertEqual(self.app.wait(), 0)
        self.assertIn("TrueClose=1", read_config())
        self.assertEqual(read_lines(data_file("Url.lst")), [self.server.url("/b.html")])
        self.assertEqual(read_lines(data_file("OpenURLList2.lst")), ["Page B#" + self.server.url("/b.html")])

    def test_an_address_on_a_first_command_line_opens(self):
        # A link clicked in another program while sablix is not running.
        self.app = self.start(self.server.url("/b.html"))
        wait_for(lambda: open_page_lines() == ["Page B#" + self.server.url("/b.html")], what="the page to load")
        self.assertEqual(self.app.exit(), 0)
        self.assertEqual(read_lines(data_file("Url.lst")), [self.server.url("/b.html")])


if __name__ == "__main__":
    main()
