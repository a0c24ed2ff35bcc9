"""Closed pages survive a restart: open pages, close one with Ctrl+W, leave with Ctrl+E,
start again, and Ctrl+J brings it back from Data/NewlyList.lst."""


from sablixtest import PageServer, SablixTestCase, data_file, open_page_lines, page, read_lines, wait_for, main


class ReopenClosed(SablixTestCase):
    def setUp(self):
        super().setUp()
        self.server = PageServer({"/keep.html": page("Keep"), "/closed.html": page("关闭的页面")})

    def test_ctrl_j_after_a_restart(self):
        keep, closed = self.server.url("/keep.html"), self.server.url("/closed.html")
        self.app = self.start()
        self.app.go(keep)
        wait_for(lambda: "Keep#" + keep in open_page_lines(), what="the first page")
        self.app.go(closed)
        wait_for(lambda: "关闭的页面#" + closed in open_page_lines(), what="the second page")
        self.app.key("ctrl+w")
        wait_for(lambda: read_lines(data_file("NewlyList.lst")) == ["关闭的页面#" + closed], what="the closed list")
        self.assertEqual(self.app.exit(), 0)
        self.assertEqual(read_lines(data_file("OpenURLList2.lst")), ["Keep#" + keep])

        self.app = self.start()
        self.app.key("ctrl+j")
        wait_for(lambda: "关闭的页面#" + closed in open_page_lines(), what="the reopened page")
        self.assertEqual(self.app.exit(), 0)


if __name__ == "__main__":
    main()
