// The process of the POSIX Win32 subset: its one module (the executable), the
// tick count and the local time.
#pragma once

#include "platform/posix/WinTypes.h"

#ifdef __cplusplus
extern "C" {
#endif

#ifndef ERROR_MOD_NOT_FOUND
#define ERROR_MOD_NOT_FOUND 126L
#endif

// Null names the executable itself; other modules are not known here.
HMODULE GetModuleHandleA(LPCSTR name);
// The executable's path in Windows form: C:\... when it lies under the drive
// root, else Z:\ followed by the host path. Copies at most size - 1
// characters and a terminator; returns the characters copied, or size with
// ERROR_INSUFFICIENT_BUFFER when the path was cut.
DWORD GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size);

// Milliseconds since an arbitrary start, wrapping after 49.7 days.
DWORD GetTickCount();
void GetLocalTime(LPSYSTEMTIME time);

#ifdef __cplusplus
}
#endif
