// Writing, positioning and flushing open files, the executable's own path, the
// tick count and the local time in the POSIX Win32 subset.
#pragma once

#include "platform/posix/WinTypes.h"

#define FILE_BEGIN 0
#define FILE_CURRENT 1
#define FILE_END 2
#define INVALID_SET_FILE_POINTER ((DWORD)-1)
#define INVALID_FILE_SIZE ((DWORD)0xFFFFFFFF)
#ifndef ERROR_MOD_NOT_FOUND
#define ERROR_MOD_NOT_FOUND 126L
#endif

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
