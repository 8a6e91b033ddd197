#!/usr/bin/env bash
# Short bounded libFuzzer runs of every target under ASan + UBSan, for the
# test command. A longer run: scripts/fuzz-version.sh SECONDS, or
#   build/fuzz/fuzz/filesearch_fuzz CORPUS -max_total_time=SECONDS -max_len=4096
#   scripts/fuzz-short.sh [SECONDS_EACH]      (default 20)
set -euo pipefail
seconds=${1:-20}
cd "$(dirname "$0")/.."
VERSION_FUZZ_BUILD=$PWD/build/fuzz-version scripts/fuzz-version.sh "$seconds"

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target filesearch_fuzz >/dev/null
corpus=$(mktemp -d /tmp/filesearch-fuzz-XXXXXX)
trap 'rm -rf "$corpus"' EXIT
ASAN_OPTIONS=detect_leaks=0 build/fuzz/fuzz/filesearch_fuzz "$corpus" -max_total_time="$seconds" \
    -max_len=4096 -artifact_prefix="$corpus/" -print_final_stats=1 2>"$corpus/log" || {
    tail -40 "$corpus/log"
    exit 1
}
grep -E '^stat::number_of_executed_units' "$corpus/log" || true
echo "fuzz-short: ${seconds}s per target without a crash"
