// The current directory and directory enumeration of the POSIX Win32 subset.
// Paths are Windows paths in the ANSI code page, mapped to the host as
// PosixPaths.h describes; relative paths resolve against the current
// directory kept here.
#pragma once

#include "platform/posix/WinTypes.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct _WIN32_FIND_DATAA {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    CHAR cFileName[MAX_PATH];
    CHAR cAlternateFileName[14];
} WIN32_FIND_DATAA, *PWIN32_FIND_DATAA, *LPWIN32_FIND_DATAA;

// Length of the current directory without terminator when it fits into size
// bytes (then copied), else the size needed with terminator; 0 on failure.
DWORD GetCurrentDirectoryA(DWORD size, LPSTR buffer);
BOOL SetCurrentDirectoryA(LPCSTR path);

// The pattern's last component may hold the wildcards '*' and '?' and the DOS
// wildcards '<', '>' and '"', matched as Windows matches them, without regard
// to letter case (see PosixNamePattern.h). A directory other than a drive root
// lists "." and ".." first. INVALID_HANDLE_VALUE with ERROR_FILE_NOT_FOUND when
// nothing matches; FindNextFileA ends with ERROR_NO_MORE_FILES.
HANDLE FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data);
BOOL FindNextFileA(HANDLE find, LPWIN32_FIND_DATAA data);
BOOL FindClose(HANDLE find);

#ifdef __cplusplus
}
#endif
