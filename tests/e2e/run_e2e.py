#!/usr/bin/env python3
"""purgelib.exe end to end under Wine.

Builds the helper programs and stand-in CAPI libraries with MinGW (the version
probe, version_dump.exe, comes from the mingw-x64 preset), makes a
throwaway Wine prefix, and runs the real exe against one layout of the system
folders after another: it checks which files are gone, kept or registered for
deletion at restart, the message box (text, caption and style from the relay
trace) and the exit code, and restarts the prefix where a deletion was
scheduled. Ends with the message box on a virtual display when Xvfb is there.

Exit code 0 when every scenario passed, 1 when one failed, 77 when something it
needs (the exe, wine, MinGW) is missing.
"""

import argparse
import os
import shutil
import signal
import sys
import time
import traceback

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import fixtures  # noqa: E402
import scenarios  # noqa: E402
from wineprefix import Prefix  # noqa: E402

SKIP = 77
REPO = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
PROBE = os.path.join(REPO, "build", "mingw-x64", "tests", "conformance", "version_dump.exe")


def parse_args():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--exe", default=os.path.join(REPO, "build", "mingw-x64", "purgelib.exe"),
                        help="the 64-bit Windows exe (default: build/mingw-x64/purgelib.exe)")
    parser.add_argument("--probe", default=PROBE,
                        help="version_dump.exe of the mingw-x64 preset, which reads a file's "
                        "version resource through the system's version library (default: "
                        "build/mingw-x64/tests/conformance/version_dump.exe)")
    parser.add_argument("--work", default=os.path.join(REPO, "build", "e2e"),
                        help="folder for the prefix, the built helpers and the logs")
    parser.add_argument("--content-stage", choices=["auto", "yes", "no"],
                        default=os.environ.get("PURGELIB_E2E_CONTENT_STAGE", "yes") or "yes",
                        help="whether the exe searches library bytes for the maker names: "
                        "yes/no makes that scenario strict, auto reports what it saw")
    parser.add_argument("--only", nargs="*", help="run only these scenarios")
    parser.add_argument("--no-display", action="store_true",
                        help="leave out the message box on a virtual display")
    parser.add_argument("--list", action="store_true", help="list the scenarios and stop")
    return parser.parse_args()


def missing_requirements(exe, probe):
    for path in (exe, probe):
        if not os.path.isfile(path):
            return ("%s not found: build it first (cmake --preset mingw-x64 && "
                    "cmake --build --preset mingw-x64)" % path)
    for tool in ("wine", "wineserver"):
        if shutil.which(tool) is None:
            return "%s not found: install Wine (apt-get install wine wine64)" % tool
    missing = fixtures.missing_tools()
    if missing:
        return "%s not found: %s" % (", ".join(missing), fixtures.TOOLS_MISSING_HINT)
    return None


def main():
    args = parse_args()
    if args.list:
        for scenario in scenarios.ALL:
            print("%-28s %s" % (scenario.__name__, scenario.__doc__.strip().splitlines()[0]))
        return 0
    exe = os.path.abspath(args.exe)
    reason = missing_requirements(exe, os.path.abspath(args.probe))
    if reason:
        print("SKIP: " + reason)
        return SKIP

    work = os.path.abspath(args.work)
    os.makedirs(work, exist_ok=True)
    logs = os.path.join(work, "logs")
    shutil.rmtree(logs, ignore_errors=True)
    os.makedirs(logs)
    started = time.monotonic()

    t = time.monotonic()
    built = fixtures.build_all(os.path.join(work, "bin"))
    built["version_dump"] = os.path.abspath(args.probe)
    print("helpers and libraries built in %.1f s" % (time.monotonic() - t))

    # A test driver that gives up on the run sends SIGTERM: end the Wine session
    # and the helpers on the way out all the same.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("terminated"))
    prefix = Prefix(os.path.join(work, "prefix"))
    results = []
    try:
        print("prefix made in %.1f s (%s)" % (prefix.create(), prefix.path))
        context = scenarios.Context(prefix, exe, built, args.content_stage, logs, REPO, work)
        chosen = [s for s in scenarios.ALL if not args.only or s.__name__ in args.only]
        for scenario in chosen:
            if scenario is scenarios.message_box_on_display and args.no_display:
                continue
            results.append(context.run(scenario))
    except Exception:
        traceback.print_exc()
        results.append(("setup", False))
    finally:
        prefix.kill()

    failed = [name for name, ok in results if not ok]
    print("\n%d scenarios, %d failed%s; %.1f s in all; logs in %s" % (
        len(results), len(failed), (": " + ", ".join(failed)) if failed else "",
        time.monotonic() - started, logs))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
