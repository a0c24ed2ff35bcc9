"""The instance socket under load: 50 second starts at once, 5 addresses each, 250 in all,
while hostile clients send garbage or hold a connection open. Every address opens a page,
each start's addresses in its order (the address history keeps the order they arrived in).
    socket_load.py SABLIX [STARTS] [EACH]"""

import os
import socket
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "e2e"))
os.environ.setdefault("SABLIX_BIN", sys.argv[1])

from sablixtest import PageServer, Sablix, data_file, page, read_lines, wait_for, write_config  # noqa: E402


def hostile(path, stop):
    """Garbage, cut messages and connections held open, over and over."""
    held = []
    while not stop.is_set():
        for payload in (b"\xff\xff" + b"x" * 3000, b"\x00\x40http://", os.urandom(64), b""):
            try:
                client = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
                client.connect(path)
                if payload:
                    client.sendall(payload)
                held.append(client)
            except OSError:
                pass
        while len(held) > 6:
            held.pop(0).close()
        time.sleep(0.05)
    for client in held:
        client.close()


def main():
    starts = int(sys.argv[2]) if len(sys.argv) > 2 else 50
    each = int(sys.argv[3]) if len(sys.argv) > 3 else 5
    server = PageServer({"/p%d-%d.html" % (s, i): page("P%d-%d" % (s, i)) for s in range(starts) for i in range(each)})
    write_config("[RunData]\nRunOne=1\n")
    app = Sablix()
    app.wait_window()
    path = os.path.join(os.environ["XDG_RUNTIME_DIR"], "sablix.socket")
    wait_for(lambda: os.path.exists(path), what="the socket")

    stop = threading.Event()
    attacker = threading.Thread(target=hostile, args=(path, stop), daemon=True)
    attacker.start()
    began = time.monotonic()
    procs = [subprocess.Popen([sys.argv[1]] + [server.url("/p%d-%d.html" % (s, i)) for i in range(each)],
                              stdout=subprocess.DEVNULL, stderr=subprocess.PIPE) for s in range(starts)]
    codes = [proc.wait(300) for proc in procs]
    forwarded_s = time.monotonic() - began
    stop.set()
    attacker.join()
    time.sleep(2)
    app.exit(timeout=120)
    history = read_lines(data_file("Url.lst"))
    wanted = {server.url("/p%d-%d.html" % (s, i)) for s in range(starts) for i in range(each)}
    opened = [address for address in history if address in wanted]
    in_order = 0
    for s in range(starts):
        mine = [server.url("/p%d-%d.html" % (s, i)) for i in range(each)]
        positions = [opened.index(a) for a in mine if a in opened]
        in_order += len(positions) == each and positions == sorted(positions)
    server.close()
    print("socket: %d of %d forwarded addresses opened, %d of %d starts in their order, %d starts failed, "
          "%.1f s for all" % (len(set(opened)), len(wanted), in_order, starts, sum(1 for c in codes if c != 0), forwarded_s))
    return 0 if len(set(opened)) == len(wanted) and in_order == starts and not any(codes) else 1


if __name__ == "__main__":
    sys.exit(main())
