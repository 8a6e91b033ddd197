// Version-resource functions of the POSIX Win32 subset, read from PE32, PE32+
// and 16-bit NE files by our own bounded parser.
#pragma once

#include "platform/posix/WinTypes.h"

#ifdef __cplusplus
extern "C" {
#endif

// A bare module name ("kernel32.dll") is looked for where Windows' loader
// looks for it (PosixModuleSearch.h). VerQueryValueA leaves the caller's
// pointer as it was when it fails, and sets the length to 0.
DWORD GetFileVersionInfoSizeA(LPCSTR fileName, LPDWORD handle);
BOOL GetFileVersionInfoA(LPCSTR fileName, DWORD handle, DWORD length, LPVOID data);
BOOL VerQueryValueA(LPCVOID block, LPCSTR subBlock, LPVOID* buffer, UINT* length);

#ifdef __cplusplus
}
#endif
