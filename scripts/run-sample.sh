#!/usr/bin/env bash
# Builds the Linux tool, writes a sample Windows tree (the maker's copies of
# CAPI2032.DLL and capi.dll, another maker's capi20.dll), runs purgelib on it
# and shows what is left.
#   scripts/run-sample.sh [FOLDER]      (default: a new folder in /tmp)
# Installs only what building the tool needs (a compiler, CMake and make) and
# builds in build/sample without the tests.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --tool
cmake -S . -B build/sample -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPURGELIB_BUILD_TESTS=OFF \
    -DPURGELIB_BUILD_SAMPLE=ON >/dev/null
cmake --build build/sample -j2 --target purgelib purgelib_sample_tree
root=${1:-$(mktemp -d /tmp/purgelib-sample-XXXXXX)}
build/sample/tests/sample/purgelib_sample_tree "$root"
echo "== before: $root"
(cd "$root" && find . -type f | sort)
echo "== purgelib $root"
status=0
build/sample/purgelib "$root" || status=$?
echo "== exit code $status; after:"
(cd "$root" && find . -type f | sort)
