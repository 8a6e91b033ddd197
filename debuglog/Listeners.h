// Who hears the debugger channel: a text given to OutputDebugStringA that
// nobody receives need not be made at all.
#pragma once

namespace debuglog {

// Whether a text sent to the debugger channel now reaches anyone.
// Windows: a debugger attached to the process, a debug monitor (a program
// that owns the system-wide DBWIN_BUFFER that OutputDebugStringA writes
// into; asked again every half second, so one started during a run is
// heard), or, under Wine, its "debugstr" channel with warnings on
// (WINEDEBUG=warn+debugstr), which prints every text.
// POSIX layer: a debug sink or the --trace listener.
bool DebuggerListens();

}  // namespace debuglog
