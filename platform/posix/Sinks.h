// Where the POSIX layer's debugger channel and message box go. By default the
// debugger channel writes to stderr and the message box to stdout, both in
// UTF-8; tests install sinks to capture the exact ANSI bytes instead.
#pragma once

namespace posix {

typedef void (*DebugSink)(const char* text, void* context);
typedef void (*MessageSink)(const char* text, const char* caption, unsigned style, void* context);

// Null restores the default. The sinks are process-wide.
void SetDebugSink(DebugSink sink, void* context);
void SetMessageSink(MessageSink sink, void* context);

}  // namespace posix
