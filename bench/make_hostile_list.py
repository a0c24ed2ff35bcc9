"""Writes a hostile filter list: regular-expression rules only, each of which passes the
filter's safety check, up to a size (16 MiB less a little by default, under the list cap).
Some have literals of their own, some share literals that many addresses hold, some have
none at all, so that the index, its caps and the matching are all put to work.
    make_hostile_list.py OUTPUT [BYTES] [SEED]
"""

import random
import sys

# Words that real addresses hold, beside random ones.
COMMON = ["ads", "track", "pixel", "static", "img", "analytics", "banner", "cdn", "api", "js",
          "www", "com", "login", "media", "video", "news", "assets", "count", "stat", "tag"]


def main():
    out = sys.argv[1]
    size = int(sys.argv[2]) if len(sys.argv) > 2 else 16 * 1024 * 1024 - 4096
    rng = random.Random(int(sys.argv[3]) if len(sys.argv) > 3 else 1)

    def word():
        if rng.random() < 0.3:
            return rng.choice(COMMON)
        return "".join(rng.choice("abcdefghijklmnopqrstuvwxyz") for _ in range(rng.randint(4, 9)))

    def n(lo, hi):
        return rng.randint(lo, hi)

    shapes = [
        lambda: "/%s[0-9]{%d,%d}%s\\.(gif|png)/" % (word(), n(1, 3), n(4, 8), word()),
        lambda: "/^https?:\\/\\/[a-z0-9]{%d,%d}\\.%s\\.com\\/%s/" % (n(3, 5), n(6, 12), word(), word()),
        lambda: "/\\/%s\\/[0-9a-f]{%d}\\.js/" % (word(), n(8, 32)),
        # No literal at all: matched on every request, unless capped.
        lambda: "/[0-9a-f]{%d}[a-z]{%d}[0-9]{%d}/" % (n(4, 12), n(2, 5), n(2, 4)),
        # Literals nearly every address holds.
        lambda: "/\\.com\\/[a-z]{%d,%d}[0-9]{%d}/" % (n(1, 3), n(4, 8), n(1, 3)),
        lambda: "/https?:\\/\\/www\\.[a-z]+\\.%s\\//$script" % word(),
        lambda: "/%s[_-][a-z0-9]{%d,%d}\\.js\\?v=[0-9]+/$third-party" % (word(), n(2, 4), n(6, 10)),
    ]
    written = 0
    with open(out, "w") as f:
        f.write("[Adblock Plus 2.0]\n! Title: hostile\n")
        while True:
            line = rng.choice(shapes)() + "\n"
            if written + len(line) > size:
                break
            f.write(line)
            written += len(line)


if __name__ == "__main__":
    main()
