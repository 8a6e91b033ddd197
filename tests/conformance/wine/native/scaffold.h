/* The native build of the ported Wine tests: the layer's declarations
 * (platform/Windows.h) and the scaffolding the tests use besides them.
 *
 * The Windows headers the tests include (windef.h, winbase.h, ...) are, in
 * this folder, one line each that includes this file. Everything declared here
 * belongs to the test program, not to the layer: calls the tests make only to
 * prepare or tidy up (temporary files and folders, memory, string copies), the
 * 16-bit file calls the layer does not declare (built from the ones it does),
 * and values of the Windows headers that the tests pass to declared functions.
 * Each stand-in is named scaffold_<Windows name> and reached through a macro of
 * the Windows name, so the tests read as written. native_machine.cpp defines
 * them. */
#ifndef PURGELIB_WINE_SCAFFOLD_H
#define PURGELIB_WINE_SCAFFOLD_H

#include <stdint.h>
#include <string.h>

#include "platform/Windows.h"

#ifdef __cplusplus
extern "C" {
#endif

/* --- Types and values of the Windows headers --------------------------- */

typedef int64_t LONGLONG;
typedef uint64_t DWORDLONG;
typedef uint64_t ULONGLONG;
typedef ULONG* PULONG;
typedef HANDLE HLOCAL;

#ifndef MAKELONG
#define MAKELONG(low, high) ((LONG)(((WORD)(low)) | ((DWORD)((WORD)(high))) << 16))
#endif

/* Rights and flags of CreateFileA that the layer does not declare. */
#ifndef READ_CONTROL
#define READ_CONTROL 0x00020000u
#endif
#ifndef SYNCHRONIZE
#define SYNCHRONIZE 0x00100000u
#endif
#ifndef STANDARD_RIGHTS_REQUIRED
#define STANDARD_RIGHTS_REQUIRED 0x000F0000u
#endif
#ifndef FILE_GENERIC_READ
#define FILE_GENERIC_READ \
    (READ_CONTROL | FILE_READ_DATA | FILE_READ_ATTRIBUTES | FILE_READ_EA | SYNCHRONIZE)
#endif
#ifndef FILE_GENERIC_WRITE
#define FILE_GENERIC_WRITE                                                                       \
    (READ_CONTROL | FILE_WRITE_DATA | FILE_WRITE_ATTRIBUTES | FILE_WRITE_EA | FILE_APPEND_DATA | \
     SYNCHRONIZE)
#endif
#ifndef FILE_GENERIC_EXECUTE
#define FILE_GENERIC_EXECUTE (READ_CONTROL | FILE_READ_ATTRIBUTES | FILE_EXECUTE | SYNCHRONIZE)
#endif
#ifndef FILE_ALL_ACCESS
#define FILE_ALL_ACCESS (STANDARD_RIGHTS_REQUIRED | SYNCHRONIZE | 0x1FFu)
#endif
#ifndef FILE_FLAG_BACKUP_SEMANTICS
#define FILE_FLAG_BACKUP_SEMANTICS 0x02000000u
#endif
#ifndef FILE_FLAG_DELETE_ON_CLOSE
#define FILE_FLAG_DELETE_ON_CLOSE 0x04000000u
#endif
#ifndef FILE_FLAG_RANDOM_ACCESS
#define FILE_FLAG_RANDOM_ACCESS 0x10000000u
#endif
#ifndef FILE_FLAG_NO_BUFFERING
#define FILE_FLAG_NO_BUFFERING 0x20000000u
#endif
#ifndef FILE_ATTRIBUTE_DEVICE
#define FILE_ATTRIBUTE_DEVICE 0x40u
#endif
#ifndef FILE_ATTRIBUTE_NOT_CONTENT_INDEXED
#define FILE_ATTRIBUTE_NOT_CONTENT_INDEXED 0x2000u
#endif

/* Error codes the tests expect. */
#ifndef ERROR_BAD_NETPATH
#define ERROR_BAD_NETPATH 53L
#endif
#ifndef ERROR_BAD_PATHNAME
#define ERROR_BAD_PATHNAME 161L
#endif
#ifndef ERROR_NOACCESS
#define ERROR_NOACCESS 998L
#endif
#ifndef ERROR_INVALID_USER_BUFFER
#define ERROR_INVALID_USER_BUFFER 1784L
#endif

/* --- Memory and strings ------------------------------------------------ */

#define HEAP_ZERO_MEMORY 0x00000008u
#define LPTR 0x0040u /* a fixed, zero-filled local block */

HANDLE scaffold_GetProcessHeap(void);
LPVOID scaffold_HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes);
BOOL scaffold_HeapFree(HANDLE heap, DWORD flags, LPVOID block);
HLOCAL scaffold_LocalAlloc(UINT flags, SIZE_T bytes);
LPVOID scaffold_LocalLock(HLOCAL block);
HLOCAL scaffold_LocalFree(HLOCAL block);
#define GetProcessHeap scaffold_GetProcessHeap
#define HeapAlloc scaffold_HeapAlloc
#define HeapFree scaffold_HeapFree
#define LocalAlloc scaffold_LocalAlloc
#define LocalLock scaffold_LocalLock
#define LocalFree scaffold_LocalFree

