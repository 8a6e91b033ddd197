// The current directory and directory enumeration of the POSIX layer.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <mutex>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/AnsiCase.h"
#include "platform/posix/PosixCodePage.h"
#include "platform/posix/PosixDirectories.h"
#include "platform/posix/PosixErrors.h"
#include "platform/posix/PosixFileRules.h"
#include "platform/posix/PosixNamePattern.h"
#include "platform/posix/PosixPaths.h"
#include "platform/posix/RootWalk.h"
#include "platform/posix/WinDirectories.h"
#include "platform/posix/WinErrors.h"

namespace {

std::mutex g_currentLock;
std::string g_current;  // Windows form; empty until SetCurrentDirectoryA

bool IsSeparator(char ch) {
    return ch == '\\' || ch == '/';
}

char DriveOf(const std::string& windowsPath) {
    return static_cast<char>(UpperWindows1252(static_cast<unsigned char>(windowsPath[0])));
}

// "X:" followed by the components of `path`, with "." dropped and ".."
// going up (never above the root); the root itself is "X:\".
std::string Normalise(char drive, const std::string& path) {
    std::vector<std::string> parts;
    std::string part;
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || IsSeparator(path[i])) {
            if (part == "..") {
                if (!parts.empty()) parts.pop_back();
            } else if (!part.empty() && part != ".") {
                parts.push_back(part);
            }
            part.clear();
        } else {
            part += path[i];
        }
    }
    std::string out(1, drive);
    out += ':';
    if (parts.empty()) return out + '\\';
    for (const std::string& p : parts) out += '\\' + p;
    return out;
}

// A host folder seen through the drives: below the drive root it is on C:,
// anywhere else on Z:.
std::string HostToWindows(const std::string& host) {
    std::string root = posix::DriveRoot();
    char resolved[PATH_MAX];
    if (realpath(root.c_str(), resolved)) root = resolved;
    if (host == root || (host.size() > root.size() && host.compare(0, root.size(), root) == 0 &&
                         host[root.size()] == '/'))
        return Normalise('C', posix::HostNameToAnsi(host.substr(root.size())));
    return Normalise('Z', posix::HostNameToAnsi(host));
}

// The absolute Windows form of `path`, taken relative to the current
// directory where it is relative. False for the paths the layer does not
// serve (UNC).
bool FullPath(const char* path, std::string* full) {
    // "\\?\C:\x" and "\\.\C:\x" are "C:\x".
    if (IsSeparator(path[0]) && IsSeparator(path[1]) && (path[2] == '?' || path[2] == '.') &&
        IsSeparator(path[3]) && path[4] != '\0' && path[5] == ':' && IsSeparator(path[6]))
        path += 4;
    if (path[0] == '/') {  // a host path
        *full = Normalise('Z', posix::HostNameToAnsi(path));
        return true;
    }
    if (IsSeparator(path[0]) && IsSeparator(path[1])) return false;
    std::string current = posix::CurrentDirectory();
    if (current.size() < 3) return false;
    if (path[0] != '\0' && path[1] == ':') {
        char drive = static_cast<char>(UpperWindows1252(static_cast<unsigned char>(path[0])));
        if (IsSeparator(path[2]) || drive != DriveOf(current))
            *full = Normalise(drive, path + 2);
        else  // "C:x" on the current drive
            *full = Normalise(drive, current.substr(2) + '\\' + (path + 2));
        return true;
    }
    if (IsSeparator(path[0]))
        *full = Normalise(DriveOf(current), path);
    else
        *full = Normalise(DriveOf(current), current.substr(2) + '\\' + path);
    return true;
}

// ---- Enumeration --------------------------------------------------------------

struct FindEntry {
    std::string name;  // Windows-1252
    std::string key;   // the name in upper case: the listing order
    DWORD attributes;
    uint64_t size;
    FILETIME created, accessed, written;
};

struct FindState {
    std::vector<FindEntry> entries;
    size_t next;
};

std::mutex g_findLock;
std::unordered_set<FindState*> g_finds;

FILETIME ToFileTime(const struct timespec& t) {
    // 100-nanosecond steps since 1601-01-01.
    const int64_t kEpochDifference = 11644473600LL;
    int64_t ticks = (static_cast<int64_t>(t.tv_sec) + kEpochDifference) * 10000000LL +
                    static_cast<int64_t>(t.tv_nsec) / 100;
    if (ticks < 0) ticks = 0;
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(static_cast<uint64_t>(ticks) & 0xFFFFFFFFu);
    ft.dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(ticks) >> 32);
    return ft;
}

