// GetWindowsDirectoryA and GetSystemDirectoryA: the folders as they lie on
// drive C:.
#include <sys/stat.h>

#include <cstring>
#include <string>

#include "platform/posix/PosixCodePage.h"
#include "platform/posix/PosixPaths.h"
#include "platform/posix/WinSystemDirectories.h"

namespace {

// Copies `text` (with terminator) into buffer when it fits, as the Win32
// directory queries do: the length without terminator when it fits, else the
// size needed including the terminator.
UINT CopyOut(const std::string& text, LPSTR buffer, UINT size) {
    if (text.size() + 1 > size || !buffer) return static_cast<UINT>(text.size() + 1);
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<UINT>(text.size());
}

// The on-disk name of `wanted` inside the Windows-1252 folder `winDir`, in
// Windows-1252; empty when there is none.
std::string FindDir(const std::string& winDir, const char* wanted) {
    std::string path = winDir + "\\" + wanted;
    posix::ResolvedPath resolved;
    DWORD error;
    if (!posix::ResolvePath(path.c_str(), &resolved, &error) || !resolved.exists) return "";
    struct stat st;
    if (stat(resolved.host.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return "";
    size_t slash = resolved.host.find_last_of('/');
    return posix::HostNameToAnsi(resolved.host.substr(slash + 1));
}

std::string WindowsDirectory() {
    std::string name = FindDir("C:", "windows");
    if (name.empty()) name = FindDir("C:", "winnt");
    return "C:\\" + (name.empty() ? std::string("windows") : name);
}

}  // namespace

UINT GetWindowsDirectoryA(LPSTR buffer, UINT size) {
    return CopyOut(WindowsDirectory(), buffer, size);
}

UINT GetSystemDirectoryA(LPSTR buffer, UINT size) {
    std::string windows = WindowsDirectory();
    std::string name = FindDir(windows, "system32");
    if (name.empty()) name = FindDir(windows, "system");
    return CopyOut(windows + "\\" + (name.empty() ? std::string("system32") : name), buffer, size);
}
