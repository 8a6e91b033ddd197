// Code-page conversion of the POSIX Win32 subset. The ANSI code page is
// Windows-1252 (single-byte, no lead bytes).
//
// WideCharToMultiByte to Windows-1252 writes, as Windows does, the byte of
// each character of the code page; for other characters the byte of Windows'
// best-fit table for 1252 (a look-alike: 'A' for U+FF21 FULLWIDTH LATIN
// CAPITAL LETTER A, 'H' for U+0124, '-' for U+2212 MINUS SIGN, ' ' for U+3000
// IDEOGRAPHIC SPACE, ...), which does not count as a default; and the default
// character ('?' or *defaultChar, with *usedDefault set) only where that table
// has no byte either. WC_NO_BEST_FIT_CHARS leaves the best-fit table out (with
// CP_UTF8, where every character has its bytes, it changes nothing).
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
