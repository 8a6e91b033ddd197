#!/bin/sh
# Times the version reader over every module of the Wine package against
# python pefile reading the same values, and prints the ratio (target: ours
# at most 0.05 of pefile's time). Exit status 1 when the ratio is over it.
#
#   scripts/bench-version.sh [version_bench flags]
set -eu

repo=$(cd "$(dirname "$0")/.." && pwd)
build=${VERSION_BENCH_BUILD:-$repo/build/bench-version}

missing=
dpkg -s libbenchmark-dev >/dev/null 2>&1 || missing="$missing libbenchmark-dev"
dpkg -s python3-pefile >/dev/null 2>&1 || missing="$missing python3-pefile"
if [ -n "$missing" ]; then
    apt-get install -y $missing >/dev/null
fi

cmake -S "$repo" -B "$build" -DCMAKE_BUILD_TYPE=Release -DPURGELIB_BUILD_BENCH=ON \
    -DPURGELIB_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target version_bench >/dev/null
exec "$build/bench/version_bench" "$@"
