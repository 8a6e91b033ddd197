// CreateFileA and the file functions of the POSIX layer.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <mutex>
#include <unordered_set>

#include "platform/posix/CallHooks.h"
#include "platform/posix/PosixErrors.h"
#include "platform/posix/PosixFileRules.h"
#include "platform/posix/PosixFiles.h"
#include "platform/posix/PosixLegacyFiles.h"
#include "platform/posix/PosixMoveRules.h"
#include "platform/posix/PosixPaths.h"
#include "platform/posix/RemovalGuard.h"
#include "platform/posix/RootWalk.h"
#include "platform/posix/Sharing.h"
#include "platform/posix/WinErrors.h"
#include "platform/posix/WinFiles.h"

namespace {

struct PosixFile {
    int fd;
};

std::mutex g_handleLock;
std::unordered_set<PosixFile*> g_handles;

HANDLE Register(int fd) {
    PosixFile* file = new PosixFile{fd};
    std::lock_guard<std::mutex> guard(g_handleLock);
    g_handles.insert(file);
    return file;
}

// Read-only in the Windows sense: the owner may not write.
BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

// Resolves a path for a call that needs an existing entry (or a device, or a
// drive's root, which the caller answers for itself).
bool ResolveExisting(LPCSTR name, posix::ResolvedPath* resolved) {
    DWORD error = ERROR_PATH_NOT_FOUND;
    if (!posix::ResolvePath(name, resolved, &error)) {
        SetLastError(error);
        return false;
    }
    if (resolved->device == posix::Device::kNone && !resolved->isRoot && !resolved->exists) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    return true;
}

// The file an existing path leads to, looked at without opening it (so that
// nothing can wait): an O_PATH descriptor and its status. Last error set on
// failure.
bool Examine(const posix::ResolvedPath& resolved, posix::Fd* fd, struct stat* st) {
    fd->Reset(posix::OpenEntry(resolved, O_PATH));
    if (!fd->Valid() || fstat(fd->Get(), st) != 0) {
        posix::SetLastErrorFromErrno(errno);
        return false;
    }
    return true;
}

// Whether another handle on the regular file behind an existing path denies
// `rights`. A file that cannot be opened to ask holds no handle of ours.
bool DeniedByOthers(const posix::ResolvedPath& resolved, unsigned rights) {
    posix::Fd fd(posix::OpenEntry(resolved, O_RDONLY));
    return fd.Valid() && posix::IsDenied(fd.Get(), rights);
}

// The entry of an existing path as a deletion or move sees it: *entry the
// entry itself (a link is removed or moved, not what it leads to), *object
// what it leads to. Last error set on failure.
bool ExamineEntry(const posix::ResolvedPath& resolved, struct stat* entry, struct stat* object) {
    if (fstatat(resolved.parent.Get(), resolved.name.c_str(), entry, AT_SYMLINK_NOFOLLOW) != 0) {
        posix::SetLastErrorFromErrno(errno);
        return false;
    }
    *object = *entry;
    posix::Fd look;
    return !S_ISLNK(entry->st_mode) || Examine(resolved, &look, object);
}

// Whether the entry may go now: no other handle denies its deletion
// (ERROR_SHARING_VIOLATION otherwise) and, in guard mode, it is the file
// examined before. Last error set when not.
bool MayRemove(const posix::ResolvedPath& resolved, const struct stat& entry,
               const struct stat& object) {
    if (S_ISREG(entry.st_mode) && DeniedByOthers(resolved, posix::kRightDelete)) {
        SetLastError(ERROR_SHARING_VIOLATION);
        return false;
    }
    return posix::CheckIdentity(resolved.key, entry, object, false);
}

}  // namespace

