// Windows' rules for opening, reading, writing and closing files (see
// PosixFileRules.h).
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>

#include "platform/posix/PosixErrors.h"
#include "platform/posix/PosixFileRules.h"
#include "platform/posix/Sharing.h"
#include "platform/posix/WinErrors.h"

namespace posix {
namespace {

using Identity = std::pair<dev_t, ino_t>;

struct OpenRecord {
    bool read = false;
    bool write = false;
    bool deleteOnClose = false;
    Identity identity;
    std::string host;
};

std::mutex g_recordLock;
std::unordered_map<int, OpenRecord> g_records;     // by descriptor
std::map<Identity, std::string> g_pendingDeletes;  // flagged handle closed, others still open

bool IsReadOnly(const struct stat& st) {
    return (st.st_mode & S_IWUSR) == 0;
}

// Unlinks host while it still names the file `identity`.
void DeleteIfStill(const std::string& host, const Identity& identity) {
    struct stat st;
    if (lstat(host.c_str(), &st) == 0 && st.st_dev == identity.first &&
        st.st_ino == identity.second)
        unlink(host.c_str());
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
    if (S_ISDIR(st.st_mode)) return ERROR_ACCESS_DENIED;
    const bool newContent = creation == CREATE_ALWAYS || creation == TRUNCATE_EXISTING;
    if (IsReadOnly(st) && (request.write || newContent || request.deleteOnClose))
        return ERROR_ACCESS_DENIED;
    return ERROR_SUCCESS;
}

bool EmptyOpenFile(int fd, const std::string& host) {
    if ((fcntl(fd, F_GETFL) & O_ACCMODE) != O_RDONLY) {
        if (ftruncate(fd, 0) == 0) return true;
        SetLastErrorFromErrno(errno);
        return false;
    }
    // The handle may not write: empty the file through a descriptor of its
    // own, opened on the same file.
    const int writer = open(host.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
    if (writer < 0) {
        SetLastErrorFromErrno(errno);
        return false;
    }
    struct stat opened, now;
    bool same = fstat(fd, &opened) == 0 && fstat(writer, &now) == 0 &&
                opened.st_dev == now.st_dev && opened.st_ino == now.st_ino;
    bool emptied = same && ftruncate(writer, 0) == 0;
    if (!emptied) SetLastErrorFromErrno(same ? errno : ENOENT);
    close(writer);
    return emptied;
}

void RecordOpen(int fd, const OpenRequest& request, const std::string& host) {
    OpenRecord record;
    record.read = request.read;
    record.write = request.write;
    record.deleteOnClose = request.deleteOnClose;
    struct stat st;
    if (fstat(fd, &st) == 0) record.identity = {st.st_dev, st.st_ino};
    if (record.deleteOnClose) record.host = host;
    std::lock_guard<std::mutex> guard(g_recordLock);
    g_records[fd] = std::move(record);
}

void RecordClose(int fd) {
    std::lock_guard<std::mutex> guard(g_recordLock);
    auto it = g_records.find(fd);
    if (it == g_records.end()) return;
    const OpenRecord record = std::move(it->second);
    g_records.erase(it);
    if (record.deleteOnClose) g_pendingDeletes.emplace(record.identity, record.host);
    if (g_pendingDeletes.empty()) return;
    auto pending = g_pendingDeletes.find(record.identity);
    if (pending == g_pendingDeletes.end()) return;
    for (const auto& other : g_records)
        if (other.second.identity == record.identity) return;  // deleted at its close
    DeleteIfStill(pending->second, record.identity);
    g_pendingDeletes.erase(pending);
}

bool Grants(int fd, DataAccess access) {
    std::lock_guard<std::mutex> guard(g_recordLock);
    auto it = g_records.find(fd);
    if (it == g_records.end()) return true;
    return access == DataAccess::kRead ? it->second.read : it->second.write;
}

}  // namespace posix
