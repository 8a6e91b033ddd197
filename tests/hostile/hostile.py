#!/usr/bin/env python3
"""Hostile trees for the Linux tool.

Each case builds a drive root and a bait folder outside it, runs the built
purgelib binary on the root, and compares the full listing of both trees
before and after (names, types, modes, link targets, SHA-256 of every file)
with what the case expects, together with the message on stdout and the exit
code. Whatever a case expects, nothing in the bait folder may change, a
foreign file may never go, and no run may hang.

Groups: special files, links, permissions (as an unprivileged user: when the
suite runs as root it drops to the user nobody with setpriv, and skips these
cases with a note when it cannot), locks, layout ambiguities, races (rename
exchanges against the running tool; the swap at the very call that removes
the entry is in tests/platform/Guard_test.cpp, where a test hook holds the
run there).

  hostile.py TOOL [--only NAME[,NAME...]|races] [--list] [--tries N]

Cases listed in WAITING depend on behaviour built elsewhere (the exit codes
of the tool's options). Their safety
checks count as always; when only their expected message, exit code or tree
differ, they are reported as WAIT and do not fail the suite. A WAITING case
that passes fails the suite, so that the list is kept true.
"""

import argparse
import ctypes
import fcntl
import hashlib
import os
import shutil
import socket
import stat
import subprocess
import sys
import tempfile
import time

CAPTION = "Velkorant Installationbereiniger"
SUCCESS = ("Das System wurde erfolgreich aktualisiert.\n"
           "Sie müssen den Computer neu starten, damit die Änderungen wirksam werden.")
FAILURE = "Das System konnte nicht aktualisiert werden."

# Files that look like libraries: the maker's by their bytes, and others'.
MAKER = b"MZ\x90\x00" + b"\x00" * 60 + b"library of QZM GmbH, Berlin" + b"\x00" * 64
FOREIGN = b"MZ\x90\x00" + b"\x00" * 60 + b"library of Other Networks AG" + b"\x00" * 64

NOBODY = 65534
RUN_TIMEOUT = 15  # seconds; a run that takes longer hangs

# Case name -> what it waits for. Remove a name when its case passes.
EXIT_CODE_1 = "the tool's exit code 1 when the system was not updated (the tools' options)"
WAITING = {name: EXIT_CODE_1 for name in (
    "link_loop",
    "hardlink_outside_readonly",
    "readonly_maker_unwritable_folder",
    "system32_unsearchable",
    "system32_unlistable",
    "maker_mode_000",
    "maker_locked_by_another_process",
    "maker_opened_without_sharing",
    "system_and_System",
    "capi_and_CAPI",
    "system32_and_System32",
)}


# ---- trees --------------------------------------------------------------------

def write(path, data, mode=0o644):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    os.chmod(path, mode)


def base_tree(root):
    """An ordinary XP tree with nothing of the maker's: another maker's
    capi20.dll and a few foreign files."""
    write(f"{root}/windows/system32/kernel32.dll", FOREIGN)
    write(f"{root}/windows/system/capi20.dll", FOREIGN)
    write(f"{root}/windows/system/other.dll", FOREIGN)


def base_bait(bait):
    write(f"{bait}/CAPI2032.DLL", MAKER, 0o444)
    write(f"{bait}/sys/CAPI2032.DLL", MAKER)
    write(f"{bait}/sys/capi.dll", MAKER)


