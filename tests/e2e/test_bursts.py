"""Addresses that arrive faster than the engine answers: forwarded by one start, by many
starts one after another, and typed as fast as the keyboard goes. Each opens its own page,
in order; none is lost."""

import subprocess

from sablixtest import (BIN, PageServer, SablixTestCase, data_file, open_page_lines, page, read_lines, wait_for,
                        write_config, xdotool, main)

COUNT = 20


def second_start(*args):
    return subprocess.run([BIN, *args], capture_output=True, text=True, timeout=120)


class Bursts(SablixTestCase):
    def setUp(self):
        super().setUp()
        write_config("[RunData]\nRunOne=1\nWindowMax=0\n")
        self.server = PageServer({"/p%d.html" % i: page("Page %d" % i) for i in range(COUNT)})
        self.expected = ["Page %d#%s" % (i, self.server.url("/p%d.html" % i)) for i in range(COUNT)]
        self.app = self.start()

    def assert_pages_opened(self, expected):
        # The open-page list is rewritten at every finished page: all of them, in tab order.
        wait_for(lambda: open_page_lines() == expected, timeout=90, what="every page to load, in order")
        self.assertEqual(self.app.exit(), 0)
        self.assertEqual(read_lines(data_file("OpenURLList2.lst")), expected)

    def test_one_start_forwarding_many_addresses(self):
        result = second_start(*[self.server.url("/p%d.html" % i) for i in range(COUNT)])
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assert_pages_opened(self.expected)

    def test_many_starts_one_after_another(self):
        for i in range(COUNT):
            result = second_start(self.server.url("/p%d.html" % i))
            self.assertEqual(result.returncode, 0, result.stderr)
        self.assert_pages_opened(self.expected)

    def test_addresses_typed_back_to_back(self):
        self.app.focus()
        # The keys follow one another without a pause.
        for i in range(3):
            xdotool("key", "--clearmodifiers", "F6")
            xdotool("type", "--delay", "0", self.server.url("/p%d.html" % i))
            xdotool("key", "--clearmodifiers", "Return")
        self.assert_pages_opened(self.expected[:3])


if __name__ == "__main__":
    main()
