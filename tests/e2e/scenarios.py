"""The end-to-end scenarios: each lays out the system folders, runs purgelib.exe and
checks files, message and exit code. Facts seen on the way (error codes, what the
version library answered) are printed with the result."""

import json
import os
import re
import shutil
import struct
import subprocess
import time
import traceback

from wineprefix import SESSION_MANAGER, TracedString

CAPTION = b"Velkorant Installationbereiniger"
SUCCESS = (b"Das System wurde erfolgreich aktualisiert.\n"
           b"Sie m\xfcssen den Computer neu starten, damit die \xc4nderungen wirksam werden.")
FAILURE = b"Das System konnte nicht aktualisiert werden."
STYLE = 0x00010040  # MB_ICONINFORMATION | MB_SETFOREGROUND
MODULE_TAG = b"[QZMPurgeLib,0x"

LIBRARY_NAMES = ("capi2032.dll", "capi20.dll", "capi.dll")
DELAY_UNTIL_REBOOT = 4


def _escaped(data):
    """Text bytes as the probe's readers show them: printable ASCII as it is,
    anything else (and the backslash) as \\xNN."""
    return "".join(chr(b) if 0x20 <= b < 0x7F and b != 0x5C else "\\x%02X" % b for b in data)


def probe_values(record):
    """A version_dump record in the shape the scenarios read (see
    Context.version_probe)."""
    values = {"size": str(record.get("size", 0)), "translations": []}
    if not record.get("size"):
        values["error"] = "size %d" % record.get("size_error", 0)
        return values
    if not record.get("info"):
        values["error"] = "info %d" % record.get("info_error", 0)
        return values
    q = record.get("q", {})
    root = q.get("root", {})
    if root.get("ok") and root.get("len", 0) >= 52:
        fixed = struct.unpack("<13I", bytes.fromhex(root["hex"])[:52])
        values["fixed.signature"] = "%08X" % fixed[0]
        for name, ms, ls in (("file", fixed[2], fixed[3]), ("product", fixed[4], fixed[5])):
            values["fixed." + name] = "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16,
                                                       ls & 0xFFFF)
    table = q.get("translation", {})
    if not table.get("ok"):
        values["error"] = "translation"
        return values
    raw = bytes.fromhex(table["hex"])
    for i in range(0, len(raw) - 3, 4):
        language, code_page = struct.unpack_from("<HH", raw, i)
        values["translations"].append("%04x%04x" % (language, code_page))
    if values["translations"]:
        first = values["translations"][0]
        values["translation"] = first
        for key, answer in q.items():
            if key not in ("root", "root_empty", "translation", "translation_case") and \
                    answer.get("ok"):
                values["string.%s.%s" % (first, key)] = _escaped(bytes.fromhex(answer["hex"]))
    return values


class Result:
    def __init__(self, name):
        self.name = name
        self.failures = []
        self.notes = []

    def check(self, condition, message):
        if not condition:
            self.failures.append(message)
        return condition

    def note(self, message):
        self.notes.append(message)


