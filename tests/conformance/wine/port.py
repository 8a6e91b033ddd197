#!/usr/bin/python3
"""Builds a compilable C file from one of Wine's conformance tests and our list
of edits to it.

    port.py EDITS SOURCE_DIR OUTPUT         the test as a C file
    port.py --check EDITS SOURCE_DIR        only checks the list against the source
    port.py --resource RC OUTPUT            the version resource of an .rc file as
                                            a C++ table (for the native stand-in)
    port.py --left-out EDITS                the left-out functions and the reasons

The Wine source is never part of this repository: fetch-wine-tests.sh downloads
it at test time, and the edit list says, by line number of that pinned source,
what changes. The output keeps every original line that is not edited, in its
place, and #line directives, so that each check reports the line of the
original file.

The edit list (*.edits) holds only our text. Its entries:

    source PATH sha256 HEX      the file of the Wine tree the list applies to
    leave-out FUNCTION : WHY    drops the function's definition and its calls
                                in START_TEST
    drop A[-B] WHERE : WHY      drops lines A..B
    replace A[-B] WHERE : WHY   replaces lines A..B by the lines after it that
    | text                      start with "| "
    insert A WHERE : WHY        puts the "| " lines before line A
    | text
    sub A WHERE : WHY           replaces, on line A, the one occurrence of the
    - old                       "- " text by the "+ " text
    + new

WHERE is the function the lines lie in (checked), or "-" for lines outside
every function. Every entry gives its reason; lines starting with # are
comments.
"""

import hashlib
import os
import re
import sys


class EditError(Exception):
    pass


class Entry:
    def __init__(self, kind, lineno, first, last, where, reason):
        self.kind = kind
        self.lineno = lineno  # line of the entry in the edit list
        self.first = first
        self.last = last
        self.where = where
        self.reason = reason
        self.text = []  # "| " lines
        self.old = None
        self.new = None


class EditList:
    def __init__(self, path):
        self.path = path
        self.source = None
        self.sha256 = None
        self.leave_out = []  # (function, reason, lineno)
        self.entries = []
        self._parse()

    def _fail(self, lineno, message):
        raise EditError("%s:%d: %s" % (self.path, lineno, message))

    def _parse(self):
        current = None
        with open(self.path, encoding="utf-8") as f:
            for lineno, raw in enumerate(f, 1):
                line = raw.rstrip("\n")
                if line.startswith("| ") or line == "|":
                    if current is None or current.kind not in ("replace", "insert"):
                        self._fail(lineno, "text line outside a replace or insert entry")
                    current.text.append(line[2:])
                    continue
                if line.startswith("- ") or line.startswith("+ "):
                    if current is None or current.kind != "sub":
                        self._fail(lineno, "-/+ line outside a sub entry")
                    if line[0] == "-":
                        current.old = line[2:]
                    else:
                        current.new = line[2:]
                    continue
                current = None
                stripped = line.strip()
                if not stripped or stripped.startswith("#"):
                    continue
                words = stripped.split()
                if words[0] == "source":
                    if len(words) != 4 or words[2] != "sha256":
                        self._fail(lineno, "expected: source PATH sha256 HEX")
                    self.source, self.sha256 = words[1], words[3].lower()
                    continue
                head, sep, reason = stripped.partition(" : ")
                if not sep or not reason.strip():
                    self._fail(lineno, "every entry needs ' : ' and a reason")
                words = head.split()
                if words[0] == "leave-out":
                    if len(words) != 2:
                        self._fail(lineno, "expected: leave-out FUNCTION : WHY")
                    self.leave_out.append((words[1], reason.strip(), lineno))
                    continue
                if words[0] not in ("drop", "replace", "insert", "sub") or len(words) != 3:
                    self._fail(lineno, "unknown entry %r" % head)
                m = re.fullmatch(r"(\d+)(?:-(\d+))?", words[1])
                if not m:
                    self._fail(lineno, "bad line range %r" % words[1])
                first = int(m.group(1))
                last = int(m.group(2) or first)
                if last < first or (words[0] in ("insert", "sub") and last != first):
                    self._fail(lineno, "bad line range %r for %s" % (words[1], words[0]))
                current = Entry(words[0], lineno, first, last, words[2], reason.strip())
                self.entries.append(current)
        if not self.source:
            self._fail(1, "no source line")
        for e in self.entries:
            if e.kind in ("replace", "insert") and not e.text:
                self._fail(e.lineno, "%s without | lines" % e.kind)
            if e.kind == "sub" and (e.old is None or e.new is None or not e.old):
                self._fail(e.lineno, "sub needs one - line and one + line")


