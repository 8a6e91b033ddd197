// How Windows paths map to host paths in the POSIX layer.
//
//  - "C:" is the drive root: the folder given to SetDriveRoot, else
//    $WINEPREFIX/drive_c, else $HOME/.wine/drive_c. The drive root is a root:
//    every path on C: resolves inside it as if it were "/" (".." ends there, a
//    link's absolute target is read from it; see RootWalk.h), through a
//    descriptor of the root taken when it is set.
//  - "Z:" is the host's "/", as in Wine, and a path that starts with a single
//    '/' is a host path; both are for library callers who ask for them and
//    are not confined.
//  - "\\?\C:\x" and "\\.\C:\x" are "C:\x"; "\\?\C:" and "\\.\C:" name the
//    volume, which is not opened here. Other drives and UNC paths are not
//    found (ERROR_PATH_NOT_FOUND).
//  - Relative paths ("x", "C:x", "\x") resolve against the current directory
//    (CurrentDirectory in PosixDirectories.h), as on Windows.
//  - '\' and '/' both separate components, in host paths too. "." and ".."
//    are taken away before the lookup, as Windows does; the last component
//    loses trailing dots and spaces, a folder one trailing dot. A separator
//    at the end asks for a folder: a file there gives ERROR_DIRECTORY.
//  - A component with one of  < > : " | ? *  or a control character is an
//    invalid name (ERROR_INVALID_NAME), so are wildcards in a file name.
//  - The DOS devices NUL, CON, AUX, PRN, COM1-COM9, LPT1-LPT9, CONIN$ and
//    CONOUT$ are known in any existing folder and with any extension
//    ("C:\windows\nul.txt" is NUL). NUL opens a device that reads nothing and
//    takes every write; the others stand for hardware this layer does not
//    have and are not found.
//  - Each component is looked up exactly first, then case-insensitively
//    (ASCII and Windows-1252 letters) among the entries of its folder, first
//    in name order, as NTFS would; only an entry of the right kind matches: a
//    folder on the way only by a folder (or a link to one inside the root).
//    A folder that cannot be searched or listed for that lookup gives
//    ERROR_ACCESS_DENIED, never "not found".
//  - Windows paths are Windows-1252; host names are UTF-8 (in host paths
//    too).
#pragma once

#include <sys/stat.h>

#include <string>
#include <vector>

#include "platform/posix/RootWalk.h"
#include "platform/posix/WinTypes.h"

namespace posix {

void SetDriveRoot(const char* hostFolder);
std::string DriveRoot();

// Guard mode, for a tool that deletes files on a tree it does not trust (the
// Linux tool turns it on; off by default, so library callers keep the lookup
// described above):
//  - Where one entry is expected and two or more differ only in letter case
//    (two "system" folders; "capi.dll" and "CAPI.DLL"), every call on that
//    path fails with ERROR_CANT_RESOLVE_FILENAME (1921); LastCollision and
//    CollidingEntries name the entries.
//  - The file removed is the file examined: the identity of a file (device
//    and inode) is taken when a path is first opened, and every later open,
//    attribute change and deletion of that path checks it; a mismatch fails
//    with ERROR_FILE_INVALID (1006) and changes nothing. A deletion first
//    moves the entry into a private folder (mode 0700) beside it, checks the
//    identity there and only then removes it; a file that is not the one
//    examined goes back where it was.
//  - An attribute change that would change a file with more than one name
//    (a hard link, possibly outside the drive root) is refused
//    (ERROR_ACCESS_DENIED).
// Turning it on or off, and SetDriveRoot, forget every identity recorded.
void SetRemovalGuard(bool on);
bool RemovalGuard();

// The host paths (UTF-8) of the entries that collided in the last lookup of
// this thread that failed with ERROR_CANT_RESOLVE_FILENAME, sorted; kept
// until the next such failure.
std::vector<std::string> LastCollision();

// The host paths of the entries that differ only in letter case where
// `winPath` expects one, at the first place on the way where that happens
// (sorted); empty when there is none or the path cannot be looked up that
// far. Answers alike whether guard mode is on or not.
std::vector<std::string> CollidingEntries(const char* winPath);

// The DOS device a path names, if any.
enum class Device { kNone, kNul, kHardware, kVolume };

// The device a file name (the last component of a path) stands for, Windows'
// way: the name up to its first dot or colon, without trailing spaces, in any
// letter case. *length (optional) receives the length of that part.
Device DeviceOfName(const std::string& name, size_t* length = nullptr);

struct ResolvedPath {
    std::string host;     // host path (UTF-8), for messages and host-side names
    std::string key;      // the path in one Windows form (upper case), for guard records
    bool exists = false;  // the entry exists and, if a link, leads somewhere
    bool isRoot = false;  // the path is the root of its drive
    Device device = Device::kNone;
    Fd root;                 // the root the path resolves in
    Fd parent;               // O_PATH: the folder that holds the entry (not for the root)
    std::string name;        // the entry's host name in `parent`
    std::string relative;    // the entry's host path from `root`, for links
    struct stat entry = {};  // the entry itself (lstat) when there is one
};

// Maps a Windows path to the host. Fails (false, with a Win32 error code in
// *error) when the drive is unknown, the name invalid, the path too long or
// empty, a directory on the way does not exist (ERROR_PATH_NOT_FOUND), cannot
// be searched (ERROR_ACCESS_DENIED), or is ambiguous in guard mode. The last
// component need not exist.
bool ResolvePath(const char* winPath, ResolvedPath* out, DWORD* error);

// Opens the entry of a resolved path: a link is followed inside the root,
// anything else is opened as it is in its folder (O_NOFOLLOW), so a link put
// there meanwhile leads nowhere outside. The root itself for the root path.
// -1 with errno set on failure. Opens that could wait (a FIFO, a device) must
// pass O_PATH or O_NONBLOCK.
int OpenEntry(const ResolvedPath& path, int flags);

// The on-disk name (Windows-1252) of the folder `wanted` in the Windows
// folder `folder`: ERROR_SUCCESS with *onDisk set, ERROR_FILE_NOT_FOUND or
// ERROR_PATH_NOT_FOUND when there is none, else the error of the lookup.
DWORD FindFolder(const std::string& folder, const char* wanted, std::string* onDisk);

}  // namespace posix
