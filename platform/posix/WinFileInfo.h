// File times of the POSIX Win32 subset: the times of an open file, and their
// conversion to local time and to calendar fields.
#pragma once

#include "platform/posix/WinTypes.h"

#ifdef __cplusplus
extern "C" {
#endif

// The creation, last-access and last-write times of an open file, each as
// 100-nanosecond intervals since 1601-01-01 UTC; a null pointer skips that
// time. The creation time is the file's birth time where the file system
// keeps one, else its last-write time.
BOOL GetFileTime(HANDLE file, LPFILETIME creation, LPFILETIME lastAccess, LPFILETIME lastWrite);

// UTC to local time with the time zone's present offset from UTC (daylight
// saving time included when it is in effect now), as Windows converts.
BOOL FileTimeToLocalFileTime(const FILETIME* fileTime, LPFILETIME localTime);

// Calendar fields of a file time; FALSE with ERROR_INVALID_PARAMETER for a
// time with the top bit set.
BOOL FileTimeToSystemTime(const FILETIME* fileTime, LPSYSTEMTIME systemTime);

#ifdef __cplusplus
}
#endif