def listing(top):
    """Every entry below top: relative path -> (type, mode, content digest or
    link target). Walks by descriptors, so paths beyond PATH_MAX are fine."""
    out = {}
    if not os.path.lexists(top):
        return out
    for dirpath, dirnames, filenames, dirfd in os.fwalk(top, follow_symlinks=False,
                                                        onerror=lambda e: None):
        rel = os.path.relpath(dirpath, top)
        for name in dirnames + filenames:
            key = name if rel == "." else f"{rel}/{name}"
            st = os.stat(name, dir_fd=dirfd, follow_symlinks=False)
            kind = stat.S_IFMT(st.st_mode)
            what = ""
            if stat.S_ISREG(st.st_mode):
                try:
                    fd = os.open(name, os.O_RDONLY | os.O_NONBLOCK | os.O_NOFOLLOW, dir_fd=dirfd)
                    with os.fdopen(fd, "rb") as f:
                        what = hashlib.sha256(f.read()).hexdigest()[:16]
                except OSError:
                    what = "unreadable"
            elif stat.S_ISLNK(st.st_mode):
                what = os.readlink(name, dir_fd=dirfd)
            out[key] = (kind, stat.S_IMODE(st.st_mode), what)
    return out


def digest(data):
    return hashlib.sha256(data).hexdigest()[:16]


def make_writable(top):
    for dirpath, dirnames, filenames, dirfd in os.fwalk(top, follow_symlinks=False,
                                                        onerror=lambda e: None):
        for name in dirnames:
            if stat.S_ISDIR(os.stat(name, dir_fd=dirfd, follow_symlinks=False).st_mode):
                os.chmod(name, 0o755, dir_fd=dirfd)


def remove_tree(top):
    if not os.path.lexists(top):
        return
    os.chmod(top, 0o755)
    make_writable(top)
    # Deep trees: remove bottom-up by descriptors.
    for dirpath, dirnames, filenames, dirfd in os.fwalk(top, topdown=False,
                                                        follow_symlinks=False):
        for name in filenames:
            os.unlink(name, dir_fd=dirfd)
        for name in dirnames:
            if stat.S_ISLNK(os.stat(name, dir_fd=dirfd, follow_symlinks=False).st_mode):
                os.unlink(name, dir_fd=dirfd)
            else:
                os.rmdir(name, dir_fd=dirfd)
    os.rmdir(top)


# ---- running the tool ---------------------------------------------------------

class Context:
    def __init__(self, work, tool, unprivileged):
        self.work = work
        self.root = f"{work}/root"
        self.bait = f"{work}/bait"
        self.tool = tool
        self.unprivileged = unprivileged  # command prefix, or None
        self.stdin = None
        self.holders = []  # objects to keep alive (locks, sockets)

    def run(self, as_nobody=False, root=None):
        command = [self.tool, root or self.root]
        if as_nobody and self.unprivileged:
            command = self.unprivileged + command
        try:
            done = subprocess.run(command, stdin=self.stdin if self.stdin is not None
                                  else subprocess.DEVNULL, capture_output=True,
                                  timeout=RUN_TIMEOUT)
        except subprocess.TimeoutExpired:
            return None
        return done.returncode, done.stdout.decode("utf-8", "replace"), \
            done.stderr.decode("utf-8", "replace")


def message_of(kind):
    if kind == "success":
        return f"{CAPTION}\n{SUCCESS}\n"
    if kind == "failure":
        return f"{CAPTION}\n{FAILURE}\n"
    return ""


EXIT_CODES = {"success": 0, "failure": 1, "refused": 2}


# ---- the cases ----------------------------------------------------------------

CASES = []


def case(group, name, expect, removed=(), as_nobody=False, needs_root=False, changed=None):
    """expect: success, failure or refused; removed: relative paths below the
    root expected to be gone (the rest of both trees stays as it was);
    changed: relative path -> (type, mode, digest) expected afterwards."""
    def register(build):
        CASES.append(dict(group=group, name=name, build=build, expect=expect,
                          removed=set(removed), as_nobody=as_nobody, needs_root=needs_root,
                          changed=changed or {}))
        return build
    return register


S32 = "windows/system32"
SYS = "windows/system"


@case("special", "fifo_as_CAPI2032", "success", removed=[f"{SYS}/capi.dll"])
def _(c):
    base_tree(c.root)
    os.mkfifo(f"{c.root}/{S32}/CAPI2032.DLL")
    write(f"{c.root}/{SYS}/capi.dll", MAKER)  # examined after the pipe: it is someone else's


