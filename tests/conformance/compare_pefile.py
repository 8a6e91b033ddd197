#!/usr/bin/python3
"""Compares the version reader of the POSIX layer with python pefile.

For every *.dll in the given folders, version_dump prints what
GetFileVersionInfoSizeA, GetFileVersionInfoA and VerQueryValueA answer; pefile
reads the same file. Compared: whether there is version information, the file
and product versions of VS_FIXEDFILEINFO, the translation array, and the
values CompanyName, FileDescription and LegalCopyright of the first
translation (in Windows-1252, as VerQueryValueA hands them out).

Every difference is either a fault of ours or one of the known reading
differences listed in KNOWN below (see README.md for a file showing each).
Exit status: 0 all equal or known, 1 unexplained differences, 77 skipped
(no DLL folder or no pefile).
"""

import argparse
import glob
import json
import os
import struct
import subprocess
import sys

SKIP = 77
KEYS = ("CompanyName", "FileDescription", "LegalCopyright")

# Reading differences that are pefile's, not ours. Each is recognised by a
# rule in classify() and named here.
KNOWN = {
    "language-choice": "not a difference in values: pefile's first reading is the first "
    "language; the values are compared with its reading of the language the loader "
    "chooses",
    "pefile-no-ne": "pefile reads PE files only; 16-bit NE files have version "
    "information for the loader",
    "pefile-no-16bit-block": "pefile reads Unicode blocks only; a 16-bit block in a PE file "
    "is read by the loader",
    "pefile-first-name": "pefile reads the first name under RT_VERSION whatever its id; "
    "the loader asks for name 1 (VS_VERSION_INFO)",
    "pefile-fixed-without-length": "pefile reads a VS_FIXEDFILEINFO even when the root's "
    "wValueLength is 0, and then misses the children behind it",
    "pefile-reads-past-node": "pefile reads a text value up to its terminator even past "
    "its node; ours is cut at the node",
    "pefile-truncated-section": "pefile reads resources from a section that the file cuts "
    "short; the loader rejects the file",
}


def ansi(text):
    """Unicode text as VerQueryValueA hands it out: Windows-1252, '?' for the rest."""
    out = bytearray()
    for ch in text:
        code = ord(ch)
        if code in (0x81, 0x8D, 0x8F, 0x90, 0x9D):
            out.append(code)
            continue
        try:
            out += ch.encode("cp1252")
        except UnicodeEncodeError:
            out += b"?"
    return bytes(out)


def facts(pefile, path):
    """What the classification of differences needs to know about a file."""
    out = {"ne": False, "first_name": None, "fixed_length": None, "cut": False,
           "bad_block": False}
    with open(path, "rb") as f:
        data = f.read()
    if data[:2] == b"MZ" and len(data) >= 64:
        lfanew = struct.unpack_from("<I", data, 0x3C)[0]
        out["ne"] = data[lfanew:lfanew + 2] == b"NE"
    try:
        pe = pefile.PE(data=data, fast_load=True)
        pe.parse_data_directories(
            directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    except pefile.PEFormatError:
        return out
    out["cut"] = any(sec.PointerToRawData + sec.SizeOfRawData > len(data)
                     for sec in pe.sections)
    out["bad_block"] = any("Invalid VS_VERSION_INFO block" in w for w in pe.get_warnings())
    for entry in getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None) and \
            pe.DIRECTORY_ENTRY_RESOURCE.entries or []:
        if entry.id == 16 and entry.directory.entries:
            out["first_name"] = entry.directory.entries[0].id
    if getattr(pe, "VS_VERSIONINFO", None):
        out["fixed_length"] = pe.VS_VERSIONINFO[0].ValueLength
    return out


