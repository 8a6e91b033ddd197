// Windows paths on a host file system: the forms of a Windows path, the drive
// mapping, and the lookup of each component through descriptors, confined to
// the drive root.
#include "platform/posix/PosixPaths.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "platform/AnsiCase.h"
#include "platform/posix/PosixCodePage.h"
#include "platform/posix/PosixDirectories.h"
#include "platform/posix/PosixErrors.h"
#include "platform/posix/RemovalGuard.h"

namespace posix {
namespace {

std::mutex g_rootLock;
std::string g_driveRoot;  // empty: take it from the environment
Fd g_rootFd;              // the drive root as it was when set

std::atomic<bool> g_guard{false};
thread_local std::vector<std::string> t_lastCollision;

bool IsSeparator(char ch) {
    return ch == '\\' || ch == '/';
}

bool IsLetter(char ch) {
    return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z');
}

using ::EqualFolded;

bool EqualFolded(const char* a, size_t length, const char* b) {
    return EqualFolded(a, length, b, std::strlen(b));
}

std::string Join(const std::string& dir, const std::string& name) {
    if (dir.empty()) return name;
    if (dir.back() == '/') return dir + name;
    return dir + "/" + name;
}

std::string Upper(const std::string& text) {
    std::string upper = text;
    for (char& ch : upper) ch = static_cast<char>(UpperWindows1252(static_cast<unsigned char>(ch)));
    return upper;
}

bool IsInvalidNameCharacter(unsigned char ch) {
    return ch < 0x20 || std::strchr("<>:\"|?*", ch) != nullptr;
}

// One component: as written (Windows-1252, for the case-insensitive
// comparison) and as the host spells it when it exists under that name.
struct Component {
    std::string ansi;
    std::string exact;
};

// A path taken apart: its root and components below it.
struct Parsed {
    bool confined = false;  // on drive C:, inside the drive root
    bool trailing = false;  // ends with a separator
    std::vector<Component> parts;
};

// Splits `rest` into components below a root. "." goes, ".." goes up (never
// above the root), the last component loses trailing dots and spaces and a
// folder one trailing dot, as Windows does. Host paths are UTF-8.
DWORD SplitComponents(const std::string& rest, bool hostText, Parsed* parsed) {
    std::vector<std::string> names;
    std::string part;
    for (size_t i = 0; i <= rest.size(); ++i) {
        if (i < rest.size() && !IsSeparator(rest[i])) {
            part += rest[i];
            continue;
        }
        if (part == "..") {
            if (!names.empty()) names.pop_back();
        } else if (!part.empty() && part != ".") {
            names.push_back(part);
        }
        part.clear();
    }
    parsed->trailing = !rest.empty() && IsSeparator(rest.back()) && !names.empty();
    for (size_t i = 0; i < names.size(); ++i) {
        std::string& name = names[i];
        if (i + 1 < names.size() || parsed->trailing) {
            if (name.size() > 1 && name.back() == '.') name.pop_back();
        } else {
            while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
            if (name.empty()) continue;
        }
        for (char ch : name)
            if (IsInvalidNameCharacter(static_cast<unsigned char>(ch))) return ERROR_INVALID_NAME;
        Component component;
        if (hostText) {
            component.exact = name;
            component.ansi = HostNameToAnsi(name);
        } else {
            component.ansi = name;
            component.exact = AnsiToUtf8Text(name.data(), name.size());
        }
        parsed->parts.push_back(component);
    }
    return ERROR_SUCCESS;
}

// "X:\..." with a drive letter: the form CurrentDirectory gives.
bool IsAbsoluteWindowsPath(const std::string& path) {
    return path.size() >= 3 && path[1] == ':' && path[2] == '\\';
}

Fd DriveRootDescriptor() {
    {
        std::lock_guard<std::mutex> guard(g_rootLock);
        if (g_rootFd.Valid()) return Fd(fcntl(g_rootFd.Get(), F_DUPFD_CLOEXEC, 0));
    }
    return Fd(open(DriveRoot().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
}

struct Options {
    bool twins = false;                            // entries differing in case collide
    std::vector<std::string>* collided = nullptr;  // where the colliding host paths go
};

// ---- The lookup of one component ------------------------------------------

constexpr DWORD kMissing = 0xFFFFFFFFu;
constexpr int kNotCandidate = -1;

struct Candidate {
    std::string name;
    struct stat entry = {};
    Fd folder;  // wantFolder: the folder it leads to (O_PATH)
};

struct Walk {
    int root = -1;
    int dir = -1;
    std::string relative;  // of dir, from root
    std::string host;      // host path of dir
};

// Whether the entry `name` of the walk's folder is of the kind asked for:
// 0 (with *found filled), kNotCandidate, or an errno. A link is followed
// inside the root; one that leads nowhere is no candidate.
int Probe(const Walk& walk, const std::string& name, bool wantFolder, Candidate* found) {
    struct stat entry;
    if (fstatat(walk.dir, name.c_str(), &entry, AT_SYMLINK_NOFOLLOW) != 0) return errno;
    Fd target;
    struct stat st = entry;
    if (S_ISLNK(entry.st_mode)) {
        target.Reset(OpenInRoot(walk.root, Join(walk.relative, name), O_PATH));
        if (!target.Valid()) return (errno == ENOENT || errno == ENOTDIR) ? kNotCandidate : errno;
        if (fstat(target.Get(), &st) != 0) return errno;
    }
    if (wantFolder) {
        if (!S_ISDIR(st.st_mode)) return kNotCandidate;
        if (!target.Valid()) {
            target.Reset(openat(walk.dir, name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
            if (!target.Valid()) return errno;
            // The folder opened must be the one just examined.
            if (fstat(target.Get(), &st) != 0) return errno;
            if (!SameFile(st, entry)) return EAGAIN;
        }
        found->folder = std::move(target);
    }
    found->name = name;
    found->entry = entry;
    return 0;
}

DWORD LookupError(int err) {
    return err == ENOENT ? ERROR_PATH_NOT_FOUND : ErrnoToWin32(err);
}

// Finds the entry for `component` in the walk's folder: the exact name first,
// then the first entry (in name order) equal to it when letter case is
// ignored; with twins, every such entry counts and more than one fail.
// ERROR_SUCCESS, kMissing, or the error of the lookup.
DWORD FindEntry(const Walk& walk, const Component& component, bool wantFolder,
                const Options& options, Candidate* found) {
    if (component.exact.size() > NAME_MAX) return ERROR_FILENAME_EXCED_RANGE;
    if (!options.twins) {
        int probed = Probe(walk, component.exact, wantFolder, found);
        if (probed == 0) return ERROR_SUCCESS;
        if (probed != kNotCandidate && probed != ENOENT) return LookupError(probed);
    }
    Fd listing(openat(walk.dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!listing.Valid()) return LookupError(errno);
    DIR* dir = fdopendir(listing.Get());
    if (!dir) return LookupError(errno);
    listing.Release();
    std::vector<std::string> names;
    errno = 0;
    while (struct dirent* e = readdir(dir)) {
        std::string name = e->d_name;
        if (name != "." && name != ".." && EqualFolded(HostNameToAnsi(name), component.ansi))
            names.push_back(name);
        errno = 0;
    }
    int readError = errno;
    closedir(dir);
    if (readError != 0) return LookupError(readError);
    std::sort(names.begin(), names.end());

    std::vector<Candidate> candidates;
    for (const std::string& name : names) {
        Candidate candidate;
        int probed = Probe(walk, name, wantFolder, &candidate);
        if (probed == kNotCandidate || probed == ENOENT) continue;
        if (probed != 0) return LookupError(probed);
        candidates.push_back(std::move(candidate));
        if (!options.twins) break;
    }
    if (candidates.empty()) return kMissing;
    if (options.twins && candidates.size() > 1) {
        if (options.collided) {
            options.collided->clear();
            for (const Candidate& c : candidates)
                options.collided->push_back(Join(walk.host, c.name));
        }
        return ERROR_CANT_RESOLVE_FILENAME;
    }
    *found = std::move(candidates.front());
    return ERROR_SUCCESS;
}

// ---- The forms of a path ----------------------------------------------------

bool Resolve(const std::string& path, bool checkLength, const Options& options, ResolvedPath* out,
             DWORD* error);

// Resolves `relative` below the absolute Windows folder `folder`. The joined
// path is absolute, so this recurses once at most.
bool ResolveUnder(const std::string& folder, const std::string& relative, const Options& options,
                  ResolvedPath* out, DWORD* error) {
    std::string full = folder;
    if (!full.empty() && !IsSeparator(full.back()) &&
        (relative.empty() || !IsSeparator(relative[0])))
        full += '\\';
    full += relative;
    return Resolve(full, true, options, out, error);
}

// The components of a parsed path looked up from its root.
bool WalkPath(const Parsed& parsed, Device device, const Options& options, ResolvedPath* out,
              DWORD* error) {
    auto fail = [error](DWORD code) {
        *error = code;
        return false;
    };
    out->root =
        parsed.confined ? DriveRootDescriptor() : Fd(open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!out->root.Valid())
        return fail(errno == ENOENT || errno == ENOTDIR ? ERROR_PATH_NOT_FOUND
                                                        : ErrnoToWin32(errno));
    std::string rootHost = parsed.confined ? DriveRoot() : std::string();

    std::string key = parsed.confined ? "C:" : "Z:";
    for (const Component& c : parsed.parts) key += "\\" + Upper(c.ansi);
    if (parsed.parts.empty()) key += "\\";
    out->key = key;

    Walk walk;
    walk.root = out->root.Get();
    walk.dir = walk.root;
    walk.host = rootHost.empty() ? "/" : rootHost;
    Fd held;  // the folder of the walk below the root
    size_t count = parsed.parts.size();
    // A device is found in an existing folder; the folder is walked, the
    // device name is not looked up.
    size_t walked = device == Device::kNone ? count : count - 1;
    out->exists = false;
    for (size_t i = 0; i < walked; ++i) {
        const Component& component = parsed.parts[i];
        bool last = i + 1 == count;
        bool wantFolder = !last || parsed.trailing;
        Candidate found;
        DWORD result = FindEntry(walk, component, wantFolder, options, &found);
        if (result == ERROR_CANT_RESOLVE_FILENAME && options.collided) {
            std::sort(options.collided->begin(), options.collided->end());
            t_lastCollision = *options.collided;
        }
        if (result == kMissing) {
            if (!last) return fail(ERROR_PATH_NOT_FOUND);
            if (parsed.trailing) {
                // A file named so, asked for as a folder, is not one.
                struct stat st;
                if (fstatat(walk.dir, component.exact.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                    !S_ISDIR(st.st_mode))
                    return fail(ERROR_DIRECTORY);
                return fail(ERROR_PATH_NOT_FOUND);
            }
            out->name = component.exact;
            break;
        }
        if (result != ERROR_SUCCESS) return fail(result);
        if (!last) {
            held = std::move(found.folder);
            walk.dir = held.Get();
            walk.relative = Join(walk.relative, found.name);
            walk.host = Join(walk.host, found.name);
            continue;
        }
        out->exists = true;
        out->name = found.name;
        out->entry = found.entry;
    }
    out->device = device;
    out->isRoot = count == 0;
    if (device == Device::kNone && !out->isRoot) {
        out->parent = held.Valid() ? std::move(held) : Fd(fcntl(walk.root, F_DUPFD_CLOEXEC, 0));
        out->relative = Join(walk.relative, out->name);
        out->host = Join(walk.host, out->name);
    } else {
        out->host = walk.host;
        out->relative = walk.relative;
    }
    return true;
}

bool Resolve(const std::string& path, bool checkLength, const Options& options, ResolvedPath* out,
             DWORD* error) {
    auto fail = [error](DWORD code) {
        *error = code;
        return false;
    };
    if (path.empty()) return fail(ERROR_PATH_NOT_FOUND);
    if (checkLength && path.size() >= MAX_PATH) return fail(ERROR_FILENAME_EXCED_RANGE);
    const char* p = path.c_str();

    // "\\?\" and "\\.\": a drive path, a volume, or (with ".") a device.
    if (IsSeparator(p[0]) && IsSeparator(p[1]) && (p[2] == '?' || p[2] == '.') &&
        IsSeparator(p[3])) {
        std::string rest = path.substr(4);
        if (rest.size() == 2 && IsLetter(rest[0]) && rest[1] == ':') {
            out->device = Device::kVolume;
            return true;
        }
        if (rest.size() >= 3 && IsLetter(rest[0]) && rest[1] == ':' && IsSeparator(rest[2]))
            return Resolve(rest, checkLength, options, out, error);
        if (p[2] == '.' && rest.find_first_of("\\/") == std::string::npos &&
            DeviceOfName(rest) != Device::kNone && rest.find('.') == std::string::npos) {
            out->device = DeviceOfName(rest);
            return true;
        }
        return fail(p[2] == '.' ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
    }
    if (IsSeparator(p[0]) && IsSeparator(p[1])) return fail(ERROR_PATH_NOT_FOUND);  // UNC

    Parsed parsed;
    std::string rest;
    bool hostText = false;
    if (path.size() >= 2 && p[1] == ':') {
        char drive = static_cast<char>(LowerWindows1252(static_cast<unsigned char>(p[0])));
        if (drive != 'c' && drive != 'z') return fail(ERROR_PATH_NOT_FOUND);
        rest = path.substr(2);
        if (!rest.empty() && rest.find(':') != std::string::npos) return fail(ERROR_INVALID_NAME);
        if (rest.empty() || !IsSeparator(rest[0])) {
            // "C:x" is relative to the current directory when that is on C:.
            std::string current = CurrentDirectory();
            if (IsAbsoluteWindowsPath(current) &&
                LowerWindows1252(static_cast<unsigned char>(current[0])) == drive)
                return ResolveUnder(current, rest, options, out, error);
        }
        parsed.confined = drive == 'c';
    } else if (p[0] == '/') {  // a host path
        rest = path;
        hostText = true;
    } else if (p[0] == '\\') {
        // The root of the current directory's drive.
        std::string current = CurrentDirectory();
        if (!IsAbsoluteWindowsPath(current)) return fail(ERROR_PATH_NOT_FOUND);
        return ResolveUnder(current.substr(0, 2), path, options, out, error);
    } else if (CurrentDirectoryIsSet()) {
        std::string current = CurrentDirectory();
        if (!IsAbsoluteWindowsPath(current)) return fail(ERROR_PATH_NOT_FOUND);
        return ResolveUnder(current, path, options, out, error);
    } else {
        // No current directory set yet: the host's working directory.
        char cwd[PATH_MAX];
        if (!getcwd(cwd, sizeof cwd)) return fail(ERROR_PATH_NOT_FOUND);
        return Resolve(std::string(cwd) + "/" + path, false, options, out, error);
    }
    DWORD split = SplitComponents(rest, hostText, &parsed);
    if (split != ERROR_SUCCESS) return fail(split);
    Device device = Device::kNone;
    if (!parsed.parts.empty() && !parsed.trailing) device = DeviceOfName(parsed.parts.back().ansi);
    return WalkPath(parsed, device, options, out, error);
}

}  // namespace

Device DeviceOfName(const std::string& name, size_t* length) {
    size_t end = name.find_first_of(".:");
    if (end == std::string::npos) end = name.size();
    while (end > 0 && name[end - 1] == ' ') --end;
    if (length) *length = end;
    const char* text = name.c_str();
    if (end == 3) {
        if (EqualFolded(text, 3, "nul")) return Device::kNul;
        for (const char* other : {"con", "aux", "prn"})
            if (EqualFolded(text, 3, other)) return Device::kHardware;
    } else if (end == 4 && text[3] >= '1' && text[3] <= '9') {
        if (EqualFolded(text, 3, "com") || EqualFolded(text, 3, "lpt")) return Device::kHardware;
    } else if ((end == 6 && EqualFolded(text, 6, "conin$")) ||
               (end == 7 && EqualFolded(text, 7, "conout$"))) {
        return Device::kHardware;
    }
    return Device::kNone;
}

void SetDriveRoot(const char* hostFolder) {
    std::lock_guard<std::mutex> guard(g_rootLock);
    g_driveRoot = hostFolder ? hostFolder : "";
    while (g_driveRoot.size() > 1 && g_driveRoot.back() == '/') g_driveRoot.pop_back();
    g_rootFd.Reset(
        g_driveRoot.empty() ? -1 : open(g_driveRoot.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    // The files examined under the last root are not this root's files.
    ForgetIdentities();
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

void SetRemovalGuard(bool on) {
    g_guard.store(on, std::memory_order_release);
    ForgetIdentities();
}

bool RemovalGuard() {
    return g_guard.load(std::memory_order_acquire);
}

std::vector<std::string> LastCollision() {
    return t_lastCollision;
}

std::vector<std::string> CollidingEntries(const char* winPath) {
    std::vector<std::string> collided;
    if (!winPath) return collided;
    Options options;
    options.twins = true;
    options.collided = &collided;
    ResolvedPath resolved;
    DWORD error = ERROR_SUCCESS;
    if (Resolve(winPath, true, options, &resolved, &error) || error != ERROR_CANT_RESOLVE_FILENAME)
        collided.clear();
    return collided;
}

bool ResolvePath(const char* winPath, ResolvedPath* out, DWORD* error) {
    if (!winPath) {
        *error = ERROR_PATH_NOT_FOUND;
        return false;
    }
    std::vector<std::string> collided;
    Options options;
    options.twins = RemovalGuard();
    options.collided = &collided;
    return Resolve(winPath, true, options, out, error);
}

int OpenEntry(const ResolvedPath& path, int flags) {
    if (path.isRoot) return openat(path.root.Get(), ".", flags | O_CLOEXEC);
    if (!path.parent.Valid()) {
        errno = ENOENT;
        return -1;
    }
    // Opens that could wait are made not to; the caller's own choice comes
    // back once the file is open.
    const int quiet = (flags & O_PATH) ? 0 : (O_NONBLOCK | O_NOCTTY);
    auto settle = [flags](int fd) {
        if (fd >= 0 && !(flags & (O_PATH | O_NONBLOCK))) {
            int current = fcntl(fd, F_GETFL);
            if (current >= 0) fcntl(fd, F_SETFL, current & ~O_NONBLOCK);
        }
        return fd;
    };
    int fd = openat(path.parent.Get(), path.name.c_str(), flags | quiet | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) {
        struct stat st;
        if (!(flags & O_PATH) || fstat(fd, &st) != 0 || !S_ISLNK(st.st_mode)) return settle(fd);
        close(fd);
    } else {
        // O_NOFOLLOW meets a link with ELOOP, or ENOTDIR with O_DIRECTORY.
        int failed = errno;
        struct stat st;
        if ((failed != ELOOP && failed != ENOTDIR) ||
            fstatat(path.parent.Get(), path.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISLNK(st.st_mode)) {
            errno = failed;
            return -1;
        }
    }
    return settle(OpenInRoot(path.root.Get(), path.relative, flags | quiet));
}

DWORD FindFolder(const std::string& folder, const char* wanted, std::string* onDisk) {
    std::string path = folder;
    if (path.empty() || !IsSeparator(path.back())) path += '\\';
    path += wanted;
    path += '\\';
    ResolvedPath resolved;
    DWORD error = ERROR_SUCCESS;
    if (!ResolvePath(path.c_str(), &resolved, &error))
        return error == ERROR_DIRECTORY ? ERROR_FILE_NOT_FOUND : error;  // a file of that name
    if (!resolved.exists) return ERROR_FILE_NOT_FOUND;
    *onDisk = HostNameToAnsi(resolved.name);
    return ERROR_SUCCESS;
}

}  // namespace posix
