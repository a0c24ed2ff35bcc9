"""Passwords kept in the desktop's keyring, with a real Secret Service: gnome-keyring-daemon on
a private D-Bus session (dbus-run-session), its login keyring made and unlocked with a known
password. A login typed on 127.0.0.1 is offered, saved with 保存 and read back with
secret-tool; after a restart the saved user is chosen under the focused field and the server
receives the right user and password, while a frame of another origin on the page gets
nothing; the password is then in no file of the program, the home or the XDG folders (the
keyring's file included: it is encrypted). Without a Secret Service the bar says so once and
nothing is written."""

import os
import re
import signal
import subprocess
import urllib.parse
import uuid

from sablixtest import PageServer, SablixTestCase, page, wait_for, where_found, xdotool, main

TOKEN = "pw-" + uuid.uuid4().hex
USER = "alice"
KEYRING_PASSWORD = "known-keyring-password"
ROOT = os.environ["SABLIX_TEST_ROOT"]

# The user field covers the middle of the window (where the test clicks: a little above the
# middle of the page), the password under it.
FIELDS = ("<style>input{position:fixed;left:calc(50% - 150px);width:300px;height:30px}</style>"
          "<input name=user id=user autocomplete=username style='top:calc(50% - 70px);height:60px'>"
          "<input name=pass id=pass type=password style='top:calc(50% + 20px)'>")


def login_page(frame_url):
    return page("登录", "<form method=post action=/welcome>%s<button style='position:fixed;top:0'>登录</button></form>"
                "<iframe src='%s' style='position:fixed;left:0;top:40px;width:320px;height:120px'></iframe>"
                % (FIELDS, frame_url))


# A login sent by the page's own script: no form is sent, the fields go when it is done.
SCRIPTED = page("脚本登录", "<div id=box>%s</div><script>"
                "document.getElementById('pass').addEventListener('keydown', function (e) {"
                " if (e.key !== 'Enter') return;"
                " var body = 'user=' + encodeURIComponent(user.value) + '&pass=' + encodeURIComponent(pass.value);"
                " fetch('/api', {method: 'POST', body: body}).then(function () {"
                "  document.getElementById('box').textContent = '已登录'; document.title = '已登录'; });"
                "});</script>" % FIELDS)

# A page that asks the user name first, and the password on the next page.
STEP1 = page("第一步", "<form method=post action=/step2.html><input name=identifier type=email autocomplete=username"
             " style='position:fixed;left:calc(50% - 150px);width:300px;top:calc(50% - 70px);height:60px'></form>")
STEP2 = page("第二步", "<form method=post action=/welcome><input name=pass type=password"
             " style='position:fixed;left:calc(50% - 150px);width:300px;top:calc(50% - 70px);height:60px'></form>")

# A login form of another origin in a frame: it reports what its fields hold, again and again.
FRAME = page("frame", "<form><input name=user autocomplete=username><input name=pass type=password></form>"
             "<script>setInterval(function () { var f = document.forms[0];"
             " fetch('/report?u=' + encodeURIComponent(f.user.value) + '&p=' + encodeURIComponent(f.pass.value)); },"
             " 100);</script>")


def read(path):
    with open(path) as f:
        return f.read()


class Bus:
    """A private session bus (dbus-run-session) whose one client is `command`; the bus ends
    when the command does. Its address and the command's pid are read from files."""

    def __init__(self, command, config=None, stdin=b""):
        self.folder = os.path.join(ROOT, "bus-" + uuid.uuid4().hex[:8])
        os.makedirs(self.folder)
        script = os.path.join(self.folder, "run.sh")
        with open(script, "w") as f:
            f.write('echo "$DBUS_SESSION_BUS_ADDRESS" > "%s/address.tmp" && mv "%s/address.tmp" "%s/address"\n'
                    'echo $$ > "%s/pid"\nexec %s\n' % ((self.folder,) * 4 + (command,)))
        args = ["dbus-run-session"] + (["--config-file", config] if config else []) + ["--", "sh", script]
        with open(os.path.join(self.folder, "log"), "wb") as log:
            self.proc = subprocess.Popen(args, stdin=subprocess.PIPE, stdout=subprocess.DEVNULL, stderr=log)
        self.proc.stdin.write(stdin)
        self.proc.stdin.close()
        self.address = wait_for(lambda: read(os.path.join(self.folder, "address")).strip(), what="the bus")
        self.env = dict(os.environ, DBUS_SESSION_BUS_ADDRESS=self.address)

    def owned(self, name):
        out = subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
                              "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner", "string:" + name],
                             env=self.env, capture_output=True, text=True).stdout
        return "boolean true" in out

    def close(self):
        if self.proc.poll() is None:
            os.kill(int(read(os.path.join(self.folder, "pid"))), 15)
            self.proc.wait(30)


