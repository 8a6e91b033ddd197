#!/bin/sh
# Fetches the Wine conformance tests that tests/conformance/wine runs against
# our layer: Wine 8.0 as Debian 12 ships it (source package wine
# 8.0~repack-4, the version of the installed Wine). The upstream tarball of
# that package is downloaded once into a cache outside the source tree, its
# SHA-256 is checked against the value pinned below (from the package's .dsc),
# and only the test files the port reads are extracted from it.
#
#   fetch-wine-tests.sh [--quiet] [CACHE]
#
# CACHE defaults to $PURGELIB_WINE_SOURCE_CACHE, else
# ${XDG_CACHE_HOME:-$HOME/.cache}/purgelib/wine-source. The extracted files land
# in CACHE/wine-8.0/... ; the last line printed is that folder. Exit status 0
# when the files are there, 1 when they could not be fetched or the download
# does not match the pinned checksum (nothing is extracted then).
#
# PURGELIB_WINE_SOURCE_URL replaces the download address (a mirror of
# Debian's pool); the checksum stays the pinned one.
set -eu

PACKAGE_VERSION="8.0~repack-4"
TARBALL="wine_8.0~repack.orig.tar.xz"
TARBALL_SHA256="537c6889647a528ee9092b109e65b0fde288ba55d535044907cf168ca6f6e745"
TOP="wine-8.0"
FILES="dlls/version/tests/info.c dlls/version/tests/version.rc dlls/kernel32/tests/file.c"
URL=${PURGELIB_WINE_SOURCE_URL:-"http://deb.debian.org/debian/pool/main/w/wine/$TARBALL"}

quiet=0
if [ "${1:-}" = "--quiet" ]; then
    quiet=1
    shift
fi
cache=${1:-${PURGELIB_WINE_SOURCE_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/purgelib/wine-source}}
say() { [ "$quiet" -eq 1 ] || echo "$*" >&2; }

have_all() {
    for f in $FILES; do
        [ -f "$cache/$TOP/$f" ] || return 1
    done
    [ -f "$cache/$TOP/.sha256" ] && [ "$(cat "$cache/$TOP/.sha256")" = "$TARBALL_SHA256" ]
}

if have_all; then
    echo "$cache/$TOP"
    exit 0
fi

mkdir -p "$cache"
archive="$cache/$TARBALL"
if [ ! -f "$archive" ] || [ "$(sha256sum "$archive" | cut -d' ' -f1)" != "$TARBALL_SHA256" ]; then
    say "fetching Wine $PACKAGE_VERSION source ($URL)"
    if ! command -v curl >/dev/null 2>&1; then
        echo "fetch-wine-tests: curl is not installed (apt-get install curl)" >&2
        exit 1
    fi
    partial="$archive.part.$$"
    if ! curl -fsSL --retry 3 --connect-timeout 20 --max-time 600 -o "$partial" "$URL"; then
        rm -f "$partial"
        echo "fetch-wine-tests: could not download $URL" >&2
        exit 1
    fi
    sum=$(sha256sum "$partial" | cut -d' ' -f1)
    if [ "$sum" != "$TARBALL_SHA256" ]; then
        rm -f "$partial"
        echo "fetch-wine-tests: $TARBALL has SHA-256 $sum, expected $TARBALL_SHA256" >&2
        exit 1
    fi
    mv "$partial" "$archive"
fi

say "extracting $FILES"
rm -rf "$cache/$TOP.new"
mkdir -p "$cache/$TOP.new"
members=""
for f in $FILES; do
    members="$members $TOP/$f"
done
# shellcheck disable=SC2086  # the member names hold no blanks
tar -xJf "$archive" -C "$cache/$TOP.new" $members
echo "$TARBALL_SHA256" >"$cache/$TOP.new/$TOP/.sha256"
rm -rf "$cache/$TOP"
mv "$cache/$TOP.new/$TOP" "$cache/$TOP"
rmdir "$cache/$TOP.new"
echo "$cache/$TOP"