@case("special", "fifo_as_capi20_in_system", "success")
def _(c):
    base_tree(c.root)
    os.unlink(f"{c.root}/{SYS}/capi20.dll")
    os.mkfifo(f"{c.root}/{SYS}/capi20.dll")


@case("special", "link_to_dev_stdin_on_a_pipe", "success")
def _(c):
    base_tree(c.root)
    os.symlink("/dev/stdin", f"{c.root}/{S32}/CAPI2032.DLL")
    reader, writer = os.pipe()
    c.stdin = reader
    c.holders.append(writer)  # nobody writes: an open of the pipe would wait


@case("special", "link_to_a_pipe_inside_the_root", "success")
def _(c):
    base_tree(c.root)
    os.makedirs(f"{c.root}/dev")
    os.mkfifo(f"{c.root}/dev/stdin")
    os.symlink("/dev/stdin", f"{c.root}/{S32}/CAPI2032.DLL")


@case("special", "socket_as_CAPI2032", "success")
def _(c):
    base_tree(c.root)
    s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    s.bind(f"{c.root}/{S32}/CAPI2032.DLL")
    c.holders.append(s)


@case("special", "device_as_CAPI2032", "success", needs_root=True)
def _(c):
    base_tree(c.root)
    os.mknod(f"{c.root}/{S32}/CAPI2032.DLL", 0o666 | stat.S_IFCHR, os.makedev(1, 3))


@case("special", "folder_as_CAPI2032", "success", removed=[f"{SYS}/capi.dll"])
def _(c):
    base_tree(c.root)
    write(f"{c.root}/{S32}/CAPI2032.DLL/inside.dll", MAKER)
    write(f"{c.root}/{SYS}/capi.dll", MAKER)


@case("links", "system32_link_to_outside", "success")
def _(c):
    base_tree(c.root)
    shutil.rmtree(f"{c.root}/{S32}")
    os.symlink(f"{c.bait}/sys", f"{c.root}/{S32}")


@case("links", "system32_relative_link_to_outside", "success")
def _(c):
    base_tree(c.root)
    shutil.rmtree(f"{c.root}/{S32}")
    os.symlink("../" * 20 + c.bait.lstrip("/") + "/sys", f"{c.root}/{S32}")


@case("links", "system_link_to_outside", "success")
def _(c):
    base_tree(c.root)
    shutil.rmtree(f"{c.root}/{SYS}")
    os.symlink(f"{c.bait}/sys", f"{c.root}/{SYS}")


@case("links", "windows_link_to_outside", "refused")
def _(c):
    os.makedirs(c.root)
    os.makedirs(f"{c.bait}/windows/system32")
    write(f"{c.bait}/windows/system32/CAPI2032.DLL", MAKER)
    os.symlink(f"{c.bait}/windows", f"{c.root}/windows")


@case("links", "CAPI2032_link_to_readonly_maker_file_outside", "success")
def _(c):
    base_tree(c.root)
    os.symlink(f"{c.bait}/CAPI2032.DLL", f"{c.root}/{S32}/CAPI2032.DLL")


@case("links", "CAPI2032_relative_link_to_outside", "success")
def _(c):
    base_tree(c.root)
    os.symlink("../" * 20 + c.bait.lstrip("/") + "/CAPI2032.DLL",
               f"{c.root}/{S32}/CAPI2032.DLL")


@case("links", "CAPI2032_link_through_proc", "success")
def _(c):
    base_tree(c.root)
    os.symlink(f"/proc/self/root{c.bait}/CAPI2032.DLL", f"{c.root}/{S32}/CAPI2032.DLL")


@case("links", "CAPI2032_link_to_maker_file_inside", "success",
      removed=[f"{S32}/CAPI2032.DLL"])
def _(c):
    base_tree(c.root)
    write(f"{c.root}/windows/kept/maker.dll", MAKER)
    os.symlink("/windows/kept/maker.dll", f"{c.root}/{S32}/CAPI2032.DLL")


