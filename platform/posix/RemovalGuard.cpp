// Guard mode: the file removed is the file examined.
#include "platform/posix/RemovalGuard.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/random.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <mutex>
#include <unordered_map>

#include "platform/posix/CallHooks.h"
#include "platform/posix/PosixErrors.h"
#include "platform/posix/PosixPaths.h"
#include "platform/posix/RootWalk.h"
#include "platform/posix/WinErrors.h"

namespace posix {
namespace {

struct Identity {
    dev_t entryDevice;
    ino_t entryInode;
    dev_t device;
    ino_t inode;
};

std::mutex g_identityLock;
std::unordered_map<std::string, Identity> g_identities;

// A name for the private folder that nobody else picks by chance.
std::string PrivateName() {
    unsigned long long random = 0;
    if (getrandom(&random, sizeof random, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof random))
        random = static_cast<unsigned long long>(getpid()) * 2654435761ull ^
                 reinterpret_cast<uintptr_t>(&random);
    char name[40];
    std::snprintf(name, sizeof name, ".purgelib-%016llx", random);
    return name;
}

// Removes the private folder when it is still ours and empty.
void RemovePrivate(int parent, const std::string& name, const struct stat& made) {
    struct stat now;
    if (fstatat(parent, name.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 && SameFile(now, made))
        unlinkat(parent, name.c_str(), AT_REMOVEDIR);
}

// Makes the private folder: new, a folder, ours, 0700.
DWORD MakePrivate(int parent, std::string* name, Fd* folder, struct stat* made) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        *name = PrivateName();
        if (mkdirat(parent, name->c_str(), 0700) == 0) break;
        if (errno != EEXIST) return ErrnoToWin32(errno);
        name->clear();
    }
    if (name->empty()) return ERROR_ACCESS_DENIED;
    folder->Reset(openat(parent, name->c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!folder->Valid() || fstat(folder->Get(), made) != 0) return ERROR_ACCESS_DENIED;
    if (!S_ISDIR(made->st_mode) || made->st_uid != geteuid()) {
        // Someone swapped it at once; whatever stands there is not ours.
        folder->Reset();
        return ERROR_ACCESS_DENIED;
    }
    // The umask may have taken more than the group and other bits.
    if ((made->st_mode & 07777) != 0700 && ChangeMode(folder->Get(), 0700) != 0) {
        RemovePrivate(parent, *name, *made);
        return ERROR_ACCESS_DENIED;
    }
    return ERROR_SUCCESS;
}

}  // namespace

bool CheckIdentity(const std::string& key, const struct stat& entry, const struct stat& object,
                   bool record) {
    if (!RemovalGuard()) return true;
    std::lock_guard<std::mutex> guard(g_identityLock);
    auto it = g_identities.find(key);
    if (it == g_identities.end()) {
        if (record)
            g_identities.emplace(
                key, Identity{entry.st_dev, entry.st_ino, object.st_dev, object.st_ino});
        return true;
    }
    const Identity& known = it->second;
    if (known.entryDevice == entry.st_dev && known.entryInode == entry.st_ino &&
        known.device == object.st_dev && known.inode == object.st_ino)
        return true;
    SetLastError(ERROR_FILE_INVALID);
    return false;
}

void ForgetIdentity(const std::string& key) {
    std::lock_guard<std::mutex> guard(g_identityLock);
    g_identities.erase(key);
}

void ForgetIdentities() {
    std::lock_guard<std::mutex> guard(g_identityLock);
    g_identities.clear();
}

DWORD RemoveExamined(int parent, const std::string& name, const struct stat& expected) {
    std::string privateName;
    Fd folder;
    struct stat made;
    DWORD error = MakePrivate(parent, &privateName, &folder, &made);
    if (error != ERROR_SUCCESS) return error;

    ReachedStep("DeleteFileA:move");
    if (renameat2(parent, name.c_str(), folder.Get(), name.c_str(), RENAME_NOREPLACE) != 0) {
        error = ErrnoToWin32(errno);
        RemovePrivate(parent, privateName, made);
        return error;
    }
    // Inside the private folder nobody else can reach the entry any more.
    struct stat moved;
    bool expectedOne = fstatat(folder.Get(), name.c_str(), &moved, AT_SYMLINK_NOFOLLOW) == 0 &&
                       SameFile(moved, expected);
    if (expectedOne) {
        ReachedStep("DeleteFileA:unlink");
        error = unlinkat(folder.Get(), name.c_str(), 0) == 0 ? ERROR_SUCCESS : ErrnoToWin32(errno);
        if (error != ERROR_SUCCESS &&
            renameat2(folder.Get(), name.c_str(), parent, name.c_str(), RENAME_NOREPLACE) != 0)
            return error;  // the examined file stays in the private folder
        RemovePrivate(parent, privateName, made);
        return error;
    }
    // Someone else's file: back where it was, and nothing removed.
    if (renameat2(folder.Get(), name.c_str(), parent, name.c_str(), RENAME_NOREPLACE) != 0) {
        std::string aside = name + privateName;
        if (renameat2(folder.Get(), name.c_str(), parent, aside.c_str(), RENAME_NOREPLACE) != 0)
            return ERROR_FILE_INVALID;  // it stays in the private folder, whole
    }
    RemovePrivate(parent, privateName, made);
    return ERROR_FILE_INVALID;
}

DWORD RemoveEntry(int parent, const std::string& name, const struct stat& entry) {
    if (RemovalGuard()) return RemoveExamined(parent, name, entry);
    ReachedStep("DeleteFileA:unlink");
    return unlinkat(parent, name.c_str(), 0) == 0 ? ERROR_SUCCESS : ErrnoToWin32(errno);
}

}  // namespace posix
