#!/usr/bin/python3
"""Compares our version reader with Wine's own version library.

    run_wine_probe.py --dumper build/default/tests/conformance/version_dump
                      --fixtures build/default/tests/conformance/fixture_gen
                      --probe build/mingw-x64/tests/conformance/version_dump.exe
                      [--prefix DIR | --work DIR] [DLL_DIR...]

The same dumper (version_dump.cpp) reads every file twice: built natively (our
reader) and, built with MinGW, under Wine (Wine's version library), in a prefix
made by tests/e2e/wineprefix.py (--prefix: one that `wineprefix.py create`
made; else a fresh one in --work, removed afterwards). Two sets of files: the
generated fixtures (valid and malformed PE and NE files, fixture_gen) and every
module of the Wine package (the DLL_DIRs). compare_wine.py compares the answers.

Wine's library crashes on some malformed files depending on what the same
process read before (its heap layout): ne_unterminated.exe after beyond16.exe,
for one. When the probe dies, the file it died on is read again in a process
of its own: answered there, that answer counts (and the crash is reported);
crashing alone too, it is recorded as a crash, which the comparison accepts for
a generated fixture and not for a module of the Wine package. Then a new
process goes on with the files after it.

Exit status 0 when every difference is a known one, 1 otherwise, 77 when
something it needs (Wine, the probe, the dumper) is missing.
"""

import argparse
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))

import compare_wine  # noqa: E402
import wineprefix  # noqa: E402  (tests/e2e/wineprefix.py)

SKIP = 77
DLL_DIRS = ["/usr/lib/x86_64-linux-gnu/wine/x86_64-windows",
            "/usr/lib/x86_64-linux-gnu/wine/i386-windows"]
# Files crashing one after the other alone: the probe itself does not run.
BROKEN_AFTER = 3


def records(text):
    """The complete records of a probe's output, in order (a record cut short by
    a crash is not one)."""
    out = []
    for line in text.splitlines():
        try:
            out.append(json.loads(line))
        except ValueError:
            break
    return out


class WineProbe:
    """Runs the probe under Wine over a list of files, restarting it after a crash."""

    def __init__(self, prefix, probe, work):
        self.prefix = prefix
        self.probe = wineprefix.host_to_windows(probe)
        self.work = work
        self.notes = []

    def _run(self, files):
        listing = os.path.join(self.work, "probe-input.txt")
        with open(listing, "w", encoding="latin-1") as f:
            f.write("".join(p + "\n" for p in files))
        run = self.prefix.wine([self.probe], timeout=600, input_path=listing)
        return run.returncode, records(run.stdout)

    def read(self, files):
        """[record] for the Windows paths in files, one each."""
        answers = []
        remaining = list(files)
        crashed_alone = 0
        while remaining:
            code, got = self._run(remaining)
            done = 0
            for record in got:
                if done < len(remaining) and record.get("file") == remaining[done]:
                    answers.append(record)
                    done += 1
                else:
                    break
            if done == len(remaining) and code == 0:
                break
            if done == len(remaining):
                self.notes.append("the probe ended with exit code %d after the last file"
                                  % code)
                break
            culprit = remaining[done]
            alone_code, alone = self._run([culprit])
            if alone_code == 0 and len(alone) == 1 and alone[0].get("file") == culprit:
                answers.append(alone[0])
                after = remaining[done - 1] if done else "the start"
                self.notes.append("crashed on %s after %s (exit code %d), answered it alone"
                                  % (culprit, after, code))
                crashed_alone = 0
            else:
                answers.append({"file": culprit, "crash": alone_code})
                self.notes.append("crashed on %s, also alone (exit code %d)"
                                  % (culprit, alone_code))
                crashed_alone += 1
                if crashed_alone >= BROKEN_AFTER:
                    raise RuntimeError("the probe crashes on every file: %s does not run "
                                       "under Wine" % self.probe)
            remaining = remaining[done + 1:]
        return answers


def native(dumper, paths):
    run = subprocess.run([dumper], input="".join(p + "\n" for p in paths), capture_output=True,
                         text=True, encoding="latin-1", check=True)
    return records(run.stdout)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--dumper", required=True, help="the native version_dump")
    parser.add_argument("--fixtures", required=True, help="the native fixture_gen")
    parser.add_argument("--probe", required=True, help="version_dump.exe of the mingw-x64 preset")
    parser.add_argument("--prefix", help="an existing prefix to use")
    parser.add_argument("--work", default=os.path.join(tempfile.gettempdir(),
                                                       "purgelib-version-wine"))
    parser.add_argument("dlls", nargs="*", default=DLL_DIRS)
    args = parser.parse_args()

    for path, hint in ((args.probe, "cmake --build --preset mingw-x64 --target version_dump"),
                       (args.dumper, "cmake --build --preset default --target version_dump"),
                       (args.fixtures, "cmake --build --preset default --target fixture_gen")):
        if not os.path.isfile(path):
            print("skipped: %s does not exist (%s)" % (path, hint))
            return SKIP
    for tool in ("wine", "wineserver"):
        if shutil.which(tool) is None:
            print("skipped: %s is not installed (apt-get install wine wine64)" % tool)
            return SKIP

    started = time.monotonic()
    work = os.path.abspath(args.work)
    os.makedirs(work, exist_ok=True)
    fixtures = os.path.join(work, "fixtures")
    shutil.rmtree(fixtures, ignore_errors=True)
    os.makedirs(fixtures)
    subprocess.run([args.fixtures, fixtures], check=True, stdout=subprocess.DEVNULL)
    sets = [
        ("fixtures", sorted(os.path.join(fixtures, f) for f in os.listdir(fixtures)), True),
        ("modules", sorted(os.path.join(d, f) for d in args.dlls if os.path.isdir(d)
                           for f in os.listdir(d) if os.path.isfile(os.path.join(d, f))),
         False),
    ]

    prefix = wineprefix.Prefix(args.prefix or os.path.join(work, "prefix"))
    ok = True
    try:
        if args.prefix:
            print("prefix %s started in %.1f s" % (prefix.path, prefix.attach()))
        else:
            print("prefix %s made in %.1f s" % (prefix.path, prefix.create()))
        probe = WineProbe(prefix, os.path.abspath(args.probe), work)
        for name, paths, crash_known in sets:
            print("== %s (%d files)" % (name, len(paths)))
            if not paths:
                print("none found: %s" % (fixtures if name == "fixtures" else args.dlls))
                ok = False
                continue
            t = time.monotonic()
            ours = compare_wine.by_name(native(args.dumper, paths))
            wine = compare_wine.by_name(
                probe.read([wineprefix.host_to_windows(p) for p in paths]))
            for note in probe.notes:
                print("probe: " + note)
            probe.notes = []
            ok = compare_wine.report(ours, wine, crash_known) and ok
            print("%s: %.1f s" % (name, time.monotonic() - t))
    finally:
        prefix.kill()
        if not args.prefix:
            shutil.rmtree(prefix.path, ignore_errors=True)
        shutil.rmtree(fixtures, ignore_errors=True)
    print("%.1f s in all" % (time.monotonic() - started))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
