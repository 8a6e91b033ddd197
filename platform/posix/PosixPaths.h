// How Windows paths map to host paths in the POSIX layer.
//
//  - "C:" is the drive root: the folder given to SetDriveRoot, else
//    $WINEPREFIX/drive_c, else $HOME/.wine/drive_c. "Z:" is the host's "/", as
//    in Wine. Other drives and UNC paths are not found.
//  - A path that starts with '/' is a host path and passes unchanged.
//  - Relative paths ("x", "C:x", "\x") resolve against the current directory
//    (CurrentDirectory below), as on Windows.
//  - '\' and '/' both separate components. Each component is looked up exactly
//    first, then case-insensitively (ASCII and Windows-1252 letters) among the
//    entries of its directory, as NTFS would.
//  - Windows paths are Windows-1252; host names are UTF-8.
#pragma once

#include <string>
#include <vector>

#include "platform/posix/WinTypes.h"

namespace posix {

void SetDriveRoot(const char* hostFolder);
std::string DriveRoot();

struct ResolvedPath {
    std::string host;      // host path (UTF-8)
    bool exists = false;   // the last component exists on the host
};

// Maps a Windows path to the host. Fails (false, with a Win32 error code in
// *error) when the drive is unknown, the path is too long or empty, or a
// directory on the way does not exist (ERROR_PATH_NOT_FOUND). The last
// component need not exist.
bool ResolvePath(const char* winPath, ResolvedPath* out, DWORD* error);

// The process's current directory in Windows form ("C:\windows", "Z:\home\u"),
// kept by SetCurrentDirectoryA. Until that sets one, it is the host's working
// directory seen through the drives (C: below the drive root, else Z:), and
// relative paths resolve against the host's working directory itself.
// Empty only when the host cannot tell its working directory.
std::string CurrentDirectory();
bool CurrentDirectoryIsSet();

// Host name (UTF-8) to a Windows-1252 name; unmappable characters become '?'.
std::string HostNameToAnsi(const std::string& hostName);
// Windows-1252 text to UTF-8.
std::string AnsiToUtf8Text(const char* text, size_t length);

// Lower case of a Windows-1252 byte (ASCII and the Latin letters of 1252).
unsigned char FoldAnsi(unsigned char ch);

// Win32 error code for an errno value. ENOENT gives ERROR_FILE_NOT_FOUND.
DWORD ErrnoToWin32(int err);
// Sets the last error from errno (through ErrnoToWin32) and returns it.
DWORD SetLastErrorFromErrno(int err);

}  // namespace posix
