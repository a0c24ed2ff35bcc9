"""Closed pages survive a restart: open pages, close one with Ctrl+W, leave with Ctrl+E,
start again, and Ctrl+J brings it back from Data/NewlyList.lst."""

import unittest

from sablixtest import (PageServer, Sablix, data_file, open_page_lines, page, read_lines, reset_folders,
                        wait_for, main)


class ReopenClosed(unittest.TestCase):
    def setUp(self):
        reset_folders()
        self.server = PageServer({"/keep.html": page("Keep"), "/closed.html": page("关闭的页面")})
        self.app = None

    def tearDown(self):
        if self.app:
            self.app.stop()
        self.server.close()

    def test_ctrl_j_after_a_restart(self):
        keep, closed = self.server.url("/keep.html"), self.server.url("/closed.html")
        self.app = Sablix()
        self.app.wait_window()
        self.app.go(keep)
        wait_for(lambda: "Keep#" + keep in open_page_lines(), what="the first page")
        self.app.go(closed)
        wait_for(lambda: "关闭的页面#" + closed in open_page_lines(), what="the second page")
        self.app.key("ctrl+w")
        wait_for(lambda: read_lines(data_file("NewlyList.lst")) == ["关闭的页面#" + closed], what="the closed list")
        self.assertEqual(self.app.exit(), 0)
        self.assertEqual(read_lines(data_file("OpenURLList2.lst")), ["Keep#" + keep])

        self.app = Sablix()
        self.app.wait_window()
        self.app.key("ctrl+j")
        wait_for(lambda: "关闭的页面#" + closed in open_page_lines(), what="the reopened page")
        self.assertEqual(self.app.exit(), 0)


if __name__ == "__main__":
    main()