class Context:
    def __init__(self, prefix, exe, built, content_stage, logs, repo, work):
        self.prefix = prefix
        self.exe = exe
        self.built = built
        self.content_stage = content_stage
        self.logs = logs
        self.repo = repo
        self.work = work
        self.result = None
        self.runs = 0
        # A fresh prefix already holds Wine's own CAPI2032.DLL; it is kept aside and
        # put back only where a scenario asks for it.
        self.wine_capi = os.path.join(work, "wine-capi2032.dll")
        own = self.find("system32", "capi2032.dll")
        if own:
            shutil.copyfile(own, self.wine_capi)

    # --- layout ------------------------------------------------------------
    def folder(self, where):
        return self.prefix.system32 if where == "system32" else self.prefix.system

    def find(self, where, name):
        """The file in the folder whose name equals name ignoring case, or None."""
        folder = self.folder(where)
        if not os.path.isdir(folder):
            return None
        for entry in os.listdir(folder):
            if entry.lower() == name.lower():
                return os.path.join(folder, entry)
        return None

    def clean(self):
        for name in LIBRARY_NAMES:
            found = self.find("system32", name)
            while found:
                if os.path.isdir(found):
                    shutil.rmtree(found)
                else:
                    os.chmod(found, 0o644)
                    os.remove(found)
                found = self.find("system32", name)
        if os.path.lexists(self.prefix.system):
            shutil.rmtree(self.prefix.system)
        if self.prefix.pending_deletions():
            self.prefix.clear_pending()

    def place(self, where, name, library):
        """Copies a built library (or Wine's own CAPI2032.DLL for "wine") into place;
        returns its host path."""
        os.makedirs(self.folder(where), exist_ok=True)
        path = os.path.join(self.folder(where), name)
        source = self.wine_capi if library == "wine" else self.built[library]
        shutil.copyfile(source, path)
        return path

    def windows_name(self, path):
        return self.prefix.to_windows(path)

    # --- running -----------------------------------------------------------
    def log(self, title, run):
        self.runs += 1
        path = os.path.join(self.logs, "%s.%d.log" % (self.result.name, self.runs))
        with open(path, "w", encoding="latin-1") as out:
            out.write("# %s: exit %d, %.2f s\n" % (title, run.returncode, run.seconds))
            out.write(run.stdout)
            out.write(run.stderr)

    def purgelib(self, expected_text, native_capi=True):
        """Runs the exe and checks exit code and message; returns the run."""
        run = self.prefix.run_traced(self.exe, native_capi=native_capi)
        self.log("purgelib", run)
        r = self.result
        r.note("purgelib ran %.2f s" % run.seconds)
        r.check(run.returncode == 0, "exit code %d, expected 0" % run.returncode)
        boxes = run.called("user32.MessageBoxA")
        if r.check(len(boxes) == 1, "%d message boxes, expected 1" % len(boxes)):
            args = boxes[0].args
            if r.check(len(args) == 4 and isinstance(args[1], TracedString)
                       and isinstance(args[2], TracedString),
                       "MessageBoxA arguments not readable: %r" % boxes[0]):
                hwnd, text, caption, style = args
                r.check(hwnd == 0, "owner window %x, expected none" % hwnd)
                r.check(not text.truncated and text.data == expected_text,
                        "text %r, expected %r" % (text.data, expected_text))
                r.check(caption.data == CAPTION, "caption %r" % caption.data)
                r.check(style == STYLE, "style %08x, expected %08x" % (style, STYLE))
        return run

    def purgelib_switches(self, switches, expected_code, box=None):
        """Runs the exe with switches through exitcode.exe, which reports the whole
        exit code (Wine passes only its low 8 bits on). Checks the code and the boxes:
        box None means none at all (no MessageBoxA call in the relay trace), else the
        one box's text must start with box. Returns the run."""
        run = self.prefix.run_traced(self.built["exitcode"], [self.exe] + list(switches))
        self.log("purgelib " + " ".join(switches), run)
        r = self.result
        shown = run.stdout.strip().splitlines()
        code = int(shown[-1].split()[1]) if shown and shown[-1].startswith("exit ") else None
        r.note("purgelib %s: exit code %s, %.2f s" % (" ".join(switches), code, run.seconds))
        r.check(code == expected_code, "purgelib %s: exit code %s, expected %d"
                % (" ".join(switches), code, expected_code))
        boxes = run.called("user32.MessageBoxA")
        if box is None:
            r.check(not boxes, "purgelib %s called MessageBoxA: %r" % (" ".join(switches), boxes))
            return run
        if r.check(len(boxes) == 1, "purgelib %s: %d boxes, expected 1"
                   % (" ".join(switches), len(boxes))):
            args = boxes[0].args
            text = args[1].data if len(args) == 4 and isinstance(args[1], TracedString) else b""
            caption = args[2].data if len(args) == 4 and isinstance(args[2], TracedString) else b""
            r.check(text.startswith(box), "box text %r, expected it to start with %r"
                    % (text, box))
            r.check(caption == CAPTION, "caption %r" % caption)
        return run

    def holder(self, mode, path):
        stop = os.path.join(self.work, "stop-holder")
        return self.prefix.hold(self.built["holder"], mode, path, stop)

    def try_delete(self, path):
        """What DeleteFileA answers another program for this file right now."""
        run = self.prefix.wine([self.built["holder"], "delete", self.windows_name(path)])
        return run.stdout.strip()

    def version_probe(self, windows_path, native_capi=True):
        """What the system's version library reads from the file (version_dump.exe):
        "size", "error" when there is no block, the fixed file and product versions,
        "translations" (all of them, as llllcccc) and "translation" (the first), and
        "string.<translation>.<key>" for the standard values of the first one (bytes
        outside printable ASCII as \\xNN)."""
        run = self.prefix.wine([self.built["version_dump"], windows_path],
                               native_capi=native_capi)
        try:
            record = json.loads(run.stdout.splitlines()[0])
        except (IndexError, ValueError):
            return {"translations": [], "error": "no answer (exit code %d)" % run.returncode}
        return probe_values(record)

    # --- evidence from the relay trace -------------------------------------
    @staticmethod
    def calls_for(run, function, path):
        """The calls of function whose first argument is path (any letter case)."""
        wanted = path.lower().encode("latin-1")
        return [c for c in run.called(function)
                if c.args and isinstance(c.args[0], TracedString)
                and c.args[0].data.lower() == wanted]

    def results_for(self, run, function, path):
        return [c.result for c in self.calls_for(run, function, path)]

    def expect_deleted_now(self, run, path, windows):
        r = self.result
        r.check(not os.path.exists(path), "%s still there" % windows)
        deletes = self.results_for(run, "kernel32.DeleteFileA", windows)
        r.check(deletes and deletes[-1] != 0, "DeleteFileA(%s) gave %s" % (windows, deletes))
        r.check(not self.results_for(run, "kernel32.MoveFileExA", windows),
                "%s was scheduled though it could be deleted" % windows)

    def expect_untouched(self, run, path, content, windows):
        r = self.result
        if r.check(os.path.exists(path), "%s is gone" % windows):
            with open(path, "rb") as f:
                r.check(f.read() == content, "%s was changed" % windows)
        r.check(not self.results_for(run, "kernel32.DeleteFileA", windows),
                "DeleteFileA was called on %s" % windows)
        r.check(not self.results_for(run, "kernel32.MoveFileExA", windows),
                "MoveFileExA was called on %s" % windows)

    def expect_scheduled(self, run, path, windows):
        r = self.result
        r.check(os.path.exists(path), "%s is gone before the restart" % windows)
        deletes = self.results_for(run, "kernel32.DeleteFileA", windows)
        r.check(deletes == [0], "DeleteFileA(%s) gave %s, expected one failure" % (windows, deletes))
        moves = self.calls_for(run, "kernel32.MoveFileExA", windows)
        if r.check(len(moves) == 1, "MoveFileExA(%s) called %d times" % (windows, len(moves))):
            r.check(moves[0].args[1:] == [0, DELAY_UNTIL_REBOOT] and moves[0].result != 0,
                    "MoveFileExA call %r" % moves[0])
        pending = [p.lower() for p in self.prefix.pending_deletions()]
        r.check(windows.lower() in pending, "%s not pending (pending: %s)" % (windows, pending))

    def expect_no_debug_output(self, run):
        self.result.check(not run.debug, "unexpected debugger output: %r" % [
            d.data for d in run.debug])

    # --- driver ------------------------------------------------------------
    def run(self, scenario):
        self.result = Result(scenario.__name__)
        self.runs = 0
        start = time.monotonic()
        try:
            self.clean()
            scenario(self)
        except Exception:
            self.result.failures.append(traceback.format_exc().strip())
        finally:
            for holder in list(self.prefix.holders):
                self.prefix.release(holder)
        ok = not self.result.failures
        print("[%s] %s (%.1f s)" % ("PASS" if ok else "FAIL", self.result.name,
                                    time.monotonic() - start))
        for note in self.result.notes:
            print("       " + note)
        for failure in self.result.failures:
            print("   !!  " + failure.replace("\n", "\n       "))
        return self.result.name, ok


