#!/usr/bin/python3
"""Compares two version_dump outputs: ours (native) and Wine's (the MinGW
build of the same dumper run under wine). Records are matched by file name.

    compare_wine.py ours.jsonl wine.jsonl

Every answer is compared: the size and its last error, GetFileVersionInfoA's
result, and for each query its result, length, bytes and last error. The
differences listed in KNOWN are deliberate (see README.md), or Wine's library
crashing on a file (a record {"file": ..., "crash": exit code} that
run_wine_probe.py writes when the probe dies on that file even alone);
anything else is reported and makes the exit status 1.
"""

import json
import sys

# Deliberate differences, each recognised by its rule in classify().
KNOWN = {
    "root-without-fixed-info": "a block without VS_FIXEDFILEINFO: Wine answers \"\\\" with "
    "TRUE and length 0 (a caller then reads 52 bytes that are not there); ours fails",
    "block-outside-file": "an NE resource that starts at or past the end of the file: "
    "Wine answers a size and TRUE without reading anything (the caller's buffer is the "
    "\"block\"); ours answers no version information",
    "block-cut-by-file": "a block the file cuts short: Wine walks the root's wLength into "
    "bytes it never wrote (the caller's buffer); ours cuts the root at the bytes read, so "
    "a VS_FIXEDFILEINFO that is not whole in the file is not answered",
    "value-cut-at-node": "a text value whose wValueLength runs past its node: Wine answers "
    "wValueLength and converts the bytes of the following nodes too (and, at the end "
    "of the block, bytes after it); ours is cut at its node and terminated",
    "key-unterminated": "a value whose key has no terminator within the block (the block's "
    "last node): Wine matches the key by reading past the block and answers an empty "
    "value; ours does not find it",
    "wine-crash": "Wine's version library crashes on the file, also in a process of its "
    "own (it reads past what the file holds); ours answers",
}


# Fixtures built to show a difference that no general rule recognises.
FIXTURES = {
    "ne_cut_before_block.exe": "block-outside-file",
    "ne_cut_block.exe": "block-cut-by-file",
}

# Single answers of fixtures made to show a difference: (file, query): kind.
FIXTURE_ANSWERS = {
    ("unterminated32.dll", "ProductVersion"): "key-unterminated",
    ("unterminated16.exe", "ProductVersion"): "key-unterminated",
}


def name(path):
    """The host path of a file, whether given as a host path or as Z:\\..."""
    path = path.replace("\\", "/")
    return path[2:] if path[:2].lower() == "z:" else path


def load(path):
    with open(path, encoding="ascii") as f:
        return by_name(map(json.loads, f))


def by_name(records):
    return {name(r["file"]): r for r in records if r}


def classify(key, ours, wine):
    if key == "root" or key == "root_empty":
        if wine.get("ok") == 1 and wine.get("len") == 0 and ours.get("ok") == 0:
            return "root-without-fixed-info"
    if wine.get("ok") == 1 and ours.get("ok") == 1 and ours["len"] < wine["len"]:
        if wine["hex"].startswith(ours["hex"]) and len(ours["hex"]) // 2 == ours["len"]:
            return "value-cut-at-node"
    return None


def compare(ours, wine, crash_known=True):
    """Both {file: record}. Returns (known {kind: [where]}, unexplained [...]).
    A crash of Wine's library counts as known only with crash_known (for the
    malformed fixtures; a crash on a real module is not expected)."""
    unexplained, known = [], {}
    for file in sorted(set(ours) | set(wine)):
        a, b = ours.get(file), wine.get(file)
        if b is not None and "crash" in b:
            if crash_known and a is not None:
                known.setdefault("wine-crash", []).append(file)
            else:
                unexplained.append((file, "crash", a is not None, b["crash"]))
            continue
        fixture = FIXTURES.get(file.rsplit("/", 1)[-1])
        if fixture and a != b:
            known.setdefault(fixture, []).append(file)
            continue
        if a is None or b is None:
            unexplained.append((file, "record", a is not None, b is not None))
            continue
        for key in ("size", "size_error", "info", "info_error"):
            if a.get(key) != b.get(key):
                unexplained.append((file, key, a.get(key), b.get(key)))
        qa, qb = a.get("q", {}), b.get("q", {})
        for key in sorted(set(qa) | set(qb)):
            x, y = qa.get(key, {}), qb.get(key, {})
            if x == y:
                continue
            kind = FIXTURE_ANSWERS.get((file.rsplit("/", 1)[-1], key)) or classify(key, x, y)
            if kind:
                known.setdefault(kind, []).append(file + " " + key)
            else:
                unexplained.append((file, key, x, y))
    return known, unexplained


def report(ours, wine, crash_known=True):
    """Prints the comparison; True when every difference is a known one."""
    known, unexplained = compare(ours, wine, crash_known)
    print("files: %d" % len(set(ours) | set(wine)))
    for kind, where in sorted(known.items()):
        print("known difference %s (%s): %s" % (kind, ", ".join(where), KNOWN[kind]))
    for file, key, x, y in unexplained:
        print("DIFFERENT %s %s: ours %s, wine %s" % (file, key, x, y))
    if unexplained:
        print("%d unexplained differences" % len(unexplained))
        return False
    print("wine conformance: ok")
    return True


def main():
    if len(sys.argv) != 3:
        print("usage: compare_wine.py ours.jsonl wine.jsonl")
        return 2
    return 0 if report(load(sys.argv[1]), load(sys.argv[2])) else 1


if __name__ == "__main__":
    sys.exit(main())