@case("links", "link_loop", "failure")
def _(c):
    base_tree(c.root)
    os.symlink("CAPI2032.DLL", f"{c.root}/{S32}/CAPI2032.DLL")


@case("links", "hardlink_outside_readonly", "failure", needs_root=True)
def _(c):
    base_tree(c.root)
    os.link(f"{c.bait}/CAPI2032.DLL", f"{c.root}/{S32}/CAPI2032.DLL")


@case("links", "hardlink_outside_writable", "success", removed=[f"{S32}/CAPI2032.DLL"],
      needs_root=True)
def _(c):
    base_tree(c.root)
    os.link(f"{c.bait}/sys/CAPI2032.DLL", f"{c.root}/{S32}/CAPI2032.DLL")


@case("permissions", "readonly_maker_unwritable_folder", "failure", as_nobody=True)
def _(c):
    base_tree(c.root)
    write(f"{c.root}/{S32}/CAPI2032.DLL", MAKER, 0o444)
    os.chmod(f"{c.root}/{S32}", 0o555)


@case("permissions", "system32_unsearchable", "failure", as_nobody=True)
def _(c):
    base_tree(c.root)
    write(f"{c.root}/{S32}/CAPI2032.DLL", MAKER)
    os.chmod(f"{c.root}/{S32}", 0o000)


@case("permissions", "system32_unlistable", "failure", as_nobody=True)
def _(c):
    base_tree(c.root)
    write(f"{c.root}/{S32}/CAPI2032.DLL", MAKER)
    os.chmod(f"{c.root}/{S32}", 0o311)


@case("permissions", "maker_mode_000", "failure", as_nobody=True)
def _(c):
    base_tree(c.root)
    write(f"{c.root}/{S32}/CAPI2032.DLL", MAKER, 0o000)


@case("permissions", "readonly_maker_writable_folder", "success",
      removed=[f"{S32}/CAPI2032.DLL"], as_nobody=True)
def _(c):
    base_tree(c.root)
    write(f"{c.root}/{S32}/CAPI2032.DLL", MAKER, 0o444)


def hold_lock(c, path, length, start):
    """Another process takes a shared lock on `length` bytes from `start` of
    the file (0: to its end and beyond) and holds it until the run is over.
    (In this process the lock would go with the first descriptor of the file
    that is closed, as POSIX locks do.)"""
    holder = subprocess.Popen(
        [sys.executable, "-c",
         "import fcntl, sys\n"
         f"f = open({path!r}, 'rb')\n"
         f"fcntl.lockf(f.fileno(), fcntl.LOCK_SH | fcntl.LOCK_NB, {length}, {start})\n"
         "print('held', flush=True)\n"
         "sys.stdin.read()\n"],
        stdin=subprocess.PIPE, stdout=subprocess.PIPE)
    assert holder.stdout.readline().strip() == b"held"
    c.holders.append(holder)


@case("locks", "maker_locked_by_another_process", "failure")
def _(c):
    base_tree(c.root)
    write(f"{c.root}/{S32}/CAPI2032.DLL", MAKER)
    hold_lock(c, f"{c.root}/{S32}/CAPI2032.DLL", 0, 0)  # the whole file


@case("locks", "maker_opened_without_sharing", "failure")
def _(c):
    base_tree(c.root)
    write(f"{c.root}/{S32}/CAPI2032.DLL", MAKER)
    # The layer's share modes: the "deny" bytes of read, write and delete.
    hold_lock(c, f"{c.root}/{S32}/CAPI2032.DLL", 3, (1 << 62) + 3)


