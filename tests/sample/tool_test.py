#!/usr/bin/env python3
"""The Linux tool's options end to end, on generated trees: the report and the
message on stdout, --quiet, --json (checked against docs/report.schema.json), a
dry run that changes nothing, several drive roots with mixed outcomes, output
that cannot be written, "--", the refusals, --trace and --log.

    tool_test.py PURGELIB SAMPLE_TREE HOLD_FILE REPORT_SAMPLES

Exit code 0 when every check holds, 1 otherwise.
"""

import hashlib
import json
import os
import re
import shutil
import stat
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import check_json_schema  # noqa: E402

SCHEMA_PATH = os.path.join(HERE, "..", "..", "docs", "report.schema.json")
CAPTION = "Velkorant Installationbereiniger"
SUCCESS = ["Das System wurde erfolgreich aktualisiert.",
           "Sie m\u00fcssen den Computer neu starten, damit die \u00c4nderungen wirksam werden."]
FAILURE = ["Das System konnte nicht aktualisiert werden."]
DRY_RUN_LINE = "Probelauf: Es wurde nichts ge\u00e4ndert."
STAMP = re.compile(r"^(open|close) \d\d:\d\d:\d\d \d\d/\d\d/\d\d$")
NOTICE = "Eine weitere Instanz der Applikation wurde gefunden! "

# The sample tree (purgelib_sample_tree, layout xp): the maker's CAPI2032.DLL,
# another maker's capi20.dll, the maker's capi.dll (company name in lower case).
SAMPLE_REPORT = [
    'C:\\windows\\system32\\CAPI2032.DLL: the maker\'s by its company name "QZM GmbH"; deleted',
    'C:\\windows\\system\\capi20.dll: someone else\'s (company name "Other Networks AG"); kept',
    'C:\\windows\\system\\capi.dll: the maker\'s by its company name "qzm gmbh"; deleted',
    "Outcome: updated",
]


class Checks:
    def __init__(self):
        self.failures = 0

    def __call__(self, condition, what, detail=""):
        if condition:
            print("ok: " + what)
        else:
            print("FAIL: " + what + ("\n      " + str(detail) if detail != "" else ""))
            self.failures += 1
        return condition


class Tool:
    def __init__(self, purgelib, sample_tree, hold_file, work):
        self.purgelib = purgelib
        self.sample_tree = sample_tree
        self.hold_file = hold_file
        self.work = work
        self.count = 0

    def tree(self, name=None, layout="xp"):
        """A fresh sample tree; its absolute path."""
        self.count += 1
        root = os.path.join(self.work, name or "tree%d" % self.count)
        subprocess.run([self.sample_tree, root, "--layout", layout], check=True)
        return root

    def run(self, args, stdout=subprocess.PIPE, cwd=None, preexec_fn=None):
        """(exit code, stdout text, stderr text)."""
        result = subprocess.run([self.purgelib] + args, stdout=stdout, stderr=subprocess.PIPE,
                                cwd=cwd, preexec_fn=preexec_fn, timeout=60)
        out = result.stdout.decode("utf-8") if result.stdout is not None else ""
        return result.returncode, out, result.stderr.decode("utf-8", "replace")

    def hold(self, path):
        """Another program holding path without sharing; close its stdin to let go."""
        holder = subprocess.Popen([self.hold_file, path], stdin=subprocess.PIPE,
                                  stdout=subprocess.PIPE)
        line = holder.stdout.readline().decode().strip()
        if line != "held":
            raise RuntimeError("could not hold %s: %s" % (path, line))
        return holder


def release(holder):
    holder.stdin.close()
    holder.wait(timeout=10)


def snapshot(root):
    """Every entry below root: path, type, mode, size, content hash and mtime."""
    entries = []
    for folder, dirs, files in os.walk(root):
        for name in sorted(dirs + files):
            path = os.path.join(folder, name)
            st = os.lstat(path)
            digest = ""
            if stat.S_ISREG(st.st_mode):
                with open(path, "rb") as f:
                    digest = hashlib.sha256(f.read()).hexdigest()
            entries.append((os.path.relpath(path, root), stat.S_IFMT(st.st_mode),
                            stat.S_IMODE(st.st_mode), st.st_size, digest, st.st_mtime_ns))
    return sorted(entries)


def exists(root, relative):
    return os.path.lexists(os.path.join(root, relative))


def report_block(root, lines, message):
    return ["Drive root: " + root] + lines + ["", CAPTION] + message


def main():
    purgelib, sample_tree, hold_file, report_samples = sys.argv[1:5]
    with open(SCHEMA_PATH) as f:
        schema = json.load(f)
    check = Checks()
    work = tempfile.mkdtemp(prefix="purgelib-options-")
    tool = Tool(purgelib, sample_tree, hold_file, work)
    try:
        run_checks(tool, check, schema, report_samples)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("%d failed" % check.failures)
    return 1 if check.failures else 0


