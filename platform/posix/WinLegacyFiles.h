// The 16-bit style file functions of the POSIX Win32 subset: OpenFile,
// _lread, _llseek and _lclose, working on HFILE numbers.
//
// An HFILE stands for a handle from CreateFileA. OpenFile supports the access
// styles OF_READ, OF_WRITE and OF_READWRITE with the OF_SHARE_* modes; other
// styles (create, delete, parse, exist, ...) fail with ERROR_NOT_SUPPORTED.
#pragma once

#include "platform/posix/WinTypes.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef int HFILE;
#define HFILE_ERROR ((HFILE)-1)

#define OF_READ 0x0000u
#define OF_WRITE 0x0001u
#define OF_READWRITE 0x0002u
#define OF_SHARE_COMPAT 0x0000u
#define OF_SHARE_EXCLUSIVE 0x0010u
#define OF_SHARE_DENY_WRITE 0x0020u
#define OF_SHARE_DENY_READ 0x0030u
#define OF_SHARE_DENY_NONE 0x0040u

#define OFS_MAXPATHNAME 128

typedef struct _OFSTRUCT {
    BYTE cBytes;
    BYTE fFixedDisk;
    WORD nErrCode;
    WORD Reserved1;
    WORD Reserved2;
    CHAR szPathName[OFS_MAXPATHNAME];
} OFSTRUCT, *LPOFSTRUCT, *POFSTRUCT;

// Opens `fileName` with `style`; HFILE_ERROR with the last error (and
// nErrCode) set on failure. szPathName receives the name as given, cut to
// OFS_MAXPATHNAME - 1 bytes.
HFILE OpenFile(LPCSTR fileName, LPOFSTRUCT reOpenBuff, UINT style);

// Reads up to `bytes` bytes; the number read (0 at the end of the file), or
// (UINT)HFILE_ERROR on failure.
UINT _lread(HFILE file, LPVOID buffer, UINT bytes);

// Moves the file position by `offset` from the start (0), the current position
// (1) or the end (2). The new position, or HFILE_ERROR; a position before the
// start of the file fails with ERROR_NEGATIVE_SEEK and leaves it unchanged.
LONG _llseek(HFILE file, LONG offset, int origin);

// Closes the file: 0, or HFILE_ERROR for an unknown HFILE.
HFILE _lclose(HFILE file);

#ifdef __cplusplus
}
#endif
