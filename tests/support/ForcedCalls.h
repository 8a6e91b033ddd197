// Forced results of the platform calls, for tests: make a named call of the
// POSIX layer fail with a chosen error, or succeed, so that every outcome of a
// caller can be tested on a machine where it cannot happen naturally (for
// example a refused deletion when the tests run as root). Built only into
// test programs: it installs its hooks into the layer's seam (CallHooks.h).
#pragma once

#include <functional>
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

// Successful FlushFileBuffers calls since the start or the last reset.
unsigned FlushCount();
void ResetFlushCount();

// From now on `action` runs with the name of each step the layer announces
// (ReachedStep in CallHooks.h: "DeleteFileA:move", ...), right before it takes
// it; an empty action ends that. For races made at a chosen moment.
void OnStep(std::function<void(const std::string& point)> action);

// From now on GetTickCount answers `ticks`; Clear returns to the real clock.
void SetTickCountForTest(DWORD ticks);
void ClearTickCountForTest();

}  // namespace posix