def functions(lines):
    """Top-level function definitions: {name: (first, last)} with 1-based line
    numbers, from the line that names the function to its closing brace. Wine's
    style puts the braces of a function in column 0."""
    found = {}
    i = 0
    while i < len(lines):
        line = lines[i]
        if re.match(r"^[A-Za-z_]", line) and not line.rstrip().endswith(";") and "(" in line:
            j = i
            # The parameter list may span lines; the body's brace opens a line.
            while j + 1 < len(lines) and j - i < 6 and not lines[j + 1].startswith("{") \
                    and not lines[j].rstrip().endswith(";"):
                j += 1
            if j + 1 < len(lines) and lines[j + 1].startswith("{"):
                k = j + 2
                while k < len(lines) and not lines[k].startswith("}"):
                    k += 1
                m = re.match(r"^START_TEST\((\w+)\)", line)
                if m:
                    name = "START_TEST"
                else:
                    names = re.findall(r"(\w+)\s*\(", line)
                    name = names[-1] if names else None
                    # "static void (WINAPI *p)(...)" style lines are not definitions.
                    if name in ("WINAPI", "CALLBACK"):
                        name = names[0]
                if name:
                    found[name] = (i + 1, k + 1)
                i = k + 1
                continue
        i += 1
    return found


def load_source(edits, source_dir):
    path = os.path.join(source_dir, edits.source)
    try:
        with open(path, "rb") as f:
            data = f.read()
    except OSError as e:
        raise EditError("cannot read the Wine source %s: %s (run fetch-wine-tests.sh)"
                        % (path, e.strerror))
    digest = hashlib.sha256(data).hexdigest()
    if digest != edits.sha256:
        raise EditError("%s has SHA-256 %s, the edit list %s is for %s"
                        % (path, digest, edits.path, edits.sha256))
    return data.decode("latin-1").split("\n")


def plan(edits, lines):
    """Checks the list against the source. Returns {line: action} where an
    action is ("drop",), ("text", [lines], entry) for the first line of a
    replacement, ("insert", [lines], entry), ("sub", old, new, entry)."""
    funcs = functions(lines)
    owner = {}
    for name, (first, last) in funcs.items():
        for n in range(first, last + 1):
            owner[n] = name

    actions = {}
    inserts = {}
    subs = {}

    def claim(n, entry):
        if n < 1 or n > len(lines):
            raise EditError("%s:%d: line %d is outside the source (%d lines)"
                            % (edits.path, entry.lineno, n, len(lines)))
        if n in actions:
            raise EditError("%s:%d: line %d is edited twice" % (edits.path, entry.lineno, n))

    start = funcs.get("START_TEST")
    for name, reason, lineno in edits.leave_out:
        if name not in funcs or name == "START_TEST":
            raise EditError("%s:%d: no function %s in %s" % (edits.path, lineno, name,
                                                             edits.source))
        first, last = funcs[name]
        for n in range(first, last + 1):
            if n in actions:
                raise EditError("%s:%d: line %d is edited twice" % (edits.path, lineno, n))
            actions[n] = ("drop", ("left out: " + reason, lineno))
        if start:
            for n in range(start[0], start[1] + 1):
                if re.match(r"^\s*%s\s*\(.*\);\s*$" % re.escape(name), lines[n - 1]):
                    actions[n] = ("drop", ("%s left out" % name, lineno))

    for e in edits.entries:
        for n in range(e.first, e.last + 1):
            where = owner.get(n, "-")
            if where != e.where:
                raise EditError("%s:%d: line %d lies in %s, not in %s"
                                % (edits.path, e.lineno, n, where, e.where))
        if e.kind == "insert":
            if e.first in inserts:
                raise EditError("%s:%d: two inserts before line %d"
                                % (edits.path, e.lineno, e.first))
            inserts[e.first] = e
            continue
        if e.kind == "sub":
            claim(e.first, e)
            if e.first in subs:
                raise EditError("%s:%d: two subs on line %d" % (edits.path, e.lineno, e.first))
            count = lines[e.first - 1].count(e.old)
            if count != 1:
                raise EditError("%s:%d: %r occurs %d times on line %d, not once"
                                % (edits.path, e.lineno, e.old, count, e.first))
            subs[e.first] = e
            continue
        for n in range(e.first, e.last + 1):
            claim(n, e)
            actions[n] = ("drop", ("dropped: " + e.reason, e.lineno))
        if e.kind == "replace":
            actions[e.first] = ("text", e.text, e)
    for n, e in subs.items():
        if n in actions:
            raise EditError("%s:%d: line %d is edited twice" % (edits.path, e.lineno, n))
        actions[n] = ("sub", e.old, e.new, e)
    for n, e in inserts.items():
        if n in actions and actions[n][0] == "drop":
            raise EditError("%s:%d: insert before a dropped line %d"
                            % (edits.path, e.lineno, n))
    return actions, inserts


