#!/usr/bin/env bash
# The Linux tool end to end: purgelib on generated trees of three layouts, a
# refused drive root, --help and --version. (tool_test.py covers the options.)
set -u
tool=$1
make_tree=$2
work=$(mktemp -d /tmp/purgelib-tool-XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0
check() {  # description, then a command that must succeed
    local what=$1
    shift
    if "$@"; then echo "ok: $what"; else echo "FAIL: $what"; failures=$((failures + 1)); fi
}

success=$(printf 'Velkorant Installationbereiniger\nDas System wurde erfolgreich aktualisiert.\nSie m\xc3\xbcssen den Computer neu starten, damit die \xc3\x84nderungen wirksam werden.\n')

for layout in xp winnt win9x; do
    root=$work/$layout
    "$make_tree" "$root" --layout "$layout"
    out=$("$tool" "$root" 2>"$work/stderr")
    code=$?
    check "$layout: exit code 0" test "$code" -eq 0
    check "$layout: the success message on stdout in UTF-8, after the report" \
        test "$(printf '%s\n' "$out" | tail -n 3)" = "$success"
    check "$layout: the report first" test "$(printf '%s\n' "$out" | head -n 1)" = "Drive root: $root"
    left=$(cd "$root" && find . -type f | sort | tr '\n' ' ')
    case $layout in
        xp) want="./windows/system/capi20.dll " ;;
        winnt) want="./WINNT/system/capi20.dll " ;;
        win9x) want="./WINDOWS/SYSTEM/capi20.dll " ;;
    esac
    check "$layout: only the other maker's library is left ($left)" test "$left" = "$want"
done

# The default drive root comes from WINEPREFIX.
mkdir -p "$work/prefix/drive_c"
"$make_tree" "$work/prefix/drive_c"
WINEPREFIX=$work/prefix "$tool" >/dev/null 2>&1
check "WINEPREFIX: the maker's copy in system32 is gone" test ! -e "$work/prefix/drive_c/windows/system32/CAPI2032.DLL"

# Refusals: nothing is touched, one line on stderr, exit code 2.
"$make_tree" "$work/keep"
for bad in "$work/missing" "$work/keep/windows/system32/CAPI2032.DLL" "$work/keep/windows"; do
    err=$("$tool" "$bad" 2>&1 >/dev/null)
    code=$?
    check "refused '$bad' with exit code 2" test "$code" -eq 2
    check "one line on stderr: $err" test "$(printf '%s\n' "$err" | wc -l)" -eq 1
done
check "the refused trees were not touched" test -e "$work/keep/windows/system32/CAPI2032.DLL"
"$tool" "$work/keep" "$work/missing" >/dev/null 2>&1
check "a missing root among others is refused" test $? -eq 2
check "--help exits 0 with a usage" sh -c "'$tool' --help | grep -q '^usage: purgelib'"
check "--version exits 0" sh -c "'$tool' --version | grep -q '^purgelib 1.4.0.0$'"

[ "$failures" -eq 0 ]