@case("limits", "path_beyond_the_host_limit", "success", removed=["windows/system32/CAPI2032.DLL"])
def _(c):
    # The root itself just below PATH_MAX; the library beyond it.
    os.makedirs(c.root)
    deep = c.root
    while len(deep) < 4000:
        deep += "/" + "d" * min(200, 4000 - len(deep))
        os.mkdir(deep)
    c.deep = deep
    fd = os.open(deep, os.O_RDONLY | os.O_DIRECTORY)
    try:
        for folder in ("windows", "windows/system32", "windows/system"):
            os.mkdir(folder, dir_fd=fd)
        for rel, data in (("windows/system32/CAPI2032.DLL", MAKER),
                          ("windows/system/capi20.dll", FOREIGN)):
            out = os.open(rel, os.O_WRONLY | os.O_CREAT, 0o644, dir_fd=fd)
            os.write(out, data)
            os.close(out)
    finally:
        os.close(fd)


@case("layout", "file_windows_beside_winnt", "success", removed=["winnt/system32/CAPI2032.DLL"])
def _(c):
    write(f"{c.root}/windows", FOREIGN)
    write(f"{c.root}/winnt/system32/CAPI2032.DLL", MAKER)
    write(f"{c.root}/winnt/system/capi20.dll", FOREIGN)


@case("layout", "dangling_windows_link_beside_Windows", "success",
      removed=["Windows/system32/CAPI2032.DLL"])
def _(c):
    write(f"{c.root}/Windows/system32/CAPI2032.DLL", MAKER)
    write(f"{c.root}/Windows/system/capi20.dll", FOREIGN)
    os.symlink("nowhere", f"{c.root}/windows")


@case("layout", "file_system32_beside_System32", "success",
      removed=["windows/System32/CAPI2032.DLL"])
def _(c):
    write(f"{c.root}/windows/system32", FOREIGN)
    write(f"{c.root}/windows/System32/CAPI2032.DLL", MAKER)
    write(f"{c.root}/windows/system/capi20.dll", FOREIGN)


@case("layout", "system_and_System", "failure", removed=[f"{S32}/CAPI2032.DLL"])
def _(c):
    base_tree(c.root)
    write(f"{c.root}/{S32}/CAPI2032.DLL", MAKER)
    write(f"{c.root}/windows/System/capi20.dll", MAKER)


@case("layout", "capi_and_CAPI", "failure")
def _(c):
    base_tree(c.root)
    write(f"{c.root}/{SYS}/capi.dll", MAKER)
    write(f"{c.root}/{SYS}/CAPI.DLL", MAKER)


@case("layout", "system32_and_System32", "failure")
def _(c):
    base_tree(c.root)
    write(f"{c.root}/{S32}/CAPI2032.DLL", MAKER)
    write(f"{c.root}/windows/System32/CAPI2032.DLL", MAKER)


@case("layout", "windows_and_Windows", "refused")
def _(c):
    base_tree(c.root)
    write(f"{c.root}/Windows/system32/CAPI2032.DLL", MAKER)


@case("layout", "system_file_beside_System_folder", "success",
      removed=["windows/System/capi.dll"])
def _(c):
    write(f"{c.root}/{S32}/kernel32.dll", FOREIGN)
    write(f"{c.root}/windows/system", FOREIGN)
    write(f"{c.root}/windows/System/capi.dll", MAKER)


# ---- checking -------------------------------------------------------------------

def expected_after(before, removed, changed, root_listing=True):
    after = {k: v for k, v in before.items() if k not in removed}
    after.update(changed)
    return after


def diff(want, got):
    lines = []
    for key in sorted(set(want) | set(got)):
        if want.get(key) != got.get(key):
            lines.append(f"    {key}: want {want.get(key)} got {got.get(key)}")
    return "\n".join(lines[:12])


