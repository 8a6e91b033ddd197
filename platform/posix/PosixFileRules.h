// The rules by which Windows answers CreateFileA, ReadFile, WriteFile and
// CloseHandle beyond finding the file: what an access mask and the flags ask
// for, which opens it refuses, what a handle may do, and
// FILE_FLAG_DELETE_ON_CLOSE. The file functions apply them around their host
// calls.
#pragma once

#include <sys/stat.h>

#include <string>

#include "platform/posix/PosixPaths.h"
#include "platform/posix/WinTypes.h"

namespace posix {

// A file without the owner's write permission is read-only to Windows.
inline bool IsReadOnly(const struct stat& st) {
    return (st.st_mode & S_IWUSR) == 0;
}

// The attributes of what `st` describes: a folder; a pipe, socket or device
// in a file's place (FILE_ATTRIBUTE_DEVICE); a file (a link whose target is
// not known, too), read-only or not.
inline DWORD AttributesOf(const struct stat& st) {
    if (S_ISDIR(st.st_mode)) return FILE_ATTRIBUTE_DIRECTORY;
    if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) return FILE_ATTRIBUTE_DEVICE;
    return FILE_ATTRIBUTE_ARCHIVE | (IsReadOnly(st) ? FILE_ATTRIBUTE_READONLY : 0u);
}

// What CreateFileA's access mask and flags ask for, as Windows reads them.
struct OpenRequest {
    unsigned shareRights = 0;    // for the share-mode check (RightsOf in Sharing.h)
    bool read = false;           // FILE_READ_DATA: ReadFile may read
    bool write = false;          // FILE_WRITE_DATA or FILE_APPEND_DATA: WriteFile may write
    bool appendOnly = false;     // FILE_APPEND_DATA alone: every write goes to the end
    bool deleteOnClose = false;  // FILE_FLAG_DELETE_ON_CLOSE, which asks for DELETE as well
};

// Reads CreateFileA's arguments into *request. ERROR_SUCCESS, or the error
// with which Windows refuses them before it looks for the file:
// ERROR_INVALID_PARAMETER for an unknown disposition, and for
// TRUNCATE_EXISTING without GENERIC_WRITE (FILE_WRITE_DATA does not do).
DWORD ReadOpenRequest(DWORD access, DWORD creation, DWORD flags, OpenRequest* request);

// The error with which Windows refuses to open the existing object `st` as
// asked, or ERROR_SUCCESS. ERROR_ACCESS_DENIED for anything but a regular
// file (a folder, and a pipe, socket or device, which are not opened as
// files here), and for a
// read-only file asked for write access, for a new content (CREATE_ALWAYS,
// TRUNCATE_EXISTING; also without write access) or for deletion on close.
DWORD RefusedOpen(const struct stat& st, DWORD creation, const OpenRequest& request);

// Empties the file open on fd (the entry of `path`), also when fd is not open
// for writing: CREATE_ALWAYS replaces the content of an existing file whatever
// access the handle asks for. Without write access through fd the entry is
// opened once more for writing, and emptied only while it is still that file
// (else ERROR_FILE_INVALID). False with the last error set.
bool EmptyOpenFile(int fd, const ResolvedPath& path);

// The record of an open handle's descriptor: what it may do, and whether it
// deletes its file (the entry of `path`; none for a device). RecordOpen after
// the open, RecordClose before the close.
void RecordOpen(int fd, const OpenRequest& request, const ResolvedPath* path);
// Forgets fd. A file opened with FILE_FLAG_DELETE_ON_CLOSE is deleted when its
// last handle in this process closes: at the close of the flagged handle, or
// later at the close of the process's last other handle on it, as DeleteFileA
// deletes (in guard mode through the private folder). A file moved meanwhile
// is not followed (only the entry it was opened by is deleted, and only while
// it is still that file); handles of other processes do not hold the deletion
// back (they keep reading and writing the unlinked file).
void RecordClose(int fd);

enum class DataAccess { kRead, kWrite };
// True when the handle of fd was opened with that access (FILE_READ_DATA for
// reading; FILE_WRITE_DATA or FILE_APPEND_DATA for writing).
bool Grants(int fd, DataAccess access);

}  // namespace posix