// The entry for `name` (host name `hostName`) of the folder `dir`, with the
// attributes GetFileAttributesA gives. A link is described by what it leads
// to inside the root (`relative` is the folder's path from the root), or as
// itself when it leads nowhere.
bool Describe(int root, int dir, const std::string& relative, const std::string& hostName,
              const std::string& name, FindEntry* entry) {
    struct stat st;
    if (fstatat(dir, hostName.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return false;
    if (S_ISLNK(st.st_mode)) {
        std::string path = relative.empty() ? hostName : relative + "/" + hostName;
        posix::Fd target(posix::OpenInRoot(root, path, O_PATH));
        struct stat followed;
        if (target.Valid() && fstat(target.Get(), &followed) == 0) st = followed;
    }
    entry->name = name;
    entry->key.clear();
    for (char ch : name)
        entry->key += static_cast<char>(UpperWindows1252(static_cast<unsigned char>(ch)));
    entry->attributes = posix::AttributesOf(st);
    entry->size = (entry->attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE))
                      ? 0
                      : static_cast<uint64_t>(st.st_size);
    entry->created = ToFileTime(st.st_ctim);
    entry->accessed = ToFileTime(st.st_atim);
    entry->written = ToFileTime(st.st_mtim);
    return true;
}

bool SameObject(const struct stat& a, int fd) {
    struct stat b;
    return fd >= 0 && fstat(fd, &b) == 0 && posix::SameFile(a, b);
}

void Fill(const FindEntry& entry, LPWIN32_FIND_DATAA data) {
    std::memset(data, 0, sizeof *data);
    data->dwFileAttributes = entry.attributes;
    data->ftCreationTime = entry.created;
    data->ftLastAccessTime = entry.accessed;
    data->ftLastWriteTime = entry.written;
    data->nFileSizeHigh = static_cast<DWORD>(entry.size >> 32);
    data->nFileSizeLow = static_cast<DWORD>(entry.size & 0xFFFFFFFFu);
    std::memcpy(data->cFileName, entry.name.c_str(), entry.name.size() + 1);
}

FindState* Lookup(HANDLE find) {
    std::lock_guard<std::mutex> guard(g_findLock);
    auto it = g_finds.find(static_cast<FindState*>(find));
    return it == g_finds.end() ? nullptr : *it;
}

}  // namespace

namespace posix {

std::string CurrentDirectory() {
    {
        std::lock_guard<std::mutex> guard(g_currentLock);
        if (!g_current.empty()) return g_current;
    }
    char cwd[4096];
    if (!getcwd(cwd, sizeof cwd)) return std::string();
    return HostToWindows(cwd);
}

bool CurrentDirectoryIsSet() {
    std::lock_guard<std::mutex> guard(g_currentLock);
    return !g_current.empty();
}

}  // namespace posix

DWORD GetCurrentDirectoryA(DWORD size, LPSTR buffer) {
    std::string current = posix::CurrentDirectory();
    if (current.empty()) {
        SetLastError(ERROR_CURRENT_DIRECTORY);
        return 0;
    }
    if (!buffer || size <= current.size()) return static_cast<DWORD>(current.size() + 1);
    std::memcpy(buffer, current.c_str(), current.size() + 1);
    return static_cast<DWORD>(current.size());
}

BOOL SetCurrentDirectoryA(LPCSTR path) {
    if (!path || !*path) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::string full;
    if (!FullPath(path, &full)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    // Room for the backslash Windows keeps behind the current directory.
    if (full.size() > MAX_PATH - 2) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return FALSE;
    }
    posix::ResolvedPath resolved;
    DWORD error = ERROR_PATH_NOT_FOUND;
    if (!posix::ResolvePath(full.c_str(), &resolved, &error)) {
        SetLastError(error);
        return FALSE;
    }
    if (resolved.device != posix::Device::kNone) {
        SetLastError(ERROR_DIRECTORY);
        return FALSE;
    }
    posix::Fd folder(resolved.isRoot || resolved.exists ? posix::OpenEntry(resolved, O_PATH) : -1);
    struct stat st;
    if (!folder.Valid() || fstat(folder.Get(), &st) != 0) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    if (!S_ISDIR(st.st_mode)) {
        SetLastError(ERROR_DIRECTORY);
        return FALSE;
    }
    // Entering needs the right to search it.
    if (fstatat(folder.Get(), ".", &st, 0) != 0) {
        posix::SetLastErrorFromErrno(errno);
        return FALSE;
    }
    std::lock_guard<std::mutex> guard(g_currentLock);
    g_current = full;
    return TRUE;
}

