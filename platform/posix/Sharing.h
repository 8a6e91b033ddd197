// Win32 share modes between processes of this layer, emulated with
// open-file-description locks on bytes far beyond any real file end.
//
// Each handle holds a shared lock on the "access" byte of every right it has
// (read, write, delete) and on the "deny" byte of every right it does not
// share. An open conflicts when another handle denies a right it asks for, or
// holds a right that it denies. The locks vanish with the descriptor.
#pragma once

#include "platform/posix/WinTypes.h"

namespace posix {

enum : unsigned { kRightRead = 1, kRightWrite = 2, kRightDelete = 4 };

// Rights a CreateFileA access mask asks for.
unsigned RightsOf(DWORD access);
// Rights a share mode allows others.
unsigned SharedRights(DWORD shareMode);

// Takes the locks for an open with `rights` that shares `shared`. False when it
// conflicts with another handle (no lock is kept then).
bool AcquireShare(int fd, unsigned rights, unsigned shared);

// True when another handle on the file behind fd denies `rights` (without
// taking anything), as a delete or rename must check.
bool IsDenied(int fd, unsigned rights);

}  // namespace posix
