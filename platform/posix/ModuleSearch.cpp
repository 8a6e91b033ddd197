// The loader's search for a bare module name, for the version functions.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/posix/PosixDirectories.h"
#include "platform/posix/PosixFiles.h"
#include "platform/posix/PosixModuleSearch.h"
#include "platform/posix/PosixPaths.h"
#include "platform/posix/PosixProcess.h"
#include "platform/posix/VersionImage.h"
#include "platform/posix/WinErrors.h"
#include "platform/posix/WinFiles.h"
#include "platform/posix/WinSystemDirectories.h"

namespace posix {
namespace {

bool HasFolder(const char* name) {
    return (name[0] != '\0' && name[1] == ':') || std::strchr(name, '\\') || std::strchr(name, '/');
}

// The name the loader looks for: ".dll" added when the name has no extension,
// a final '.' (which says "no extension") dropped.
std::string ModuleFileName(const char* name) {
    std::string file = name;
    if (file.back() == '.')
        file.pop_back();
    else if (file.find('.') == std::string::npos)
        file += ".dll";
    return file;
}

// The folder of the running program, as a host path; empty when the host does
// not tell it.
std::string ProgramFolder() {
    const std::string folder = ExecutableHostPath();
    const size_t slash = folder.find_last_of('/');
    return slash == std::string::npos ? std::string() : folder.substr(0, slash);
}

std::string WindowsFolder(UINT (*query)(LPSTR, UINT)) {
    char buffer[MAX_PATH];
    const UINT n = query(buffer, sizeof buffer);
    return n > 0 && n < sizeof buffer ? std::string(buffer, n) : std::string();
}

// True when `path` names a regular file.
bool IsFile(const std::string& path) {
    ResolvedPath resolved;
    DWORD error = ERROR_SUCCESS;
    if (!ResolvePath(path.c_str(), &resolved, &error) || !resolved.exists ||
        resolved.device != Device::kNone || resolved.isRoot)
        return false;
    Fd entry(OpenEntry(resolved, O_PATH));
    struct stat st;
    return entry.Valid() && fstat(entry.Get(), &st) == 0 && S_ISREG(st.st_mode);
}

// True when the file starts as a PE image does: an MS-DOS header whose
// e_lfanew leads to "PE\0\0".
bool IsPeImage(const std::string& path) {
    const DWORD saved = GetLastError();
    HANDLE file = OpenForReading(path.c_str());
    bool pe = false;
    if (file != INVALID_HANDLE_VALUE) {
        uint8_t dos[version::kDosHeaderSize];
        uint8_t magic[4];
        if (ReadAt(file, 0, dos, sizeof dos) == static_cast<long long>(sizeof dos) &&
            dos[0] == 'M' && dos[1] == 'Z') {
            const uint32_t next = version::Get32(dos + version::kDosNewHeaderOffset);
            pe = ReadAt(file, next, magic, sizeof magic) == static_cast<long long>(sizeof magic) &&
                 std::memcmp(magic, "PE\0\0", 4) == 0;
        }
        CloseHandle(file);
    }
    SetLastError(saved);
    return pe;
}

}  // namespace

std::string VersionFileOf(const char* name) {
    if (!*name || HasFolder(name)) return name;
    const std::string file = ModuleFileName(name);
    if (file.empty()) return name;
    const std::string windows = WindowsFolder(GetWindowsDirectoryA);
    std::vector<std::string> candidates;
    const std::string program = ProgramFolder();
    if (!program.empty()) candidates.push_back(program + "/" + file);
    const std::string system = WindowsFolder(GetSystemDirectoryA);
    if (!system.empty()) candidates.push_back(system + "\\" + file);
    if (!windows.empty()) {
        candidates.push_back(windows + "\\system\\" + file);
        candidates.push_back(windows + "\\" + file);
    }
    candidates.push_back(file);  // the current directory
    for (const std::string& candidate : candidates) {
        if (!IsFile(candidate)) continue;
        // The first file found is the loader's; it maps only PE images.
        return IsPeImage(candidate) ? candidate : std::string(name);
    }
    return name;
}

}  // namespace posix