def _content(path):
    with open(path, "rb") as f:
        return f.read()


# --- scenarios ---------------------------------------------------------------
def nothing_present(ctx):
    """None of the three libraries present: success text, nothing touched."""
    run = ctx.purgelib(SUCCESS)
    ctx.expect_no_debug_output(run)
    r = ctx.result
    r.check(not run.called("kernel32.DeleteFileA"), "DeleteFileA called")
    r.check(not run.called("kernel32.MoveFileExA"), "MoveFileExA called")
    r.check(not os.path.exists(ctx.prefix.system), "the companion folder appeared")
    for name in LIBRARY_NAMES:
        r.check(ctx.find("system32", name) is None, "%s appeared in system32" % name)
    r.check(not ctx.prefix.pending_deletions(), "deletions pending")


def directory_with_library_name(ctx):
    """A folder named CAPI2032.DLL counts as absent and stays; a maker's capi20.dll
    after it is still removed."""
    folder = os.path.join(ctx.prefix.system32, "CAPI2032.DLL")
    os.makedirs(folder)
    lib = ctx.place("system", "capi20.dll", "maker_gmbh")
    run = ctx.purgelib(SUCCESS)
    ctx.result.check(os.path.isdir(folder), "the folder CAPI2032.DLL is gone")
    ctx.expect_deleted_now(run, lib, r"C:\windows\system\capi20.dll")


def maker_copies_removed(ctx):
    """Maker's copies named "QZM GmbH", "qzm gmbh" and "QZM Korvik" in system32 and
    system: all three deleted at once, success text."""
    placed = [
        (ctx.place("system32", "CAPI2032.DLL", "maker_gmbh"), r"C:\windows\system32\CAPI2032.DLL"),
        (ctx.place("system", "capi20.dll", "maker_lower"), r"C:\windows\system\capi20.dll"),
        (ctx.place("system", "capi.dll", "maker_korvik"), r"C:\windows\system\capi.dll"),
    ]
    run = ctx.purgelib(SUCCESS)
    for path, windows in placed:
        ctx.expect_deleted_now(run, path, windows)
    ctx.expect_no_debug_output(run)
    ctx.result.check(not ctx.prefix.pending_deletions(), "deletions pending")