int scaffold_lstrlenA(LPCSTR text);
LPSTR scaffold_lstrcpyA(LPSTR to, LPCSTR from);
LPSTR scaffold_lstrcatA(LPSTR to, LPCSTR from);
int scaffold_lstrcmpA(LPCSTR a, LPCSTR b);
int scaffold_lstrcmpiA(LPCSTR a, LPCSTR b);
#define lstrlenA scaffold_lstrlenA
#define lstrcpyA scaffold_lstrcpyA
#define lstrcatA scaffold_lstrcatA
#define lstrcmpA scaffold_lstrcmpA
#define lstrcmpiA scaffold_lstrcmpiA

/* --- Temporary files and folders --------------------------------------- */

/* C:\windows\temp\ on the native drive. */
DWORD scaffold_GetTempPathA(DWORD size, LPSTR buffer);
/* As on Windows: with unique 0 a new empty file <path>\<prefix><hex>.tmp,
 * made with CreateFileA(CREATE_NEW). */
UINT scaffold_GetTempFileNameA(LPCSTR path, LPCSTR prefix, UINT unique, LPSTR name);
/* Made and removed on the host folder the path names on the native drive. */
BOOL scaffold_CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES security);
BOOL scaffold_RemoveDirectoryA(LPCSTR path);
#define GetTempPathA scaffold_GetTempPathA
#define GetTempFileNameA scaffold_GetTempFileNameA
#define CreateDirectoryA scaffold_CreateDirectoryA
#define RemoveDirectoryA scaffold_RemoveDirectoryA

/* --- File calls built from the declared ones --------------------------- */

/* MoveFileA is MoveFileExA with MOVEFILE_COPY_ALLOWED, as on Windows. */
#define MoveFileA(from, to) MoveFileExA((from), (to), MOVEFILE_COPY_ALLOWED)

/* _lcreat: CreateFileA(CREATE_ALWAYS) with the hidden and system attributes,
 *          then an HFILE of OpenFile(OF_READWRITE); a read-only attribute is
 *          set after that open, so the HFILE can write as the real call's can.
 * _lopen:  OpenFile with the same style.
 * _hwrite, _lwrite: WriteFile on the HFILE; a count of 0 writes nothing (the
 *          real call cuts the file there: SetEndOfFile is not declared).
 * _hread:  _lread. */
HFILE scaffold__lcreat(LPCSTR path, int attributes);
HFILE scaffold__lopen(LPCSTR path, int style);
LONG scaffold__hwrite(HFILE file, LPCSTR buffer, LONG count);
UINT scaffold__lwrite(HFILE file, LPCSTR buffer, UINT count);
LONG scaffold__hread(HFILE file, LPVOID buffer, LONG count);
#define _lcreat scaffold__lcreat
#define _lopen scaffold__lopen
#define _hwrite scaffold__hwrite
#define _lwrite scaffold__lwrite
#define _hread scaffold__hread

/* --- The test program's own file --------------------------------------- */

/* GetModuleFileNameA for the version tests: the native test program is not a
 * PE file, so for the program itself (module NULL) this names the PE
 * stand-in on the native drive that carries the Windows build's version
 * resource (Wine's version.rc). Other modules go to GetModuleFileNameA. */
DWORD scaffold_GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size);

#ifdef __cplusplus
}
#endif

#endif
