"""kill -9 soak: starts sablix on a scratch program folder, makes it write (pages finishing,
the address history, the closed list, window moves, the browsing history), kills it at a
random moment, checks every file it keeps, and starts it again.
    soak.py SABLIX RUNS [SEED]
Prints the runs, the starts that failed and the files found corrupt or truncated; exits
non-zero when there is any. Runs under run-isolated.sh and with-xvfb.sh."""

import os
import random
import sqlite3
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "e2e"))
os.environ.setdefault("SABLIX_BIN", sys.argv[1])

from sablixtest import PROGRAM, PageServer, Sablix, page, visible_windows, xdotool  # noqa: E402

KNOWN_KEYS = None


def check_list(path, addresses):
    """A list file: complete lines (CR LF after each), each decodable, only what was written."""
    with open(path, "rb") as f:
        data = f.read()
    if not data:
        return None
    if not data.endswith(b"\r\n"):
        return "truncated (no line end at the end)"
    try:
        lines = data.decode("gb18030").split("\r\n")[:-1]
    except UnicodeDecodeError:
        return "not GB18030"
    for line in lines:
        if "\r" in line or "\n" in line:
            return "mixed line ends"
        address = line.split("#", 1)[1] if "#" in line else line
        if address and address not in addresses and not address.startswith("about:"):
            return "an entry that was never written: %r" % line
    return None


def check_config(path):
    with open(path, "rb") as f:
        data = f.read()
    if not data:
        return "empty"
    if not data.endswith(b"\n"):
        return "truncated"
    text = data.decode("gb18030", errors="strict")
    for line in text.replace("\r\n", "\n").split("\n")[:-1]:
        if line and not line.startswith("[") and "=" not in line:
            return "a broken line: %r" % line
    if "[RunData]" not in text:
        return "no RunData section"
    return None


def check_history(addresses):
    """The history file: it passes SQLite's checks, holds only pages that were visited, and
    was never found damaged (moved aside)."""
    folder = os.path.join(os.environ["XDG_DATA_HOME"], "sablix")
    problems = ["%s: moved aside" % name for name in os.listdir(folder) if name.startswith("History-")] \
        if os.path.isdir(folder) else []
    path = os.path.join(folder, "History.sqlite")
    if not os.path.exists(path):
        return problems
    db = sqlite3.connect(path)
    try:
        result = db.execute("PRAGMA integrity_check").fetchone()[0]
        if result != "ok":
            problems.append("History.sqlite: %s" % result)
        for (address,) in db.execute("SELECT address FROM pages"):
            if address not in addresses:
                problems.append("History.sqlite: an entry that was never visited: %r" % address)
    except sqlite3.DatabaseError as error:
        problems.append("History.sqlite: %s" % error)
    finally:
        db.close()
    return problems


def check_files(addresses):
    problems = check_history(addresses)
    for folder, _, names in os.walk(PROGRAM):
        for name in names:
            path = os.path.join(folder, name)
            relative = os.path.relpath(path, PROGRAM)
            if name.endswith(".lst"):
                problem = check_list(path, addresses)
            elif name == "Config.ini":
                problem = check_config(path)
            elif relative.startswith("Temp"):
                problem = None
            else:
                problem = "a file left behind"
            if problem:
                problems.append("%s: %s" % (relative, problem))
    return problems


def main():
    runs = int(sys.argv[2])
    rng = random.Random(int(sys.argv[3]) if len(sys.argv) > 3 else 1)
    pages = {"/%d.html" % i: page("页 %d" % i) for i in range(40)}
    server = PageServer(pages)
    addresses = {server.url(p) for p in pages}
    with open(os.path.join(PROGRAM, "Config.ini"), "wb") as f:
        f.write(b"[RunData]\r\nRunOne=1\r\n")

    failed_starts = 0
    corrupt = []
    # How often each kept file changed between two kills: the soak has to make it write.
    versions = {}
    last = {}
    for run in range(runs):
        app = Sablix()
        try:
            # No settling: the soak does not need the keyboard at once.
            app.wait_window(timeout=30)
        except AssertionError:
            failed_starts += 1
            app.proc.kill()
            app.proc.wait()
            continue
        deadline = time.monotonic() + rng.uniform(0.1, 1.2)
        while time.monotonic() < deadline:
            action = rng.random()
            if action < 0.5:
                subprocess.run([sys.argv[1], server.url("/%d.html" % rng.randrange(40))], timeout=30,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            elif action < 0.7:
                # Closing a page writes the closed list.
                xdotool("windowfocus", app.current_window(), check=False)
                xdotool("key", "--clearmodifiers", "ctrl+w", check=False)
            elif action < 0.85:
                xdotool("windowmove", app.current_window(), str(rng.randrange(300)), str(rng.randrange(200)),
                        check=False)
            else:
                xdotool("windowsize", app.current_window(), str(500 + rng.randrange(400)),
                        str(400 + rng.randrange(300)), check=False)
            time.sleep(rng.uniform(0, 0.05))
        app.proc.kill()
        app.proc.wait()
        for problem in check_files(addresses):
            corrupt.append("run %d: %s" % (run + 1, problem))
        for folder, _, names in os.walk(PROGRAM):
            for name in names:
                path = os.path.join(folder, name)
                with open(path, "rb") as f:
                    content = f.read()
                relative = os.path.relpath(path, PROGRAM)
                if last.get(relative) != content:
                    versions[relative] = versions.get(relative, 0) + 1
                    last[relative] = content
        if (run + 1) % 50 == 0:
            print("  %d runs, %d failed starts, %d corrupt files" % (run + 1, failed_starts, len(corrupt)), flush=True)
    server.close()
    print("soak: %d kills, %d failed starts, %d corrupt or truncated files" % (runs, failed_starts, len(corrupt)))
    print("  versions seen between kills: " + ", ".join("%s %d" % item for item in sorted(versions.items())))
    for line in corrupt[:20]:
        print("  " + line)
    return 1 if failed_starts or corrupt else 0


if __name__ == "__main__":
    sys.exit(main())
