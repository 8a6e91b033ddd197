#!/usr/bin/env bash
# The shipped tools carry no test control: none of the functions that force
# the results of platform calls, count flushes or hold the tick count still,
# and no table of forced results (a map keyed by call names). Test programs get
# those from tests/support/ForcedCalls.cpp, through the layer's hook pointer.
#
#   no_test_control.sh symbols FILE   a native tool: its symbol table (nm -C)
#   no_test_control.sh bytes FILE     a stripped Windows exe: the names appear
#                                     nowhere in the file
set -uo pipefail

mode=${1:-}
file=${2:-}
names='Force(Failure|Success|Value)|Forced|FlushCount|RecordFlush|TickCountForTest|FixedTickCount'
tables='(std::map|std::_Rb_tree)<std::__cxx11::basic_string'

if [ ! -f "$file" ]; then
    echo "no such file: $file"
    exit 1
fi

case "$mode" in
symbols)
    if ! symbols=$(nm -C "$file"); then
        echo "nm cannot read $file"
        exit 1
    fi
    # A tool without the layer's own symbols would pass for the wrong reason.
    if ! grep -q 'DeleteFileA' <<<"$symbols"; then
        echo "$file: no symbols of the platform layer to inspect (stripped?)"
        exit 1
    fi
    found=$(grep -E "$names|$tables" <<<"$symbols")
    ;;
bytes)
    # The exe imports DeleteFileA by name; without it this is not the tool.
    if ! grep -a -q 'DeleteFileA' "$file"; then
        echo "$file: not the tool (no DeleteFileA import)"
        exit 1
    fi
    found=$(grep -a -o -E "$names" "$file" | sort | uniq -c)
    ;;
*)
    echo "usage: $0 symbols|bytes FILE"
    exit 2
    ;;
esac

if [ -n "$found" ]; then
    echo "$file carries test control:"
    head -n 20 <<<"$found" | cut -c1-200
    exit 1
fi
echo "$file: no test control ($mode)"