HANDLE FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data) {
    if (!pattern || !*pattern || !data) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    // The folder part keeps its separator, so that "C:\*" lists the root and
    // "*" the current directory.
    size_t split = std::strlen(pattern);
    while (split > 0 && !IsSeparator(pattern[split - 1])) --split;
    if (split == 0 && pattern[0] != '\0' && pattern[1] == ':') split = 2;
    std::string folder(pattern, split);
    const char* namePattern = pattern + split;
    if (folder.empty()) folder = ".";

    posix::ResolvedPath resolved;
    DWORD error = ERROR_PATH_NOT_FOUND;
    if (!posix::ResolvePath(folder.c_str(), &resolved, &error)) {
        SetLastError(error);
        return INVALID_HANDLE_VALUE;
    }
    if (resolved.device != posix::Device::kNone || (!resolved.exists && !resolved.isRoot)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    // An existing folder and no name: nothing matches.
    if (*namePattern == '\0') {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    posix::Fd folderFd(posix::OpenEntry(resolved, O_RDONLY | O_DIRECTORY));
    if (!folderFd.Valid()) {
        if (errno == ENOTDIR)
            SetLastError(ERROR_DIRECTORY);
        else
            posix::SetLastErrorFromErrno(errno);
        return INVALID_HANDLE_VALUE;
    }
    struct stat folderStat;
    if (fstat(folderFd.Get(), &folderStat) != 0 || !S_ISDIR(folderStat.st_mode)) {
        SetLastError(ERROR_DIRECTORY);
        return INVALID_HANDLE_VALUE;
    }

    FindState* state = new FindState{{}, 0};
    // A DOS device is found in any folder, as itself.
    size_t deviceLength = 0;
    if (!std::strpbrk(namePattern, "*?<>\"") &&
        posix::DeviceOfName(namePattern, &deviceLength) != posix::Device::kNone) {
        FindEntry entry = {};
        entry.name.assign(namePattern, deviceLength);
        entry.attributes = FILE_ATTRIBUTE_ARCHIVE;
        state->entries.push_back(entry);
    } else {
        // fdopendir takes the copy over once it succeeds.
        const int listing = fcntl(folderFd.Get(), F_DUPFD_CLOEXEC, 0);
        DIR* dir = listing >= 0 ? fdopendir(listing) : nullptr;
        if (!dir) {
            const int error = errno;
            if (listing >= 0) close(listing);
            posix::SetLastErrorFromErrno(error);
            delete state;
            return INVALID_HANDLE_VALUE;
        }
        const std::string wanted = posix::TranslatePattern(namePattern);
        int root = resolved.root.Get();
        std::vector<FindEntry> found;
        while (struct dirent* e = readdir(dir)) {
            std::string hostName = e->d_name;
            if (hostName == "." || hostName == "..") continue;
            std::string name = posix::HostNameToAnsi(hostName);
            if (name.size() >= MAX_PATH || !posix::MatchesPattern(wanted, name)) continue;
            FindEntry entry;
            if (Describe(root, folderFd.Get(), resolved.relative, hostName, name, &entry))
                found.push_back(entry);
        }
        closedir(dir);
        std::sort(found.begin(), found.end(),
                  [](const FindEntry& a, const FindEntry& b) { return a.key < b.key; });

        // A folder other than a drive root lists itself and its parent first;
        // the parent is the one inside the root.
        bool isRoot = SameObject(folderStat, root);
        if (!isRoot) {  // a Z: path may name the drive root as well
            posix::Fd driveRoot(open(posix::DriveRoot().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
            isRoot = SameObject(folderStat, driveRoot.Get());
        }
        if (!isRoot) {
            std::string parent = resolved.relative.empty() ? ".." : resolved.relative + "/..";
            for (const char* dots : {".", ".."}) {
                if (!posix::MatchesPattern(wanted, dots)) continue;
                bool self = std::strcmp(dots, ".") == 0;
                posix::Fd holder(
                    posix::OpenInRoot(root, self ? resolved.relative : parent, O_PATH));
                FindEntry entry;
                if (holder.Valid() && Describe(holder.Get(), holder.Get(), "", ".", dots, &entry))
                    state->entries.push_back(entry);
            }
        }
        state->entries.insert(state->entries.end(), found.begin(), found.end());
    }
    if (state->entries.empty()) {
        delete state;
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    Fill(state->entries[0], data);
    state->next = 1;
    {
        std::lock_guard<std::mutex> guard(g_findLock);
        g_finds.insert(state);
    }
    SetLastError(ERROR_SUCCESS);
    return state;
}

BOOL FindNextFileA(HANDLE find, LPWIN32_FIND_DATAA data) {
    FindState* state = Lookup(find);
    if (!state || !data) {
        SetLastError(state ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (state->next >= state->entries.size()) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    Fill(state->entries[state->next++], data);
    return TRUE;
}

BOOL FindClose(HANDLE find) {
    FindState* state = static_cast<FindState*>(find);
    {
        std::lock_guard<std::mutex> guard(g_findLock);
        if (g_finds.erase(state) == 0) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
    }
    delete state;
    return TRUE;
}
