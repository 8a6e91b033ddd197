// The rules by which Windows answers MoveFileExA beyond finding the source: a
// move onto the same entry, which replacements it refuses, and how the moved
// entry spells its new name. MoveFileExA applies them around its host calls;
// every call here works in the folders of the resolved paths (descriptors
// inside the drive root), never by host path.
#pragma once

#include <string>

#include "platform/posix/PosixPaths.h"
#include "platform/posix/WinTypes.h"

namespace posix {

// True when `to` names the very entry `from` is: a move onto itself, or one
// that changes the letter case of the name only.
bool IsSameEntry(const ResolvedPath& from, const ResolvedPath& to);

// The host name the moved entry gets in to's folder: to's own, or, when the
// caller spelt the last component of `newName` otherwise in letter case only
// (an existing entry found by a case-insensitive match), the caller's
// spelling, as on Windows.
std::string SpelledName(const ResolvedPath& to, const char* newName);

// The error with which Windows refuses MOVEFILE_REPLACE_EXISTING onto the
// existing entry `to`, or ERROR_SUCCESS: ERROR_ACCESS_DENIED for a folder
// (whatever would replace it), a read-only file, and a file that a handle
// holds open (any handle of this layer, of any process, even one sharing
// every right).
DWORD RefusedReplace(const ResolvedPath& to);

// Renames the entry of `from` to `spelled` in to's folder: the entry itself
// when `self` (IsSameEntry), else onto `to`, replacing what is there
// (RefusedReplace has let it). A folder replaces a file in one step, as on
// Windows. False with *error set.
bool MoveEntry(const ResolvedPath& from, const ResolvedPath& to, const std::string& spelled,
               bool self, DWORD* error);

}  // namespace posix
