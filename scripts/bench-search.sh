#!/usr/bin/env bash
# Benchmarks the content search against GNU grep on a 256 MiB generated file,
# and the run's content stage on 100 MiB made only of maker names.
#
#   scripts/bench-search.sh [NAME...]     (default: the three maker names)
#   scripts/bench-search.sh --content-stage   (only the 100 MiB case)
#
# Builds a Release tree with the benchmarks (BUILD_DIR, default build/bench),
# writes random bytes with planted maker names to $FILE (default
# /tmp/purgelib-search-bench.bin), counts each name independently (Python, and
# grep -o -a -F | wc -l), and runs bench/filesearch_bench for each name: it
# times Search(name, 0) and grep -c -F in the same run and prints the ratio.
#
# The content stage (HasMakerContent, reports on, nobody listening to the
# traces, as the Linux tool runs without --trace) is timed on two files of
# 100 MiB ($NAMES_FILE.*): the three names over and over (found at once), and
# "QZM-GmbH" only (the two names before it are searched in vain, the third is
# found 13 million times), each against grep -c -F -e NAME... in the same run.
# Exits 1 when a hit count differs, 3 when a ratio is above $TARGET (1.0) or,
# for the content stage, $STAGE_TARGET (2.0).
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build/bench}
FILE=${FILE:-/tmp/purgelib-search-bench.bin}
NAMES_FILE=${NAMES_FILE:-/tmp/purgelib-names-bench}
TARGET=${TARGET:-1.0}
STAGE_TARGET=${STAGE_TARGET:-2.0}
stage_only=0
if [ "${1:-}" = --content-stage ]; then
    stage_only=1
    shift
fi
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

# Checks the ratio printed in $1 against $2; sets status.
status=0
check_ratio() {
    local ratio
    ratio=$(echo "$1" | sed -n 's/^ratio [A-Za-z]*\/grep[^:]*: \([0-9.]*\).*/\1/p')
    if [ -z "$ratio" ]; then
        status=1
    elif python3 -c "import sys; sys.exit(0 if float('$ratio') <= float('$2') else 1)"; then
        echo "ratio $ratio <= $2"
    else
        echo "ratio $ratio above the target $2"
        [ "$status" -ne 0 ] || status=3
    fi
}

content_stage() {
    python3 - "$NAMES_FILE" <<'PY'
import sys
size = 100 << 20
mixed = b"QZM KorvikQZM GmbHQZM-GmbH"
open(sys.argv[1] + ".mixed", "wb").write((mixed * (size // len(mixed) + 1))[:size])
open(sys.argv[1] + ".last", "wb").write(b"QZM-GmbH" * (size // 8))
PY
    for kind in mixed last; do
        echo "==== content stage on 100 MiB of maker names ($kind)"
        out=$("$BUILD_DIR/bench/filesearch_bench" --file="$NAMES_FILE.$kind" --content-stage) ||
            status=1
        echo "$out"
        check_ratio "$out" "$STAGE_TARGET"
    done
}

if [ "$stage_only" = 1 ]; then
    content_stage
    exit "$status"
fi

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
    check_ratio "$out" "$TARGET"
done
content_stage
exit "$status"
