"""The filter benchmark: the in-process figures of filter_bench (with a hostile list made by
make_hostile_list.py), then sablix-filters as a whole process (start, load, match the
corpus, end): wall time and peak memory.
    filter_bench.py FILTER_BENCH SABLIX_FILTERS CORPUS
"""

import os
import resource
import statistics
import subprocess
import sys
import tempfile
import time


def main():
    bench, tool, corpus = sys.argv[1:4]
    # The whole tool first: the peak memory of the children is that of the tool alone.
    with open(corpus, "rb") as f:
        requests = f.read()
    times = []
    for _ in range(5):
        started = time.monotonic()
        result = subprocess.run([tool], input=requests, capture_output=True, check=True)
        times.append((time.monotonic() - started) * 1000.0)
    peak_mib = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss / 1024.0
    with tempfile.TemporaryDirectory() as scratch:
        hostile = os.path.join(scratch, "hostile.txt")
        subprocess.run([sys.executable, os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                                     "make_hostile_list.py"), hostile], check=True)
        print(subprocess.run([bench, corpus, "5", hostile], capture_output=True, text=True,
                             check=True).stdout, end="")
    lines = result.stdout.decode().splitlines()
    print("%-34s %12.0f" % ("sablix-filters whole run, median ms", statistics.median(times)))
    print("%-34s %12.1f" % ("sablix-filters peak RSS MiB", peak_mib))
    print("%-34s %12d" % ("sablix-filters answers", len(lines)))


if __name__ == "__main__":
    main()
