// Process services of the POSIX Win32 subset: locks, thread id, the debugger
// channel and the message box.
#pragma once

#include "platform/posix/WinTypes.h"

#ifdef __cplusplus
extern "C" {
#endif

void InitializeCriticalSection(LPCRITICAL_SECTION section);
void EnterCriticalSection(LPCRITICAL_SECTION section);
void LeaveCriticalSection(LPCRITICAL_SECTION section);
void DeleteCriticalSection(LPCRITICAL_SECTION section);

DWORD GetCurrentThreadId();

// Text in the ANSI code page: handed to the sink installed with
// posix::SetDebugSink, or, while posix::SetDebugListener is on, written to
// stderr as UTF-8 in one write; dropped otherwise (Sinks.h).
void OutputDebugStringA(LPCSTR text);

// Caption line, then the text, both converted to UTF-8, to stdout (or to the
// sink installed with posix::SetMessageSink). Returns IDOK.
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

#ifdef __cplusplus
}
#endif