namespace posix {

int HandleDescriptor(HANDLE handle) {
    // An HFILE of OpenFile cast to a HANDLE, as Win32 code does, stands for
    // the handle behind it.
    if (HANDLE own = HandleOfLegacyFile(handle)) handle = own;
    std::lock_guard<std::mutex> guard(g_handleLock);
    auto it = g_handles.find(static_cast<PosixFile*>(handle));
    if (it == g_handles.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return -1;
    }
    return (*it)->fd;
}

long long ReadAt(HANDLE handle, uint64_t offset, void* buffer, size_t n) {
    int fd = HandleDescriptor(handle);
    if (fd < 0) return -1;
    size_t done = 0;
    while (done < n) {
        ssize_t got = pread(fd, static_cast<char*>(buffer) + done, n - done,
                            static_cast<off_t>(offset + done));
        if (got < 0) {
            if (errno == EINTR) continue;
            SetLastErrorFromErrno(errno);
            return -1;
        }
        if (got == 0) break;
        done += static_cast<size_t>(got);
    }
    return static_cast<long long>(done);
}

bool HandleSize(HANDLE handle, uint64_t* size) {
    int fd = HandleDescriptor(handle);
    if (fd < 0) return false;
    struct stat st;
    if (fstat(fd, &st) != 0) {
        SetLastErrorFromErrno(errno);
        return false;
    }
    *size = static_cast<uint64_t>(st.st_size);
    return true;
}

HANDLE OpenForReading(const char* winPath) {
    return CreateFileA(winPath, GENERIC_READ,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace posix

HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES,
                   DWORD creation, DWORD flagsAndAttributes, HANDLE) {
    if (posix::DecidedToFail("CreateFileA")) return INVALID_HANDLE_VALUE;
    posix::OpenRequest request;
    if (DWORD refused = posix::ReadOpenRequest(access, creation, flagsAndAttributes, &request)) {
        SetLastError(refused);
        return INVALID_HANDLE_VALUE;
    }
    posix::ResolvedPath resolved;
    DWORD error = ERROR_PATH_NOT_FOUND;
    if (!posix::ResolvePath(name, &resolved, &error)) {
        SetLastError(error);
        return INVALID_HANDLE_VALUE;
    }
    unsigned rights = request.shareRights;
    bool write = request.write;

    // DOS devices: NUL reads nothing and takes everything; the volumes and the
    // hardware devices are not opened here.
    if (resolved.device == posix::Device::kNul) {
        int fd = open("/dev/null", (write ? O_RDWR : O_RDONLY) | O_CLOEXEC);
        if (fd < 0) {
            posix::SetLastErrorFromErrno(errno);
            return INVALID_HANDLE_VALUE;
        }
        SetLastError(ERROR_SUCCESS);
        posix::RecordOpen(fd, request, nullptr);
        return Register(fd);
    }
    if (resolved.device != posix::Device::kNone) {
        SetLastError(resolved.device == posix::Device::kVolume ? ERROR_ACCESS_DENIED
                                                               : ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }

    struct stat examined = {};
    if (resolved.isRoot) {
        SetLastError(ERROR_ACCESS_DENIED);  // a folder is not opened as a file
        return INVALID_HANDLE_VALUE;
    } else if (resolved.exists) {
        posix::Fd look;
        if (!Examine(resolved, &look, &examined)) return INVALID_HANDLE_VALUE;
        // A folder, pipe, socket or device is not opened as a file (an open
        // of a pipe could wait for ever); nor a read-only file as Windows
        // refuses it (PosixFileRules.h).
        if (DWORD refused = posix::RefusedOpen(examined, creation, request)) {
            SetLastError(refused);
            return INVALID_HANDLE_VALUE;
        }
        if (creation == CREATE_NEW) {
            SetLastError(ERROR_FILE_EXISTS);
            return INVALID_HANDLE_VALUE;
        }
        if (!posix::CheckIdentity(resolved.key, resolved.entry, examined, false))
            return INVALID_HANDLE_VALUE;
    } else if (creation == OPEN_EXISTING || creation == TRUNCATE_EXISTING) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }

    int flags = (write ? O_RDWR : O_RDONLY) | O_CLOEXEC;
    if (flagsAndAttributes & FILE_FLAG_WRITE_THROUGH) flags |= O_DSYNC;
    if (request.appendOnly) flags |= O_APPEND;
    mode_t mode = (flagsAndAttributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0666;
    int fd = resolved.exists ? posix::OpenEntry(resolved, flags)
                             : openat(resolved.parent.Get(), resolved.name.c_str(),
                                      flags | O_CREAT | O_EXCL | O_NOFOLLOW, mode);
    if (fd < 0) {
        posix::SetLastErrorFromErrno(errno);
        return INVALID_HANDLE_VALUE;
    }
    // What was opened must be what was examined: a regular file, and in
    // guard mode the very one.
    struct stat opened;
    if (fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
        close(fd);
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    if (resolved.exists && !posix::SameFile(opened, examined) && posix::RemovalGuard()) {
        close(fd);
        SetLastError(ERROR_FILE_INVALID);
        return INVALID_HANDLE_VALUE;
    }
    if (!posix::AcquireShare(fd, rights, posix::SharedRights(shareMode))) {
        close(fd);
        SetLastError(ERROR_SHARING_VIOLATION);
        return INVALID_HANDLE_VALUE;
    }
    // Truncation only after the sharing test, so a refused open changes nothing.
    bool truncate = resolved.exists && (creation == CREATE_ALWAYS || creation == TRUNCATE_EXISTING);
    if (truncate && !posix::EmptyOpenFile(fd, resolved)) {
        close(fd);
        return INVALID_HANDLE_VALUE;
    }
    // The first open of a path in guard mode records what it found.
    posix::CheckIdentity(resolved.key, resolved.exists ? resolved.entry : opened, opened, true);
    // Like Windows: success, with ERROR_ALREADY_EXISTS when an "always" mode
    // found the file.
    bool always = creation == CREATE_ALWAYS || creation == OPEN_ALWAYS;
    SetLastError(resolved.exists && always ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    posix::RecordOpen(fd, request, &resolved);
    return Register(fd);
}

BOOL CloseHandle(HANDLE handle) {
    PosixFile* file = static_cast<PosixFile*>(handle);
    {
        std::lock_guard<std::mutex> guard(g_handleLock);
        if (g_handles.erase(file) == 0) return Fail(ERROR_INVALID_HANDLE);
    }
    posix::RecordClose(file->fd);
    close(file->fd);
    delete file;
    return TRUE;
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read, LPVOID) {
    if (read) *read = 0;
    int fd = posix::HandleDescriptor(file);
    if (fd < 0) return FALSE;
    if (!posix::Grants(fd, posix::DataAccess::kRead)) return Fail(ERROR_ACCESS_DENIED);
    if (toRead > 0 && !buffer) return Fail(ERROR_NOACCESS);
    DWORD done = 0;
    while (done < toRead) {
        ssize_t got = ::read(fd, static_cast<char*>(buffer) + done, toRead - done);
        if (got < 0) {
            if (errno == EINTR) continue;
            posix::SetLastErrorFromErrno(errno);
            return FALSE;
        }
        if (got == 0) break;
        done += static_cast<DWORD>(got);
    }
    if (read) *read = done;
    return TRUE;
}

DWORD GetFileAttributesA(LPCSTR name) {
    DWORD answer;
    posix::CallHooks* hooks = posix::InstalledHooks();
    if (hooks && hooks->Answer("GetFileAttributesA", &answer)) return answer;
    posix::ResolvedPath resolved;
    if (!ResolveExisting(name, &resolved)) return INVALID_FILE_ATTRIBUTES;
    if (resolved.device == posix::Device::kVolume) return FILE_ATTRIBUTE_DIRECTORY;
    if (resolved.device != posix::Device::kNone) return FILE_ATTRIBUTE_ARCHIVE;  // as Windows NT
    posix::Fd look;
    struct stat st;
    if (!Examine(resolved, &look, &st)) return INVALID_FILE_ATTRIBUTES;
    return posix::AttributesOf(st);  // st is the link's target, never a link
}

BOOL SetFileAttributesA(LPCSTR name, DWORD attributes) {
    BOOL forced;
    if (posix::Decided("SetFileAttributesA", &forced)) return forced;
    posix::ResolvedPath resolved;
    if (!ResolveExisting(name, &resolved)) return FALSE;
    if (resolved.device != posix::Device::kNone) return Fail(ERROR_ACCESS_DENIED);
    if (resolved.isRoot) return TRUE;
    posix::Fd look;
    struct stat st;
    if (!Examine(resolved, &look, &st)) return FALSE;
    if (S_ISDIR(st.st_mode)) return TRUE;  // hidden and system do not exist here
    if (!S_ISREG(st.st_mode)) return Fail(ERROR_ACCESS_DENIED);
    if (!posix::CheckIdentity(resolved.key, resolved.entry, st, false)) return FALSE;
    mode_t mode = st.st_mode & 07777;
    mode = (attributes & FILE_ATTRIBUTE_READONLY) ? (mode & ~0222u) : (mode | S_IWUSR);
    if (mode == (st.st_mode & 07777)) return TRUE;
    // Another name of the same file may lie anywhere, outside the drive root
    // too: in guard mode such a file is not changed.
    if (posix::RemovalGuard() && st.st_nlink > 1) return Fail(ERROR_ACCESS_DENIED);
    posix::ReachedStep("SetFileAttributesA:chmod");
    // Through the descriptor: the file examined, whatever its name is now.
    int failed = posix::ChangeMode(look.Get(), mode);
    if (failed != 0) return Fail(posix::ErrnoToWin32(failed));
    return TRUE;
}

BOOL DeleteFileA(LPCSTR name) {
    BOOL forced;
    if (posix::Decided("DeleteFileA", &forced)) return forced;
    posix::ResolvedPath resolved;
    if (!ResolveExisting(name, &resolved)) return FALSE;
    if (resolved.device != posix::Device::kNone || resolved.isRoot)
        return Fail(ERROR_ACCESS_DENIED);
    struct stat entry, object;
    if (!ExamineEntry(resolved, &entry, &object)) return FALSE;
    // A folder, pipe, socket or device is not deleted as a file.
    if (!S_ISREG(object.st_mode) || posix::IsReadOnly(object)) return Fail(ERROR_ACCESS_DENIED);
    if (!MayRemove(resolved, entry, object)) return FALSE;
    DWORD error = posix::RemoveEntry(resolved.parent.Get(), resolved.name, entry);
    if (error != ERROR_SUCCESS) return Fail(error);
    posix::ForgetIdentity(resolved.key);
    return TRUE;
}

BOOL MoveFileExA(LPCSTR existing, LPCSTR newName, DWORD flags) {
    if (posix::CallHooks* hooks = posix::InstalledHooks()) {
        BOOL forced;
        if (hooks->Decide("MoveFileExA", &forced)) {
            if (forced) hooks->Moved(existing);
            return forced;
        }
    }
    // Nothing here carries out work at the next restart of a Windows system.
    if (flags & MOVEFILE_DELAY_UNTIL_REBOOT) return Fail(ERROR_NOT_SUPPORTED);
    if (!newName) return Fail(ERROR_INVALID_PARAMETER);
    posix::ResolvedPath from, to;
    if (!ResolveExisting(existing, &from)) return FALSE;
    DWORD error = ERROR_PATH_NOT_FOUND;
    if (!posix::ResolvePath(newName, &to, &error)) return Fail(error);
    if (from.device != posix::Device::kNone || to.device != posix::Device::kNone || from.isRoot ||
        to.isRoot)
        return Fail(ERROR_ACCESS_DENIED);
    // A move onto the same entry renames it at most (a change of letter case).
    const bool self = posix::IsSameEntry(from, to);
    if (to.exists && !self && !(flags & MOVEFILE_REPLACE_EXISTING))
        return Fail(ERROR_ALREADY_EXISTS);
    struct stat entry, object;
    if (!ExamineEntry(from, &entry, &object)) return FALSE;
    if (!MayRemove(from, entry, object)) return FALSE;
    if (to.exists && !self) {
        if (DWORD refused = posix::RefusedReplace(to)) return Fail(refused);
    }
    if (!posix::MoveEntry(from, to, posix::SpelledName(to, newName), self, &error))
        return Fail(error);
    posix::ForgetIdentity(from.key);
    posix::ForgetIdentity(to.key);
    return TRUE;
}
