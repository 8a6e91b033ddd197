#!/bin/sh
# Compares our version reader with Wine's own version library: the same
# dumper (version_dump.cpp), built with MinGW and run under wine in a fresh
# prefix, reads the generated fixtures (PE, NE, malformed) and every module of
# the Wine package; compare_wine.py compares the two outputs answer by answer.
#
#   tests/conformance/wine_probe.sh [build dir]   (default /tmp/build-version)
#
# The build dir must hold version_dump and fixture_gen (make version_dump
# fixture_gen). Exit status 77 when wine or MinGW is missing.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
build=${1:-/tmp/build-version}
dlls=/usr/lib/x86_64-linux-gnu/wine

for tool in wine wineserver x86_64-w64-mingw32-g++-posix; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "skipped: $tool is not installed"
        exit 77
    fi
done
for tool in version_dump fixture_gen; do
    if [ ! -x "$build/tests/conformance/$tool" ]; then
        echo "missing $build/tests/conformance/$tool (make $tool)" >&2
        exit 2
    fi
done

work=$(mktemp -d /tmp/version-wine.XXXXXX)
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

x86_64-w64-mingw32-g++-posix -std=c++17 -O2 -Wall -Wextra -Werror -static -I"$repo" \
    "$here/version_dump.cpp" "$repo/inspect/VersionValue.cpp" "$repo"/strings/*.cpp "$repo"/debuglog/*.cpp -o "$work/version_dump.exe" -lversion
wine wineboot -i >/dev/null 2>&1 || true
wineserver -w

mkdir "$work/fixtures"
"$build/tests/conformance/fixture_gen" "$work/fixtures"
find "$work/fixtures" -type f | sort >"$work/fixtures.txt"
find "$dlls/x86_64-windows" "$dlls/i386-windows" -type f 2>/dev/null | sort >"$work/dlls.txt"

status=0
for set in fixtures dlls; do
    sed 's|^|Z:|; s|/|\\|g' "$work/$set.txt" >"$work/$set.win"
    "$build/tests/conformance/version_dump" <"$work/$set.txt" >"$work/$set.ours"
    wine "$work/version_dump.exe" <"$work/$set.win" >"$work/$set.wine" 2>/dev/null
    echo "== $set"
    /usr/bin/python3 "$here/compare_wine.py" "$work/$set.ours" "$work/$set.wine" || status=1
done
exit $status
