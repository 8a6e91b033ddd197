// Windows paths on a host file system: drive mapping and case-insensitive
// lookup of each component.
#include "platform/posix/PosixPaths.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "platform/AnsiCase.h"
#include "platform/posix/PosixCodePage.h"
#include "platform/posix/PosixDirectories.h"

namespace posix {
namespace {

std::mutex g_rootLock;
std::string g_driveRoot;  // empty: take it from the environment

bool Exists(const std::string& host) {
    struct stat st;
    return lstat(host.c_str(), &st) == 0;
}

bool IsDirectory(const std::string& host) {
    struct stat st;
    return stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool EqualFolded(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (LowerWindows1252(static_cast<unsigned char>(a[i])) !=
            LowerWindows1252(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::string Join(const std::string& dir, const std::string& name) {
    if (dir.empty() || dir.back() == '/') return dir + name;
    return dir + "/" + name;
}

// Finds the host entry of `dir` for the Windows-1252 component `ansiName`:
// the exact name first, then the first entry (in name order) equal to it when
// letter case is ignored. Empty when there is none.
std::string LookUp(const std::string& dir, const std::string& ansiName) {
    std::string exact = AnsiToUtf8Text(ansiName.data(), ansiName.size());
    if (Exists(Join(dir, exact))) return exact;
    DIR* d = opendir(dir.empty() ? "/" : dir.c_str());
    if (!d) return std::string();
    std::string best;
    while (struct dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        if (EqualFolded(HostNameToAnsi(name), ansiName) && (best.empty() || name < best))
            best = name;
    }
    closedir(d);
    return best;
}

// "X:\..." with a drive letter: the form CurrentDirectory gives.
bool IsAbsoluteWindowsPath(const std::string& path) {
    return path.size() >= 3 && path[1] == ':' && path[2] == '\\';
}

// Resolves `relative` below the absolute Windows folder `folder`. The joined
// path is absolute, so this recurses once at most.
bool ResolveUnder(const std::string& folder, const char* relative, ResolvedPath* out,
                  DWORD* error) {
    std::string full = folder;
    if (!full.empty() && full.back() != '\\' && relative[0] != '\\') full += '\\';
    full += relative;
    return ResolvePath(full.c_str(), out, error);
}

}  // namespace

void SetDriveRoot(const char* hostFolder) {
    std::lock_guard<std::mutex> guard(g_rootLock);
    g_driveRoot = hostFolder ? hostFolder : "";
    while (g_driveRoot.size() > 1 && g_driveRoot.back() == '/') g_driveRoot.pop_back();
}

std::string DriveRoot() {
    {
        std::lock_guard<std::mutex> guard(g_rootLock);
        if (!g_driveRoot.empty()) return g_driveRoot;
    }
    if (const char* prefix = std::getenv("WINEPREFIX"); prefix && *prefix)
        return std::string(prefix) + "/drive_c";
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : "") + "/.wine/drive_c";
}

bool ResolvePath(const char* winPath, ResolvedPath* out, DWORD* error) {
    auto fail = [error](DWORD code) {
        *error = code;
        return false;
    };
    if (!winPath || !*winPath) return fail(ERROR_PATH_NOT_FOUND);
    size_t length = std::strlen(winPath);
    if (length >= MAX_PATH) return fail(ERROR_FILENAME_EXCED_RANGE);

    if (winPath[0] == '/') {  // a host path passes unchanged
        out->host = winPath;
        out->exists = Exists(out->host);
        if (!out->exists) {
            size_t slash = out->host.find_last_of('/');
            std::string parent = slash == 0 ? "/" : out->host.substr(0, slash);
            if (!IsDirectory(parent)) return fail(ERROR_PATH_NOT_FOUND);
        }
        return true;
    }

    std::string base;
    const char* rest = winPath;
    if (std::strlen(winPath) >= 2 && winPath[1] == ':') {
        char drive = static_cast<char>(LowerWindows1252(static_cast<unsigned char>(winPath[0])));
        if (drive != 'c' && drive != 'z') return fail(ERROR_PATH_NOT_FOUND);
        rest = winPath + 2;
        if (*rest != '\\' && *rest != '/') {
            // "C:x" is relative to the current directory when that is on C:.
            std::string current = CurrentDirectory();
            if (IsAbsoluteWindowsPath(current) &&
                LowerWindows1252(static_cast<unsigned char>(current[0])) == drive)
                return ResolveUnder(current, rest, out, error);
        }
        base = drive == 'c' ? DriveRoot() : "/";
    } else if ((winPath[0] == '\\' || winPath[0] == '/') &&
               (winPath[1] == '\\' || winPath[1] == '/')) {
        return fail(ERROR_PATH_NOT_FOUND);  // UNC paths are not served
    } else if (winPath[0] == '\\') {
        // The root of the current directory's drive.
        std::string current = CurrentDirectory();
        if (!IsAbsoluteWindowsPath(current)) return fail(ERROR_PATH_NOT_FOUND);
        return ResolveUnder(current.substr(0, 2), winPath, out, error);
    } else if (CurrentDirectoryIsSet()) {
        std::string current = CurrentDirectory();
        if (!IsAbsoluteWindowsPath(current)) return fail(ERROR_PATH_NOT_FOUND);
        return ResolveUnder(current, winPath, out, error);
    } else {
        // No current directory set yet: the host's working directory.
        char cwd[4096];
        if (!getcwd(cwd, sizeof cwd)) return fail(ERROR_PATH_NOT_FOUND);
        base = cwd;
    }
    if (!IsDirectory(base)) return fail(ERROR_PATH_NOT_FOUND);

    // Split the rest into components; "." stays, ".." goes up (never above base).
    std::vector<std::string> parts;
    std::string part;
    for (const char* p = rest;; ++p) {
        if (*p == '\\' || *p == '/' || *p == '\0') {
            if (part == "..") {
                if (!parts.empty()) parts.pop_back();
            } else if (!part.empty() && part != ".") {
                parts.push_back(part);
            }
            part.clear();
            if (*p == '\0') break;
        } else {
            part += *p;
        }
    }

    std::string host = base;
    out->exists = true;
    for (size_t i = 0; i < parts.size(); ++i) {
        bool last = i + 1 == parts.size();
        if (!IsDirectory(host)) return fail(ERROR_PATH_NOT_FOUND);
        std::string found = LookUp(host, parts[i]);
        if (found.empty()) {
            if (!last) return fail(ERROR_PATH_NOT_FOUND);
            host = Join(host, AnsiToUtf8Text(parts[i].data(), parts[i].size()));
            out->exists = false;
            break;
        }
        host = Join(host, found);
    }
    out->host = host;
    return true;
}

}  // namespace posix
