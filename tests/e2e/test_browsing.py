"""The typical request, end to end: type, load, search, complete, leave; the orderly
shutdown on SIGTERM; what the engine is and what pages may reach of it."""

import os
import signal
import subprocess

from sablixtest import (BIN, PROGRAM, PageServer, SablixTestCase, data_file, open_page_lines, page, read_config,
                        read_lines, visible_windows, wait_for, write_config, xdotool, main)

# Reports what the page may use: WebAssembly ("works", "fails" or "undefined") and WebGL.
PROBE = page("Probe", """<script>
var wasm;
try {
  wasm = typeof WebAssembly === "undefined" ? "undefined"
       : (new WebAssembly.Instance(new WebAssembly.Module(new Uint8Array([0, 97, 115, 109, 1, 0, 0, 0]))), "works");
} catch (e) { wasm = "fails"; }
var gl = document.createElement("canvas").getContext("webgl") ? "on" : "off";
new Image().src = "/report?wasm=" + wasm + "&webgl=" + gl;
</script>""")

FIRST_ENGINE = "https://www.baidu.com/baidu?tn=sablix_dg&ie=utf-8&word="


class Browsing(SablixTestCase):
    def setUp(self):
        super().setUp()
        self.server = PageServer({
            "/a.html": page("页面甲", "<p>甲</p>"),
            "/b.html": page("Page B"),
            "/probe.html": PROBE,
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


    def test_version_says_what_it_runs_on(self):
        # Without a display: it starts no window and no engine.
        environment = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
        result = subprocess.run([BIN, "--version"], capture_output=True, text=True, timeout=60, env=environment)
        self.assertEqual(result.returncode, 0, result.stderr)
        lines = result.stdout.splitlines()
        self.assertEqual(len(lines), 5, result.stdout)
        patterns = [r"sablix \d+\.\d+\.\d+", r"Qt 6\.\d+\.\d+", r"Qt WebEngine 6\.\d+\.\d+",
                    r"Chromium \d+(\.\d+){3}", r"Chromium 安全补丁 \d+(\.\d+){3}（约 \d{4}-\d\d）"]
        for line, pattern in zip(lines, patterns):
            self.assertRegex(line, "^" + pattern + "$")

    def test_enhanced_security_takes_webassembly_away(self):
        def reports():
            return [dict(part.split("=") for part in r.split("?")[1].split("&"))
                    for r in self.server.requests if r.startswith("/report?")]

        write_config("[RunData]\nRunOne=1\nEnhancedSecurity=0\n")
        app = self.start(self.server.url("/probe.html"))
        plain = wait_for(reports, what="the page's report")[0]
        self.assertEqual(plain["wasm"], "works")

        # 设置 → 增强安全模式 (its fourth item), then yes to starting again.
        app.key("alt+o")
        wait_for(lambda: len(xdotool("search", "--onlyvisible", "--pid", str(app.proc.pid), check=False).split()) > 1,
                 what="the settings menu")
        app.key("Down", "Down", "Down", "Return")
        wait_for(lambda: xdotool("search", "--onlyvisible", "--name", "^询问$", check=False), what="the question")
        app.key("Return")
        self.assertEqual(app.wait(), 0)
        self.assertIn("EnhancedSecurity=1", read_config())

        # The new start opens the page again, now without WebAssembly.
        hardened = wait_for(lambda: reports()[1:], timeout=60, what="the reopened page's report")[0]
        self.assertIn(hardened["wasm"], ("undefined", "fails"))
        # Pages composed in software (as under Xvfb here) have no WebGL either way.
        if plain["webgl"] == "on":
            self.assertEqual(hardened["webgl"], "off")
        again = wait_for(visible_windows, what="the new start's window")
        pid = int(xdotool("getwindowpid", again[0]))
        os.kill(pid, signal.SIGTERM)
        wait_for(lambda: not os.path.exists("/proc/%d" % pid), what="the new start to end")

    def test_dark_pages_through_the_engine_kept_across_starts(self):
        def lightness(window):
            """The mean lightness (0 to 1) of the page, from a screenshot of the window: its
            lower part, above the status bar."""
            shot = os.path.join(os.environ.get("SABLIX_TEST_ROOT", "/tmp"), "page-%s.png" % window)
            subprocess.run(["import", "-window", window, shot], check=True)
            out = subprocess.run(["convert", shot, "-gravity", "South", "-crop", "100%x40%+0+30", "+repage",
                                  "-colorspace", "Gray", "-format", "%[fx:mean]", "info:"],
                                 capture_output=True, text=True, check=True).stdout
            return float(out)

        write_config("[RunData]\nRunOne=1\n")
        app = self.start(self.server.url("/a.html"))
        wait_for(lambda: "页面甲#" + self.server.url("/a.html") in open_page_lines(), what="the page")
        wait_for(lambda: lightness(app.current_window()) > 0.8, what="the page shown light")

        # 查看 → 深色网页 (its last item), then yes to starting again.
        app.key("alt+v")
        wait_for(lambda: len(xdotool("search", "--onlyvisible", "--pid", str(app.proc.pid), check=False).split()) > 1,
                 what="the view menu")
        app.key("Up", "Return")
        wait_for(lambda: xdotool("search", "--onlyvisible", "--name", "^询问$", check=False), what="the question")
        app.key("Return")
        self.assertEqual(app.wait(), 0)
        self.assertIn("DarkPages=1", read_config())

        # The new start opens the page again, and the engine renders it dark.
        again = wait_for(visible_windows, what="the new start's window")
        wait_for(lambda: lightness(again[0]) < 0.25, timeout=60, what="the page rendered dark")
        pid = int(xdotool("getwindowpid", again[0]))
        os.kill(pid, signal.SIGTERM)
        wait_for(lambda: not os.path.exists("/proc/%d" % pid), what="the new start to end")

if __name__ == "__main__":
    main()
