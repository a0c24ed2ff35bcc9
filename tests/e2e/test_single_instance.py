"""The single-instance rule with real processes: a first run, forwarding in order, bringing
the window up, RunOne "0", a listener fed garbage, and the bounded wait for a listener."""

import fcntl
import os
import socket
import subprocess
import time
import unittest

from sablixtest import (BIN, PageServer, Sablix, data_file, page, read_lines, reset_folders, visible_windows,
                        wait_for, write_config, main)


def second_start(*args, cwd=None, timeout=60):
    return subprocess.run([BIN, *args], cwd=cwd, capture_output=True, text=True, timeout=timeout)


class SingleInstance(unittest.TestCase):
    def setUp(self):
        reset_folders()
        self.server = PageServer({"/one.html": page("One"), "/two.html": page("Two"), "/file.html": page("File")})
        self.apps = []

    def tearDown(self):
        for app in self.apps:
            app.stop()
        self.server.close()

    def start(self, *args):
        app = Sablix(*args)
        self.apps.append(app)
        app.wait_window()
        return app

    def test_first_run_lets_both_instances_run(self):
        first = self.start()
        # With a window of its own, the second start has decided not to forward.
        second = self.start()
        self.assertTrue(first.alive() and second.alive())
        self.assertEqual(len(visible_windows()), 2)

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
