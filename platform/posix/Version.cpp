// Placeholder until the version-resource reader lands: every file answers
// "no version information".
#include "platform/posix/WinFiles.h"
#include "platform/posix/WinVersion.h"

DWORD GetFileVersionInfoSizeA(LPCSTR, LPDWORD handle) {
    if (handle) *handle = 0;
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return 0;
}

BOOL GetFileVersionInfoA(LPCSTR, DWORD, DWORD, LPVOID) {
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return FALSE;
}

BOOL VerQueryValueA(LPCVOID, LPCSTR, LPVOID* buffer, UINT* length) {
    if (buffer) *buffer = nullptr;
    if (length) *length = 0;
    return FALSE;
}