def maker_copies_other_spellings(ctx):
    """"QZM-GmbH", "QZM GMBH" and an English table with "QZM GmbH", under file names
    in other letter cases: all deleted."""
    placed = [
        (ctx.place("system32", "capi2032.dll", "maker_dash"), r"C:\windows\system32\CAPI2032.DLL"),
        (ctx.place("system", "CAPI20.DLL", "maker_upper"), r"C:\windows\system\capi20.dll"),
        (ctx.place("system", "Capi.Dll", "maker_english"), r"C:\windows\system\capi.dll"),
    ]
    run = ctx.purgelib(SUCCESS)
    for path, windows in placed:
        ctx.expect_deleted_now(run, path, windows)
    ctx.expect_no_debug_output(run)


def other_makers_kept(ctx):
    """Wine's own CAPI2032.DLL (no version resource), another maker's capi20.dll and a
    capi.dll of "QZM GmbH Berlin" (not the whole name): all kept, success text."""
    r = ctx.result
    if not os.path.exists(ctx.wine_capi):
        r.note("this Wine has no CAPI2032.DLL of its own; using another maker's library")
    lib1 = ctx.place("system32", "capi2032.dll",
                     "wine" if os.path.exists(ctx.wine_capi) else "other_maker")
    lib2 = ctx.place("system", "capi20.dll", "other_maker")
    lib3 = ctx.place("system", "capi.dll", "maker_with_suffix")
    before = {p: _content(p) for p in (lib1, lib2, lib3)}
    run = ctx.purgelib(SUCCESS)
    for path, windows in ((lib1, r"C:\windows\system32\CAPI2032.DLL"),
                          (lib2, r"C:\windows\system\capi20.dll"),
                          (lib3, r"C:\windows\system\capi.dll")):
        ctx.expect_untouched(run, path, before[path], windows)
    sizes = ctx.results_for(run, "version.GetFileVersionInfoSizeA",
                            r"C:\windows\system32\CAPI2032.DLL")
    r.note("Wine's own CAPI2032.DLL: GetFileVersionInfoSizeA = %s" % sizes)
    r.check(not ctx.prefix.pending_deletions(), "deletions pending")


def wine_builtin_capi2032(ctx):
    """What plain Wine does with a maker's CAPI2032.DLL in system32 (every other
    scenario asks Wine to read that file itself, as Windows does). Reported, not
    judged: only exit code and message are checked."""
    r = ctx.result
    lib = ctx.place("system32", "CAPI2032.DLL", "maker_gmbh")
    windows = r"C:\windows\system32\CAPI2032.DLL"
    probe = ctx.version_probe(windows, native_capi=False)
    r.note("Wine's own answer for the file: GetFileVersionInfoSizeA = %s (%s)"
           % (probe.get("size"), probe.get("error", "no error").replace("size ", "error ")))
    run = ctx.purgelib(SUCCESS, native_capi=False)
    r.note("purgelib: GetFileVersionInfoSizeA = %s, DeleteFileA %s; the file is %s" % (
        ctx.results_for(run, "version.GetFileVersionInfoSizeA", windows),
        ctx.results_for(run, "kernel32.DeleteFileA", windows),
        "kept" if os.path.exists(lib) else "deleted"))


def read_only_hidden_system_removed(ctx):
    """A maker's CAPI2032.DLL that is read-only, hidden and system: attributes cleared,
    deleted at once (not scheduled)."""
    r = ctx.result
    lib = ctx.place("system32", "CAPI2032.DLL", "maker_gmbh")
    windows = r"C:\windows\system32\CAPI2032.DLL"
    attrib = ctx.prefix.wine(["cmd", "/c", "attrib +r %s & attrib +h %s & attrib +s %s & attrib %s"
                              % ((windows,) * 4)])
    shown = attrib.stdout.strip().splitlines()[-1] if attrib.stdout.strip() else ""
    flags = shown.split(windows[:3])[0] if windows[:3] in shown else shown
    r.note("attributes before the run: %s" % " ".join(flags.split()))
    r.check(all(f in flags for f in "RHS"), "could not set the attributes: %r" % shown)
    run = ctx.purgelib(SUCCESS)
    ctx.expect_deleted_now(run, lib, windows)
    calls = ctx.calls_for(run, "kernel32.SetFileAttributesA", windows)
    r.check(calls and calls[0].args[1] == 0x80, "SetFileAttributesA(NORMAL) not called: %r"
            % calls)


