"""The folders of src/ stand on floors: each includes only folders below its own, so that no
loop can come back unnoticed. Reads every #include of src/ and fails on an arrow that runs up
or sideways between floors, and on any loop between folders."""

import os
import re
import sys
import unittest

SRC = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "src")

# From the ground up. Features share a floor; between them any arrow goes as long as no loop does.
FLOORS = [
    {"core"},
    {"engine"},
    {"pages"},
    {"adblock", "cleaner", "downloads", "favorites", "history", "navigation", "passwords", "statusbar", "tabs"},
    {"instance", "window"},
    {"app"},
]
SHARED_FLOOR = FLOORS[3]

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
FOLDER = re.compile(r"^sablix_folder\((\w+)((?:[ \t]+\w+)*)", re.M)


def folder_of(path):
    rel = os.path.relpath(os.path.normpath(path), os.path.normpath(SRC))
    return rel.split(os.sep)[0] if not rel.startswith("..") else None


def arrows():
    """{(from folder, to folder): [file that includes, ...]}"""
    found = {}
    for top, _, files in os.walk(SRC):
        for name in files:
            if not name.endswith((".h", ".cpp")):
                continue
            path = os.path.join(top, name)
            here = folder_of(path)
            with open(path, encoding="utf-8") as f:
                text = f.read()
            for target in INCLUDE.findall(text):
                there = folder_of(os.path.join(top, target))
                if there and there != here and os.path.exists(os.path.join(top, target)):
                    found.setdefault((here, there), []).append(os.path.relpath(path, SRC))
    return found


def declared_uses():
    """{folder: set of folders its library links}, as the build lists them."""
    with open(os.path.join(SRC, "CMakeLists.txt"), encoding="utf-8") as f:
        text = f.read()
    uses = {}
    for name, rest in FOLDER.findall(text):
        words = rest.split()
        uses[name] = set(words[1:]) if words[:1] == ["USES"] else set()
    return uses


def floor(folder):
    for level, members in enumerate(FLOORS):
        if folder in members:
            return level
    return None


class Floors(unittest.TestCase):
    def test_every_folder_has_a_floor(self):
        folders = {d for d in os.listdir(SRC) if os.path.isdir(os.path.join(SRC, d))}
        self.assertEqual(sorted(f for f in folders if floor(f) is None), [])

    def test_no_arrow_runs_up(self):
        up = []
        for (here, there), files in sorted(arrows().items()):
            if floor(there) > floor(here) or (floor(there) == floor(here) and here not in SHARED_FLOOR):
                up.append("%s -> %s (%s)" % (here, there, ", ".join(sorted(set(files)))))
        self.assertEqual(up, [])

    def test_every_include_is_a_declared_use(self):
        # A tie through a header alone links nothing, but it is a tie all the same: the
        # build's folder list says so, or the next call through it fails only at link time.
        uses = declared_uses()
        undeclared = []
        for (here, there), files in sorted(arrows().items()):
            if there not in uses.get(here, set()):
                undeclared.append("%s -> %s (%s)" % (here, there, ", ".join(sorted(set(files)))))
        self.assertEqual(undeclared, [])

    def test_no_loop_between_folders(self):
        graph = {}
        for here, there in arrows():
            graph.setdefault(here, set()).add(there)
        loops = []

        def visit(node, path):
            for nxt in sorted(graph.get(node, ())):
                if nxt in path:
                    loops.append(" -> ".join(path[path.index(nxt):] + [nxt]))
                elif len(path) < len(graph) + 1:
                    visit(nxt, path + [nxt])

        for start in sorted(graph):
            visit(start, [start])
        self.assertEqual(sorted(set(loops)), [])


if __name__ == "__main__":
    unittest.main(verbosity=2, argv=sys.argv[:1])
