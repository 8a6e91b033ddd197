#!/usr/bin/python3
"""Runs the Windows build of the ported Wine tests under Wine, in a throwaway
prefix made by tests/e2e/wineprefix.py.

    run_wine.py --exe build/mingw-x64/tests/conformance/wine/wine_conformance.exe
                [--exe build/mingw-x86/...] [--prefix DIR | --work DIR [--keep]]
                [--differences FILE]... [TEST...]

--prefix uses a prefix that `wineprefix.py create DIR` made (CTest shares one
between the Wine tests of this folder); otherwise a fresh one is made in
--work and removed afterwards.

Every exe given runs in the same prefix (a 64-bit prefix runs 32-bit programs
too), each test (info, file; default both) in a process of its own, from two
current directories as Wine's own harness runs its tests: a folder on drive C:
(C:\\winetest) and a host folder seen through Z:. Passes when no check fails:
every check that is not todo_wine in Wine 8.0 holds, and no todo_wine check
succeeds ("Test succeeded inside todo block" is a failure).

Exit status 77 (skipped, with a message) when an exe, Wine, or for a 32-bit exe
Wine's 32-bit support is missing.
"""

import argparse
import os
import shutil
import struct
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "e2e"))

import wineprefix  # noqa: E402  (tests/e2e/wineprefix.py)

SKIP = 77
TESTS = ("info", "file")
NO_WINE32 = "this Wine runs no 32-bit programs (Debian: dpkg --add-architecture i386, " \
    "apt-get update, apt-get install wine32:i386; scripts/install-deps.sh does it)"


def machine(exe):
    """'x64' or 'x86' from the exe's PE header."""
    with open(exe, "rb") as f:
        data = f.read(4096)
    offset = struct.unpack_from("<I", data, 0x3C)[0]
    return "x64" if struct.unpack_from("<H", data, offset + 4)[0] == 0x8664 else "x86"


def skip(message):
    print("skipped: " + message)
    return SKIP


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--exe", action="append", required=True,
                        help="wine_conformance.exe of a mingw preset (may be repeated)")
    parser.add_argument("--prefix", default=None, help="an existing prefix to use")
    parser.add_argument("--work", default=None,
                        help="folder for the prefix (default: a folder in /tmp)")
    parser.add_argument("--keep", action="store_true", help="keep the prefix afterwards")
    parser.add_argument("--differences", action="append", default=[],
                        help="a list of checks known to fail here (see harness.cpp)")
    parser.add_argument("--no-root-list", action="store_true",
                        help="do not pass wine-root-differences.txt when running as root")
    parser.add_argument("tests", nargs="*", choices=[[]] + list(TESTS), default=[],
                        help="info, file (default: both)")
    args = parser.parse_args()
    tests = args.tests or list(TESTS)
    # Wine as root lets some opens through that it leaves to the host: those
    # checks are listed, and expected to fail, only then.
    if os.geteuid() == 0 and not args.no_root_list:
        args.differences.append(os.path.join(HERE, "wine-root-differences.txt"))

    exes = [os.path.abspath(e) for e in args.exe]
    for exe in exes:
        if not os.path.isfile(exe):
            preset = "mingw-x86" if "mingw-x86" in exe else "mingw-x64"
            return skip("%s does not exist (cmake --preset %s && cmake --build --preset %s; "
                        "the preset builds it when tests/conformance/wine/fetch-wine-tests.sh "
                        "could fetch Wine's test source)" % (exe, preset, preset))
    for tool in ("wine", "wineserver"):
        if not shutil.which(tool):
            return skip("%s is not installed (apt-get install wine wine64)" % tool)

    if args.prefix:
        prefix = wineprefix.Prefix(args.prefix)
        work = os.path.dirname(prefix.path)
    else:
        work = os.path.abspath(args.work or os.path.join("/tmp", "purgelib-wine-conformance"))
        os.makedirs(work, exist_ok=True)
        prefix = wineprefix.Prefix(os.path.join(work, "prefix"))
    c_folder = os.path.join(prefix.path, "drive_c", "winetest")
    z_folder = os.path.join(work, "winetest-cwd")
    started = time.monotonic()
    failed, skipped = [], []
    try:
        if args.prefix:
            print("prefix %s started in %.1f s" % (prefix.path, prefix.attach()))
        else:
            print("prefix %s made in %.1f s" % (prefix.path, prefix.create()))
        for exe in exes:
            arch = machine(exe)
            for test in tests:
                if arch in skipped:
                    break
                for folder in (c_folder, z_folder):
                    shutil.rmtree(folder, ignore_errors=True)
                    os.makedirs(folder)
                command = [wineprefix.host_to_windows(exe),
                           "--cwd", prefix.to_windows(c_folder),
                           "--cwd", wineprefix.host_to_windows(z_folder)]
                for path in args.differences:
                    command += ["--differences", wineprefix.host_to_windows(path)]
                run = prefix.wine(command + [test], timeout=900)
                if "platform: wine" not in run.stdout:
                    if arch == "x86" and "wine32" in run.stderr:
                        print("%s: skipped: %s" % (arch, NO_WINE32))
                        skipped.append(arch)
                        continue
                    print(run.stderr)
                    print("%s %s: the exe did not start under Wine (exit code %d)"
                          % (arch, test, run.returncode))
                    failed.append("%s %s" % (arch, test))
                    continue
                for line in run.stdout.splitlines():
                    if line.startswith(test + " (from ") or "Test failed" in line or \
                            "succeeded inside todo" in line or "Test succeeded, but" in line \
                            or " listed in " in line:
                        print("%s: %s" % (arch, line))
                print("%s %s: %.1f s, exit code %d" % (arch, test, run.seconds, run.returncode))
                if run.returncode != 0:
                    failed.append("%s %s" % (arch, test))
    finally:
        prefix.kill()
        shutil.rmtree(z_folder, ignore_errors=True)
        if not args.keep and not args.prefix:
            shutil.rmtree(prefix.path, ignore_errors=True)
    print("%.1f s in all%s" % (time.monotonic() - started,
                               "; FAILED: " + ", ".join(failed) if failed else ""))
    if failed:
        return 1
    if skipped:
        return skip("the %s run: %s" % (" and ".join(skipped), NO_WINE32))
    return 0


if __name__ == "__main__":
    sys.exit(main())