def held_exclusively(ctx):
    """A maker's capi20.dll held open with share mode 0 by another program, a maker's
    capi.dll after it. Nobody can open the held file, so neither its version resource
    nor its bytes can be read: whose it is cannot be decided. It is kept, it is not
    handled, capi.dll is not examined, and the failure text is shown; the restart
    leaves both in place."""
    r = ctx.result
    held = ctx.place("system", "capi20.dll", "maker_gmbh")
    later = ctx.place("system", "capi.dll", "maker_korvik")
    held_win = r"C:\windows\system\capi20.dll"
    later_win = r"C:\windows\system\capi.dll"
    content = _content(held)
    content_later = _content(later)
    ctx.holder("open", held)
    probe = ctx.version_probe(held_win)
    r.note("while held: GetFileVersionInfoSizeA = %s (%s)" % (
        probe.get("size"), probe.get("error", "no error").replace("size ", "error ")))
    r.note("while held: DeleteFileA by another program: %s" % ctx.try_delete(held))
    run = ctx.purgelib(FAILURE)
    sizes = ctx.results_for(run, "version.GetFileVersionInfoSizeA", held_win)
    r.note("purgelib: GetFileVersionInfoSizeA(capi20.dll) = %s, DeleteFileA %s, MoveFileExA %s"
           % (sizes, ctx.results_for(run, "kernel32.DeleteFileA", held_win),
              ctx.results_for(run, "kernel32.MoveFileExA", held_win)))
    r.check(sizes, "the held capi20.dll was not examined")
    ctx.expect_untouched(run, held, content, held_win)
    ctx.expect_untouched(run, later, content_later, later_win)
    r.check(not ctx.results_for(run, "version.GetFileVersionInfoSizeA", later_win),
            "capi.dll was examined after a library that could not be")
    traces = [d.data for d in run.debug]
    if traces:
        r.note("debugger output: %r" % traces)
    for holder in list(ctx.prefix.holders):
        ctx.prefix.release(holder)
    r.note("restart took %.1f s" % ctx.prefix.restart())
    r.check(os.path.exists(held), "capi20.dll is gone after the restart")
    r.check(os.path.exists(later), "capi.dll is gone after the restart")


def held_against_delete(ctx):
    """A maker's CAPI2032.DLL open in another program that lets others read but not
    delete: identified, DeleteFileA fails, deletion scheduled; capi20.dll (maker) is
    still examined and deleted, capi.dll (other maker) kept; success text; the
    restart removes CAPI2032.DLL."""
    r = ctx.result
    held = ctx.place("system32", "CAPI2032.DLL", "maker_gmbh")
    lib2 = ctx.place("system", "capi20.dll", "maker_lower")
    lib3 = ctx.place("system", "capi.dll", "other_maker")
    held_win = r"C:\windows\system32\CAPI2032.DLL"
    content3 = _content(lib3)
    ctx.holder("read", held)
    r.note("while held: DeleteFileA by another program: %s" % ctx.try_delete(held))
    run = ctx.purgelib(SUCCESS)
    ctx.expect_scheduled(run, held, held_win)
    ctx.expect_deleted_now(run, lib2, r"C:\windows\system\capi20.dll")
    ctx.expect_untouched(run, lib3, content3, r"C:\windows\system\capi.dll")
    r.note("pending after the run: %s" % ctx.prefix.pending_deletions())
    for holder in list(ctx.prefix.holders):
        ctx.prefix.release(holder)
    r.note("restart took %.1f s" % ctx.prefix.restart())
    r.check(not os.path.exists(held), "CAPI2032.DLL still there after the restart")
    r.check(os.path.exists(lib3), "capi.dll of the other maker gone after the restart")
    r.check(not ctx.prefix.pending_deletions(), "deletions still pending after the restart")


def loaded_library(ctx):
    """A maker's capi20.dll loaded by another program (LoadLibraryA): DeleteFileA
    fails, deletion scheduled, capi.dll (maker) still deleted, success text; gone
    after the restart."""
    r = ctx.result
    loaded = ctx.place("system", "capi20.dll", "maker_korvik")
    later = ctx.place("system", "capi.dll", "maker_dash")
    loaded_win = r"C:\windows\system\capi20.dll"
    ctx.holder("load", loaded)
    r.note("while loaded: DeleteFileA by another program: %s" % ctx.try_delete(loaded))
    run = ctx.purgelib(SUCCESS)
    ctx.expect_scheduled(run, loaded, loaded_win)
    ctx.expect_deleted_now(run, later, r"C:\windows\system\capi.dll")
    for holder in list(ctx.prefix.holders):
        ctx.prefix.release(holder)
    r.note("restart took %.1f s" % ctx.prefix.restart())
    r.check(not os.path.exists(loaded), "capi20.dll still there after the restart")
    r.check(not ctx.prefix.pending_deletions(), "deletions still pending after the restart")


