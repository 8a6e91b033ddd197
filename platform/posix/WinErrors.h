// The last-error code of the POSIX Win32 subset, kept per thread, and the
// error mode.
#pragma once

#include "platform/posix/WinTypes.h"

#ifdef __cplusplus
extern "C" {
#endif

DWORD GetLastError();
void SetLastError(DWORD error);

// There is no critical-error dialog here; the mode is only kept so that a
// caller can restore it, as on Windows.
UINT SetErrorMode(UINT mode);

#ifdef __cplusplus
}
#endif
