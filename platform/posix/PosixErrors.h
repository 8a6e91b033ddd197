// errno values as Win32 error codes, for every part of the POSIX layer that
// reports a failed host call.
#pragma once

#include "platform/posix/WinTypes.h"

namespace posix {

// Win32 error code for an errno value. ENOENT gives ERROR_FILE_NOT_FOUND.
DWORD ErrnoToWin32(int err);
// Sets the last error from errno (through ErrnoToWin32) and returns it.
DWORD SetLastErrorFromErrno(int err);

}  // namespace posix
