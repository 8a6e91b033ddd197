#!/usr/bin/python3
"""Compares two version_dump outputs: ours (native) and Wine's (the MinGW
build of the same dumper run under wine). Records are matched by file name.

Every answer is compared: the size and its last error, GetFileVersionInfoA's
result, and for each query its result, length, bytes and last error. The
differences listed in KNOWN are deliberate (see README.md); anything else is
reported and makes the exit status 1.
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
}


# Fixtures built to show a difference that no general rule recognises.
FIXTURES = {
    "ne_cut_before_block.exe": "block-outside-file",
    "ne_cut_block.exe": "block-cut-by-file",
}


def name(path):
    """The host path of a file, whether given as a host path or as Z:\\..."""
    path = path.replace("\\", "/")
    return path[2:] if path[:2].lower() == "z:" else path


def load(path):
    with open(path, encoding="ascii") as f:
        return {name(r["file"]): r for r in map(json.loads, f) if r}


def classify(key, ours, wine):
    if key == "root" or key == "root_empty":
        if wine.get("ok") == 1 and wine.get("len") == 0 and ours.get("ok") == 0:
            return "root-without-fixed-info"
    if wine.get("ok") == 1 and ours.get("ok") == 1 and ours["len"] < wine["len"]:
        if wine["hex"].startswith(ours["hex"]) and len(ours["hex"]) // 2 == ours["len"]:
            return "value-cut-at-node"
    return None


def main():
    if len(sys.argv) != 3:
        print("usage: compare_wine.py ours.jsonl wine.jsonl")
        return 2
    ours, wine = load(sys.argv[1]), load(sys.argv[2])
    unexplained, known = [], {}
    for file in sorted(set(ours) | set(wine)):
        a, b = ours.get(file), wine.get(file)
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
            kind = classify(key, x, y)
            if kind:
                known.setdefault(kind, []).append(file + " " + key)
            else:
                unexplained.append((file, key, x, y))
    print("files: %d" % len(set(ours) | set(wine)))
    for kind, where in sorted(known.items()):
        print("known difference %s (%s): %s" % (kind, ", ".join(where), KNOWN[kind]))
    for file, key, x, y in unexplained:
        print("DIFFERENT %s %s: ours %s, wine %s" % (file, key, x, y))
    if unexplained:
        print("%d unexplained differences" % len(unexplained))
        return 1
    print("wine conformance: ok")
    return 0


if __name__ == "__main__":
    sys.exit(main())
