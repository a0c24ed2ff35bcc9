"""The global hot keys with real key presses: Y hides and shows the window (with and without
Alt), K ends the program at once and writes nothing; a second program, whose grabs another
already holds, runs on without a word."""

import os
import time
import unittest

from sablixtest import (PageServer, Sablix, data_file, open_page_lines, page, read_config, reset_folders,
                        visible_windows, wait_for, write_config, xdotool, main)


def press(keys):
    # At the root: the keys are global, whatever window has the keyboard.
    # What follows waits for the key's effect.
    xdotool("key", "--clearmodifiers", keys)


class HotKeys(unittest.TestCase):
    def setUp(self):
        reset_folders()
        self.server = PageServer({"/a.html": page("Page A")})
        self.apps = []

    def tearDown(self):
        for app in self.apps:
            app.stop()
        self.server.close()

    def start(self):
        app = Sablix()
        self.apps.append(app)
        app.wait_window()
        return app

    def test_y_hides_and_shows(self):
        write_config("[RunData]\nWindowMax=0\n")
        app = self.start()
        for keys in ("ctrl+y", "ctrl+alt+y"):
            press(keys)
            wait_for(lambda: not visible_windows(), what="the window to hide (%s)" % keys)
            press(keys)
            wait_for(lambda: len(visible_windows()) == 1, what="the window to come back (%s)" % keys)
        self.assertTrue(app.alive())
        self.assertEqual(app.exit(), 0)

    def test_k_ends_at_once_writing_nothing(self):
        write_config("[RunData]\nWindowMax=0\nTrueClose=0\n")
        app = self.start()
        app.go(self.server.url("/a.html"))
        wait_for(lambda: open_page_lines(), what="the page to load")
        before = {name: open(data_file(name), "rb").read() for name in os.listdir(os.path.join(os.environ["SABLIX_HOME"], "Data"))}
        config = read_config()
        press("ctrl+k")
        self.assertEqual(app.wait(10), 0)
        self.assertEqual(read_config(), config)
        self.assertIn("TrueClose=0", config)
        after = {name: open(data_file(name), "rb").read() for name in os.listdir(os.path.join(os.environ["SABLIX_HOME"], "Data"))}
        self.assertEqual(after, before)
        # Url.lst is written by an orderly close only.
        self.assertNotIn("Url.lst", after)

    def test_ctrl_alt_k_as_well(self):
        app = self.start()
        press("ctrl+alt+k")
        self.assertEqual(app.wait(10), 0)

    def test_a_second_program_runs_on_without_the_keys(self):
        write_config("[RunData]\nRunOne=0\nWindowMax=0\n")
        first = self.start()
        # With a window of its own, the second start has decided not to forward.
        second = self.start()
        self.assertTrue(first.alive() and second.alive())
        # The first holds the keys: K ends it, the second stays.
        press("ctrl+k")
        self.assertEqual(first.wait(10), 0)
        # Still there and still answering: it leaves by its own key, after any key before it.
        self.assertTrue(second.alive())
        self.assertEqual(second.exit(), 0)


if __name__ == "__main__":
    main()
