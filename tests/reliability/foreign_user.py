"""The instance socket refuses another user: sablix runs as this user (root here), an
ordinary user connects and hands over an address, with the socket's folder and the socket
opened up so that only sablix's own check stands in the way.
    foreign_user.py SABLIX USER"""

import os
import stat
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "e2e"))
os.environ.setdefault("SABLIX_BIN", sys.argv[1])

from sablixtest import PageServer, Sablix, open_page_lines, page, wait_for, write_config  # noqa: E402

CLIENT = r"""
import socket, sys
s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
s.settimeout(5)
try:
    s.connect(sys.argv[1])
except OSError as e:
    print("refused at connect: %s" % e); sys.exit(0)
text = sys.argv[2].encode()
try:
    s.sendall(len(text).to_bytes(2, "big") + text)
    answer = s.recv(1)
except OSError as e:
    answer = b""
print("answered" if answer == b"K" else "refused")
"""


def main():
    user = sys.argv[2]
    server = PageServer({"/mine.html": page("Mine"), "/theirs.html": page("Theirs")})
    write_config("[RunData]\nRunOne=1\n")
    app = Sablix()
    app.wait_window()
    runtime = os.environ["XDG_RUNTIME_DIR"]
    path = os.path.join(runtime, "sablix.socket")
    wait_for(lambda: os.path.exists(path), what="the socket")
    os.chmod(runtime, 0o755)
    os.chmod(path, 0o777)
    for folder in (os.environ["SABLIX_TEST_ROOT"],):
        os.chmod(folder, os.stat(folder).st_mode | stat.S_IXOTH | stat.S_IROTH)
    result = subprocess.run(["su", user, "-s", "/bin/sh", "-c",
                             "python3 -c '%s' %s %s" % (CLIENT.replace("'", "'\\''"), path, server.url("/theirs.html"))],
                            capture_output=True, text=True, timeout=60)
    answer = result.stdout.strip() or result.stderr.strip()
    # The owner's own start still gets through.
    subprocess.run([sys.argv[1], server.url("/mine.html")], timeout=60)
    wait_for(lambda: any(line.startswith("Mine#") for line in open_page_lines()), what="the owner's page")
    time.sleep(1)
    opened_theirs = any(line.startswith("Theirs#") for line in open_page_lines())
    app.stop()
    server.close()
    print("socket: another user's connection %s; its address opened: %s" % (answer, "yes" if opened_theirs else "no"))
    return 0 if answer.startswith("refused") and not opened_theirs else 1


if __name__ == "__main__":
    sys.exit(main())
