// The layer's side of guard mode (SetRemovalGuard in PosixPaths.h): the
// identities of the files examined, and deletion through a private folder.
#pragma once

#include <sys/stat.h>

#include <string>

#include "platform/posix/WinTypes.h"

namespace posix {

// Outside guard mode: true. In guard mode: true when the path `key` has no
// identity recorded yet or `entry` (the entry in its folder) and `object`
// (the file it leads to; the same for anything but a link) are the ones
// recorded; false with ERROR_FILE_INVALID as the last error otherwise. With
// `record`, a path without a record gets this one (the path's first open).
bool CheckIdentity(const std::string& key, const struct stat& entry, const struct stat& object,
                   bool record);

// The path's record goes (the file it named was deleted or moved away).
void ForgetIdentity(const std::string& key);
// Every record goes (guard mode turned on or off, another drive root).
void ForgetIdentities();

// Removes the entry `name` of the folder `parent` when it is still `expected`
// (device and inode): moves it into a new private folder beside it (mode
// 0700, owned by this process's user), checks it there and unlinks it; an
// entry that is not the expected one goes back (under its own name, or, when
// that was taken meanwhile, under its name with the private folder's name
// added) and the call fails with ERROR_FILE_INVALID. The private folder goes
// in every case unless a foreign entry could not be put back out of it.
// ERROR_SUCCESS or the error.
DWORD RemoveExamined(int parent, const std::string& name, const struct stat& expected);

// Removes the entry `name` of the folder `parent`, which was examined as
// `entry`: in guard mode through RemoveExamined, otherwise by unlinking it.
// ERROR_SUCCESS or the error.
DWORD RemoveEntry(int parent, const std::string& name, const struct stat& entry);

}  // namespace posix