def content_only(ctx):
    """Libraries whose company name is not the maker's (or that have no version
    resource) but whose bytes hold a maker name: removed by the content stage, with
    the searcher's traces on the debugger channel. Without the content stage they
    stay. Another maker's CAPI2032.DLL without such bytes stays either way."""
    r = ctx.result
    other = ctx.place("system32", "CAPI2032.DLL", "other_maker")
    lib2 = ctx.place("system", "capi20.dll", "content_no_version")
    lib3 = ctx.place("system", "capi.dll", "content_only")
    before = {p: _content(p) for p in (other, lib2, lib3)}
    run = ctx.purgelib(SUCCESS)
    ctx.expect_untouched(run, other, before[other], r"C:\windows\system32\CAPI2032.DLL")
    traces = [d.data for d in run.debug]
    removed = [p for p in (lib2, lib3) if not os.path.exists(p)]
    stage = ctx.content_stage
    if stage == "auto":
        stage = "yes" if (traces or removed) else "no"
        r.note("content stage (seen): %s" % ("present" if stage == "yes" else "absent"))
    if stage == "yes":
        ctx.expect_deleted_now(run, lib2, r"C:\windows\system\capi20.dll")
        ctx.expect_deleted_now(run, lib3, r"C:\windows\system\capi.dll")
        r.check(traces and all(t.startswith(MODULE_TAG) for t in traces),
                "searcher traces missing or without the module tag: %r" % traces[:5])
        texts = [t.split(b"] ", 1)[-1].rstrip(b"\r\n") for t in traces]
        r.check(b"searching" in texts and b"Num of detections" in texts,
                "no hit traced: %r" % texts)
        r.check(b"QZM GmbH" in texts and b"QZM Korvik" in texts,
                "found maker names not traced: %r" % texts)
        r.note("%d traces, e.g. %r" % (len(traces), traces[:4]))
        # Nobody listens (no debugger, no debug monitor, Wine's debugstr
        # channel off): the same removal without a single text made for the
        # channel, so a file full of maker names costs no traces.
        lib2 = ctx.place("system", "capi20.dll", "content_no_version")
        unheard = ctx.prefix.wine([ctx.exe, "/quiet"], trace="-all,+relay")
        ctx.log("purgelib /quiet, nobody listening", unheard)
        ctx.expect_deleted_now(unheard, lib2, r"C:\windows\system\capi20.dll")
        r.check(not unheard.called("kernel32.OutputDebugStringA"),
                "OutputDebugStringA called with nobody listening")
    else:
        ctx.expect_untouched(run, lib2, before[lib2], r"C:\windows\system\capi20.dll")
        ctx.expect_untouched(run, lib3, before[lib3], r"C:\windows\system\capi.dll")
        ctx.expect_no_debug_output(run)


# --- the switches (/quiet, /log, /?) ------------------------------------------
USAGE = b"Usage: purgelib.exe [/quiet] [/log FILE] [/?]"
STAMP = re.compile(rb"^(open|close) \d\d:\d\d:\d\d \d\d/\d\d/\d\d$")
NOTICE = b"Eine weitere Instanz der Applikation wurde gefunden! "


def quiet_updated(ctx):
    """/quiet (in any spelling): no box, exit code 0, both when the maker's copies
    are deleted and when there is nothing to do."""
    placed = [
        (ctx.place("system32", "CAPI2032.DLL", "maker_gmbh"), r"C:\windows\system32\CAPI2032.DLL"),
        (ctx.place("system", "capi.dll", "maker_korvik"), r"C:\windows\system\capi.dll"),
    ]
    run = ctx.purgelib_switches(["/quiet"], 0)
    for path, windows in placed:
        ctx.expect_deleted_now(run, path, windows)
    ctx.purgelib_switches(["-Q"], 0)


def quiet_restart_needed(ctx):
    """/q with a maker's CAPI2032.DLL held against deletion by another program:
    scheduled for deletion at restart, no box, exit code 3010."""
    held = ctx.place("system32", "CAPI2032.DLL", "maker_gmbh")
    ctx.holder("read", held)
    run = ctx.purgelib_switches(["/q"], 3010)
    ctx.expect_scheduled(run, held, r"C:\windows\system32\CAPI2032.DLL")


