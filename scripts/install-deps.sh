#!/usr/bin/env bash
# Installs what building and testing purgelib needs (Debian 12). Idempotent:
# packages already present are not fetched again.
#   scripts/install-deps.sh          everything the test command needs
#   scripts/install-deps.sh --tool   only what building the Linux tool needs: a
#                                    compiler, CMake and make (scripts/run-sample.sh)
set -euo pipefail
tool_packages=(g++ cmake make)
packages=(
    g++ cmake make googletest libgtest-dev libbenchmark-dev    # native build, tests, benchmarks
    clang-format                                               # the format check
    clang libclang-rt-14-dev                                   # libFuzzer targets
    g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64  # Windows builds
    wine wine64 fonts-wine xvfb xdotool imagemagick            # the Windows exe end to end
    python3 python3-pefile                                     # version-resource conformance
    curl xz-utils                                              # Wine's test source (fetched)
    wine32:i386                                                # 32-bit Windows programs under Wine
    dpkg-dev unzip groff-base                                  # the packages and their check
)
case "${1:-}" in
    --tool) packages=("${tool_packages[@]}") ;;
    "") ;;
    *) echo "usage: scripts/install-deps.sh [--tool]" >&2; exit 2 ;;
esac
# wine32 comes from Debian's i386 architecture (multiarch): enable it once. An
# architecture added here makes the package lists stale, so they are updated
# below even when nothing else is missing.
update=0
if [ -z "${1:-}" ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    echo "enabling the i386 architecture (for wine32)"
    dpkg --add-architecture i386
    update=1
fi
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ] || [ "$update" -eq 1 ]; then
    echo "installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
