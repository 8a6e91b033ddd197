// How Windows paths map to host paths in the POSIX layer.
//
//  - "C:" is the drive root: the folder given to SetDriveRoot, else
//    $WINEPREFIX/drive_c, else $HOME/.wine/drive_c. "Z:" is the host's "/", as
//    in Wine. Other drives and UNC paths are not found.
//  - A path that starts with '/' is a host path and passes unchanged.
//  - Relative paths ("x", "C:x", "\x") resolve against the current directory
//    (CurrentDirectory in PosixDirectories.h), as on Windows.
//  - '\' and '/' both separate components. Each component is looked up exactly
//    first, then case-insensitively (ASCII and Windows-1252 letters) among the
//    entries of its directory, as NTFS would.
//  - Windows paths are Windows-1252; host names are UTF-8.
#pragma once

#include <string>

#include "platform/posix/WinTypes.h"

namespace posix {

void SetDriveRoot(const char* hostFolder);
std::string DriveRoot();

struct ResolvedPath {
    std::string host;     // host path (UTF-8)
    bool exists = false;  // the last component exists on the host
};

// Maps a Windows path to the host. Fails (false, with a Win32 error code in
// *error) when the drive is unknown, the path is too long or empty, or a
// directory on the way does not exist (ERROR_PATH_NOT_FOUND). The last
// component need not exist.
bool ResolvePath(const char* winPath, ResolvedPath* out, DWORD* error);

}  // namespace posix
