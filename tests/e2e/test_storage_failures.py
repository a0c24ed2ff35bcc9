"""A program folder that stops taking writes while sablix runs (a full disk, a folder
made read-only): the status line says so once, browsing goes on, and what is in memory
is written once the folder takes writes again. The folder is a small tmpfs of its own,
so the test needs to be allowed to mount (root); otherwise it is skipped."""

import errno
import os
import subprocess

from sablixtest import (PROGRAM, PageServer, SablixTestCase, data_file, open_page_lines, page, read_lines, wait_for,
                        main)

MESSAGE = "无法保存设置或列表: "


def mount(*args):
    return subprocess.run(["mount", *args], capture_output=True, text=True).returncode == 0


class StorageFailures(SablixTestCase):
    def setUp(self):
        super().setUp()
        if not mount("-t", "tmpfs", "-o", "size=1m", "tmpfs", PROGRAM):
            self.skipTest("mounting a tmpfs over the program folder is not permitted here")
        self.server = PageServer({
            "/a.html": page("页面甲"),
            "/b.html": page("页面乙"),
            "/c.html": page("页面丙"),
        })
        # The status line's texts go to the log, where the test reads them.
        os.environ["QT_LOGGING_RULES"] = "sablix.status.info=true"

    def tearDown(self):
        os.environ.pop("QT_LOGGING_RULES", None)
        super().tearDown()
        subprocess.run(["umount", "-l", PROGRAM], capture_output=True)

    def status_lines(self):
        prefix = "sablix.status: "
        return [line[len(prefix):].strip() for line in self.app.log().splitlines() if line.startswith(prefix)]

    def messages(self):
        return [line for line in self.status_lines() if MESSAGE in line]

    def start_and_load_one(self):
        self.app = self.start()
        self.app.go(self.server.url("/a.html"))
        wait_for(lambda: "页面甲#" + self.server.url("/a.html") in open_page_lines(), what="the first page's line")

    def browse_on_while_failing(self):
        # Two more pages while no write can succeed: the pages load, one message says so.
        self.app.go(self.server.url("/b.html"))
        wait_for(lambda: self.messages(), what="the status line's message")
        self.app.go(self.server.url("/c.html"))
        wait_for(lambda: any("页面丙" in line for line in self.status_lines() if line.startswith(">>完成:")),
                 what="the third page to load")
        self.assertEqual(len(self.messages()), 1, self.messages())
        self.assertTrue(self.app.alive())
        # The list kept its last good content.
        self.assertEqual(open_page_lines(), ["页面甲#" + self.server.url("/a.html")])

    def written_again(self):
        # The next write of the lists brings every open page in.
        self.app.go(self.server.url("/a.html"))
        wait_for(lambda: len(open_page_lines()) == 4, what="the lists written again")
        self.assertEqual(self.app.exit(), 0)
        self.assertIn(self.server.url("/c.html"), read_lines(data_file("Url.lst")))

    def test_a_full_disk(self):
        self.start_and_load_one()
        filler = os.path.join(PROGRAM, "filler")
        with open(filler, "wb", buffering=0) as f:
            try:
                while True:
                    f.write(b"x" * 4096)
            except OSError as error:
                self.assertEqual(error.errno, errno.ENOSPC)
        self.browse_on_while_failing()
        self.assertTrue(any(reason in self.messages()[0] for reason in ("没有剩余空间", "No space left")),
                        self.messages()[0])
        os.remove(filler)
        self.written_again()

    def test_a_folder_made_read_only(self):
        self.start_and_load_one()
        # The lists' folder, read-only from now on (a mount of its own: root passes every
        # permission check, and the program holds files open elsewhere in its folder).
        folder = os.path.join(PROGRAM, "Data")
        self.assertTrue(mount("--bind", folder, folder))
        self.assertTrue(mount("-o", "remount,bind,ro", folder))
        try:
            self.browse_on_while_failing()
            self.assertIn("OpenURLList.lst", self.messages()[0])
        finally:
            subprocess.run(["umount", folder], capture_output=True)
        self.written_again()


if __name__ == "__main__":
    main()
