// Where the POSIX layer's debugger channel and message box go. The message
// box writes to stdout in UTF-8. The debugger channel, like Windows without a
// debugger, drops its texts unless someone listens: a sink (tests capture the
// exact ANSI bytes with one), or the listener on stderr (UTF-8, one write per
// text) that the Linux tool switches on for its --trace.
#pragma once

namespace posix {

typedef void (*DebugSink)(const char* text, void* context);
typedef void (*MessageSink)(const char* text, const char* caption, unsigned style, void* context);

// Null restores the default. The sinks are process-wide.
void SetDebugSink(DebugSink sink, void* context);
void SetMessageSink(MessageSink sink, void* context);

// Switches the debugger channel's listener on stderr on or off (off at start).
void SetDebugListener(bool on);
// True while a debug sink is installed or the listener is on: only then does
// a text sent to the debugger channel reach anyone.
bool DebugListening();

}  // namespace posix
