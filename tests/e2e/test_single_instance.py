"""The single-instance rule with real processes: a first run, a first start's own addresses,
forwarding in order and whole, bringing the window up, RunOne "0", a listener fed garbage,
and the bounded wait for a listener."""

import fcntl
import os
import socket
import subprocess
import time

from sablixtest import (BIN, PageServer, SablixTestCase, data_file, open_page_lines, page, read_config, read_lines,
                        reset_folders, visible_windows, wait_for, write_config, main)


def second_start(*args, cwd=None, timeout=60):
    return subprocess.run([BIN, *args], cwd=cwd, capture_output=True, text=True, timeout=timeout)


class SingleInstance(SablixTestCase):
    def setUp(self):
        super().setUp()
        self.server = PageServer({"/one.html": page("One"), "/two.html": page("Two"), "/file.html": page("File")})

    def test_a_first_run_keeps_one_window(self):
        # A fresh program folder: no Config.ini before the first start.
        first = self.start()
        self.assertIn("RunOne=1", wait_for(read_config, what="Config.ini"))
        result = second_start(self.server.url("/one.html"))
        self.assertEqual(result.returncode, 0, result.stderr)
        # Handed over and opened by the first: its page was asked for.
        wait_for(lambda: "/one.html" in self.server.requests, what="the forwarded page")
        self.assertTrue(first.alive())
        self.assertEqual(len(visible_windows()), 1)
        self.assertEqual(first.exit(), 0)
        self.assertEqual(read_lines(data_file("Url.lst")), [self.server.url("/one.html")])

    def test_a_first_start_opens_its_own_addresses_in_order(self):
        folder = os.path.join(os.environ["SABLIX_TEST_ROOT"], "files")
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "local.html"), "w") as f:
            f.write(page("Local"))
        for args, opened in (
                ([self.server.url("/one.html")], [self.server.url("/one.html")]),
                ([self.server.url("/two.html"), "local.html", self.server.url("/one.html")],
                 [self.server.url("/two.html"), "file://" + os.path.join(folder, "local.html"),
                  self.server.url("/one.html")])):
            with self.subTest(args=args):
                reset_folders()
                self.server.requests.clear()
                app = self.start(*args, cwd=folder)
                served = [a for a in args if a.startswith("http")]
                wait_for(lambda: all(any(r == a[a.index("/", 8):] for r in self.server.requests) for a in served),
                         what="the pages of the command line")
                wait_for(lambda: len(open_page_lines()) == len(args), what="every page in the open-page list")
                self.assertEqual(app.exit(), 0)
                self.assertEqual(read_lines(data_file("Url.lst")), opened)

    def test_a_long_address_is_handed_over_whole(self):
        first = self.start()
        address = self.server.url("/one.html?q=" + "".join("%x" % (i % 16) for i in range(2000)))
        self.assertGreaterEqual(len(address), 2000)
        result = second_start(address)
        self.assertEqual(result.returncode, 0, result.stderr)
        # The page was asked for at the whole address, not at its first 255 characters.
        wait_for(lambda: any(r.startswith("/one.html") for r in self.server.requests), what="the page")
        self.assertEqual([r for r in self.server.requests if r.startswith("/one.html")],
                         [address[len(self.server.url("")):]])
        self.assertEqual(first.exit(), 0)
        self.assertEqual(read_lines(data_file("Url.lst")), [address])

    def test_arguments_are_forwarded_in_order(self):
        write_config("[RunData]\nRunOne=1\n")
        first = self.start()
        folder = os.path.join(os.environ["SABLIX_TEST_ROOT"], "files")
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "local.html"), "w") as f:
            f.write(page("Local"))
        result = second_start(self.server.url("/one.html"), "abc", self.server.url("/two.html"), "local.html",
                              cwd=folder)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(len(visible_windows()), 1)
        # Forwarded again at once: the same address as the last one opens nothing more.
        # It returns once the address was handled.
        self.assertEqual(second_start("local.html", cwd=folder).returncode, 0)
        self.assertEqual(first.exit(), 0)
        self.assertEqual(read_lines(data_file("Url.lst")), [
            self.server.url("/one.html"),
            self.server.url("/two.html"),
            "file://" + os.path.join(folder, "local.html"),
        ])

    def test_without_arguments_the_window_only_comes_up(self):
        write_config("[RunData]\nRunOne=1\n")
        first = self.start()
        # It returns once its message was handled.
        result = second_start()
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertTrue(first.alive())
        self.assertEqual(len(visible_windows()), 1)
        self.assertEqual(first.exit(), 0)
        self.assertEqual(read_lines(data_file("Url.lst")), [])

    def test_run_one_zero_starts_a_full_second_program(self):
        write_config("[RunData]\nRunOne=0\n")
        first = self.start()
        # With a window of its own, the second start has decided not to forward.
        second = self.start(self.server.url("/one.html"))
        self.assertTrue(first.alive() and second.alive())
        self.assertEqual(len(visible_windows()), 2)

    def test_a_listener_fed_garbage_keeps_working(self):
        write_config("[RunData]\nRunOne=1\n")
        first = self.start()
        path = os.path.join(os.environ["XDG_RUNTIME_DIR"], "sablix.socket")
        for garbage in (b"\xff\xff" + b"x" * 5000, b"\x00\x10half", os.urandom(3000)):
            client = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
            client.connect(path)
            try:
                client.sendall(garbage)
            except OSError:
                pass
            client.close()
        # A client that goes quiet mid-message does not block the others.
        stuck = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        stuck.connect(path)
        stuck.sendall(b"\x00\x40http://")
        result = second_start(self.server.url("/one.html"))
        self.assertEqual(result.returncode, 0, result.stderr)
        stuck.close()
        self.assertTrue(first.alive())
        self.assertEqual(first.exit(), 0)
        self.assertEqual(read_lines(data_file("Url.lst")), [self.server.url("/one.html")])

    def test_the_wait_for_a_listener_is_bounded(self):
        write_config("[RunData]\nRunOne=1\n")
        # Another instance holds the lock but never listens.
        with open(os.path.join(os.environ["XDG_RUNTIME_DIR"], "sablix.lock"), "a") as lock:
            fcntl.flock(lock, fcntl.LOCK_SH)
            started = time.monotonic()
            result = second_start(self.server.url("/one.html"), timeout=90)
            waited = time.monotonic() - started
        self.assertNotEqual(result.returncode, 0)
        self.assertGreaterEqual(waited, 29)
        self.assertLess(waited, 45)
        self.assertEqual(len(result.stderr.strip().splitlines()), 1, result.stderr)


if __name__ == "__main__":
    main()