def quiet_not_updated(ctx):
    """A maker's capi20.dll loaded by another program cannot be deleted, and Wine
    cannot schedule it either: it keeps its pending deletions in a REG_MULTI_SZ
    value and refuses to add one when the value has another type (set here to a
    REG_DWORD). The library stays, the maker's capi.dll after it is not examined;
    /quiet: no box, exit code 1603; without /quiet the failure text, exit code 0."""
    r = ctx.result
    loaded = ctx.place("system", "capi20.dll", "maker_korvik")
    later = ctx.place("system", "capi.dll", "maker_gmbh")
    content = _content(later)
    loaded_win = r"C:\windows\system\capi20.dll"
    ctx.holder("load", loaded)
    ctx.prefix.wine(["reg", "add", SESSION_MANAGER, "/v", "PendingFileRenameOperations", "/t",
                     "REG_DWORD", "/d", "1", "/f"])
    try:
        for switches, code, box in ((["/quiet"], 1603, None), ([], 0, FAILURE)):
            run = ctx.purgelib_switches(switches, code, box)
            deletes = ctx.results_for(run, "kernel32.DeleteFileA", loaded_win)
            moves = ctx.results_for(run, "kernel32.MoveFileExA", loaded_win)
            r.check(deletes == [0] and moves == [0],
                    "DeleteFileA %s and MoveFileExA %s, expected one failure each"
                    % (deletes, moves))
            r.check(os.path.exists(loaded), "capi20.dll is gone")
            ctx.expect_untouched(run, later, content, r"C:\windows\system\capi.dll")
    finally:
        ctx.prefix.wine(["reg", "delete", SESSION_MANAGER, "/v", "PendingFileRenameOperations",
                         "/f"])


def bad_switch(ctx):
    """An unknown switch: a box saying so (exit code 0), or with /quiet no box and
    exit code 87; nothing is touched either way."""
    lib = ctx.place("system32", "CAPI2032.DLL", "maker_gmbh")
    content = _content(lib)
    for switches, code, box in ((["/quiet", "/bogus"], 87, None), (["-Bogus", "/Q"], 87, None),
                                (["/bogus"], 0, b"Unknown switch: /bogus\n\n" + USAGE)):
        run = ctx.purgelib_switches(switches, code, box)
        ctx.expect_untouched(run, lib, content, r"C:\windows\system32\CAPI2032.DLL")


def usage_box(ctx):
    """/? shows the usage in a box and touches nothing; with /quiet, no box."""
    lib = ctx.place("system32", "CAPI2032.DLL", "maker_gmbh")
    content = _content(lib)
    run = ctx.purgelib_switches(["/?"], 0, USAGE)
    ctx.expect_untouched(run, lib, content, r"C:\windows\system32\CAPI2032.DLL")
    boxes = run.called("user32.MessageBoxA")
    if boxes and isinstance(boxes[0].args[1], TracedString):
        ctx.result.check(b"3010" in boxes[0].args[1].data and b"/log FILE" in boxes[0].args[1].data,
                         "the usage does not tell the exit codes and the log")
        ctx.result.check(boxes[0].args[3] == 0x00010040, "usage box style %x" % boxes[0].args[3])
    ctx.purgelib_switches(["/?", "/quiet"], 0)


def _log_lines(path):
    with open(path, "rb") as f:
        return f.read().split(b"\r\n")


def log_file(ctx):
    """/log FILE, with and without /quiet: the "open" stamp and header, the content
    search's traces, one line per library and the outcome, the closing header and
    stamp. A plain name lands in the current folder. When another program holds
    FILE, the log goes on in FILE1 beside it with the notice of another instance."""
    r = ctx.result
    logs = os.path.join(ctx.prefix.path, "drive_c", "logs")
    shutil.rmtree(logs, ignore_errors=True)
    os.makedirs(logs)
    log = os.path.join(logs, "run.log")
    ctx.place("system32", "CAPI2032.DLL", "maker_gmbh")
    ctx.place("system", "capi20.dll", "other_maker")
    ctx.place("system", "capi.dll", "content_only")
    ctx.purgelib_switches(["/quiet", "/log", r"C:\logs\run.log"], 0)
    lines = _log_lines(log)
    r.check(lines[-1] == b"" and STAMP.match(lines[0]) and STAMP.match(lines[-2])
            and lines[1].startswith(b"LogFile from: ") and lines[1].endswith(b"purgelib.exe")
            and lines[-3] == lines[1], "stamps and header lines: %r" % lines)
    report = lines[-7:-3]
    content = (b'the maker\'s by its content ("QZM GmbH" at offset ', b"); deleted")
    r.check(len(report) == 4 and report[0] == b"C:\\windows\\system32\\CAPI2032.DLL: the "
            b'maker\'s by its company name "QZM GmbH"; deleted'
            and report[1] == b"C:\\windows\\system\\capi20.dll: someone else's (company name "
            b'"Talvo Systems AG"); kept'
            and report[2].startswith(b"C:\\windows\\system\\capi.dll: ")
            and (ctx.content_stage == "no" or (content[0] in report[2]
                                               and report[2].endswith(content[1])))
            and report[3] == b"Outcome: updated", "the report's lines: %r" % report)
    if ctx.content_stage != "no":
        r.check(any(b"QZM GmbH" in line for line in lines[2:-7]),
                "no trace of the content search before the report: %r" % lines[2:-7])
    r.note("log: %d lines, report %r" % (len(lines), report))

    # Held by another program: run1.log beside it; and a plain name, without /quiet.
    ctx.holder("open", log)
    ctx.purgelib_switches(["/log", r"C:\logs\run.log"], 0, SUCCESS)
    numbered = os.path.join(logs, "run1.log")
    lines = _log_lines(numbered) if os.path.exists(numbered) else []
    r.check(len(lines) > 3 and lines[2].startswith(NOTICE) and b"Outcome: updated" in lines,
            "run1.log: %r" % lines)
    for holder in list(ctx.prefix.holders):
        ctx.prefix.release(holder)
    here = os.path.join(os.path.dirname(ctx.prefix.path), "plain-name.log")
    if os.path.exists(here):
        os.remove(here)
    ctx.purgelib_switches(["-q", "-LOG", "plain-name.log"], 0)
    r.check(os.path.exists(here), "a plain log name did not land in the current folder")


