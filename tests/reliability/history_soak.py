"""kill -9 soak of the history file: a writer puts visits into History.sqlite batch after
batch as the program does and says each batch its writer reported committed; it is killed
at a random moment, then the file is checked (it passes SQLite's integrity check, the
full-text index agrees with its table, and every visit of every reported batch is in it)
and the next run opens the same file again without finding it damaged.
    history_soak.py WRITER RUNS [SEED]
Prints the runs, the visits checked and the problems; exits non-zero when there is any."""

import os
import random
import sqlite3
import subprocess
import sys
import tempfile
import time


def check(path, committed):
    problems = []
    db = sqlite3.connect(path)
    try:
        result = db.execute("PRAGMA integrity_check").fetchone()[0]
        if result != "ok":
            problems.append("integrity_check: %s" % result)
        db.execute("INSERT INTO pages_text(pages_text, rank) VALUES ('integrity-check', 0)")
        kept = {row[0] for row in db.execute("SELECT address FROM pages")}
        missing = [a for a in committed if a not in kept]
        if missing:
            problems.append("%d committed visits missing, e.g. %s" % (len(missing), missing[0]))
        # The index finds what the table holds.
        if committed:
            sample = random.choice(sorted(committed))
            found = db.execute("SELECT count(*) FROM pages_text WHERE pages_text MATCH ?",
                               ['"%s"' % sample.split("//", 1)[1]]).fetchone()[0]
            if found < 1:
                problems.append("the index does not find %s" % sample)
    except sqlite3.DatabaseError as error:
        problems.append("cannot read the file: %s" % error)
    finally:
        db.close()
    return problems


def main():
    writer, runs = sys.argv[1], int(sys.argv[2])
    random.seed(int(sys.argv[3]) if len(sys.argv) > 3 else 1)
    folder = tempfile.mkdtemp(prefix="history-soak.")
    path = os.path.join(folder, "History.sqlite")
    committed = set()
    failures = 0
    for run in range(runs):
        process = subprocess.Popen([writer, path, str(run)], stdout=subprocess.PIPE, text=True)
        lines = []
        # Killed at a random moment once it writes (or before it even opened the file).
        started = time.monotonic()
        first = process.stdout.readline()
        lines.append(first)
        if first.startswith("ready") or random.random() < 0.9:
            time.sleep(random.uniform(0, 0.4))
        process.kill()
        lines.extend(process.stdout.read().splitlines())
        process.wait()
        problems = []
        for line in lines:
            parts = line.split()
            if parts and parts[0] == "committed":
                for n in range(int(parts[2]), int(parts[3]) + 1):
                    committed.add("http://soak.test/%d/%d" % (run, n))
            elif parts and parts[0] == "notice":
                problems.append("the writer said: %s" % line.strip())
        if os.path.exists(path):
            problems += check(path, committed)
        aside = [name for name in os.listdir(folder) if name.startswith("History-")]
        if aside:
            problems.append("moved aside: %s" % aside)
        if problems:
            failures += 1
            print("run %d (%.2f s): %s" % (run, time.monotonic() - started, "; ".join(problems)))
    print("history soak: %d runs killed, %d committed visits checked, %d runs with problems"
          % (runs, len(committed), failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
