#!/usr/bin/env python3
"""The two tools decide alike: random Windows trees, each cleaned once by the
Linux tool and once by purgelib.exe under Wine, must leave the same files and
show the same message.

Each tree puts a random choice of stand-in libraries (the maker's by company
name in several spellings, by content only, other makers', none) under random
letter cases into the prefix's system32 and system folders, some of them
read-only. The exe runs in the prefix (with Wine reading capi2032.dll itself,
as Windows does); the Linux tool then runs on the same tree, restored, with the
prefix's drive_c as its drive root. Trees whose libraries could not be deleted
at once are not generated (the Linux tool cannot schedule deletions).

Exit code 0 when every tree agreed, 1 when one did not, 77 when something it
needs is missing.
"""

import argparse
import hashlib
import os
import random
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import fixtures  # noqa: E402
from scenarios import CAPTION  # noqa: E402
from wineprefix import Prefix, TracedString, host_to_windows  # noqa: E402

SKIP = 77
NAMES = (("system32", "CAPI2032.DLL"), ("system", "capi20.dll"), ("system", "capi.dll"))
CHOICES = ("absent", "maker_gmbh", "maker_lower", "maker_upper", "maker_korvik", "maker_dash",
           "maker_english", "other_maker", "maker_with_suffix", "content_only",
           "content_no_version", "maker_fullwidth", "maker_hyphen")


def spellings(name):
    return (name, name.lower(), name.upper(), name[:1].upper() + name[1:].lower())


def library_files(prefix):
    """{(folder, host name): (sha256, read-only)} of every library-named file."""
    found = {}
    for folder in ("system32", "system"):
        path = os.path.join(prefix.windows, folder)
        if not os.path.isdir(path):
            continue
        for entry in sorted(os.listdir(path)):
            if entry.lower() in ("capi2032.dll", "capi20.dll", "capi.dll"):
                full = os.path.join(path, entry)
                with open(full, "rb") as data:
                    digest = hashlib.sha256(data.read()).hexdigest()[:16]
                found[(folder, entry)] = (digest, not os.access(full, os.W_OK) or
                                          not (os.stat(full).st_mode & 0o200))
    return found


def clear(prefix):
    for (folder, entry) in library_files(prefix):
        full = os.path.join(prefix.windows, folder, entry)
        os.chmod(full, 0o644)
        os.remove(full)


def lay_out(prefix, tree, built, wine_capi):
    """Puts the tree's libraries into the prefix; returns what it placed."""
    clear(prefix)
    os.makedirs(os.path.join(prefix.windows, "system"), exist_ok=True)
    for (folder, _), (choice, name, read_only) in zip(NAMES, tree):
        if choice == "absent":
            continue
        target = os.path.join(prefix.windows, folder, name)
        source = wine_capi if choice == "wine_builtin" else built[choice]
        shutil.copyfile(source, target)
        os.chmod(target, 0o444 if read_only else 0o644)
    return library_files(prefix)


def random_tree(rng):
    tree = []
    for index, (_, name) in enumerate(NAMES):
        choices = CHOICES + (("wine_builtin",) if index == 0 else ())
        tree.append((rng.choice(choices), rng.choice(spellings(name)), rng.random() < 0.3))
    return tree


def exe_message(run):
    boxes = run.called("user32.MessageBoxA")
    if len(boxes) != 1 or len(boxes[0].args) != 4 or not isinstance(boxes[0].args[1],
                                                                      TracedString):
        return None
    return boxes[0].args[1].data


def tool_message(stdout):
    """The text after the caption line of the Linux tool's output, in Windows-1252."""
    lines = stdout.split(b"\n")
    caption = CAPTION
    if caption not in lines:
        return None
    after = lines[lines.index(caption) + 1:]
    while after and after[-1] == b"":
        after.pop()
    return b"\n".join(after).decode("utf-8").encode("cp1252")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--exe", required=True, help="purgelib.exe (mingw-x64)")
    parser.add_argument("--tool", required=True, help="the Linux tool (purgelib)")
    parser.add_argument("--prefix", required=True, help="a Wine prefix made by wineprefix.py")
    parser.add_argument("--work", required=True, help="folder for the built stand-ins")
    parser.add_argument("--trees", type=int, default=16)
    parser.add_argument("--seed", type=int, default=None)
    args = parser.parse_args()

    for path in (args.exe, args.tool):
        if not os.path.isfile(path):
            print("SKIP: %s not found" % path)
            return SKIP
    if shutil.which("wine") is None or fixtures.missing_tools():
        print("SKIP: wine or MinGW missing")
        return SKIP
    prefix = Prefix(args.prefix)
    try:
        prefix.attach()
    except RuntimeError as error:
        print("SKIP: %s" % error)
        return SKIP

    seed = args.seed if args.seed is not None else random.randrange(1 << 30)
    rng = random.Random(seed)
    print("seed %d (repeat with --seed %d)" % (seed, seed))
    built = fixtures.build_all(os.path.join(args.work, "fixtures"))
    wine_capi = os.path.join(args.work, "wine-capi2032.dll")
    original = os.path.join(prefix.system32, "capi2032.dll")
    if not os.path.exists(wine_capi):
        shutil.copyfile(original, wine_capi)
    had_system = os.path.isdir(prefix.system)
    exe = host_to_windows(args.exe)

    failures = 0
    try:
        for number in range(args.trees):
            tree = random_tree(rng)
            placed = lay_out(prefix, tree, built, wine_capi)
            run = prefix.run_traced(exe)
            by_exe = (library_files(prefix), exe_message(run))
            pending = prefix.pending_deletions()
            if pending:
                prefix.clear_pending()

            lay_out(prefix, tree, built, wine_capi)
            tool = subprocess.run([args.tool, os.path.join(prefix.path, "drive_c")],
                                  stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=60)
            by_tool = (library_files(prefix), tool_message(tool.stdout))

            agree = by_exe == by_tool and by_exe[1] is not None and not pending
            print("%s tree %2d: %s" % ("ok  " if agree else "FAIL", number,
                                        ", ".join("%s%s%s" % (c, "" if c == "absent" else
                                                              " as " + n, " (r/o)" if r else "")
                                                  for c, n, r in tree)))
            if not agree:
                failures += 1
                print("     placed: %s" % sorted(placed))
                print("     exe:    left %s, message %r, exit %d, pending %s" %
                      (sorted(by_exe[0]), by_exe[1], run.returncode, pending))
                print("     tool:   left %s, message %r, exit %d" %
                      (sorted(by_tool[0]), by_tool[1], tool.returncode))
    finally:
        clear(prefix)
        shutil.copyfile(wine_capi, original)
        if not had_system:
            shutil.rmtree(prefix.system, ignore_errors=True)
        prefix.kill()
    print("%d of %d trees agreed" % (args.trees - failures, args.trees))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
