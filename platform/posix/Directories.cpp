// The current directory and directory enumeration of the POSIX layer.
#include <dirent.h>
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
#include "platform/posix/PosixNamePattern.h"
#include "platform/posix/PosixPaths.h"
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

// The entry for a host object, with the attributes GetFileAttributesA gives.
bool Describe(const std::string& host, const std::string& name, FindEntry* entry) {
    struct stat st;
    if (stat(host.c_str(), &st) != 0 && lstat(host.c_str(), &st) != 0) return false;
    entry->name = name;
    entry->key.clear();
    for (char ch : name)
        entry->key += static_cast<char>(UpperWindows1252(static_cast<unsigned char>(ch)));
    if (S_ISDIR(st.st_mode)) {
        entry->attributes = FILE_ATTRIBUTE_DIRECTORY;
        entry->size = 0;
    } else {
        entry->attributes =
            FILE_ATTRIBUTE_ARCHIVE | ((st.st_mode & S_IWUSR) ? 0u : FILE_ATTRIBUTE_READONLY);
        entry->size = static_cast<uint64_t>(st.st_size);
    }
    entry->created = ToFileTime(st.st_ctim);
    entry->accessed = ToFileTime(st.st_atim);
    entry->written = ToFileTime(st.st_mtim);
    return true;
}

bool SameObject(const std::string& a, const std::string& b) {
    struct stat sa, sb;
    return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
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
    struct stat st;
    if (!resolved.exists || stat(resolved.host.c_str(), &st) != 0) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    if (!S_ISDIR(st.st_mode)) {
        SetLastError(ERROR_DIRECTORY);
        return FALSE;
    }
    if (access(resolved.host.c_str(), X_OK) != 0) {
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
    if (*namePattern == '\0') {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (folder.empty()) folder = ".";

    posix::ResolvedPath resolved;
    DWORD error = ERROR_PATH_NOT_FOUND;
    if (!posix::ResolvePath(folder.c_str(), &resolved, &error)) {
        SetLastError(error);
        return INVALID_HANDLE_VALUE;
    }
    struct stat st;
    if (!resolved.exists || stat(resolved.host.c_str(), &st) != 0) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (!S_ISDIR(st.st_mode)) {
        SetLastError(ERROR_DIRECTORY);
        return INVALID_HANDLE_VALUE;
    }
    DIR* dir = opendir(resolved.host.c_str());
    if (!dir) {
        posix::SetLastErrorFromErrno(errno);
        return INVALID_HANDLE_VALUE;
    }
    std::string base = resolved.host;
    if (base.empty() || base.back() != '/') base += '/';
    const std::string wanted = posix::TranslatePattern(namePattern);

    FindState* state = new FindState{{}, 0};
    std::vector<FindEntry> found;
    while (struct dirent* e = readdir(dir)) {
        std::string hostName = e->d_name;
        if (hostName == "." || hostName == "..") continue;
        std::string name = posix::HostNameToAnsi(hostName);
        if (name.size() >= MAX_PATH || !posix::MatchesPattern(wanted, name)) continue;
        FindEntry entry;
        if (Describe(base + hostName, name, &entry)) found.push_back(entry);
    }
    closedir(dir);
    std::sort(found.begin(), found.end(),
              [](const FindEntry& a, const FindEntry& b) { return a.key < b.key; });

    // A folder other than a drive root lists itself and its parent first.
    bool root = SameObject(resolved.host, posix::DriveRoot()) || SameObject(resolved.host, "/");
    if (!root) {
        for (const char* dots : {".", ".."}) {
            FindEntry entry;
            std::string host = std::strcmp(dots, ".") == 0 ? resolved.host : base + "..";
            if (posix::MatchesPattern(wanted, dots) && Describe(host, dots, &entry))
                state->entries.push_back(entry);
        }
    }
    state->entries.insert(state->entries.end(), found.begin(), found.end());
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
