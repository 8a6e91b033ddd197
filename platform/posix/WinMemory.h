// Global memory of the POSIX Win32 subset: fixed and movable blocks with a
// lock count, as GlobalAlloc hands them out.
#pragma once

#include "platform/posix/WinTypes.h"

#ifdef __cplusplus
extern "C" {
#endif

#define GMEM_FIXED 0x0000u
#define GMEM_MOVEABLE 0x0002u
#define GMEM_ZEROINIT 0x0040u
#define GHND (GMEM_MOVEABLE | GMEM_ZEROINIT)
#define GPTR (GMEM_FIXED | GMEM_ZEROINIT)

#ifndef ERROR_NOT_LOCKED
#define ERROR_NOT_LOCKED 158L
#endif

// A block of `bytes` bytes (zero-filled with GMEM_ZEROINIT). A fixed block's
// handle is its address; a movable block is reached through GlobalLock. Null
// with ERROR_NOT_ENOUGH_MEMORY when there is no memory; other flags than the
// ones above fail with ERROR_INVALID_PARAMETER.
HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes);
// The block's address; a movable block's lock count goes up by one. Null with
// ERROR_INVALID_HANDLE for an unknown handle.
LPVOID GlobalLock(HGLOBAL memory);
// Counts a lock down. Non-zero while the block is still locked; FALSE with
// NO_ERROR when it is unlocked now, FALSE with ERROR_NOT_LOCKED when it was not
// locked.
BOOL GlobalUnlock(HGLOBAL memory);
// Frees the block: null, or the handle itself with ERROR_INVALID_HANDLE when
// it is unknown.
HGLOBAL GlobalFree(HGLOBAL memory);

#ifdef __cplusplus
}
#endif
