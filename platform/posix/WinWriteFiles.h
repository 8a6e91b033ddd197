// Writing, positioning and flushing open files in the POSIX Win32 subset.
#pragma once

#include "platform/posix/WinTypes.h"

#ifdef __cplusplus
extern "C" {
#endif

#define FILE_BEGIN 0
#define FILE_CURRENT 1
#define FILE_END 2
#define INVALID_SET_FILE_POINTER ((DWORD)-1)
#define INVALID_FILE_SIZE ((DWORD)0xFFFFFFFF)

// Writes at the handle's file position and moves it on. TRUE only when all
// bytes were written; *written holds the bytes written either way.
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, LPDWORD written, LPVOID overlapped);

// Low 32 bits of the size; the high 32 bits go to *high when it is given.
// INVALID_FILE_SIZE with the last error set on failure (the last error is
// NO_ERROR on success, since a size may have all low bits set).
DWORD GetFileSize(HANDLE file, LPDWORD high);

// Moves the file position by distance (with *high as its upper 32 bits when
// given) from FILE_BEGIN, FILE_CURRENT or FILE_END. Returns the low 32 bits of
// the new position, the high ones in *high; INVALID_SET_FILE_POINTER with the
// last error set on failure (ERROR_NEGATIVE_SEEK before the start).
DWORD SetFilePointer(HANDLE file, LONG distance, PLONG high, DWORD method);

// Writes the file's data through to the disk.
BOOL FlushFileBuffers(HANDLE file);

#ifdef __cplusplus
}
#endif
