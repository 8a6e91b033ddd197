"""Builds the Windows programs and libraries the end-to-end run needs, with MinGW.

Everything is built into a work folder and rebuilt only when a source is newer than
its output, so a second run starts at once.
"""

import os
import shutil
import subprocess

HERE = os.path.dirname(os.path.abspath(__file__))

GCC = "x86_64-w64-mingw32-gcc"
WINDRES = "x86_64-w64-mingw32-windres"

# LANGUAGE statements for the version tables; without one windres files the
# resource under 0x0409 whatever the block name says.
LANGUAGES = {
    0x0407: "LANG_GERMAN, SUBLANG_GERMAN",
    0x0409: "LANG_ENGLISH, SUBLANG_ENGLISH_US",
}


class Library:
    """A stand-in CAPI library: its company name (None: no version resource at all),
    the language of its version table, and text put into its bytes."""

    def __init__(self, company, language=0x0407, marker=None):
        self.company = company
        self.language = language
        self.marker = marker


# The libraries the scenarios place. The maker's copies differ only in how the
# company name is written; the rest are other makers' libraries, one of which
# carries a maker name in its bytes only.
LIBRARIES = {
    "maker_gmbh": Library("QZM GmbH"),
    "maker_lower": Library("qzm gmbh"),
    "maker_upper": Library("QZM GMBH"),
    "maker_korvik": Library("QZM Korvik"),
    "maker_dash": Library("QZM-GmbH"),
    "maker_english": Library("QZM GmbH", language=0x0409),
    "other_maker": Library("Talvo Systems AG", language=0x0409),
    "maker_with_suffix": Library("QZM GmbH Berlin"),
    "content_only": Library("Talvo Systems AG", language=0x0409,
                            marker="CAPI 2.0 driver interface, (C) QZM GmbH 1999"),
    "content_no_version": Library(None, marker="QZM Korvik ISDN"),
}

TOOLS_MISSING_HINT = "install g++-mingw-w64-x86-64 and binutils-mingw-w64-x86-64"


def missing_tools():
    return [tool for tool in (GCC, WINDRES) if shutil.which(tool) is None]


def version_rc(library):
    block = "%04x04b0" % library.language
    return "\n".join([
        "#include <windows.h>",
        "LANGUAGE %s" % LANGUAGES[library.language],
        "1 VERSIONINFO",
        " FILEVERSION 2,0,0,1",
        " PRODUCTVERSION 2,0,0,1",
        " FILEOS VOS_NT_WINDOWS32",
        " FILETYPE VFT_DLL",
        "BEGIN",
        '    BLOCK "StringFileInfo"',
        "    BEGIN",
        '        BLOCK "%s"' % block,
        "        BEGIN",
        '            VALUE "CompanyName", "%s\\0"' % library.company,
        '            VALUE "FileDescription", "CAPI 2.0 library\\0"',
        '            VALUE "FileVersion", "2, 0, 0, 1\\0"',
        "        END",
        "    END",
        '    BLOCK "VarFileInfo"',
        "    BEGIN",
        '        VALUE "Translation", 0x%04x, 1200' % library.language,
        "    END",
        "END",
        "",
    ])


def _stale(output, inputs):
    if not os.path.exists(output):
        return True
    built = os.path.getmtime(output)
    return any(os.path.getmtime(path) > built for path in inputs)


def _run(command):
    result = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    if result.returncode != 0:
        raise RuntimeError("%s failed:\n%s" % (" ".join(command),
                                               result.stdout.decode(errors="replace")))


def _write_if_changed(path, text):
    if os.path.exists(path):
        with open(path) as existing:
            if existing.read() == text:
                return
    with open(path, "w") as out:
        out.write(text)


def build_all(folder):
    """Builds holder.exe and one DLL per LIBRARIES entry into folder; returns
    {name: path} for all of them. (The version probe is version_dump.exe of the
    mingw-x64 preset, tests/conformance.)"""
    os.makedirs(folder, exist_ok=True)
    flags = ["-O2", "-Wall", "-Wextra", "-Werror", "-s"]
    built = {}

    source = os.path.join(HERE, "holder.c")
    output = os.path.join(folder, "holder.exe")
    if _stale(output, [source]):
        _run([GCC] + flags + ["-o", output, source])
    built["holder"] = output

    dll_source = os.path.join(HERE, "fixture_dll.c")
    for name, library in sorted(LIBRARIES.items()):
        # The code object: one shared plain one, or one of its own with the marker text.
        if library.marker is None:
            code = os.path.join(folder, "fixture_dll.o")
            defines = []
        else:
            code = os.path.join(folder, name + ".o")
            defines = ['-DFIXTURE_MARKER="%s"' % library.marker]
        if _stale(code, [dll_source, __file__]):
            _run([GCC] + flags + ["-c", "-o", code, dll_source] + defines)
        objects = [code]
        if library.company is not None:
            rc = os.path.join(folder, name + ".rc")
            _write_if_changed(rc, version_rc(library))
            res = os.path.join(folder, name + ".res.o")
            if _stale(res, [rc]):
                _run([WINDRES, "-O", "coff", "-o", res, rc])
            objects.append(res)
        output = os.path.join(folder, name + ".dll")
        if _stale(output, objects):
            _run([GCC, "-s", "-shared", "-o", output] + objects)
        if library.marker is not None:
            with open(output, "rb") as dll:
                if library.marker.encode("ascii") not in dll.read():
                    raise RuntimeError("%s lost its marker text" % output)
        built[name] = output
    return built
