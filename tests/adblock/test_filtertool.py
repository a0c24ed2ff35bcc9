"""sablix-filters, the command-line face of the ad filter: the shared table of rules and
requests, one rule alone, the hiding selectors of a host, and lines it cannot read."""

import os
import subprocess
import sys
import tempfile
import unittest

TOOL = os.environ["SABLIX_FILTERS"]
CASES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "filtercases.txt")


def run(args, stdin=""):
    result = subprocess.run([TOOL, *args], input=stdin, capture_output=True, text=True, timeout=120)
    return result.returncode, result.stdout.splitlines(), result.stderr


def groups():
    """The table's groups: (rules, cases)."""
    rules, cases, found = [], [], []
    with open(CASES, encoding="utf-8") as f:
        for line in f.read().split("\n"):
            if line.startswith("rule "):
                if cases:
                    found.append((rules, cases))
                    rules, cases = [], []
                rules.append(line[5:])
            elif line.startswith("case "):
                cases.append(line[5:].split("\t"))
    if cases:
        found.append((rules, cases))
    return found


class FilterTool(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()

    def tearDown(self):
        self.folder.cleanup()

    def write_list(self, name, lines):
        path = os.path.join(self.folder.name, name)
        with open(path, "w", encoding="utf-8") as f:
            f.write("\n".join(lines) + "\n")
        return path

    def test_the_shared_table(self):
        table = groups()
        self.assertGreater(len(table), 5)
        for number, (rules, cases) in enumerate(table):
            path = self.write_list("group%d.txt" % number, rules)
            stdin = "".join("%s\t%s\t%s\n" % (url, page, kind) for url, page, kind, _, _ in cases)
            code, out, err = run(["--list", path], stdin)
            self.assertEqual(code, 0, err)
            self.assertEqual(out, ["%s\t%s" % (decision, rule) for _, _, _, decision, rule in cases], rules)

    def test_one_rule_alone(self):
        code, out, err = run(["--rule", "||ads.test^$script"],
                             "https://ads.test/a.js\thttps://p.test/\tscript\n"
                             "https://ads.test/a.png\thttps://p.test/\timage\n"
                             "https://other.test/a.js\thttps://p.test/\tscript\n")
        self.assertEqual(code, 0, err)
        self.assertEqual(out, ["match", "nomatch", "nomatch"])
        code, out, err = run(["--rule", "@@||ok.test^$~image"],
                             "https://ok.test/a.js\thttps://p.test/\tscript\nhttps://ok.test/a.png\thttps://p.test/\timage\n")
        self.assertEqual(out, ["match", "nomatch"])
        code, out, err = run(["--rule", "@@||site.test^$document"], "https://ads.test/a.js\thttps://site.test/\tscript\n"
                             "https://site.test/\thttps://site.test/\tdocument\n")
        self.assertEqual(out, ["nomatch", "match"])
        code, _, err = run(["--rule", "||x.test^$popup"])
        self.assertEqual(code, 1)
        self.assertIn("not applied", err)

    def test_hiding_selectors_of_a_host(self):
        path = self.write_list("hide.txt", ["##.ad", "example.com##.local", "example.com#@#.ad", "other.test##.x"])
        code, out, err = run(["--list", path, "--hide", "www.example.com"])
        self.assertEqual(code, 0, err)
        self.assertEqual(out, [".local"])
        code, out, _ = run(["--list", path, "--hide", "elsewhere.test"])
        self.assertEqual(out, [".ad"])

    def test_malformed_lines_are_answered_and_the_run_goes_on(self):
        path = self.write_list("one.txt", ["||ads.test^"])
        code, out, err = run(["--list", path],
                             "no tabs at all\n"
                             "https://ads.test/a.js\thttps://p.test/\tnot-a-type\n"
                             "not an address\thttps://p.test/\tscript\n"
                             "a\tb\tc\td\n"
                             "https://ads.test/a.js\thttps://p.test/\tscript\n")
        self.assertEqual(code, 0, err)
        self.assertEqual([line.split("\t")[0] for line in out], ["error", "error", "error", "error", "block"])

    def test_an_unreadable_list_is_said_and_skipped(self):
        path = self.write_list("one.txt", ["||ads.test^"])
        code, out, err = run(["--list", os.path.join(self.folder.name, "missing.txt"), "--list", path],
                             "https://ads.test/a.js\thttps://p.test/\tscript\n")
        self.assertEqual(code, 0)
        self.assertIn("missing.txt", err)
        self.assertEqual(out, ["block\t||ads.test^"])


if __name__ == "__main__":
    unittest.main(verbosity=2)
