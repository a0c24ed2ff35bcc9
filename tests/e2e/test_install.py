"""The installed tree: installs into a scratch prefix, checks what a desktop needs from it,
starts the installed program and opens pages in it, the second through the desktop entry's
command line, which reaches the running window."""

import configparser
import os
import shlex
import struct
import subprocess
import sys

PREFIX = os.path.join(os.environ["SABLIX_TEST_ROOT"], "prefix")
subprocess.run(["cmake", "--install", os.environ["SABLIX_BUILD_DIR"], "--prefix", PREFIX],
               check=True, capture_output=True)
# The helpers start whatever SABLIX_BIN names: the installed program.
os.environ["SABLIX_BIN"] = os.path.join(PREFIX, "bin", "sablix")

from sablixtest import PageServer, SablixTestCase, data_file, open_page_lines, page, read_lines, wait_for, \
    write_config, main  # noqa: E402


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    assert head[:8] == b"\x89PNG\r\n\x1a\n", path
    return struct.unpack(">II", head[16:24])


class Installed(SablixTestCase):
    def setUp(self):
        super().setUp()
        self.server = PageServer({"/one.html": page("Installed one"), "/two.html": page("Installed two")})

    def test_the_tree_has_what_a_desktop_needs(self):
        entry = configparser.ConfigParser(interpolation=None)
        entry.optionxform = str
        with open(os.path.join(PREFIX, "share", "applications", "sablix.desktop"), encoding="utf-8") as f:
            entry.read_file(f)
        desktop = entry["Desktop Entry"]
        self.assertEqual(desktop["Name"], "sablix 浏览器")
        self.assertEqual(desktop["Exec"], "sablix %U")
        self.assertEqual(desktop["MimeType"], "text/html;x-scheme-handler/http;x-scheme-handler/https;")
        self.assertEqual(desktop["Categories"], "Network;WebBrowser;")
        self.assertEqual(desktop["Icon"], "sablix")
        for size in (16, 24, 32, 48, 64, 128, 256):
            icon = os.path.join(PREFIX, "share", "icons", "hicolor", "%dx%d" % (size, size), "apps", "sablix.png")
            self.assertEqual(png_size(icon), (size, size))
        self.assertTrue(os.path.exists(os.path.join(PREFIX, "share", "icons", "hicolor", "scalable", "apps",
                                                    "sablix.svg")))
        # The spelling dictionary the engine reads, converted from Debian's when built.
        bdic = os.path.join(PREFIX, "share", "sablix", "dictionaries", "en-US.bdic")
        with open(bdic, "rb") as f:
            self.assertEqual(f.read(4), b"BDic")
        # Both programs find their library in the prefix, not in the build tree.
        for program in ("sablix", "sablix-filters"):
            linked = subprocess.run(["ldd", os.path.join(PREFIX, "bin", program)], capture_output=True,
                                    text=True).stdout
            line = [each for each in linked.splitlines() if "libsablixcore" in each]
            self.assertEqual(len(line), 1, linked)
            found = line[0].split("=>")[1].split("(")[0].strip()
            self.assertEqual(os.path.realpath(found), os.path.join(PREFIX, "lib", "sablix", "libsablixcore.so"))
        tool = subprocess.run([os.path.join(PREFIX, "bin", "sablix-filters"), "--help"], capture_output=True)
        self.assertNotIn(b"error while loading shared libraries", tool.stderr)

    def test_the_installed_program_opens_pages_and_takes_addresses_from_the_desktop(self):
        write_config("[RunData]\nRunOne=1\n")
        self.app = self.start()
        self.app.go(self.server.url("/one.html"))
        wait_for(lambda: "Installed one#" + self.server.url("/one.html") in open_page_lines(),
                 what="the first page: " + self.app.log(), timeout=40)
        maps = self.app.maps()
        self.assertIn(os.path.join(PREFIX, "lib", "sablix", "libsablix-webengine.so"), maps)
        self.assertIn(os.path.join(PREFIX, "lib", "sablix", "libsablixcore.so"), maps)
        self.assertNotIn(os.environ["SABLIX_BUILD_DIR"], maps)

        # What a desktop runs for an address handed to the browser.
        command = [arg.replace("%U", self.server.url("/two.html")) for arg in shlex.split("sablix %U")]
        env = dict(os.environ, PATH=os.path.join(PREFIX, "bin") + os.pathsep + os.environ["PATH"])
        second = subprocess.run(command, env=env, capture_output=True, text=True, timeout=60)
        self.assertEqual(second.returncode, 0, second.stderr)
        wait_for(lambda: "Installed two#" + self.server.url("/two.html") in open_page_lines(),
                 what="the forwarded page", timeout=40)
        self.assertTrue(self.app.alive())
        self.assertEqual(self.app.exit(), 0)
        self.assertEqual(read_lines(data_file("Url.lst")), [self.server.url("/one.html"), self.server.url("/two.html")])


if __name__ == "__main__":
    sys.exit(main())
