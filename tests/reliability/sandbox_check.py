"""Run as an ordinary user: starts sablix with one page and reads from /proc whether its
renderers are sandboxed (their own user and PID namespaces, a seccomp filter, no new
privileges). Prints one line per renderer and a summary; exits non-zero when one is not.
    sandbox_check.py SABLIX"""

import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "e2e"))
os.environ.setdefault("SABLIX_BIN", sys.argv[1])

from sablixtest import PageServer, Sablix, open_page_lines, page, wait_for  # noqa: E402
from proctree import tree  # noqa: E402


def status(pid):
    fields = {}
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            key, _, value = line.partition(":")
            fields[key] = value.strip()
    return fields


def namespace(pid, kind):
    return os.readlink("/proc/%d/ns/%s" % (pid, kind))


def main():
    server = PageServer({"/a.html": page("Sandboxed")})
    app = Sablix()
    app.wait_window()
    app.go(server.url("/a.html"))
    wait_for(lambda: any("Sandboxed#" in line for line in open_page_lines()), what="the page", timeout=60)
    # Renderers are forked from the engine's sandboxed zygote (they keep its command line):
    # a zygote process two zygotes below the browser.
    def command(pid):
        try:
            with open("/proc/%d/cmdline" % pid, "rb") as f:
                return f.read()
        except OSError:
            return b""

    def parent(pid):
        return int(status(pid).get("PPid", "0"))

    renderers = []
    for pid in tree(app.proc.pid):
        if b"--type=zygote" not in command(pid):
            continue
        up, zygotes = pid, 0
        while up and up != app.proc.pid:
            up = parent(up)
            zygotes += b"--type=zygote" in command(up)
        if zygotes >= 2:
            renderers.append(pid)
    sandboxed = 0
    for pid in renderers:
        info = status(pid)
        checks = {
            "own user namespace": namespace(pid, "user") != namespace(app.proc.pid, "user"),
            "own PID namespace": namespace(pid, "pid") != namespace(app.proc.pid, "pid"),
            "seccomp filter": info.get("Seccomp") == "2",
            "no new privileges": info.get("NoNewPrivs") == "1",
        }
        ok = all(checks.values())
        sandboxed += ok
        print("renderer %d (uid %s): %s" % (pid, info.get("Uid", "?").split()[0],
                                            ", ".join("%s %s" % (k, "yes" if v else "NO") for k, v in checks.items())))
    app.stop()
    server.close()
    print("sandbox: %d renderers, %d sandboxed, running as uid %d" % (len(renderers), sandboxed, os.getuid()))
    return 0 if renderers and sandboxed == len(renderers) else 1


if __name__ == "__main__":
    sys.exit(main())