def secret_items(env):
    """What secret-tool finds of ours: [{attribute: value, "secret": ...}]."""
    out = subprocess.run(["secret-tool", "search", "--all", "--unlock", "xdg:schema", "org.sablix.Login"],
                         env=env, capture_output=True, text=True)
    # Each item's label and secret go to the output, its attributes to the error output, in
    # the same order: an item's attributes end where a name comes again.
    items, attributes = [], []
    for line in out.stdout.splitlines():
        if line.startswith("["):
            items.append({})
        elif " = " in line and items:
            key, value = line.split(" = ", 1)
            items[-1][key] = value
    for line in out.stderr.splitlines():
        if line.startswith("attribute.") and " = " in line:
            key, value = line[len("attribute."):].split(" = ", 1)
            if not attributes or key in attributes[-1]:
                attributes.append({})
            attributes[-1][key] = value
    for item, found in zip(items, attributes):
        item.update(found)
    return items


class Passwords(SablixTestCase):
    def setUp(self):
        super().setUp()
        self.bus = None
        os.environ["QT_LOGGING_RULES"] = "sablix.passwords.debug=true"

    def tearDown(self):
        super().tearDown()
        os.environ.pop("QT_LOGGING_RULES", None)
        os.environ.pop("DBUS_SESSION_BUS_ADDRESS", None)
        if self.bus:
            self.bus.close()

    def click_at(self, x, y):
        xdotool("mousemove", str(x), str(y), "click", "1")

    def bar_button(self, app, name, offer=1):
        """Where the save bar of the `offer`th offer has its button `name`, as last drawn."""
        def drawn():
            log = app.log().split("offering to keep")
            if len(log) <= offer:
                return None
            places = re.findall(r"save bar \d drawn:(.*)", log[offer])
            match = re.search(name + r"@(\d+),(\d+)", places[-1]) if places else None
            return (int(match.group(1)), int(match.group(2))) if match else None
        return wait_for(drawn, what="the save bar's %s (log: %s, posts %s)" % (name, app.log()[-1500:], [p[0] for p in self.server.posts]))

    def save_offered(self, app, offer, env, items):
        self.click_at(*self.bar_button(app, "PasswordSave", offer))
        return wait_for(lambda: len(secret_items(env)) == items and secret_items(env), what="the login kept")

    def shown(self, app, path, count=None):
        """Goes to `path` (unless None) and waits for its login fields to be reported (the
        `count`th report in this run)."""
        count = count or app.log().count("login fields shown in %s " % self.origin) + 1
        if path:
            app.go(self.server.url(path))
        wait_for(lambda: app.log().count("login fields shown in %s " % self.origin) >= count,
                 what="the login fields of " + str(path))

    def focus_field(self, app):
        """Clicks the field in the middle of the page until the page says it has the focus (a
        page just shown may not take clicks yet)."""
        before = app.log().count("frame message: focus")
        for _ in range(30):
            app.click_page()
            try:
                return wait_for(lambda: app.log().count("frame message: focus") > before, timeout=1.0)
            except AssertionError:
                pass
        self.fail("the field never took the focus")

    def sign_in(self, app, path, user, password):
        self.shown(app, path)
        self.focus_field(app)
        if user:
            app.type(user)
            app.key("Tab")
        app.type(password)
        app.key("Return")

    def choose_first_name(self, app, names):
        match = wait_for(lambda: re.search(r"login list shown: (\d+) names at (\d+),(\d+), rows of (\d+)", app.log()),
                         what="the list of saved names")
        self.assertEqual(match.group(1), str(names))
        self.click_at(int(match.group(2)) + 20, int(match.group(3)) + int(match.group(4)) // 2)

    def posted(self, path):
        return [urllib.parse.parse_qs(body) for asked, body in self.server.posts if asked == path]

    def test_sign_in_once_with_a_real_keyring(self):
        self.bus = Bus("gnome-keyring-daemon --foreground --unlock --components=secrets",
                       stdin=KEYRING_PASSWORD.encode())
        wait_for(lambda: self.bus.owned("org.freedesktop.secrets"), what="the keyring on the bus")
        os.environ["DBUS_SESSION_BUS_ADDRESS"] = self.bus.address
        other = PageServer({"/frame.html": FRAME, "/report": "ok"}, no_store=True)
        self.addCleanup(other.close)
        self.server = PageServer({"/login.html": login_page(other.url("/frame.html")), "/welcome": page("欢迎", "欢迎"),
                                  "/script.html": SCRIPTED, "/api": "ok", "/step1.html": STEP1, "/step2.html": STEP2},
                                 no_store=True)
        self.origin = origin = "http://127.0.0.1:%d" % self.server.port

        # Typed and sent: the bar offers to keep it; 保存 puts one item into the keyring.
        app = self.start()
        app.go(self.server.url("/login.html"))
        wait_for(lambda: len([r for r in other.requests if r.startswith("/report")]) > 2, what="the page and its frame")
        self.focus_field(app)
        app.type(USER)
        app.key("Tab")
        app.type(TOKEN)
        app.key("Return")
        wait_for(lambda: self.posted("/welcome"), what="the login sent")
        self.assertEqual(self.posted("/welcome")[0], {"user": [USER], "pass": [TOKEN]})
        items = self.save_offered(app, 1, self.bus.env, 1)
        item = items[0]
        self.assertEqual(item["secret"], TOKEN)
        self.assertEqual(item["label"], "sablix: 127.0.0.1")
        self.assertEqual((item["origin"], item["scheme"], item["host"], item["port"], item["action"], item["username"]),
                         (origin, "http", "127.0.0.1", str(self.server.port), origin, USER))

        # A login the page's script sends (the fields go away once it is done), and a page that
        # asks the user name first and the password on the next page.
        self.sign_in(app, "/script.html", "bob", TOKEN + "-script")
        items = self.save_offered(app, 2, self.bus.env, 2)
        self.assertEqual([(i["username"], i["secret"]) for i in items if i["username"] == "bob"],
                         [("bob", TOKEN + "-script")])
        step2 = app.log().count("login fields shown in %s " % origin) + 2
        self.sign_in(app, "/step1.html", "", "carol@example.com")
        self.shown(app, None, step2)
        self.focus_field(app)
        app.type(TOKEN + "-steps")
        app.key("Return")
        items = self.save_offered(app, 3, self.bus.env, 3)
        self.assertEqual([(i["username"], i["secret"]) for i in items if i["username"] == "carol@example.com"],
                         [("carol@example.com", TOKEN + "-steps")])
        self.assertEqual(app.exit(), 0)

        # Again after a restart: the saved name under the focused field fills both fields.
        app = self.start()
        app.go(self.server.url("/login.html"))
        reports_before = len(other.requests)
        wait_for(lambda: len(other.requests) > reports_before + 2, what="the page and its frame again")
        self.focus_field(app)
        self.choose_first_name(app, 3)
        wait_for(lambda: "a login was filled" in app.log(), what="the fields filled")
        # The frame of another origin goes on reporting its fields after the fill: never the login.
        seen = len(other.requests)
        wait_for(lambda: len(other.requests) > seen + 3, what="the frame's later reports")
        leaked = [r for r in other.requests if TOKEN in urllib.parse.unquote(r) or USER in r]
        self.assertEqual(leaked, [])
        sent = len(self.posted("/welcome"))
        app.key("Return")
        wait_for(lambda: len(self.posted("/welcome")) == sent + 1, what="the filled login sent")
        self.assertEqual(self.posted("/welcome")[-1], {"user": [USER], "pass": [TOKEN]})
        # A filled login is not offered again.
        self.assertNotIn("offering to keep", app.log())

        # Another password typed for the saved user: the bar offers 更新密码, which replaces it.
        self.sign_in(app, "/login.html", USER, TOKEN + "-new")
        self.click_at(*self.bar_button(app, "PasswordSave", 1))
        self.assertEqual(re.findall(r"save bar (\d) drawn", app.log().split("offering to keep")[1])[:1], ["1"])
        wait_for(lambda: [i["secret"] for i in secret_items(self.bus.env) if i["username"] == USER] == [TOKEN + "-new"],
                 what="the password updated")
        self.assertEqual(len(secret_items(self.bus.env)), 3)
        self.assertEqual(app.exit(), 0)

        # The password is in no file: not the program's, the home's or the XDG folders', and
        # not in clear in the keyring's own file, which is there.
        keyring = os.path.join(os.environ["XDG_DATA_HOME"], "keyrings", "login.keyring")
        self.assertTrue(os.path.isfile(keyring))
        with open(keyring, "rb") as f:
            self.assertNotIn(TOKEN.encode(), f.read())
        self.assertEqual(where_found({"password": TOKEN}), {})

    def test_a_keyring_that_does_not_answer_holds_nothing_up(self):
        # The real service, stopped: it takes calls and answers none (a D-Bus call waits 25 s).
        self.bus = Bus("gnome-keyring-daemon --foreground --unlock --components=secrets",
                       stdin=KEYRING_PASSWORD.encode())
        wait_for(lambda: self.bus.owned("org.freedesktop.secrets"), what="the keyring on the bus")
        os.environ["DBUS_SESSION_BUS_ADDRESS"] = self.bus.address
        self.server = PageServer({"/login.html": login_page("about:blank"), "/next.html": page("下一页", "下一页"),
                                  "/welcome": page("欢迎", "欢迎")}, no_store=True)
        self.origin = "http://127.0.0.1:%d" % self.server.port
        subprocess.run(["secret-tool", "store", "--label=sablix: 127.0.0.1", "xdg:schema", "org.sablix.Login", "origin",
                        self.origin, "action", self.origin, "username", USER], input=TOKEN, text=True, env=self.bus.env,
                       check=True)
        daemon = int(read(os.path.join(self.bus.folder, "pid")))
        app = self.start()
        os.kill(daemon, signal.SIGSTOP)
        self.addCleanup(subprocess.run, ["kill", "-CONT", str(daemon)], stderr=subprocess.DEVNULL)
        self.shown(app, "/login.html")
        self.focus_field(app)
        # The focused field asked the keyring for its names; the window goes on meanwhile.
        app.go(self.server.url("/next.html"))
        wait_for(lambda: "/next.html" in self.server.requests, timeout=12.0, what="the next page while the keyring hangs")
        os.kill(daemon, signal.SIGCONT)
        wait_for(lambda: "the keyring answered for " + self.origin in app.log(), what="the keyring's late answer")
        # For a field on a page left since: no list of names over the next page. What it said
        # is kept: back on the login page, the focused field shows the name at once.
        self.assertNotIn("login list shown", app.log())
        self.shown(app, "/login.html")
        self.focus_field(app)
        self.choose_first_name(app, 1)
        wait_for(lambda: "a login was filled" in app.log(), what="the fields filled")
        app.key("Return")
        wait_for(lambda: self.posted("/welcome"), what="the filled login sent")
        self.assertEqual(self.posted("/welcome")[0], {"user": [USER], "pass": [TOKEN]})
        self.assertEqual(app.exit(), 0)

    def test_without_a_secret_service_the_bar_says_so_once(self):
        # A bus with no service and nothing it could start.
        config = os.path.join(ROOT, "bare-bus.conf")
        with open(config, "w") as f:
            f.write("<!DOCTYPE busconfig PUBLIC '-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN'"
                    " 'http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd'>\n<busconfig><type>session</type>"
                    "<listen>unix:tmpdir=%s</listen><auth>EXTERNAL</auth><policy context='default'>"
                    "<allow send_destination='*' eavesdrop='true'/><allow eavesdrop='true'/><allow own='*'/>"
                    "</policy></busconfig>\n" % ROOT)
        self.bus = Bus("sleep infinity", config=config)
        os.environ["DBUS_SESSION_BUS_ADDRESS"] = self.bus.address
        self.server = PageServer({"/login.html": login_page("about:blank"), "/welcome": page("欢迎", "欢迎")},
                                 no_store=True)
        app = self.start()
        for attempt in (1, 2):
            app.go(self.server.url("/login.html"))
            wait_for(lambda: self.server.requests.count("/login.html") == attempt, what="the login page")
            self.focus_field(app)
            app.type(USER)
            app.key("Tab")
            app.type(TOKEN)
            app.key("Return")
            wait_for(lambda: len(self.posted("/welcome")) == attempt, what="the login sent")
            wait_for(lambda: app.log().count("no keyring: a password was not kept") == attempt,
                     what="the login not kept")
        self.assertEqual(app.log().count("said: no keyring"), 1)
        self.assertEqual(app.exit(), 0)
        self.assertEqual(where_found({"password": TOKEN}), {})


if __name__ == "__main__":
    main()
