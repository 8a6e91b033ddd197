// Windows' rules for moving files (see PosixMoveRules.h).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <utility>

#include "platform/AnsiCase.h"
#include "platform/posix/PosixCodePage.h"
#include "platform/posix/PosixErrors.h"
#include "platform/posix/PosixMoveRules.h"
#include "platform/posix/Sharing.h"
#include "platform/posix/WinErrors.h"

namespace posix {
namespace {

bool IsReadOnly(const struct stat& st) {
    return (st.st_mode & S_IWUSR) == 0;
}

// The folder part and the last component of a host path.
std::pair<std::string, std::string> Split(const std::string& host) {
    const size_t slash = host.find_last_of('/');
    if (slash == std::string::npos) return {".", host};
    return {slash == 0 ? std::string("/") : host.substr(0, slash), host.substr(slash + 1)};
}

// The last component of a Windows path.
std::string LastComponent(const char* path) {
    const char* last = path;
    for (const char* p = path; *p; ++p)
        if (*p == '\\' || *p == '/') last = p + 1;
    return last;
}

bool EqualFolded(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (LowerWindows1252(static_cast<unsigned char>(a[i])) !=
            LowerWindows1252(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa, sb;
    return lstat(a.c_str(), &sa) == 0 && lstat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

// rename(2) for a change of letter case, whose new spelling no other entry
// has (the look-up would have found it first): it never replaces another
// entry. On a file system that ignores letter case itself the new spelling
// names the entry already, and the rename is left to it; on one that cannot
// refuse to replace, the check goes first.
bool RenameNew(const std::string& from, const std::string& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EEXIST && errno != EINVAL && errno != ENOSYS) return false;
    struct stat st;
    if (lstat(to.c_str(), &st) == 0 && !SameFile(from, to)) {
        errno = EEXIST;
        return false;
    }
    return rename(from.c_str(), to.c_str()) == 0;
}

// Puts the folder `from` in the place of the file `to`: the two are swapped
// in one step and the file, now under the folder's old name, is removed. A
// file system that cannot swap gets the file moved aside first and back when
// the folder cannot follow.
bool FolderOntoFile(const std::string& from, const std::string& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_EXCHANGE) == 0) {
        if (unlink(from.c_str()) == 0) return true;
        const int err = errno;
        renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_EXCHANGE);
        errno = err;
        return false;
    }
    if (errno != EINVAL && errno != ENOSYS) return false;
    const std::string aside = to + ".purgelib-replaced-" + std::to_string(getpid());
    if (!RenameNew(to, aside)) return false;
    if (rename(from.c_str(), to.c_str()) != 0) {
        const int err = errno;
        RenameNew(aside, to);
        errno = err;
        return false;
    }
    unlink(aside.c_str());
    return true;
}

}  // namespace

bool IsValidTargetName(const char* name) {
    for (char c : LastComponent(name)) {
        const unsigned char ch = static_cast<unsigned char>(c);
        if (ch < 0x20 || std::strchr("*?<>\"|", ch)) return false;
    }
    return true;
}

bool IsSameEntry(const ResolvedPath& from, const ResolvedPath& to) {
    if (!to.exists) return false;
    if (from.host == to.host) return true;
    const auto a = Split(from.host);
    const auto b = Split(to.host);
    struct stat sa, sb;
    return a.second == b.second && stat(a.first.c_str(), &sa) == 0 &&
           stat(b.first.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

std::string SpelledTarget(const ResolvedPath& to, const char* newName) {
    if (!to.exists) return to.host;
    const std::string wanted = LastComponent(newName);
    const auto parts = Split(to.host);
    const std::string found = HostNameToAnsi(parts.second);
    if (wanted == found || !EqualFolded(wanted, found)) return to.host;
    const std::string folder = parts.first == "/" ? std::string() : parts.first;
    return folder + "/" + AnsiToUtf8Text(wanted.data(), wanted.size());
}

DWORD RefusedReplace(const ResolvedPath& to) {
    struct stat st;
    if (lstat(to.host.c_str(), &st) != 0) return ERROR_SUCCESS;  // gone: nothing to replace
    if (S_ISDIR(st.st_mode)) return ERROR_ACCESS_DENIED;
    if (!S_ISREG(st.st_mode)) return ERROR_SUCCESS;
    if (IsReadOnly(st)) return ERROR_ACCESS_DENIED;
    const int probe = open(to.host.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (probe < 0) return ERROR_SUCCESS;
    const bool open = IsOpenElsewhere(probe);
    close(probe);
    return open ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
}

bool MoveEntry(const std::string& from, const ResolvedPath& to, const std::string& spelled,
               bool self, DWORD* error) {
    auto fail = [error]() {
        *error = ErrnoToWin32(errno);
        return false;
    };
    if (self) return spelled == from || RenameNew(from, spelled) || fail();
    struct stat source, target;
    const bool folderOntoFile = to.exists && stat(from.c_str(), &source) == 0 &&
                                S_ISDIR(source.st_mode) && lstat(to.host.c_str(), &target) == 0 &&
                                !S_ISDIR(target.st_mode);
    // rename(2) puts no folder in a file's place.
    if (folderOntoFile ? !FolderOntoFile(from, to.host)
                       : rename(from.c_str(), to.host.c_str()) != 0)
        return fail();
    // The entry is moved; a spelling that the name cannot take is no failure
    // of the move.
    if (spelled != to.host) RenameNew(to.host, spelled);
    return true;
}

}  // namespace posix
