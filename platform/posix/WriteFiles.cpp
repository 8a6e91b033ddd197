// Writing, positioning and flushing open files.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "platform/posix/CallHooks.h"
#include "platform/posix/PosixErrors.h"
#include "platform/posix/PosixFileRules.h"
#include "platform/posix/PosixFiles.h"
#include "platform/posix/WinErrors.h"
#include "platform/posix/WinWriteFiles.h"

namespace {

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

BOOL Flush(HANDLE file) {
    int fd = posix::HandleDescriptor(file);
    if (fd < 0) return FALSE;
    if (fsync(fd) != 0) {
        posix::SetLastErrorFromErrno(errno);
        return FALSE;
    }
    return TRUE;
}

}  // namespace

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, LPDWORD written, LPVOID) {
    if (written) *written = 0;
    BOOL forced;
    if (posix::Decided("WriteFile", &forced)) {
        if (forced && written) *written = toWrite;
        return forced;
    }
    int fd = posix::HandleDescriptor(file);
    if (fd < 0) return FALSE;
    if (!posix::Grants(fd, posix::DataAccess::kWrite)) return Fail(ERROR_ACCESS_DENIED);
    if (toWrite > 0 && !buffer) return Fail(ERROR_INVALID_USER_BUFFER);
    const char* bytes = static_cast<const char*>(buffer);
    DWORD done = 0;
    while (done < toWrite) {
        ssize_t n = ::write(fd, bytes + done, toWrite - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            posix::SetLastErrorFromErrno(errno);
            if (written) *written = done;
            return FALSE;
        }
        if (n == 0) {
            if (written) *written = done;
            return Fail(ERROR_DISK_FULL);
        }
        done += static_cast<DWORD>(n);
    }
    if (written) *written = done;
    return TRUE;
}

DWORD GetFileSize(HANDLE file, LPDWORD high) {
    uint64_t size = 0;
    if (!posix::HandleSize(file, &size)) return INVALID_FILE_SIZE;
    if (high) *high = static_cast<DWORD>(size >> 32);
    SetLastError(NO_ERROR);
    return static_cast<DWORD>(size & 0xFFFFFFFFu);
}

DWORD SetFilePointer(HANDLE file, LONG distance, PLONG high, DWORD method) {
    int fd = posix::HandleDescriptor(file);
    if (fd < 0) return INVALID_SET_FILE_POINTER;
    int whence;
    switch (method) {
        case FILE_BEGIN:
            whence = SEEK_SET;
            break;
        case FILE_CURRENT:
            whence = SEEK_CUR;
            break;
        case FILE_END:
            whence = SEEK_END;
            break;
        default:
            Fail(ERROR_INVALID_PARAMETER);
            return INVALID_SET_FILE_POINTER;
    }
    // Without a high part the distance is a signed 32-bit move.
    int64_t move =
        high ? static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(*high)) << 32) |
                                    static_cast<uint32_t>(distance))
             : static_cast<int64_t>(distance);
    off_t position = lseek(fd, static_cast<off_t>(move), whence);
    if (position < 0) {
        if (errno == EINVAL)
            Fail(ERROR_NEGATIVE_SEEK);
        else
            posix::SetLastErrorFromErrno(errno);
        return INVALID_SET_FILE_POINTER;
    }
    uint64_t now = static_cast<uint64_t>(position);
    if (high) *high = static_cast<LONG>(static_cast<uint32_t>(now >> 32));
    SetLastError(NO_ERROR);
    return static_cast<DWORD>(now & 0xFFFFFFFFu);
}

BOOL FlushFileBuffers(HANDLE file) {
    if (posix::CallHooks* hooks = posix::InstalledHooks()) {
        BOOL flushed;
        if (!hooks->Decide("FlushFileBuffers", &flushed)) flushed = Flush(file);
        if (flushed) hooks->Flushed();
        return flushed;
    }
    return Flush(file);
}
