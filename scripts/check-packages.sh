#!/usr/bin/env bash
# Builds the packages admins install and checks what they hold:
#   build/default/packages/purgelib_<version>_<arch>.deb    cpack in build/default
#   build/default/packages/purgelib-<version>-windows.zip   the target windows_zip, from
#                                                           build/mingw-x64 and build/mingw-x86
# The three builds must exist (scripts/test.sh makes them first). The version is
# the project's (CMakeLists.txt); the Debian package, the tool's --version and
# both exes' version resources must all carry it. Exits non-zero on any failure.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
version=$(sed -n 's/^project(purgelib VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
arch=$(dpkg --print-architecture)
packages=build/default/packages
deb=$packages/purgelib_${version}_${arch}.deb
zip=$packages/purgelib-${version}-windows.zip
work=$(mktemp -d /tmp/purgelib-packages-XXXXXX)
trap 'rm -rf "$work"' EXIT

failures=0
check() {  # description, then a command that must succeed
    local what=$1
    shift
    if "$@"; then echo "ok: $what"; else echo "FAIL: $what"; failures=$((failures + 1)); fi
}
# The lines of a listing, sorted, compared with the expected ones.
same_lines() {  # actual, expected
    if [ "$(sort <<<"$1")" = "$(sort <<<"$2")" ]; then return 0; fi
    comm -13 <(sort <<<"$1") <(sort <<<"$2") | sed 's/^/    missing: /'
    comm -23 <(sort <<<"$1") <(sort <<<"$2") | sed 's/^/    not expected: /'
    return 1
}

echo "== the Debian package (version $version)"
rm -f "$deb" "$zip"
(cd build/default && cpack -G DEB >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; }
check "cpack made $deb" test -f "$deb"
if [ -f "$deb" ]; then
    info=$(dpkg-deb --info "$deb")
    field() { dpkg-deb --field "$deb" "$1"; }
    check "Package: purgelib" test "$(field Package)" = purgelib
    check "Version: $version" test "$(field Version)" = "$version"
    check "Architecture: $arch" test "$(field Architecture)" = "$arch"
    check "Section: admin, Priority: optional" test "$(field Section)/$(field Priority)" = admin/optional
    check "Maintainer is 'Name <address>': $(field Maintainer)" \
        grep -qE '^[^<]+ <[^@> ]+@[^> ]+>$' <<<"$(field Maintainer)"
    check "a summary and a long description" test "$(grep -c '^  ' <<<"$info")" -ge 3

    listing=$(dpkg-deb --contents "$deb" | awk '$1 !~ /^d/ {print $6}')
    check "the package holds exactly the tool, its man page, completion and README" same_lines \
        "$listing" "./usr/bin/purgelib
./usr/share/man/man1/purgelib.1.gz
./usr/share/bash-completion/completions/purgelib
./usr/share/doc/purgelib/README.md
./usr/share/doc/purgelib/docs/message-box.png"

    dpkg-deb --extract "$deb" "$work/deb"
    tool=$work/deb/usr/bin/purgelib
    # Every library the tool is linked against must come from a package it depends on.
    depends=$(field Depends)
    has_dependency() {  # package: listed, with a least version
        local entry entries
        IFS=',' read -ra entries <<<"$depends"
        for entry in "${entries[@]}"; do
            [[ ${entry# } == "$1 (>= "* ]] && return 0
        done
        return 1
    }
    for soname in $(objdump -p "$tool" | awk '$1 == "NEEDED" {print $2}'); do
        path=$(ldd "$tool" | awk -v so="$soname" '$1 == so {print $3}')
        owner=""
        for candidate in "$path" "/usr$path" "${path#/usr}"; do
            owner=$(dpkg -S "$candidate" 2>/dev/null | head -n1 | cut -d: -f1) && [ -n "$owner" ] && break
        done
        check "$soname (package ${owner:-unknown}) is among the dependencies with a least version" \
            has_dependency "${owner:-unknown}"
    done
    echo "   Depends: $depends"
    check "the packaged tool runs: $("$tool" --version 2>&1 | head -n1)" \
        grep -q "^purgelib ${version//./\\.}\b" <(LC_ALL=C "$tool" --version 2>&1)
    check "the packaged tool is stripped" sh -c "! objdump -h '$tool' | grep -q '\.debug_info'"
    man_page=$work/deb/usr/share/man/man1/purgelib.1.gz
    renders_cleanly() { [ -f "$man_page" ] && [ -z "$(zcat "$man_page" | groff -man -Tutf8 -ww 2>&1 >/dev/null)" ]; }
    check "the man page renders without warnings" renders_cleanly
    check "the man page names version $version" \
        grep -q "^\.TH PURGELIB 1 .*\"purgelib ${version//./\\.}\"" <(zcat -f "$man_page" 2>/dev/null)
    check "the completion is valid bash" bash -n "$work/deb/usr/share/bash-completion/completions/purgelib"
fi

echo "== the zip of the Windows exes"
cmake --build build/default --target windows_zip >"$work/zip.log" 2>&1 || cat "$work/zip.log"
check "made $zip" test -f "$zip"
if [ -f "$zip" ]; then
    top=purgelib-${version}-windows
    listing=$(unzip -Z1 "$zip" | grep -v '/$')
    check "the zip holds both exes and the README" same_lines "$listing" "$top/x64/purgelib.exe
$top/x86/purgelib.exe
$top/README.md
$top/docs/message-box.png"
    unzip -q "$zip" -d "$work/zip"
    for flavour in x64 x86; do
        exe=$work/zip/$top/$flavour/purgelib.exe
        check "$flavour/purgelib.exe is build/mingw-$flavour/purgelib.exe" cmp -s "$exe" "build/mingw-$flavour/purgelib.exe"
        # The PE machine and the fixed part of the version resource.
        facts=$(python3 - "$exe" <<'EOF'
import struct, sys
data = open(sys.argv[1], "rb").read()
pe = struct.unpack_from("<I", data, 0x3C)[0]
machine = {0x8664: "x64", 0x14C: "x86"}.get(struct.unpack_from("<H", data, pe + 4)[0], "?")
at = data.find(struct.pack("<I", 0xFEEF04BD))
ms, ls = struct.unpack_from("<II", data, at + 8) if at >= 0 else (0, 0)
print(machine, "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF))
EOF
        )
        check "$flavour/purgelib.exe is a $flavour exe of version $version.0 ($facts)" \
            test "$facts" = "$flavour $version.0"
    done
fi

[ "$failures" -eq 0 ] && echo "packages: all checks passed"
[ "$failures" -eq 0 ]
