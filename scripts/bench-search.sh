#!/usr/bin/env bash
# Benchmarks the content search against GNU grep on a 256 MiB generated file.
#
#   scripts/bench-search.sh [NAME...]     (default: the three maker names)
#
# Builds a Release tree with the benchmarks (BUILD_DIR, default build/bench),
# writes random bytes with planted maker names to $FILE (default
# /tmp/purgelib-search-bench.bin), counts each name independently (Python, and
# grep -o -a -F | wc -l), and runs bench/filesearch_bench for each name: it
# times Search(name, 0) and grep -c -F in the same run and prints the ratio.
# Exits 1 when a hit count differs, 3 when a ratio is above $TARGET (1.0).
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build/bench}
FILE=${FILE:-/tmp/purgelib-search-bench.bin}
TARGET=${TARGET:-1.0}
if [ $# -gt 0 ]; then names=("$@"); else names=("QZM Korvik" "QZM GmbH" "QZM-GmbH"); fi

for p in g++ cmake make libbenchmark-dev python3 grep; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        DEBIAN_FRONTEND=noninteractive apt-get update -qq
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$p"
    fi
done

cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release -DPURGELIB_BUILD_BENCH=ON \
    -DPURGELIB_BUILD_TESTS=OFF >/dev/null
cmake --build "$BUILD_DIR" -j2 --target filesearch_bench >/dev/null

# 256 MiB of seeded random bytes; each maker name planted 2000 times, some of
# them across the 50000-byte block boundaries of the search.
python3 - "$FILE" <<'PY'
import random, sys
size = 256 << 20
rng = random.Random(20061)
data = bytearray()
while len(data) < size:
    data += rng.randbytes(16 << 20)
names = [b"QZM Korvik", b"QZM GmbH", b"QZM-GmbH"]
slots = rng.sample(range(1, size // 64 - 1), 6000)
for i, slot in enumerate(slots):
    name = names[i % 3]
    at = slot * 64
    if i % 10 == 0:  # across or against the end of the search's block here
        step = 50001 - len(name)
        at = (at // step) * step + 50000 - len(name) + (i // 10) % 5 - 2
    data[at:at + len(name)] = name
open(sys.argv[1], "wb").write(data)
PY

status=0
for name in "${names[@]}"; do
    # Every occurrence, overlapping ones included; and whether the name can
    # overlap itself (grep -o counts only non-overlapping ones).
    read -r expect overlaps < <(python3 - "$FILE" "$name" <<'PY'
import sys
data = open(sys.argv[1], "rb").read()
name = sys.argv[2].encode("cp1252")
count, at = 0, data.find(name)
while at >= 0:
    count, at = count + 1, data.find(name, at + 1)
print(count, int(any(name[:k] == name[-k:] for k in range(1, len(name)))))
PY
)
    by_grep=$(LC_ALL=C grep -o -a -F -- "$name" "$FILE" | wc -l)
    echo "==== $name: independent counts $expect (python), $by_grep (grep -o -a -F | wc -l)"
    if [ "$overlaps" = 0 ] && [ "$expect" != "$by_grep" ]; then
        echo "the independent counts disagree"
        status=1
    fi
    out=$("$BUILD_DIR/bench/filesearch_bench" --file="$FILE" --name="$name" --expect="$expect") || status=1
    echo "$out"
    ratio=$(echo "$out" | sed -n 's/^ratio Search\/grep[^:]*: \([0-9.]*\).*/\1/p')
    if [ -z "$ratio" ]; then
        status=1
    elif python3 -c "import sys; sys.exit(0 if float('$ratio') <= float('$TARGET') else 1)"; then
        echo "ratio $ratio <= $TARGET"
    else
        echo "ratio $ratio above the target $TARGET"
        [ "$status" -ne 0 ] || status=3
    fi
done
exit "$status"