EXPECTED_VERSION = {
    "translation": "040704b0",
    "fixed.file": "1.4.0.0",
    "fixed.product": "1.0.0.1",
    "string.040704b0.FileVersion": "1, 4, 0, 0",
    "string.040704b0.ProductVersion": "1, 0, 0, 1",
    "string.040704b0.CompanyName": "QZM GmbH",
    "string.040704b0.FileDescription": "purgelib",
    "string.040704b0.InternalName": "purgelib",
    "string.040704b0.OriginalFilename": "purgelib.exe",
    "string.040704b0.ProductName": "  purgelib",
    "string.040704b0.Comments": "Remove QZM CAPI Dlls",
}


def own_version_resource(ctx):
    """The exe's version resource as Wine's GetFileVersionInfoA/VerQueryValueA give it:
    German 0x0407, code page 1200, and every value."""
    from wineprefix import host_to_windows
    values = ctx.version_probe(host_to_windows(ctx.exe))
    r = ctx.result
    for key, expected in EXPECTED_VERSION.items():
        r.check(values.get(key) == expected, "%s = %r, expected %r" % (key, values.get(key),
                                                                       expected))
    r.check(values["translations"] == ["040704b0"],
            "translations %s, expected only 040704b0" % values["translations"])
    r.note("size %s, translations %s" % (values.get("size"), values["translations"]))


def message_box_on_display(ctx):
    """The real message box on a virtual display: found by its caption, pictured,
    closed with Return; the exe then exits with 0."""
    r = ctx.result
    script = os.path.join(ctx.repo, "scripts", "message-box-picture.sh")
    missing = [t for t in ("Xvfb", "xdotool", "import") if shutil.which(t) is None]
    if missing:
        r.note("skipped: %s not installed" % ", ".join(missing))
        return
    picture = os.path.join(ctx.work, "message-box.png")
    if os.path.exists(picture):
        os.remove(picture)
    ctx.prefix.kill()  # the display must be known from the session's first program on
    start = time.monotonic()
    result = subprocess.run([script, "--prefix", ctx.prefix.path, "--exe", ctx.exe,
                             "--out", picture], stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT, timeout=120)
    output = result.stdout.decode(errors="replace").strip()
    r.note("picture script: %.1f s, exit %d" % (time.monotonic() - start, result.returncode))
    for line in output.splitlines()[-4:]:
        r.note("  " + line)
    r.check(result.returncode == 0, "message-box-picture.sh failed")
    if r.check(os.path.exists(picture), "no picture written"):
        with open(picture, "rb") as f:
            head = f.read(24)
        width = int.from_bytes(head[16:20], "big")
        height = int.from_bytes(head[20:24], "big")
        r.note("picture %dx%d" % (width, height))
        r.check(head[:8] == b"\x89PNG\r\n\x1a\n" and width > 150 and height > 60,
                "the picture is not a message box: %dx%d" % (width, height))
    ctx.prefix.start_session()


ALL = [
    nothing_present,
    directory_with_library_name,
    maker_copies_removed,
    maker_copies_other_spellings,
    other_makers_kept,
    wine_builtin_capi2032,
    read_only_hidden_system_removed,
    held_exclusively,
    held_against_delete,
    loaded_library,
    content_only,
    quiet_updated,
    quiet_restart_needed,
    quiet_not_updated,
    bad_switch,
    usage_box,
    log_file,
    own_version_resource,
    message_box_on_display,
]
