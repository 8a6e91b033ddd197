"""A throwaway Wine prefix for the end-to-end run, and readers for Wine's traces.

    wineprefix.py create DIR    makes a prefix (for tests that share one)
    wineprefix.py remove DIR    ends its session and removes it

Programs run headless (no DISPLAY), so a message box returns at once; what it was
asked to show is read from Wine's relay trace. Debugger output comes from the
debugstr channel.

A session (one wine server with Wine's services) is kept alive for the whole run by
an idle program, so that each run neither waits for the services to start again nor
finds their traces mixed into its own. The session is ended at the end.
"""

import os
import re
import select
import shutil
import subprocess
import tempfile
import time

SESSION_MANAGER = r"HKLM\System\CurrentControlSet\Control\Session Manager"

# Calls the relay trace reports: the message box and the file operations the run
# relies on, so that each scenario can show which way each step went.
RELAY_CALLS = [
    "user32.MessageBoxA",
    "kernel32.GetSystemDirectoryA",
    "kernel32.CreateFileA",
    "kernel32.SetFileAttributesA",
    "kernel32.DeleteFileA",
    "kernel32.MoveFileExA",
    "kernel32.OutputDebugStringA",
    "version.GetFileVersionInfoSizeA",
]

# Wine answers version queries for any file named like one of its own DLLs from
# that built-in DLL, which has no version resource; on Windows a CAPI2032.DLL is
# just a file. Asking for the native one makes Wine read the file itself.
NATIVE_CAPI = "capi2032=n"


def host_to_windows(path):
    """The name a Windows program sees for a host path (drive Z: is the root)."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def _unescape(text):
    """Undoes Wine's escaping of traced 8-bit strings into the original bytes."""
    out = bytearray()
    i = 0
    simple = {"n": 0x0A, "r": 0x0D, "t": 0x09, '"': 0x22, "\\": 0x5C}
    while i < len(text):
        c = text[i]
        if c == "\\" and i + 1 < len(text):
            nxt = text[i + 1]
            if nxt in simple:
                out.append(simple[nxt])
                i += 2
                continue
            if nxt == "x" and i + 4 <= len(text):
                out.append(int(text[i + 2:i + 4], 16))
                i += 4
                continue
        out.extend(c.encode("latin-1"))
        i += 1
    return bytes(out)


_STRING = re.compile(r'"((?:[^"\\]|\\.)*)"(\.\.\.)?')


class TracedString:
    def __init__(self, data, truncated):
        self.data = data
        self.truncated = truncated


def _split_args(text):
    """Splits a relay argument list: plain hex values, or an address followed by
    a quoted string (returned as TracedString)."""
    args = []
    i = 0
    while i < len(text):
        m = re.match(r'([0-9a-fA-F]+)(?: ("(?:[^"\\]|\\.)*"(?:\.\.\.)?))?', text[i:])
        if not m:
            break
        if m.group(2):
            s = _STRING.match(m.group(2))
            args.append(TracedString(_unescape(s.group(1)), bool(s.group(2))))
        else:
            args.append(int(m.group(1), 16))
        i += m.end()
        if i < len(text) and text[i] == ",":
            i += 1
        else:
            break
    return args


class Call:
    def __init__(self, name, args):
        self.name = name
        self.args = args
        self.result = None

    def __repr__(self):
        shown = []
        for a in self.args:
            if isinstance(a, TracedString):
                shown.append(repr(a.data))
            else:
                shown.append("%x" % a)
        return "%s(%s) -> %s" % (self.name, ", ".join(shown),
                                 "?" if self.result is None else "%x" % self.result)


_CALL = re.compile(r"^[0-9a-f]{4}:Call ([A-Za-z0-9_]+)\.([A-Za-z0-9_]+)\((.*)\) ret=[0-9a-f]+$")
_RET = re.compile(r"^[0-9a-f]{4}:Ret  ([A-Za-z0-9_]+)\.([A-Za-z0-9_]+)\(\) retval=([0-9a-f]+)")
_DEBUGSTR = re.compile(r'^[0-9a-f]{4}:warn:debugstr:OutputDebugStringA (".*)$')