def read_pefile(pefile, path):
    """What pefile reads: None without version information, else a dict."""
    try:
        pe = pefile.PE(path, fast_load=True)
        pe.parse_data_directories(
            directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    except pefile.PEFormatError:
        return None
    if not getattr(pe, "VS_VERSIONINFO", None):
        return None
    # pefile reads every language of the first name under RT_VERSION, in
    # directory order. The loader takes name 1 and prefers the neutral
    # language, then U.S. English, then neutral English, then the first: read
    # the block of that language.
    index, languages = 0, []
    for entry in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if entry.id == 16 and entry.directory.entries:
            languages = [l.id for l in entry.directory.entries[0].directory.entries]
            break
    if len(languages) == len(pe.VS_VERSIONINFO) == len(getattr(pe, "FileInfo", [])):
        for preferred in (0x0000, 0x0409, 0x0009):
            if preferred in languages:
                index = languages.index(preferred)
                break
    info = {"fixed": None, "translations": None, "strings": {}, "language_index": index}
    if getattr(pe, "VS_FIXEDFILEINFO", None) and len(pe.VS_FIXEDFILEINFO) > index:
        f = pe.VS_FIXEDFILEINFO[index]
        info["fixed"] = (f.FileVersionMS, f.FileVersionLS, f.ProductVersionMS,
                         f.ProductVersionLS)
    file_info = pe.FileInfo[index] if len(getattr(pe, "FileInfo", [])) > index else []
    tables = []
    for entry in file_info:
        key = getattr(entry, "Key", b"") or b""
        if key.startswith(b"VarFileInfo"):
            for var in getattr(entry, "Var", []):
                name = list(getattr(var, "entry", {}).keys())
                if name != [b"Translation"]:
                    continue
                # pefile keeps only the last pair as text; the array itself is
                # read at the place pefile found the Var structure.
                start = var.get_file_offset() + ((6 + 2 * (len(b"Translation") + 1) + 3) & ~3)
                raw = pe.__data__[start:start + var.ValueLength]
                info["translations"] = [
                    struct.unpack_from("<I", raw, i)[0] for i in range(0, len(raw) - 3, 4)]
                info["last_pair"] = var.entry[b"Translation"]
        elif key.startswith(b"StringFileInfo"):
            tables += getattr(entry, "StringTable", [])
    if info["translations"]:
        first = info["translations"][0]
        lang_id = "%04x%04x" % (first & 0xFFFF, first >> 16)
        for table in tables:
            if table.LangID.decode("ascii", "replace").lower() == lang_id:
                for key in KEYS:
                    value = table.entries.get(key.encode())
                    if value is not None and key not in info["strings"]:
                        info["strings"][key] = ansi(value.decode("utf-8", "surrogatepass"))
                break
        info["tables"] = len(tables)
    return info


def ours_to_dict(line):
    """The dumper's line in the shape read_pefile() gives."""
    if line["size"] == 0 or not line.get("info"):
        return None
    q = line["q"]
    info = {"fixed": None, "translations": None, "strings": {}}
    if q["root"]["ok"]:
        words = struct.unpack("<13I", bytes.fromhex(q["root"]["hex"])[:52])
        info["fixed"] = words[2:6]
    if q["translation"]["ok"]:
        raw = bytes.fromhex(q["translation"]["hex"])
        info["translations"] = [
            struct.unpack_from("<I", raw, i)[0] for i in range(0, len(raw) - 3, 4)]
    for key in KEYS:
        if key in q and q[key]["ok"]:
            info["strings"][key] = bytes.fromhex(q[key]["hex"])
    return info


def differences(ours, theirs):
    if (ours is None) != (theirs is None):
        return [("presence", ours is not None, theirs is not None)]
    if ours is None:
        return []
    diffs = []
    for field in ("fixed", "translations"):
        if ours[field] != theirs[field]:
            diffs.append((field, ours[field], theirs[field]))
    for key in KEYS:
        a, b = ours["strings"].get(key), theirs["strings"].get(key)
        if a != b:
            diffs.append((key, a, b))
    return diffs


def classify(diff, fact):
    field, ours, pe = diff
    if field == "presence" and fact["ne"]:
        return "pefile-no-ne"
    if field == "presence" and ours and fact["bad_block"]:
        return "pefile-no-16bit-block"
    if field == "presence" and fact["first_name"] not in (None, 1):
        return "pefile-first-name"
    if fact["cut"]:
        return "pefile-truncated-section"
    if fact["fixed_length"] == 0:
        return "pefile-fixed-without-length"
    if field in KEYS and ours and pe and pe.startswith(ours) and len(pe) > len(ours):
        return "pefile-reads-past-node"
    return None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--dumper", required=True)
    parser.add_argument("--verbose", action="store_true")
    parser.add_argument("--fixtures", help="fixture_gen: write the generated fixtures "
                        "into a temporary folder and compare them instead")
    parser.add_argument("dirs", nargs="*")
    args = parser.parse_args()

    try:
        import pefile
    except ImportError:
        print("skipped: python3 pefile is not installed (apt-get install python3-pefile)")
        return SKIP
    if args.fixtures:
        import tempfile
        temp = tempfile.TemporaryDirectory(prefix="version_fixtures_")
        subprocess.run([args.fixtures, temp.name], check=True)
        args.dirs = [temp.name]
    dirs = [d for d in args.dirs if os.path.isdir(d)]
    if not dirs:
        print("skipped: none of the DLL folders exists: " + " ".join(args.dirs))
        return SKIP

    # Every module of the folders: DLLs, and the drivers, programs and
    # controls, which are PE files too.
    files = sorted(f for d in dirs for f in glob.glob(os.path.join(d, "*")) if os.path.isfile(f))
    run = subprocess.run([args.dumper], input="\n".join(files) + "\n", capture_output=True,
                         text=True, check=True)
    ours = {}
    for line in run.stdout.splitlines():
        entry = json.loads(line)
        ours[entry["file"]] = entry

    with_version = with_company = 0
    known = {}
    unexplained = []
    for path in files:
        theirs = read_pefile(pefile, path)
        mine = ours_to_dict(ours[path])
        if mine is not None:
            with_version += 1
            if "CompanyName" in mine["strings"]:
                with_company += 1
        if theirs is not None and theirs["language_index"] != 0:
            known.setdefault("language-choice", set()).add(path)
        diffs = differences(mine, theirs)
        fact = facts(pefile, path) if diffs else None
        for diff in diffs:
            kind = classify(diff, fact)
            if kind:
                known.setdefault(kind, set()).add(path)
            else:
                unexplained.append((path, diff))

    print("files: %d, with version information: %d, with CompanyName: %d"
          % (len(files), with_version, with_company))
    for kind, paths in sorted(known.items()):
        paths = sorted(paths)
        print("known difference %s (%d files, e.g. %s): %s"
              % (kind, len(paths), os.path.basename(paths[0]), KNOWN[kind]))
    for path, (field, a, b) in unexplained:
        print("DIFFERENT %s %s: ours %r, pefile %r" % (os.path.basename(path), field, a, b))
    if unexplained:
        print("%d unexplained differences" % len(unexplained))
        return 1
    print("conformance: ok")
    return 0


if __name__ == "__main__":
    sys.exit(main())