def run_case(spec, tool, unprivileged, is_root):
    if spec["needs_root"] and not is_root:
        return "SKIP", "needs root (device nodes, links to files of others)"
    if spec["as_nobody"] and is_root and not unprivileged:
        return "SKIP", "cannot drop privileges (no setpriv): permission cases need an " \
                       "unprivileged user"
    work = tempfile.mkdtemp(prefix="purgelib-hostile-")
    os.chmod(work, 0o755)
    c = Context(work, tool, unprivileged)
    c.deep = None
    try:
        base_bait(c.bait)
        spec["build"](c)
        if spec["as_nobody"] and is_root:
            for dirpath, dirnames, filenames, dirfd in os.fwalk(c.root, follow_symlinks=False):
                for name in dirnames + filenames + ["."]:
                    os.chown(name, NOBODY, NOBODY, dir_fd=dirfd, follow_symlinks=False)
        tree_before, bait_before = listing(c.root), listing(c.bait)
        result = c.run(as_nobody=spec["as_nobody"], root=c.deep)
        tree_after, bait_after = listing(c.root), listing(c.bait)
        for h in c.holders:
            if isinstance(h, int):
                os.close(h)
            elif isinstance(h, subprocess.Popen):
                h.stdin.close()
                h.wait()
            else:
                h.close()
        if c.stdin is not None:
            os.close(c.stdin)

        # Safety: never broken, whatever the case waits for.
        if result is None:
            return "FAIL", f"the run hung (no end within {RUN_TIMEOUT} s)"
        if bait_after != bait_before:
            return "FAIL", "the bait outside the root changed:\n" + diff(bait_before, bait_after)
        foreign = digest(FOREIGN)
        lost = [k for k, v in tree_before.items() if v[2] == foreign and k not in tree_after]
        if lost:
            return "FAIL", f"foreign files removed: {lost}"

        code, out, err = result
        problems = []
        removed = {k if not c.deep else os.path.relpath(f"{c.deep}/{k}", c.root)
                   for k in spec["removed"]}
        want_tree = expected_after(tree_before, removed, spec["changed"])
        if tree_after != want_tree:
            problems.append("the tree is not as expected:\n" + diff(want_tree, tree_after))
        want_code = EXIT_CODES[spec["expect"]]
        if code != want_code:
            problems.append(f"exit code {code}, expected {want_code}")
        want_message = message_of(spec["expect"])
        if spec["expect"] == "refused":
            if out or len(err.strip().splitlines()) != 1:
                problems.append(f"a refusal prints one line on stderr, nothing on stdout: "
                                f"{out!r} {err!r}")
        elif want_message not in out:
            problems.append(f"message {out!r}, expected {want_message!r}")
        if problems:
            return "MISMATCH", "\n  ".join(problems)
        return "PASS", ""
    finally:
        remove_tree(work)


# ---- races ------------------------------------------------------------------------

libc = ctypes.CDLL(None, use_errno=True)
AT_FDCWD = -100
RENAME_EXCHANGE = 2


def exchange(a, b):
    return libc.renameat2(AT_FDCWD, a.encode(), AT_FDCWD, b.encode(), RENAME_EXCHANGE) == 0


def swap_forever(a, b):
    """A child process that exchanges a and b until it is killed."""
    pid = os.fork()
    if pid == 0:
        try:
            while True:
                exchange(a, b)
        finally:
            os._exit(0)
    return pid


def race_file(c):
    base_tree(c.root)
    write(f"{c.root}/{S32}/CAPI2032.DLL", MAKER)
    write(f"{c.root}/{S32}/foreign.dll", FOREIGN)
    return f"{S32}/CAPI2032.DLL", f"{S32}/foreign.dll"


def race_folder(c):
    base_tree(c.root)
    write(f"{c.root}/{S32}/CAPI2032.DLL", MAKER)
    os.symlink(f"{c.bait}/sys", f"{c.root}/windows/evil")
    return S32, "windows/evil"


# The races, taken in turn: the library exchanged with a foreign file, and
# system32 exchanged with a link to a folder outside the root.
RACES = [("library<->foreign file", race_file), ("system32<->link to outside", race_folder)]