def parse_trace(stderr_text):
    """Returns (calls, debug_strings) from a run's stderr."""
    calls = []
    open_calls = []
    debug = []
    for line in stderr_text.splitlines():
        m = _CALL.match(line)
        if m:
            call = Call("%s.%s" % (m.group(1).lower(), m.group(2)), _split_args(m.group(3)))
            calls.append(call)
            open_calls.append(call)
            continue
        m = _RET.match(line)
        if m:
            name = "%s.%s" % (m.group(1).lower(), m.group(2))
            for call in reversed(open_calls):
                if call.name == name:
                    call.result = int(m.group(3), 16)
                    open_calls.remove(call)
                    break
            continue
        m = _DEBUGSTR.match(line)
        if m:
            s = _STRING.match(m.group(1))
            if s:
                debug.append(TracedString(_unescape(s.group(1)), bool(s.group(2))))
    return calls, debug


class Run:
    """One program run: exit code, seconds, the relayed calls and debugger texts."""

    def __init__(self, returncode, seconds, stdout, stderr):
        self.returncode = returncode
        self.seconds = seconds
        self.stdout = stdout
        self.stderr = stderr
        self.calls, self.debug = parse_trace(stderr)

    def called(self, name):
        return [c for c in self.calls if c.name == name]


class Prefix:
    def __init__(self, path):
        self.path = os.path.abspath(path)
        self.env = dict(os.environ)
        for name in ("DISPLAY", "WAYLAND_DISPLAY", "WINEDEBUG", "WINESERVER", "WINELOADER"):
            self.env.pop(name, None)
        self.env.update({
            "WINEPREFIX": self.path,
            "WINEDEBUG": "-all",
            "WINEDLLOVERRIDES": "mscoree,mshtml=;" + NATIVE_CAPI,
        })
        self.holders = []
        self.keeper = None

    # --- paths -------------------------------------------------------------
    @property
    def windows(self):
        return os.path.join(self.path, "drive_c", "windows")

    @property
    def system32(self):
        return os.path.join(self.windows, "system32")

    @property
    def system(self):
        return os.path.join(self.windows, "system")

    # --- life --------------------------------------------------------------
    def create(self):
        if os.path.exists(self.path):
            self.kill()
            shutil.rmtree(self.path)
        os.makedirs(os.path.dirname(self.path), exist_ok=True)
        start = time.monotonic()
        self.wine(["wineboot", "-i"], timeout=180)
        subprocess.run(["wineserver", "-w"], env=self.env, timeout=180)
        self.start_session()
        self.wine(["reg", "add", r"HKCU\Software\Wine\Debug", "/v", "RelayInclude", "/t",
                   "REG_SZ", "/d", ";".join(RELAY_CALLS), "/f"])
        return time.monotonic() - start

    def attach(self):
        """Starts the session of a prefix that create() made earlier (in another
        process); raises when there is none."""
        if not os.path.isfile(os.path.join(self.path, "system.reg")):
            raise RuntimeError("no Wine prefix at %s" % self.path)
        start = time.monotonic()
        self.start_session()
        return time.monotonic() - start

    def start_session(self):
        """Starts the session's idle program: a command interpreter reading its
        commands from a pipe. It ends when the pipe closes, also when this run dies."""
        if self.keeper is not None:
            return
        self.keeper = subprocess.Popen(["wine", "cmd"], env=self.env, stdin=subprocess.PIPE,
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                       cwd=os.path.dirname(self.path))
        # Whichever of the two starts the session's services, they inherit no pipe of
        # ours; once this one has run, the services are up.
        subprocess.run(["wine", "cmd", "/c", "exit"], env=self.env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120,
                       cwd=os.path.dirname(self.path))

    def kill(self):
        for holder in list(self.holders):
            self.release(holder)
        if self.keeper is not None:
            self.keeper.stdin.close()
            try:
                self.keeper.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.keeper.kill()
                self.keeper.wait()
            self.keeper = None
        subprocess.run(["wineserver", "-k"], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=30)

    # --- programs ----------------------------------------------------------
    def wine(self, args, timeout=60, trace=None, native_capi=True, input_path=None):
        """Runs wine with args; trace is a WINEDEBUG value for this run, input_path
        a file to read as standard input."""
        env = dict(self.env)
        if trace:
            env["WINEDEBUG"] = trace
        if not native_capi:
            env["WINEDLLOVERRIDES"] = env["WINEDLLOVERRIDES"].replace(";" + NATIVE_CAPI, "")
        # Output goes to files, not pipes: a program Wine starts on the side (a service)
        # may inherit them, and waiting for a pipe's end would wait for that program.
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err, \
                open(input_path or os.devnull, "rb") as source:
            start = time.monotonic()
            result = subprocess.run(["wine"] + args, env=env, stdin=source,
                                    stdout=out, stderr=err, timeout=timeout,
                                    cwd=os.path.dirname(self.path))
            seconds = time.monotonic() - start
            out.seek(0)
            err.seek(0)
            return Run(result.returncode, seconds, out.read().decode("latin-1"),
                       err.read().decode("latin-1"))

    def run_traced(self, exe, args=(), native_capi=True):
        return self.wine([exe] + list(args), trace="-all,+relay,warn+debugstr",
                         native_capi=native_capi)

    def hold(self, holder_exe, mode, path, stop_file, wait=20):
        """Starts the holder on a host path and waits until it holds the file.
        Returns the holder's process; raises when it could not hold the file."""
        if os.path.exists(stop_file):
            os.remove(stop_file)
        process = subprocess.Popen(
            ["wine", holder_exe, mode, self.to_windows(path), host_to_windows(stop_file)],
            env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
            stderr=subprocess.DEVNULL, cwd=os.path.dirname(self.path))
        process.stop_file = stop_file
        self.holders.append(process)
        ready, _, _ = select.select([process.stdout], [], [], wait)
        line = process.stdout.readline().decode(errors="replace").strip() if ready else ""
        if line != "held":
            self.release(process)
            raise RuntimeError("holder %s %s did not hold the file: %r" % (mode, path, line))
        return process

    def release(self, process):
        with open(process.stop_file, "w"):
            pass
        try:
            process.wait(timeout=15)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
        process.stdout.close()
        if process in self.holders:
            self.holders.remove(process)

    # --- files and registry ------------------------------------------------
    def to_windows(self, path):
        """The C: name of a host path inside drive_c."""
        relative = os.path.relpath(os.path.abspath(path), os.path.join(self.path, "drive_c"))
        return "C:\\" + relative.replace("/", "\\")

    def pending_deletions(self):
        """Files registered for deletion at the next restart, as C:\\ names."""
        run = self.wine(["reg", "query", SESSION_MANAGER, "/v", "PendingFileRenameOperations"])
        pending = []
        for line in run.stdout.splitlines():
            if "PendingFileRenameOperations" not in line:
                continue
            value = line.split("REG_MULTI_SZ", 1)[1].strip()
            parts = value.split("\\0")
            # Pairs of source and target; an empty target means delete.
            for i in range(0, len(parts) - 1, 2):
                source, target = parts[i], parts[i + 1]
                if target == "":
                    pending.append(source[4:] if source.startswith("\\??\\") else source)
        return pending

    def clear_pending(self):
        self.wine(["reg", "delete", SESSION_MANAGER, "/v", "PendingFileRenameOperations",
                   "/f"])

    def restart(self):
        """A restart of the simulated machine: carries out pending renames."""
        start = time.monotonic()
        self.wine(["wineboot", "-r"], timeout=120)
        return time.monotonic() - start


def main(argv):
    """create DIR / remove DIR, for tests that share one prefix (CTest fixtures)."""
    import sys
    if len(argv) != 2 or argv[0] not in ("create", "remove"):
        print("usage: wineprefix.py create|remove DIR", file=sys.stderr)
        return 2
    prefix = Prefix(argv[1])
    if argv[0] == "remove":
        if os.path.exists(prefix.path):
            prefix.kill()
            shutil.rmtree(prefix.path, ignore_errors=True)
        return 0
    for tool in ("wine", "wineserver"):
        if shutil.which(tool) is None:
            print("skipped: %s is not installed (apt-get install wine wine64)" % tool)
            return 77
    try:
        print("prefix %s made in %.1f s" % (prefix.path, prefix.create()))
    finally:
        prefix.kill()
    return 0


if __name__ == "__main__":
    import sys
    sys.exit(main(sys.argv[1:]))
