#!/usr/bin/env bash
# Takes a picture of purgelib's message box: runs the Windows exe under Wine on a
# virtual X display, waits for the box, captures it, closes it with Return and
# checks that the exe then exits with 0.
#
# The close button's cross is a glyph of the Marlett symbol font, and the box's
# text is set in Tahoma, as on Windows. Wine ships both (Debian: fonts-wine), but
# Debian's Wine 8 looks for its own fonts in a folder the package does not fill,
# so without help the box is drawn with whatever fontconfig offers instead and
# the button shows the letter "r" (Marlett's code for the cross). The script
# therefore copies Wine's TrueType fonts into the prefix's C:\windows\Fonts,
# where Windows keeps them too.
#
#   scripts/message-box-picture.sh [--exe EXE] [--out PNG] [--prefix DIR]
#
# EXE defaults to build/mingw-x64/purgelib.exe, PNG to docs/message-box.png. Without
# --prefix a throwaway Wine prefix is made and removed again; with it, that prefix
# is used (its wine server is stopped first: the display must be known from the
# first program of a session on).
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
exe="$repo/build/mingw-x64/purgelib.exe"
out="$repo/docs/message-box.png"
prefix=""
while [ $# -gt 0 ]; do
    case "$1" in
        --exe) exe="$2"; shift 2 ;;
        --out) out="$2"; shift 2 ;;
        --prefix) prefix="$2"; shift 2 ;;
        -h|--help) sed -n '2,20p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "unknown argument: $1" >&2; exit 2 ;;
    esac
done
caption="Velkorant Installationbereiniger"

[ -f "$exe" ] || { echo "$exe not found: build the mingw-x64 preset first" >&2; exit 1; }
need=()
# Wine's own fonts: the folder of marlett.ttf, as the package lists it.
wine_fonts() {
    local f
    for f in $(dpkg -L fonts-wine 2>/dev/null | grep '/marlett\.ttf$') \
        /usr/share/wine/fonts/marlett.ttf /opt/wine*/share/wine/fonts/marlett.ttf; do
        [ -f "$f" ] && { dirname "$f"; return 0; }
    done
    return 1
}
command -v wine >/dev/null || need+=(wine wine64)
wine_fonts >/dev/null || need+=(fonts-wine)
command -v Xvfb >/dev/null || need+=(xvfb)
command -v xdotool >/dev/null || need+=(xdotool)
command -v import >/dev/null || need+=(imagemagick)
if [ ${#need[@]} -gt 0 ]; then
    if [ "$(id -u)" -eq 0 ] && command -v apt-get >/dev/null; then
        export DEBIAN_FRONTEND=noninteractive
        apt-get update -qq
        apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
    else
        echo "missing: ${need[*]} (apt-get install ${need[*]})" >&2
        exit 1
    fi
fi

scratch="$(mktemp -d /tmp/purgelib-picture.XXXXXX)"
[ -n "$prefix" ] || prefix="$scratch/prefix"
export WINEPREFIX="$(cd "$(dirname "$prefix")" && pwd)/$(basename "$prefix")"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset WAYLAND_DISPLAY

xvfb_pid=""
exe_pid=""
cleanup() {
    [ -n "$exe_pid" ] && kill "$exe_pid" 2>/dev/null || true
    wineserver -k 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null || true
    rm -rf "$scratch"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

wineserver -k 2>/dev/null || true

# A display of its own: Xvfb picks a free number and writes it once it is ready.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$scratch/display" 2>"$scratch/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
    [ -s "$scratch/display" ] && break
    sleep 0.1
done
[ -s "$scratch/display" ] || { echo "Xvfb did not start" >&2; cat "$scratch/xvfb.log" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$scratch/display")"

if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wine wineboot -i >/dev/null 2>&1
    wineserver -w
fi
# Marlett (the caption buttons' symbols), Tahoma and the rest of Wine's fonts
# where Windows has them; fonts already there are kept.
fonts="$(wine_fonts)" || { echo "Wine's fonts (marlett.ttf) not found: apt-get install fonts-wine" >&2; exit 1; }
windows_fonts="$WINEPREFIX/drive_c/windows/Fonts"
mkdir -p "$windows_fonts"
for f in "$fonts"/*.ttf; do
    [ -e "$windows_fonts/$(basename "$f")" ] || cp "$f" "$windows_fonts/"
done
# Without a window manager the box has no frame; let Wine draw the title bar itself.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1

start=$(date +%s%N)
wine "$exe" >/dev/null 2>&1 &
exe_pid=$!

window="$(timeout 60 xdotool search --sync --name "^${caption}\$" 2>/dev/null | head -n1 || true)"
[ -n "$window" ] || { echo "no window named '$caption' appeared" >&2; exit 1; }
sleep 0.5  # let it finish painting
mkdir -p "$(dirname "$out")"
import -window "$window" "$out"
echo "box '$caption' (window $window, $(xdotool getwindowgeometry "$window" | sed -n 's/ *Geometry: //p')) after $((($(date +%s%N) - start) / 1000000)) ms"

xdotool key --window "$window" Return 2>/dev/null || true
for _ in $(seq 50); do
    kill -0 "$exe_pid" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$exe_pid" 2>/dev/null; then
    echo "the box did not close on Return" >&2
    exit 1
fi
status=0
wait "$exe_pid" || status=$?
exe_pid=""
echo "closed with Return; exit code $status; picture in $out"
[ "$status" -eq 0 ]
