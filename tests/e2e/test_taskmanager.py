"""The task manager in the real program: Shift+Esc shows it over the pages, the pages chosen
in it close (into the recently closed list) with its Delete key, and Esc puts it away."""


from sablixtest import (PageServer, SablixTestCase, data_file, open_page_lines, page, read_lines, wait_for, xdotool,
                        main)


class TaskManager(SablixTestCase):
    def setUp(self):
        super().setUp()
        self.server = PageServer({"/a.html": page("第一页"), "/b.html": page("Second")})

    def test_shift_escape_shows_it_and_it_closes_the_chosen_pages(self):
        a, b = self.server.url("/a.html"), self.server.url("/b.html")
        self.app = self.start()
        self.app.go(a)
        wait_for(lambda: "第一页#" + a in open_page_lines(), what="the first page")
        self.app.go(b)
        wait_for(lambda: "Second#" + b in open_page_lines(), what="the second page")

        self.app.key("shift+Escape")
        manager = wait_for(lambda: xdotool("search", "--onlyvisible", "--name", "任务管理器", check=False),
                           what="the task manager window").split()[0]
        xdotool("windowfocus", "--sync", manager)
        # Every row chosen, then Delete: both pages close as if by Ctrl+W.
        xdotool("key", "--clearmodifiers", "ctrl+a")
        xdotool("key", "--clearmodifiers", "Delete")
        wait_for(lambda: sorted(read_lines(data_file("NewlyList.lst"))) == sorted(["第一页#" + a, "Second#" + b]),
                 what="both pages in the recently closed list")
        self.assertTrue(self.app.alive())
        # Esc puts it away; the browser is still there for the keys.
        xdotool("key", "--clearmodifiers", "Escape")
        wait_for(lambda: not xdotool("search", "--onlyvisible", "--name", "任务管理器", check=False),
                 what="the task manager to close")
        self.assertEqual(self.app.exit(), 0)
        # No page was open at exit.
        self.assertEqual(open_page_lines(), [])


if __name__ == "__main__":
    main()
