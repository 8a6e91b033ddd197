#!/usr/bin/env bash
# Installs what the tests need, fetches Wine's test source, builds every
# flavour and runs all tests:
#   default  native build: unit tests, the Linux tool, the Windows exe under
#            Wine (label e2e), the version reader against pefile and Wine's
#            version library, and Wine's conformance tests against the layer
#            (label conformance) and, built with MinGW, under Wine (e2e)
#   asan     the unit tests under AddressSanitizer + UndefinedBehaviorSanitizer
#   tsan     the threaded tests under ThreadSanitizer
#   mingw-x64, mingw-x86   the Windows exes (static checks)
#   fuzz     short bounded libFuzzer runs
#   packages the Debian package and the zip of the Windows exes, built and
#            their contents checked (scripts/check-packages.sh)
# and checks that every C/C++ file is formatted as clang-format writes it.
# Exits non-zero when anything fails.
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh || exit 1

status=0
step() {  # name, command...
    local name=$1
    shift
    echo "==== $name"
    if ! "$@"; then
        echo "==== FAILED: $name"
        status=1
    fi
}
build() { cmake --preset "$1" >/dev/null && cmake --build --preset "$1"; }

# The Windows exes first: the e2e tests of the native build run the x64 one.
step "format (clang-format)" scripts/check-format.sh
# Wine's conformance tests are read from Debian's Wine source at test time
# (cached outside the tree); the presets build them when it is there.
step "fetch Wine's test source" tests/conformance/wine/fetch-wine-tests.sh
step "build mingw-x64" build mingw-x64
step "build mingw-x86" build mingw-x86
step "build default" build default
step "build asan" build asan
step "build tsan" build tsan

step "packages (.deb, Windows zip)" scripts/check-packages.sh
step "test mingw-x64 (static checks)" ctest --preset mingw-x64
step "test mingw-x86 (static checks)" ctest --preset mingw-x86
step "test asan" ctest --preset asan -L unit
step "test tsan (threads)" ctest --preset tsan -R '[Tt]hread'
if [ -x scripts/fuzz-short.sh ]; then
    step "fuzz (short runs)" scripts/fuzz-short.sh
fi
# Last, so that its closing line is the summary CI reads.
step "test default (unit, e2e, conformance)" ctest --preset default

if [ "$status" -ne 0 ]; then
    echo "SOME STEPS FAILED"
fi
exit "$status"
