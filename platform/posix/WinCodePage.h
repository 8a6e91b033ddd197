// Code-page conversion of the POSIX Win32 subset. The ANSI code page is
// Windows-1252 (single-byte, no lead bytes).
#pragma once

#include "platform/posix/WinTypes.h"

#ifdef __cplusplus
extern "C" {
#endif

UINT GetACP();
BOOL IsDBCSLeadByte(BYTE ch);
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int textLength, LPWSTR wide,
                        int wideSize);
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int wideLength, LPSTR text,
                        int textSize, LPCSTR defaultChar, LPBOOL usedDefault);

#ifdef __cplusplus
}
#endif
