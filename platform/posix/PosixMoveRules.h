// The rules by which Windows answers MoveFileExA beyond finding the source:
// which new names and replacements it refuses, a move onto the same entry,
// and how the moved entry spells its new name. MoveFileExA applies them
// around its host calls.
#pragma once

#include <string>

#include "platform/posix/PosixPaths.h"
#include "platform/posix/WinTypes.h"

namespace posix {

// False for a move's target name that Windows refuses with ERROR_INVALID_NAME:
// its last component holds a character that no file name may hold (the
// wildcards * ? < > ", the bar |, control characters).
bool IsValidTargetName(const char* name);

// True when `to` names the very directory entry `from` is: a move onto itself,
// or one that changes the letter case of the name only.
bool IsSameEntry(const ResolvedPath& from, const ResolvedPath& to);

// The host path a move to `newName` (resolved to `to`) gives its entry: `to`,
// with its last component spelt as the caller spelt it when the two differ in
// letter case only (an existing target found by a case-insensitive match).
std::string SpelledTarget(const ResolvedPath& to, const char* newName);

// The error with which Windows refuses MOVEFILE_REPLACE_EXISTING onto the
// existing `to`, or ERROR_SUCCESS: ERROR_ACCESS_DENIED for a folder (whatever
// would replace it), a read-only file, and a file that a handle holds open
// (any handle of this layer, even one sharing every right).
DWORD RefusedReplace(const ResolvedPath& to);

// Renames the entry at host path `from` to `spelled` (SpelledTarget of `to`):
// the entry itself when `self` (IsSameEntry), else onto `to`, replacing what
// is there (RefusedReplace has let it). A folder replaces a file in one step,
// as on Windows. False with *error set.
bool MoveEntry(const std::string& from, const ResolvedPath& to, const std::string& spelled,
               bool self, DWORD* error);

}  // namespace posix
