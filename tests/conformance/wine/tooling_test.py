#!/usr/bin/python3
"""Tests of the tooling around Wine's tests: the porter (port.py), the lists of
known differences (harness.cpp, through the native wine_conformance), and the
restarts of the Wine version probe (run_wine_probe.py) with their comparison.

    tooling_test.py [--harness build/default/tests/conformance/wine/wine_conformance]

Without --harness the checks of the differences lists are skipped.
"""

import hashlib
import os
import subprocess
import sys
import tempfile
import textwrap
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, ".."))
sys.path.insert(0, os.path.join(HERE, "..", "..", "e2e"))

import compare_wine  # noqa: E402
import port  # noqa: E402
import run_wine_probe  # noqa: E402

HARNESS = None

SOURCE = textwrap.dedent("""\
    #include "wine/test.h"

    static int helper(void)
    {
        return 1;
    }

    static void test_one(void)
    {
        int a = 1;
        ok(a == 1, "first\\n");
        ok(a == 2, "second\\n");
        ok(helper(), "third\\n");
    }

    static void test_two(void)
    {
        ok(0, "gone\\n");
    }

    START_TEST(sample)
    {
        test_one();
        test_two();
    }
    """)


class Porter(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        os.makedirs(os.path.join(self.dir.name, "src"))
        self.source = os.path.join(self.dir.name, "src", "sample.c")
        with open(self.source, "w") as f:
            f.write(SOURCE)
        self.sha = hashlib.sha256(SOURCE.encode()).hexdigest()

    def tearDown(self):
        self.dir.cleanup()

    def edits(self, body, sha=None):
        path = os.path.join(self.dir.name, "sample.edits")
        with open(path, "w") as f:
            f.write("source src/sample.c sha256 %s\n" % (sha or self.sha) + textwrap.dedent(body))
        return port.EditList(path)

    def generate(self, body):
        edits = self.edits(body)
        return port.generate(edits, port.load_source(edits, self.dir.name), "test")

    def test_each_kind_of_edit_keeps_the_original_line_numbers(self):
        out = self.generate("""\
            leave-out test_two : not wanted
            sub 10 test_one : a new value
            - = 1
            + = 2
            drop 12 test_one : a check less
            replace 13 test_one : our check
            | ok(1, "ours\\n");
            insert 5 helper : before the return
            | (void)0;
            """).split("\n")
        text = "\n".join(out)
        self.assertNotIn("static void test_two", text)
        self.assertNotIn("second", text)
        self.assertIn("int a = 2;", text)
        # Each original line that follows an edit is announced with its number.
        self.assertEqual(out[out.index("    int a = 2;") - 1], '#line 10 "sample.c"')
        # A sub keeps the lines in step: no directive needed after it.
        self.assertEqual(out[out.index('    ok(a == 1, "first\\n");') - 1], "    int a = 2;")
        self.assertEqual(out[out.index('ok(1, "ours\\n");') - 1], '#line 13 "sample.c"')
        self.assertEqual(out[out.index("    return 1;") - 1], '#line 5 "sample.c"')
        self.assertIn("    test_one();", out)
        self.assertNotIn("    test_two();", out)

    def test_wrong_lists_are_refused(self):
        cases = {
            "a line outside its function": "drop 11 test_two : x\n",
            "a line edited twice": "drop 11-12 test_one : x\ndrop 12 test_one : y\n",
            "a sub whose text is not on the line": "sub 11 test_one : x\n- nothing\n+ b\n",
            "an unknown function": "leave-out test_three : x\n",
            "an entry without a reason": "drop 11 test_one\n",
            "a line past the end": "drop 99 - : x\n",
        }
        for what, body in cases.items():
            with self.subTest(what):
                with self.assertRaises(port.EditError):
                    edits = self.edits(body)
                    port.plan(edits, port.load_source(edits, self.dir.name))

    def test_another_source_is_refused(self):
        edits = self.edits("drop 11 test_one : x\n", sha="0" * 64)
        with self.assertRaises(port.EditError):
            port.load_source(edits, self.dir.name)


@unittest.skipUnless(HARNESS, "no --harness given")
class DifferencesList(unittest.TestCase):
    """The native run with lists made for the test: what it tolerates and what
    it reports. The failing checks it needs are the layer's real differences
    (of info.c while it has some, else of file.c); when none is left, those
    cases have nothing to run on and are skipped."""

    def run_test(self, test, entries):
        with tempfile.NamedTemporaryFile("w", suffix=".txt", delete=False) as f:
            f.write("".join(e + "\n" for e in entries))
        # Leaks are conformance.wine.file's to report (an open the layer
        # should refuse leaves its handle open); here only the lists count.
        env = dict(os.environ)
        env["ASAN_OPTIONS"] = env.get("ASAN_OPTIONS", "") + ":detect_leaks=0"
        try:
            run = subprocess.run([HARNESS, "--differences", f.name, test],
                                 capture_output=True, text=True, timeout=120, env=env)
        finally:
            os.remove(f.name)
        return run.returncode, run.stdout

    def real_list(self, test):
        with open(os.path.join(HERE, "layer-differences.txt")) as f:
            return [line.rstrip("\n") for line in f if line.startswith(test + ".c:")]

    def listed(self):
        """A test with real differences, and its list."""
        for test in ("info", "file"):
            entries = self.real_list(test)
            if entries:
                return test, entries
        self.skipTest("the layer has no listed differences left")

    def test_the_real_lists_pass(self):
        for test in ("info", "file"):
            with self.subTest(test):
                code, out = self.run_test(test, self.real_list(test))
                self.assertEqual(code, 0, out)

    def test_a_listed_check_that_passes_fails_the_run(self):
        # info.c:71, GetFileVersionInfoSizeA(NULL, NULL) answering 0, passes.
        code, out = self.run_test("info", self.real_list("info") + ["info.c:71 | x | y"])
        self.assertEqual(code, 1)
        self.assertIn("fixed: remove that line", out)

    def test_an_unlisted_failure_fails_the_run(self):
        test, entries = self.listed()
        code, out = self.run_test(test, entries[1:])
        self.assertEqual(code, 1)
        self.assertIn("Test failed", out)

    def test_counts_and_unreached_entries_are_reported(self):
        test, entries = self.listed()
        site = entries[0].split()[0]  # FILE:LINE
        others = [e for e in entries if e.split()[0] != site]
        code, out = self.run_test(test, others + [site + " x999 | x | y",
                                                  test + ".c:99999 | x | y"])
        self.assertEqual(code, 1)
        self.assertRegex(out, site + r": listed in .* to fail 999 times, failed \d+ times")
        self.assertIn(test + ".c:99999: listed in", out)

    def test_a_message_part_selects_checks(self):
        test, entries = self.listed()
        site = entries[0].split()[0]
        others = [e for e in entries if e.split()[0] != site]
        code, out = self.run_test(test, others + [site + " ~^no such start | x | y"])
        self.assertEqual(code, 1)
        self.assertIn("Test failed", out)


class FakePrefix:
    """Answers like Wine running the probe over a list: it dies on a file when
    the file is in `dies_after` behind the file given there, or in `dies_alone`."""

    def __init__(self, dies_after=None, dies_alone=()):
        self.dies_after = dies_after or {}
        self.dies_alone = set(dies_alone)
        self.runs = []

    def wine(self, args, timeout=60, input_path=None):
        with open(input_path) as f:
            files = [line.strip() for line in f if line.strip()]
        self.runs.append(files)
        out, code = [], 0
        for i, file in enumerate(files):
            if file in self.dies_alone or (i and self.dies_after.get(file) == files[i - 1]):
                out.append('{"file": "%s", "size"' % file.replace("\\", "\\\\"))  # cut short
                code = 5
                break
            out.append('{"file": "%s", "size": 1}' % file.replace("\\", "\\\\"))

        class Run:
            pass

        run = Run()
        run.returncode, run.stdout = code, "\n".join(out) + "\n"
        return run


class ProbeRestarts(unittest.TestCase):
    FILES = ["Z:\\f\\a", "Z:\\f\\b", "Z:\\f\\c", "Z:\\f\\d"]

    def read(self, prefix):
        probe = run_wine_probe.WineProbe.__new__(run_wine_probe.WineProbe)
        probe.prefix, probe.probe, probe.notes = prefix, "probe.exe", []
        probe.work = tempfile.mkdtemp()
        return probe, probe.read(self.FILES)

    def test_a_crash_that_depends_on_the_file_before_is_answered_alone(self):
        prefix = FakePrefix(dies_after={"Z:\\f\\c": "Z:\\f\\b"})
        probe, answers = self.read(prefix)
        self.assertEqual([a["file"] for a in answers], self.FILES)
        self.assertTrue(all("crash" not in a for a in answers))
        self.assertEqual(prefix.runs, [self.FILES, ["Z:\\f\\c"], ["Z:\\f\\d"]])
        self.assertIn("answered it alone", probe.notes[0])

    def test_a_crash_alone_is_recorded_as_a_crash(self):
        probe, answers = self.read(FakePrefix(dies_alone=["Z:\\f\\b"]))
        self.assertEqual([a["file"] for a in answers], self.FILES)
        self.assertEqual(answers[1], {"file": "Z:\\f\\b", "crash": 5})
        self.assertIn("also alone", probe.notes[0])

    def test_a_probe_that_never_runs_is_an_error(self):
        with self.assertRaises(RuntimeError):
            self.read(FakePrefix(dies_alone=self.FILES))

    def test_a_crash_is_known_for_fixtures_only(self):
        ours = {"/f/b": {"file": "/f/b", "size": 0}}
        wine = {"/f/b": {"file": "Z:\\f\\b", "crash": 5}}
        known, unexplained = compare_wine.compare(ours, wine, crash_known=True)
        self.assertEqual((list(known), unexplained), (["wine-crash"], []))
        known, unexplained = compare_wine.compare(ours, wine, crash_known=False)
        self.assertEqual((known, len(unexplained)), ({}, 1))


if __name__ == "__main__":
    if len(sys.argv) > 2 and sys.argv[1] == "--harness":
        HARNESS = os.path.abspath(sys.argv[2])
        del sys.argv[1:3]
        DifferencesList.__unittest_skip__ = False
    unittest.main()
