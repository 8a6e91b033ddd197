#!/bin/sh
# Fuzzes the version-resource reader (fuzz/version_fuzz.cpp) with libFuzzer
# under ASan + UBSan.
#
#   scripts/fuzz-version.sh            short bounded run (30 s), for the test command
#   scripts/fuzz-version.sh 3600       a long run of the given seconds
#
# Seeds: the generated fixtures (PE32, PE32+, NE, malformed), bare version
# blocks, and a few small modules of the Wine package. The corpus grows in
# $VERSION_FUZZ_CORPUS (default /tmp/version-fuzz-corpus) and is kept between
# runs. A crash leaves its input in $VERSION_FUZZ_CORPUS/artifacts and makes
# the exit status non-zero; reproduce it with
#   $BUILD/fuzz/version_fuzz <file>
set -eu

seconds=${1:-30}
repo=$(cd "$(dirname "$0")/.." && pwd)
build=${VERSION_FUZZ_BUILD:-$repo/build/fuzz-version}
corpus=${VERSION_FUZZ_CORPUS:-/tmp/version-fuzz-corpus}
wine=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows

if ! command -v clang++ >/dev/null 2>&1; then
    apt-get install -y clang >/dev/null
fi

CC=clang CXX=clang++ cmake -S "$repo" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DPURGELIB_BUILD_FUZZ=ON -DPURGELIB_SANITIZE=asan -DPURGELIB_BUILD_TESTS=ON >/dev/null
cmake --build "$build" -j2 --target version_fuzz fixture_gen >/dev/null

seeds="$corpus/seeds"
mkdir -p "$corpus/queue" "$corpus/artifacts" "$seeds"
"$build/tests/conformance/fixture_gen" "$seeds"
"$build/tests/conformance/fixture_gen" --blocks "$seeds"
for dll in lz32.dll version.dll dplay.dll stdole32.tlb; do
    if [ -f "$wine/$dll" ]; then cp "$wine/$dll" "$seeds/"; fi
done

# Leak detection is off: the target allocates nothing it does not free, and
# the short run should report crashes and overruns, not the runtime's state.
ASAN_OPTIONS=detect_leaks=0 "$build/fuzz/version_fuzz" \
    -max_total_time="$seconds" -max_len=262144 -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$corpus/artifacts/" -print_final_stats=1 \
    "$corpus/queue" "$seeds" 2>"$corpus/last-run.log" || {
    tail -40 "$corpus/last-run.log"
    echo "fuzz-version: crash; input kept in $corpus/artifacts" >&2
    exit 1
}
grep -E "^stat::number_of_executed_units|^stat::peak_rss_mb" "$corpus/last-run.log" || true
echo "fuzz-version: ${seconds}s without a crash"
