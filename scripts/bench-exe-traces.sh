#!/usr/bin/env bash
# The Windows exe under Wine on a library made only of maker names, with
# nobody listening to its traces, against GNU grep on the same file:
#
#   scripts/bench-exe-traces.sh [MIB] [--with-listener]
#
# Makes a throwaway Wine prefix, writes MIB MiB (default 10) of "QZM-GmbH" as
# C:\windows\system\capi20.dll and times `purgelib.exe /quiet` with
# WINEDEBUG=-all, and the same run on the prefix without the file (Wine's
# start-up, after a first start that is not counted). The exe's cost of the file is the difference; it is compared with
# `grep -c -F QZM-GmbH` on the file and the ratio printed. --with-listener
# also times a run with Wine's debugstr channel on (every trace printed).
# Uses build/mingw-x64/purgelib.exe (built when missing). Needs wine.
set -euo pipefail
cd "$(dirname "$0")/.."
mib=10
listener=0
for arg in "$@"; do
    case $arg in
        --with-listener) listener=1 ;;
        *) mib=$arg ;;
    esac
done
exe=build/mingw-x64/purgelib.exe
if [ ! -f "$exe" ]; then
    cmake --preset mingw-x64 >/dev/null && cmake --build --preset mingw-x64 -j2 >/dev/null
fi
command -v wine >/dev/null || { echo "wine is not installed (scripts/install-deps.sh)"; exit 2; }

prefix=$(mktemp -d /tmp/purgelib-exe-bench-XXXXXX)
trap 'WINEPREFIX=$prefix wineserver -k 2>/dev/null || true; rm -rf "$prefix"' EXIT
export WINEPREFIX=$prefix WINEDLLOVERRIDES="mscoree,mshtml="
WINEDEBUG=-all wineboot -i >/dev/null 2>&1
WINEDEBUG=-all wineserver -w
mkdir -p "$prefix/drive_c/windows/system"
cp "$exe" "$prefix/drive_c/purgelib.exe"
library=$prefix/drive_c/windows/system/capi20.dll

place() {
    python3 -c "import sys; open(sys.argv[1], 'wb').write(b'MZ' + b'QZM-GmbH' * ($mib << 17))" \
        "$library"
}
# Seconds of one run of the exe, with WINEDEBUG=$1.
timed_run() {
    local start end
    start=$(date +%s.%N)
    (cd "$prefix/drive_c" && WINEDEBUG=$1 wine ./purgelib.exe /quiet >/dev/null 2>"$prefix/wine.err") ||
        echo "the exe failed: exit $?" >&2
    end=$(date +%s.%N)
    python3 -c "print(f'{$end - $start:.3f}')"
}

timed_run -all >/dev/null  # Wine's first start in a prefix is slower
empty=$(timed_run -all)
place
grep_start=$(date +%s.%N)
grep -c -F QZM-GmbH "$library" >/dev/null
grep_end=$(date +%s.%N)
grep_s=$(python3 -c "print(f'{$grep_end - $grep_start:.3f}')")
with=$(timed_run -all)
[ ! -e "$library" ] || { echo "the maker's library was not removed"; exit 1; }
echo "exe, no library:            $empty s (Wine's start-up)"
echo "exe, $mib MiB of maker names: $with s, nobody listening"
echo "grep -c -F on the file:     $grep_s s"
python3 -c "print(f'ratio exe/grep (the file\'s share of the run): {max($with - $empty, 0) / max($grep_s, 0.001):.2f}')"
if [ "$listener" = 1 ]; then
    place
    echo "exe, $mib MiB, debugstr on:  $(timed_run -all,warn+debugstr) s"
fi
