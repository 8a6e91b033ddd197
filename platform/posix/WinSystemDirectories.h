// The Windows directory and the system directory of the POSIX Win32 subset,
// as they lie on drive C: (see PosixPaths.h): C:\windows, or C:\winnt when
// only that exists; below it system32, or system when only that exists (the
// Windows 9x layout). Names keep their letter case on disk.
#pragma once

#include "platform/posix/WinTypes.h"

#ifdef __cplusplus
extern "C" {
#endif

// The length without terminator when the path fits into size bytes (then
// copied), else the size needed with terminator.
UINT GetWindowsDirectoryA(LPSTR buffer, UINT size);
UINT GetSystemDirectoryA(LPSTR buffer, UINT size);

#ifdef __cplusplus
}
#endif