def generate(edits, lines, source_label):
    actions, inserts = plan(edits, lines)
    name = os.path.basename(edits.source)
    edits_name = os.path.basename(edits.path)
    out = [
        "/* Generated by tests/conformance/wine/port.py from Wine's %s" % edits.source,
        " * (%s) and the edits in tests/conformance/wine/%s." % (source_label, edits_name),
        " * Do not edit: change the edit list. */",
    ]
    in_sync = False  # whether the next output line is the next original line
    for n in range(1, len(lines) + 1):
        if n == len(lines) and lines[n - 1] == "":
            break  # the final newline
        insert = inserts.get(n)
        if insert:
            out.append("/* %s:%d: %s */" % (edits_name, insert.lineno, insert.reason))
            out.append('#line %d "%s"' % (n, name))
            out.extend(insert.text)
            in_sync = False
        action = actions.get(n)
        if action is None:
            if not in_sync:
                out.append('#line %d "%s"' % (n, name))
                in_sync = True
            out.append(lines[n - 1])
            continue
        if action[0] == "drop":
            previous = actions.get(n - 1)
            if not previous or previous[0] != "drop" or previous[1] != action[1]:
                out.append("/* %s:%d: %s */" % (edits_name, action[1][1], action[1][0]))
            in_sync = False
            continue
        entry = action[-1]
        out.append("/* %s:%d: %s */" % (edits_name, entry.lineno, entry.reason))
        out.append('#line %d "%s"' % (n, name))
        if action[0] == "text":
            out.extend(action[1])
            in_sync = False
        else:
            out.append(lines[n - 1].replace(action[1], action[2], 1))
            in_sync = True
    return "\n".join(out) + "\n"


def resource_table(rc_path):
    """The version resource of an .rc file as a C++ initializer for the native
    stand-in of the test program (see native_machine.cpp)."""
    with open(rc_path, encoding="latin-1") as f:
        text = f.read()
    text = re.sub(r"/\*.*?\*/", "", text, flags=re.S)

    def version(keyword):
        m = re.search(r"^\s*%s\s+(\d+)\s*,\s*(\d+)\s*,\s*(\d+)\s*,\s*(\d+)" % keyword, text,
                      re.M)
        if not m:
            raise EditError("%s: no %s" % (rc_path, keyword))
        a, b, c, d = (int(x) for x in m.groups())
        return (a << 16 | b, c << 16 | d)

    blocks = re.findall(r'BLOCK\s+"([0-9A-Fa-f]{8})"', text)
    if len(blocks) != 1:
        raise EditError("%s: expected one string table, found %d" % (rc_path, len(blocks)))
    values = re.findall(r'^\s*VALUE\s+"([^"]*)"\s*,\s*"([^"]*)"', text, re.M)
    m = re.search(r'VALUE\s+"Translation"\s*,\s*(0x[0-9A-Fa-f]+|\d+)\s*,\s*(0x[0-9A-Fa-f]+|\d+)',
                  text)
    if not values or not m:
        raise EditError("%s: no string values or no translation" % rc_path)
    language, codepage = (int(x, 0) for x in m.groups())
    file_ms, file_ls = version("FILEVERSION")
    product_ms, product_ls = version("PRODUCTVERSION")
    out = ["// Generated by tests/conformance/wine/port.py from %s." % os.path.basename(rc_path),
           "#define TEST_PROGRAM_FILE_VERSION 0x%08xu, 0x%08xu" % (file_ms, file_ls),
           "#define TEST_PROGRAM_PRODUCT_VERSION 0x%08xu, 0x%08xu" % (product_ms, product_ls),
           "#define TEST_PROGRAM_TABLE 0x%su, 0x%su" % (blocks[0][:4], blocks[0][4:]),
           "#define TEST_PROGRAM_TRANSLATION 0x%04xu, 0x%04xu" % (language, codepage),
           "#define TEST_PROGRAM_VALUES \\"]
    for key, value in values:
        out.append('    {"%s", "%s"}, \\' % (key, value))
    out.append("")
    return "\n".join(out) + "\n"


def write_if_changed(path, text):
    try:
        with open(path, encoding="latin-1") as f:
            if f.read() == text:
                return
    except OSError:
        pass
    tmp = path + ".tmp"
    with open(tmp, "w", encoding="latin-1") as f:
        f.write(text)
    os.replace(tmp, path)


def main(argv):
    try:
        if len(argv) == 3 and argv[0] == "--resource":
            write_if_changed(argv[2], resource_table(argv[1]))
            return 0
        if len(argv) == 2 and argv[0] == "--left-out":
            for name, reason, _ in EditList(argv[1]).leave_out:
                print("%s: %s" % (name, reason))
            return 0
        if len(argv) == 3 and argv[0] == "--check":
            edits = EditList(argv[1])
            plan(edits, load_source(edits, argv[2]))
            return 0
        if len(argv) == 3:
            edits = EditList(argv[0])
            lines = load_source(edits, argv[1])
            label = "Debian source package wine 8.0~repack-4"
            write_if_changed(argv[2], generate(edits, lines, label))
            return 0
    except EditError as e:
        print("port.py: %s" % e, file=sys.stderr)
        return 1
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
