#!/usr/bin/python3
"""Static checks of a built purgelib.exe: a GUI program for the expected CPU that
needs nothing but Windows' own DLLs (the MinGW runtime linked in), imports the
kernel, user-interface and version functions the cleanup relies on, and carries its
German version resource.

    check_pe.py EXE [--machine amd64|i386]

Exit code 0 when every check holds, 1 when one fails, 77 when EXE or pefile is
missing.
"""

import argparse
import os
import sys

SKIP = 77

MACHINES = {"amd64": 0x8664, "i386": 0x014C}
GUI_SUBSYSTEM = 2
RT_VERSION = 16

# DLLs every Windows installation has. MinGW's static runtime still uses the
# system C runtime msvcrt.dll.
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "version.dll", "msvcrt.dll", "advapi32.dll",
               "ntdll.dll", "gdi32.dll", "shell32.dll"}
RUNTIME_DLL_HINTS = ("libstdc++", "libgcc", "libwinpthread", "mingw")

REQUIRED_IMPORTS = {
    "kernel32.dll": {"GetSystemDirectoryA", "SetFileAttributesA", "DeleteFileA", "MoveFileExA",
                     "CreateFileA", "OutputDebugStringA"},
    "user32.dll": {"MessageBoxA"},
    "version.dll": {"GetFileVersionInfoSizeA", "GetFileVersionInfoA", "VerQueryValueA"},
}

LANGUAGE = 0x0407
CODE_PAGE = 1200
STRINGS = {
    "Comments": "Remove QZM CAPI Dlls",
    "CompanyName": "QZM GmbH",
    "FileDescription": "purgelib",
    "FileVersion": "1, 4, 0, 0",
    "InternalName": "purgelib",
    "OriginalFilename": "purgelib.exe",
    "ProductName": "  purgelib",
    "ProductVersion": "1, 0, 0, 1",
}
FILE_VERSION = (0x00010004, 0x00000000)
PRODUCT_VERSION = (0x00010000, 0x00000001)


def check(pe, machine):
    failures = []

    def expect(condition, message):
        if not condition:
            failures.append(message)

    if machine:
        expect(pe.FILE_HEADER.Machine == MACHINES[machine],
               "machine %#x, expected %s" % (pe.FILE_HEADER.Machine, machine))
    expect(pe.OPTIONAL_HEADER.Subsystem == GUI_SUBSYSTEM,
           "subsystem %d, expected the GUI subsystem" % pe.OPTIONAL_HEADER.Subsystem)

    imports = {}
    for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []):
        name = entry.dll.decode("ascii", "replace").lower()
        imports.setdefault(name, set()).update(
            i.name.decode("ascii", "replace") for i in entry.imports if i.name)
    for name in sorted(imports):
        expect(name in SYSTEM_DLLS or name.startswith("api-ms-win-"),
               "imports %s, which is not a Windows system DLL%s" % (
                   name, " (MinGW runtime: link statically)"
                   if any(h in name for h in RUNTIME_DLL_HINTS) else ""))
    for dll, functions in REQUIRED_IMPORTS.items():
        missing = functions - imports.get(dll, set())
        expect(not missing, "%s does not import %s" % (dll, ", ".join(sorted(missing))))

    # The version resource: exactly one, filed under the German language.
    languages = []
    resources = getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None)
    for kind in resources.entries if resources else []:
        if kind.id == RT_VERSION:
            for name in kind.directory.entries:
                languages.extend(lang.id for lang in name.directory.entries)
    expect(languages == [LANGUAGE], "version resource languages %s, expected [0x%04x]"
           % (["0x%04x" % lang for lang in languages], LANGUAGE))

    fixed = getattr(pe, "VS_FIXEDFILEINFO", None)
    expect(fixed, "no VS_FIXEDFILEINFO")
    if fixed:
        info = fixed[0]
        expect((info.FileVersionMS, info.FileVersionLS) == FILE_VERSION,
               "fixed file version %08x %08x" % (info.FileVersionMS, info.FileVersionLS))
        expect((info.ProductVersionMS, info.ProductVersionLS) == PRODUCT_VERSION,
               "fixed product version %08x %08x" % (info.ProductVersionMS,
                                                    info.ProductVersionLS))

    tables = {}
    translations = []
    for group in getattr(pe, "FileInfo", []):
        for block in group:
            if block.Key == b"StringFileInfo":
                for table in block.StringTable:
                    tables[table.LangID.decode("ascii").lower()] = {
                        k.decode("utf-8"): v.decode("utf-8") for k, v in table.entries.items()}
            elif block.Key == b"VarFileInfo":
                for var in block.Var:
                    if b"Translation" in var.entry:
                        translations.append(var.entry[b"Translation"])
    block_name = "%04x%04x" % (LANGUAGE, CODE_PAGE)
    expect(list(tables) == [block_name], "string tables %s, expected [%s]" % (list(tables),
                                                                            block_name))
    expect(translations == ["0x%04x 0x%04x" % (LANGUAGE, CODE_PAGE)],
           "translations %s" % translations)
    strings = tables.get(block_name, {})
    for key, value in STRINGS.items():
        expect(strings.get(key) == value, "%s = %r, expected %r" % (key, strings.get(key), value))
    return failures, imports


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("exe")
    parser.add_argument("--machine", choices=sorted(MACHINES))
    args = parser.parse_args()
    if not os.path.isfile(args.exe):
        print("SKIP: %s not found (build its mingw preset first)" % args.exe)
        return SKIP
    try:
        import pefile
    except ImportError:
        print("SKIP: python3 pefile missing (apt-get install python3-pefile)")
        return SKIP

    pe = pefile.PE(args.exe)
    failures, imports = check(pe, args.machine)
    print("%s: imports %s" % (args.exe, ", ".join(sorted(imports))))
    for failure in failures:
        print("FAIL: " + failure)
    if not failures:
        print("OK: GUI subsystem, system DLLs only, version resource as expected")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
