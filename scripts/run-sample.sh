#!/usr/bin/env bash
# Builds the Linux tool, writes a sample Windows tree (the maker's copies of
# CAPI2032.DLL and capi.dll, another maker's capi20.dll), runs purgelib on it
# and shows what is left.
#   scripts/run-sample.sh [FOLDER]      (default: a new folder in /tmp)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target purgelib purgelib_sample_tree
root=${1:-$(mktemp -d /tmp/purgelib-sample-XXXXXX)}
build/default/tests/sample/purgelib_sample_tree "$root"
echo "== before: $root"
(cd "$root" && find . -type f | sort)
echo "== purgelib $root"
build/default/purgelib "$root"
echo "== exit code $?; after:"
(cd "$root" && find . -type f | sort)