def races(tool, tries, seconds):
    """Runs the tool `tries` times (at most `seconds`) on fresh trees while
    another process exchanges two entries as fast as it can."""
    work = tempfile.mkdtemp(prefix="purgelib-race-")
    c = Context(work, tool, None)
    outcomes = {}
    failures = []
    started = time.monotonic()
    done = 0
    maker, foreign = digest(MAKER), digest(FOREIGN)
    try:
        base_bait(c.bait)
        bait_before = listing(c.bait)
        while done < tries and time.monotonic() - started < seconds:
            kind, build = RACES[done % len(RACES)]
            remove_tree(c.root)
            a, b = (f"{c.root}/{p}" for p in build(c))
            before = listing(c.root)
            swapper = swap_forever(a, b)
            result = c.run()
            os.kill(swapper, 9)
            os.waitpid(swapper, 0)
            done += 1
            after = listing(c.root)
            if result is None:
                failures.append(f"try {done} ({kind}): the run hung")
                continue
            code, out, _ = result
            if listing(c.bait) != bait_before:
                failures.append(f"try {done} ({kind}): the bait outside the root changed")
            if sum(v[2] == foreign for v in after.values()) != \
                    sum(v[2] == foreign for v in before.values()):
                failures.append(f"try {done} ({kind}): a foreign file was removed")
            if [k for k in after if ".purgelib-" in k]:
                failures.append(f"try {done} ({kind}): a private folder was left")
            removed = sum(v[2] == maker for v in before.values()) - \
                sum(v[2] == maker for v in after.values())
            shown = ("success" if message_of("success") in out else
                     "failure" if message_of("failure") in out else f"exit {code}")
            key = (kind, shown, "maker's file removed" if removed else "nothing removed")
            outcomes[key] = outcomes.get(key, 0) + 1
    finally:
        remove_tree(work)
    elapsed = time.monotonic() - started
    summary = "; ".join(f"{k}: {n}x {m}, {d}" for (k, m, d), n in sorted(outcomes.items()))
    return done, elapsed, failures, summary


# ---- main ---------------------------------------------------------------------------

def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("tool")
    parser.add_argument("--only", default="")
    parser.add_argument("--list", action="store_true")
    parser.add_argument("--tries", type=int, default=200)
    parser.add_argument("--race-seconds", type=float, default=40.0)
    args = parser.parse_args()
    only = set(filter(None, args.only.split(",")))
    if args.list:
        for spec in CASES:
            print(f"{spec['group']:12} {spec['name']}")
        for name, _ in RACES:
            print(f"{'races':12} {name}")
        return 0

    is_root = os.geteuid() == 0
    unprivileged = None
    if is_root and shutil.which("setpriv"):
        unprivileged = ["setpriv", f"--reuid={NOBODY}", f"--regid={NOBODY}", "--clear-groups"]
    tool = os.path.abspath(args.tool)
    bad = 0
    started = time.monotonic()
    for spec in CASES:
        if only and spec["name"] not in only:
            continue
        status, detail = run_case(spec, tool, unprivileged, is_root)
        label = f"{spec['group']}/{spec['name']}"
        waits = WAITING.get(spec["name"])
        if status == "MISMATCH" and waits:
            print(f"WAIT  {label}  (waits for {waits})\n  {detail}")
        elif status == "PASS" and waits:
            print(f"XPASS {label}: passes now; remove it from WAITING")
            bad += 1
        elif status in ("MISMATCH", "FAIL"):
            print(f"FAIL  {label}\n  {detail}")
            bad += 1
        else:
            print(f"{status:5} {label}" + (f"  ({detail})" if detail else ""))
    if not only or "races" in only:
        done, elapsed, failures, summary = races(tool, args.tries, args.race_seconds)
        if failures:
            print(f"FAIL  races: {len(failures)} of {done} tries\n  " + "\n  ".join(failures[:5]))
            bad += 1
        elif done < args.tries:
            print(f"FAIL  races: only {done} of {args.tries} tries in {elapsed:.1f} s")
            bad += 1
        else:
            print(f"PASS  races: {done} tries in {elapsed:.1f} s\n  {summary}")
    print(f"hostile: {'FAILED' if bad else 'ok'} ({bad} failing) in "
          f"{time.monotonic() - started:.1f} s")
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