def run_checks(tool, check, schema, report_samples):
    # --- the default output: report, then caption and message --------------
    root = tool.tree()
    code, out, err = tool.run([root])
    check(code == 0, "default: exit code 0", code)
    check(out.splitlines() == report_block(root, SAMPLE_REPORT, SUCCESS),
          "default: the report, then the caption and message", out)
    check(err == "", "default: nothing on stderr without --trace", err)
    check(not exists(root, "windows/system32/CAPI2032.DLL")
          and exists(root, "windows/system/capi20.dll"), "default: the maker's copies are gone")

    # --- --quiet ------------------------------------------------------------
    for flag in ("-q", "--quiet"):
        root = tool.tree()
        code, out, err = tool.run([flag, root])
        check(code == 0 and out == "" and err == "", "%s: nothing written, exit code 0" % flag,
              (code, out, err))
        check(not exists(root, "windows/system/capi.dll"), "%s: the run still happened" % flag)

    # --- --json -------------------------------------------------------------
    root = tool.tree()
    code, out, err = tool.run(["--json", root])
    found = check_json_schema.check_text(out, schema, "--json")
    check(code == 0 and not found, "--json: one document that fits the schema", found or code)
    if not found:
        document = json.loads(out)
        entry = document["roots"][0]
        check(entry["root"] == root and entry["message"] == "\n".join(SUCCESS)
              and entry["outcome"] == "updated" and document["exit_code"] == 0,
              "--json: root, message and outcome", entry)
        check([(lib["name"], lib["finding"], lib["action"]) for lib in entry["libraries"]] == [
            ("CAPI2032.DLL", "maker_by_company", "deleted"),
            ("capi20.dll", "foreign", "nothing"),
            ("capi.dll", "maker_by_company", "deleted")],
            "--json: what was found and done", entry["libraries"])
        check(entry["libraries"][1]["company"] == "Other Networks AG",
              "--json: the foreign library's company name", entry["libraries"][1])
    samples = subprocess.run([report_samples], stdout=subprocess.PIPE, check=True).stdout
    found = check_json_schema.check_text(samples, schema, "samples")
    check(not found, "JSON of every finding, action and outcome fits the schema", found)
    if not found:
        document = json.loads(samples.decode("utf-8"))
        check(document["roots"][1]["root"] == "/mnt/\ufffd\ufffd latin-1"
              and document["roots"][0]["libraries"][1]["company"]
              == "M\u00fcller \u20ac GmbH\t\"x\"",
              "JSON: host bytes that are not UTF-8 and Windows-1252 texts come out right",
              document["roots"][:2])

    # --- a dry run changes nothing -----------------------------------------
    for flag in ("-n", "--dry-run"):
        root = tool.tree()
        os.chmod(os.path.join(root, "windows/system/capi.dll"), 0o444)
        before = snapshot(root)
        code, out, err = tool.run([flag, root])
        check(code == 0, "%s: exit code 0" % flag, (code, err))
        check(snapshot(root) == before, "%s: the tree is byte- and mode-identical" % flag)
        lines = out.splitlines()
        check(lines[-3:] == SUCCESS + [DRY_RUN_LINE], "%s: the message says it was a dry run"
              % flag, out)
        check(lines[1].endswith("; would be deleted (dry run)")
              and lines[4] == "Outcome: updated (dry run, nothing was changed)",
              "%s: the report says what would be deleted" % flag, out)
    root = tool.tree()
    before = snapshot(root)
    code, out, _ = tool.run(["--json", "-n", root])
    document = json.loads(out) if out else {}
    check(document.get("dry_run") is True and [lib["action"] for lib in document["roots"][0][
        "libraries"]] == ["would_delete", "nothing", "would_delete"] and snapshot(root) == before,
        "--json --dry-run: would_delete, nothing changed", out)

    # --- several drive roots -------------------------------------------------
    good, held = tool.tree(), tool.tree()
    holder = tool.hold(os.path.join(held, "windows/system32/CAPI2032.DLL"))
    try:
        code, out, err = tool.run([good, held, "--json"])
    finally:
        release(holder)
    document = json.loads(out) if out else {"roots": []}
    check(code == 1 and document.get("exit_code") == 1, "several roots: the worst exit code",
          (code, err))
    check([r["exit_code"] for r in document["roots"]] == [0, 1]
          and document["roots"][1]["libraries"][0]["finding"] == "cannot_examine",
          "several roots: each with its own report", out)
    check(not exists(good, "windows/system32/CAPI2032.DLL")
          and exists(held, "windows/system32/CAPI2032.DLL")
          and exists(held, "windows/system/capi.dll"),
          "several roots: the held library and the ones after it stay")
    a, b = tool.tree(), tool.tree(layout="win9x")
    code, out, _ = tool.run([a, b])
    blocks = out.split("\n\nDrive root: ")
    check(code == 0 and len(blocks) == 2 and out.startswith("Drive root: " + a)
          and blocks[1].startswith(b + "\n"), "several roots: one block after the other", out)
    untouched = tool.tree()
    before = snapshot(untouched)
    code, out, err = tool.run([untouched, os.path.join(tool.work, "missing")])
    check(code == 2 and out == "" and len(err.splitlines()) == 1 and snapshot(untouched) == before,
          "several roots: one bad root refuses all, nothing touched", (code, out, err))

    # --- output that cannot be written ------------------------------------------
    def closed_stdout():
        os.close(1)

    cases = [
        ("a full device", [], "/dev/full", None, 3),
        ("a full device, --json", ["--json"], "/dev/full", None, 3),
        ("a full device, --quiet", ["--quiet"], "/dev/full", None, 0),
        ("a closed stdout", [], None, closed_stdout, 3),
        ("a broken pipe", [], "pipe", None, 3),
    ]
    for what, flags, target, preexec, expected in cases:
        root = tool.tree()
        if target == "pipe":
            read_end, stdout = os.pipe()
            os.close(read_end)
        elif target:
            stdout = os.open(target, os.O_WRONLY)
        else:
            stdout = subprocess.DEVNULL
        try:
            code, _, err = tool.run(flags + [root], stdout=stdout, preexec_fn=preexec)
        finally:
            if isinstance(stdout, int) and stdout >= 0:
                os.close(stdout)
        check(code == expected, "%s: exit code %d" % (what, expected), (code, err))
    with open("/dev/full", "wb") as full:
        code, _, _ = tool.run(["--help"], stdout=full)
    check(code == 3, "--help on a full device: exit code 3", code)

    # --- "--" and the refusals ----------------------------------------------------
    cwd = os.path.join(tool.work, "cwd")
    os.makedirs(cwd)
    dashed = tool.tree(os.path.join("cwd", "-x"))
    code, out, err = tool.run(["-x"], cwd=cwd)
    check(code == 2 and exists(dashed, "windows/system32/CAPI2032.DLL"),
          "-x is an unknown option, nothing touched", (code, err))
    code, out, err = tool.run(["--", "-x"], cwd=cwd)
    check(code == 0 and not exists(dashed, "windows/system32/CAPI2032.DLL"),
          "-- -x: the root named -x", (code, err))
    root = tool.tree()
    before = snapshot(root)
    for args in (["--bogus", root], [root, "--log"], ["--json", "-q", root], ["-nz", root],
                 ["--log=", root]):
        code, out, err = tool.run(args)
        check(code == 2 and out == "" and len(err.splitlines()) == 1 and "--help" in err,
              "refused: %s" % " ".join(args[:-1] if args[-1] == root else args), (code, out, err))
    check(snapshot(root) == before, "the refusals touched nothing")

    # --- --trace ------------------------------------------------------------------
    root = tool.tree()
    code, out, err = tool.run(["--trace", "-q", root])
    traces = err.splitlines()
    check(code == 0 and traces and all(t.startswith("[QZMPurgeLib,0x") for t in traces),
          "--trace: the library's traces on stderr", err)

    # --- --log --------------------------------------------------------------------
    logs = os.path.join(tool.work, "logs")
    os.makedirs(logs)
    root = tool.tree()
    code, out, err = tool.run(["--quiet", "--log", "logs/run.log", root], cwd=tool.work)
    text = open(os.path.join(logs, "run.log"), "rb").read().decode("cp1252")
    lines = text.split("\r\n")
    check(code == 0 and lines[-1] == "" and STAMP.match(lines[0]) and STAMP.match(lines[-2])
          and lines[1].startswith("LogFile from: ") and lines[-3] == lines[1],
          "--log: open and close stamps and header lines", text)
    at = lines.index("Drive root: " + root) if "Drive root: " + root in lines else -1
    check(at > 1 and lines[at + 1:at + 5] == SAMPLE_REPORT, "--log: the report's lines", text)
    check(any("Num of detections" in line for line in lines[2:at]),
          "--log: the traces come before the report", text)
    holder = tool.hold(os.path.join(logs, "run.log"))
    try:
        code, out, err = tool.run(["--quiet", "--log=" + os.path.join(logs, "run.log"),
                                   tool.tree()])
    finally:
        release(holder)
    numbered = os.path.join(logs, "run1.log")
    text = open(numbered, "rb").read().decode("cp1252") if os.path.exists(numbered) else ""
    check(code == 0 and text.split("\r\n")[2].startswith(NOTICE),
          "--log: a held log goes on in run1.log beside it", (code, err, text))
    root = tool.tree()
    before = snapshot(root)
    code, out, err = tool.run(["--log", os.path.join(tool.work, "nowhere", "run.log"), root])
    check(code == 2 and snapshot(root) == before, "--log: a log that cannot be written refuses",
          (code, err))

    # --- --help and --version ----------------------------------------------------------
    code, out, _ = tool.run(["--help"])
    check(code == 0 and out.startswith("usage: purgelib [OPTIONS] [DRIVE_ROOT...]")
          and all(word in out for word in ("--dry-run", "--json", "--quiet", "--trace", "--log",
                                           "--version", "  0  ", "  1  ", "  2  ", "  3  ")),
          "--help: the options and the exit codes", out)
    code, out, _ = tool.run(["--version"])
    check(code == 0 and out == "purgelib 1.4.0.0\n", "--version", out)


if __name__ == "__main__":
    sys.exit(main())
