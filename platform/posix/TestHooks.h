// Test-only control of the POSIX layer: make a named platform call fail with a
// chosen error, or succeed, so that every outcome of a caller can be tested on
// a machine where it cannot happen naturally (for example a refused deletion
// when the tests run as root).
#pragma once

#include <string>
#include <vector>

#include "platform/posix/WinTypes.h"

namespace posix {

// From now on, calls of `function` ("DeleteFileA", "MoveFileExA", ...) fail
// with `error` and do nothing.
void ForceFailure(const char* function, DWORD error);
// From now on, calls of `function` report success and do nothing; a forced
// MoveFileExA records its source in ForcedMoves().
void ForceSuccess(const char* function);
// From now on, calls of `function` that answer a value (GetFileAttributesA)
// answer `value` and do nothing else; for states the host cannot have, such
// as hidden or system files.
void ForceValue(const char* function, DWORD value);
void ClearForced();
std::vector<std::string> ForcedMoves();

// For the layer itself: true when `function` is forced; *result is then what
// the call returns (the last error is set for a forced failure).
bool IsForced(const char* function, BOOL* result);
bool IsForcedValue(const char* function, DWORD* value);
void RecordForcedMove(const char* source);

// Successful FlushFileBuffers calls since the start or the last reset.
unsigned FlushCount();
void ResetFlushCount();
void RecordFlush();

// From now on GetTickCount answers `ticks`; Clear returns to the real clock.
void SetTickCountForTest(DWORD ticks);
void ClearTickCountForTest();
// For the layer itself: true with *ticks set while a tick count is fixed.
bool FixedTickCount(DWORD* ticks);

}  // namespace posix
