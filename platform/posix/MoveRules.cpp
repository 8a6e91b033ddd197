// Windows' rules for moving files (see PosixMoveRules.h).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "platform/AnsiCase.h"
#include "platform/posix/PosixCodePage.h"
#include "platform/posix/PosixErrors.h"
#include "platform/posix/PosixFileRules.h"
#include "platform/posix/PosixMoveRules.h"
#include "platform/posix/Sharing.h"
#include "platform/posix/WinErrors.h"

namespace posix {
namespace {

// The last component of a Windows path, without the trailing dots and spaces
// that the path's lookup drops.
std::string LastComponent(const char* path) {
    const char* last = path;
    for (const char* p = path; *p; ++p)
        if (*p == '\\' || *p == '/') last = p + 1;
    std::string name = last;
    while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
    return name;
}

bool SameFolder(int a, int b) {
    struct stat sa, sb;
    return fstat(a, &sa) == 0 && fstat(b, &sb) == 0 && SameFile(sa, sb);
}

// renameat(2) within one folder for a change of letter case, whose new
// spelling no other entry has (the lookup would have found it first): it never
// replaces another entry. On a file system that ignores letter case itself
// the new spelling names the entry already, and the rename is left to it; on
// one that cannot refuse to replace, the check goes first.
bool RenameNew(int folder, const std::string& from, const std::string& to) {
    if (renameat2(folder, from.c_str(), folder, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EEXIST && errno != EINVAL && errno != ENOSYS) return false;
    struct stat a, b;
    if (fstatat(folder, to.c_str(), &b, AT_SYMLINK_NOFOLLOW) == 0 &&
        !(fstatat(folder, from.c_str(), &a, AT_SYMLINK_NOFOLLOW) == 0 && SameFile(a, b))) {
        errno = EEXIST;
        return false;
    }
    return renameat(folder, from.c_str(), folder, to.c_str()) == 0;
}

// Puts the folder `from` in the place of the file `to`: the two are swapped
// in one step and the file, now under the folder's old name, is removed. A
// file system that cannot swap gets the file moved aside first and back when
// the folder cannot follow.
bool FolderOntoFile(const ResolvedPath& from, const ResolvedPath& to) {
    const int fromDir = from.parent.Get();
    const int toDir = to.parent.Get();
    if (renameat2(fromDir, from.name.c_str(), toDir, to.name.c_str(), RENAME_EXCHANGE) == 0) {
        if (unlinkat(fromDir, from.name.c_str(), 0) == 0) return true;
        const int err = errno;
        renameat2(fromDir, from.name.c_str(), toDir, to.name.c_str(), RENAME_EXCHANGE);
        errno = err;
        return false;
    }
    if (errno != EINVAL && errno != ENOSYS) return false;
    const std::string aside = to.name + ".purgelib-replaced-" + std::to_string(getpid());
    if (!RenameNew(toDir, to.name, aside)) return false;
    if (renameat(fromDir, from.name.c_str(), toDir, to.name.c_str()) != 0) {
        const int err = errno;
        RenameNew(toDir, aside, to.name);
        errno = err;
        return false;
    }
    unlinkat(toDir, aside.c_str(), 0);
    return true;
}

}  // namespace

bool IsSameEntry(const ResolvedPath& from, const ResolvedPath& to) {
    return to.exists && from.parent.Valid() && to.parent.Valid() && from.name == to.name &&
           SameFolder(from.parent.Get(), to.parent.Get());
}

std::string SpelledName(const ResolvedPath& to, const char* newName) {
    if (!to.exists) return to.name;
    const std::string wanted = LastComponent(newName);
    const std::string found = HostNameToAnsi(to.name);
    if (wanted == found || !EqualFolded(wanted, found)) return to.name;
    return AnsiToUtf8Text(wanted.data(), wanted.size());
}

DWORD RefusedReplace(const ResolvedPath& to) {
    const struct stat& st = to.entry;  // the entry itself: a link is replaced, not followed
    if (S_ISDIR(st.st_mode)) return ERROR_ACCESS_DENIED;
    if (!S_ISREG(st.st_mode)) return ERROR_SUCCESS;
    if (IsReadOnly(st)) return ERROR_ACCESS_DENIED;
    const int probe = OpenEntry(to, O_RDONLY | O_NONBLOCK);
    if (probe < 0) return ERROR_SUCCESS;
    const bool open = IsOpenElsewhere(probe);
    close(probe);
    return open ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
}

bool MoveEntry(const ResolvedPath& from, const ResolvedPath& to, const std::string& spelled,
               bool self, DWORD* error) {
    auto fail = [error]() {
        *error = ErrnoToWin32(errno);
        return false;
    };
    if (self)
        return spelled == from.name || RenameNew(from.parent.Get(), from.name, spelled) || fail();
    struct stat source;
    const bool folderOntoFile =
        to.exists && !S_ISDIR(to.entry.st_mode) &&
        fstatat(from.parent.Get(), from.name.c_str(), &source, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISDIR(source.st_mode);
    // renameat(2) puts no folder in a file's place.
    if (folderOntoFile
            ? !FolderOntoFile(from, to)
            : renameat(from.parent.Get(), from.name.c_str(), to.parent.Get(), to.name.c_str()) != 0)
        return fail();
    // The entry is moved; a spelling that the name cannot take is no failure
    // of the move.
    if (spelled != to.name) RenameNew(to.parent.Get(), to.name, spelled);
    return true;
}

}  // namespace posix
