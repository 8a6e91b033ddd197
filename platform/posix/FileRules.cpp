// Windows' rules for opening, reading, writing and closing files (see
// PosixFileRules.h).
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>

#include "platform/posix/PosixErrors.h"
#include "platform/posix/PosixFileRules.h"
#include "platform/posix/RemovalGuard.h"
#include "platform/posix/Sharing.h"
#include "platform/posix/WinErrors.h"

namespace posix {
namespace {

using Identity = std::pair<dev_t, ino_t>;

// Where a file to delete at its last close lies: its folder (a descriptor
// inside the drive root, as the path resolved) and its name there, with the
// path's guard record.
struct DeletePlace {
    std::shared_ptr<Fd> parent;
    std::string name;
    std::string key;
};

struct OpenRecord {
    bool read = false;
    bool write = false;
    Identity identity;
    std::shared_ptr<DeletePlace> deleteOnClose;  // null: the handle deletes nothing
};

std::mutex g_recordLock;
std::unordered_map<int, OpenRecord> g_records;  // by descriptor
// Files whose flagged handle has closed while other handles were open.
std::map<Identity, std::shared_ptr<DeletePlace>> g_pendingDeletes;

// Deletes the entry while it is still the file `identity`, as DeleteFileA
// would (in guard mode through the private folder).
void DeleteIfStill(const DeletePlace& place, const Identity& identity) {
    struct stat entry;
    const int parent = place.parent->Get();
    if (fstatat(parent, place.name.c_str(), &entry, AT_SYMLINK_NOFOLLOW) != 0 ||
        entry.st_dev != identity.first || entry.st_ino != identity.second)
        return;
    if (RemoveEntry(parent, place.name, entry) == ERROR_SUCCESS) ForgetIdentity(place.key);
}

}  // namespace

DWORD ReadOpenRequest(DWORD access, DWORD creation, DWORD flags, OpenRequest* request) {
    if (creation < CREATE_NEW || creation > TRUNCATE_EXISTING) return ERROR_INVALID_PARAMETER;
    if (creation == TRUNCATE_EXISTING && !(access & GENERIC_WRITE)) return ERROR_INVALID_PARAMETER;
    *request = OpenRequest();
    request->deleteOnClose = (flags & FILE_FLAG_DELETE_ON_CLOSE) != 0;
    if (request->deleteOnClose) access |= DELETE;
    const DWORD rights = FileRightsOf(access);
    request->shareRights = RightsOf(access);
    request->read = (rights & FILE_READ_DATA) != 0;
    request->write = (rights & (FILE_WRITE_DATA | FILE_APPEND_DATA)) != 0;
    request->appendOnly = (rights & FILE_APPEND_DATA) && !(rights & FILE_WRITE_DATA);
    return ERROR_SUCCESS;
}

DWORD RefusedOpen(const struct stat& st, DWORD creation, const OpenRequest& request) {
    if (!S_ISREG(st.st_mode)) return ERROR_ACCESS_DENIED;
    const bool newContent = creation == CREATE_ALWAYS || creation == TRUNCATE_EXISTING;
    if (IsReadOnly(st) && (request.write || newContent || request.deleteOnClose))
        return ERROR_ACCESS_DENIED;
    return ERROR_SUCCESS;
}

bool EmptyOpenFile(int fd, const ResolvedPath& path) {
    if ((fcntl(fd, F_GETFL) & O_ACCMODE) != O_RDONLY) {
        if (ftruncate(fd, 0) == 0) return true;
        SetLastErrorFromErrno(errno);
        return false;
    }
    // The handle may not write: empty the file through a descriptor of its
    // own, opened on the same entry, when it is still the same file.
    Fd writer(OpenEntry(path, O_WRONLY | O_NONBLOCK));
    if (!writer.Valid()) {
        SetLastErrorFromErrno(errno);
        return false;
    }
    struct stat opened, now;
    const bool same =
        fstat(fd, &opened) == 0 && fstat(writer.Get(), &now) == 0 && SameFile(opened, now);
    if (!same) {
        SetLastError(ERROR_FILE_INVALID);
        return false;
    }
    if (ftruncate(writer.Get(), 0) != 0) {
        SetLastErrorFromErrno(errno);
        return false;
    }
    return true;
}

void RecordOpen(int fd, const OpenRequest& request, const ResolvedPath* path) {
    OpenRecord record;
    record.read = request.read;
    record.write = request.write;
    struct stat st;
    if (fstat(fd, &st) == 0) record.identity = {st.st_dev, st.st_ino};
    if (request.deleteOnClose && path && path->parent.Valid()) {
        auto place = std::make_shared<DeletePlace>();
        place->parent = std::make_shared<Fd>(fcntl(path->parent.Get(), F_DUPFD_CLOEXEC, 0));
        place->name = path->name;
        place->key = path->key;
        if (place->parent->Valid()) record.deleteOnClose = place;
    }
    std::lock_guard<std::mutex> guard(g_recordLock);
    g_records[fd] = std::move(record);
}

void RecordClose(int fd) {
    std::lock_guard<std::mutex> guard(g_recordLock);
    auto it = g_records.find(fd);
    if (it == g_records.end()) return;
    const OpenRecord record = std::move(it->second);
    g_records.erase(it);
    if (record.deleteOnClose) g_pendingDeletes.emplace(record.identity, record.deleteOnClose);
    if (g_pendingDeletes.empty()) return;
    auto pending = g_pendingDeletes.find(record.identity);
    if (pending == g_pendingDeletes.end()) return;
    for (const auto& other : g_records)
        if (other.second.identity == record.identity) return;  // deleted at its close
    DeleteIfStill(*pending->second, record.identity);
    g_pendingDeletes.erase(pending);
}

bool Grants(int fd, DataAccess access) {
    std::lock_guard<std::mutex> guard(g_recordLock);
    auto it = g_records.find(fd);
    if (it == g_records.end()) return true;
    return access == DataAccess::kRead ? it->second.read : it->second.write;
}

}  // namespace posix
