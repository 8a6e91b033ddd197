// Win32 share modes between processes of this layer, emulated with
// open-file-description locks on bytes far beyond any real file end.
//
// Each handle holds a shared lock on the "access" byte of every right it has
// (read, write, delete), on the "deny" byte of every right it does not share,
// and on the "open" byte. An open conflicts when another handle denies a right
// it asks for, or holds a right that it denies. The locks vanish with the
// descriptor.
#pragma once

#include "platform/posix/WinTypes.h"

namespace posix {

enum : unsigned { kRightRead = 1, kRightWrite = 2, kRightDelete = 4 };

// The data rights and DELETE that a CreateFileA access mask stands for: each
// GENERIC_* right replaced by the file rights Windows maps it to (of those,
// the ones that matter here: GENERIC_READ gives FILE_READ_DATA, GENERIC_WRITE
// FILE_WRITE_DATA and FILE_APPEND_DATA, GENERIC_EXECUTE FILE_EXECUTE,
// GENERIC_ALL all of them and DELETE).
DWORD FileRightsOf(DWORD access);

// Rights a CreateFileA access mask asks for, as Windows' share-mode check
// counts them: read for FILE_READ_DATA or FILE_EXECUTE, write for
// FILE_WRITE_DATA or FILE_APPEND_DATA, delete for DELETE (after FileRightsOf).
unsigned RightsOf(DWORD access);
// Rights a share mode allows others.
unsigned SharedRights(DWORD shareMode);

// Takes the locks for an open with `rights` that shares `shared`. False when it
// conflicts with another handle (no lock is kept then).
bool AcquireShare(int fd, unsigned rights, unsigned shared);

// True when another handle on the file behind fd denies `rights` (without
// taking anything), as a delete or rename must check.
bool IsDenied(int fd, unsigned rights);

// True when a handle of this layer (of any process, this one included) other
// than fd's own has the file behind fd open.
bool IsOpenElsewhere(int fd);

}  // namespace posix
