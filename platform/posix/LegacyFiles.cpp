// OpenFile, _lread, _llseek and _lclose on top of CreateFileA handles.
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/posix/CallHooks.h"
#include "platform/posix/PosixErrors.h"
#include "platform/posix/PosixFiles.h"
#include "platform/posix/PosixLegacyFiles.h"
#include "platform/posix/WinErrors.h"
#include "platform/posix/WinFiles.h"
#include "platform/posix/WinLegacyFiles.h"

namespace {

constexpr UINT kAccessMask = 0x0003u;
constexpr UINT kShareMask = 0x0070u;

// HFILE numbers are slots of this table plus one; a free slot holds null.
std::mutex g_slotLock;
std::vector<HANDLE> g_slots;

HFILE Attach(HANDLE handle) {
    std::lock_guard<std::mutex> guard(g_slotLock);
    for (size_t i = 0; i < g_slots.size(); ++i) {
        if (!g_slots[i]) {
            g_slots[i] = handle;
            return static_cast<HFILE>(i + 1);
        }
    }
    g_slots.push_back(handle);
    return static_cast<HFILE>(g_slots.size());
}

HANDLE HandleOf(HFILE file) {
    std::lock_guard<std::mutex> guard(g_slotLock);
    if (file <= 0 || static_cast<size_t>(file) > g_slots.size()) return nullptr;
    return g_slots[static_cast<size_t>(file) - 1];
}

HANDLE Detach(HFILE file) {
    std::lock_guard<std::mutex> guard(g_slotLock);
    if (file <= 0 || static_cast<size_t>(file) > g_slots.size()) return nullptr;
    HANDLE handle = g_slots[static_cast<size_t>(file) - 1];
    g_slots[static_cast<size_t>(file) - 1] = nullptr;
    return handle;
}

// Share mode of CreateFileA for an OF_SHARE_* style; false for an unknown one.
// Compatibility mode lets others read and write, as on Windows NT.
bool ShareModeOf(UINT style, DWORD* shareMode) {
    switch (style & kShareMask) {
        case OF_SHARE_COMPAT:
        case OF_SHARE_DENY_NONE:
            *shareMode = FILE_SHARE_READ | FILE_SHARE_WRITE;
            return true;
        case OF_SHARE_EXCLUSIVE:
            *shareMode = 0;
            return true;
        case OF_SHARE_DENY_WRITE:
            *shareMode = FILE_SHARE_READ;
            return true;
        case OF_SHARE_DENY_READ:
            *shareMode = FILE_SHARE_WRITE;
            return true;
        default:
            return false;
    }
}

HFILE Refuse(LPOFSTRUCT info, DWORD error) {
    SetLastError(error);
    if (info) info->nErrCode = static_cast<WORD>(error);
    return HFILE_ERROR;
}

}  // namespace

namespace posix {

HANDLE HandleOfLegacyFile(HANDLE handle) {
    const intptr_t value = reinterpret_cast<intptr_t>(handle);
    if (value <= 0 || value > INT_MAX) return nullptr;
    return HandleOf(static_cast<HFILE>(value));
}

}  // namespace posix

HFILE OpenFile(LPCSTR fileName, LPOFSTRUCT info, UINT style) {
    if (info) {
        std::memset(info, 0, sizeof *info);
        info->cBytes = static_cast<BYTE>(sizeof *info);
        info->fFixedDisk = 1;
        if (fileName) {
            std::strncpy(info->szPathName, fileName, OFS_MAXPATHNAME - 1);
            info->szPathName[OFS_MAXPATHNAME - 1] = '\0';
        }
    }
    if (posix::DecidedToFail("OpenFile")) return Refuse(info, GetLastError());
    DWORD shareMode = 0;
    UINT access = style & kAccessMask;
    if ((style & ~(kAccessMask | kShareMask)) != 0 || access == kAccessMask ||
        !ShareModeOf(style, &shareMode))
        return Refuse(info, ERROR_NOT_SUPPORTED);
    if (!fileName) return Refuse(info, ERROR_PATH_NOT_FOUND);

    DWORD rights = access == OF_READ    ? GENERIC_READ
                   : access == OF_WRITE ? GENERIC_WRITE
                                        : GENERIC_READ | GENERIC_WRITE;
    HANDLE handle = CreateFileA(fileName, rights, shareMode, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return Refuse(info, GetLastError());
    SetLastError(ERROR_SUCCESS);
    return Attach(handle);
}

UINT _lread(HFILE file, LPVOID buffer, UINT bytes) {
    const UINT failed = static_cast<UINT>(HFILE_ERROR);
    if (posix::DecidedToFail("_lread")) return failed;
    HANDLE handle = HandleOf(file);
    if (!handle) {
        SetLastError(ERROR_INVALID_HANDLE);
        return failed;
    }
    // The count must stay distinguishable from HFILE_ERROR.
    if (bytes == failed) --bytes;
    DWORD done = 0;
    if (!ReadFile(handle, buffer, bytes, &done, nullptr)) return failed;
    return done;
}

LONG _llseek(HFILE file, LONG offset, int origin) {
    if (posix::DecidedToFail("_llseek")) return HFILE_ERROR;
    HANDLE handle = HandleOf(file);
    int fd = handle ? posix::HandleDescriptor(handle) : -1;
    if (fd < 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return HFILE_ERROR;
    }
    off_t base = 0;
    if (origin == 1)
        base = lseek(fd, 0, SEEK_CUR);
    else if (origin == 2)
        base = lseek(fd, 0, SEEK_END);
    else if (origin != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return HFILE_ERROR;
    }
    if (base < 0) {
        posix::SetLastErrorFromErrno(errno);
        return HFILE_ERROR;
    }
    off_t target = base + offset;
    if (target < 0) {
        SetLastError(ERROR_NEGATIVE_SEEK);
        return HFILE_ERROR;
    }
    if (lseek(fd, target, SEEK_SET) < 0) {
        posix::SetLastErrorFromErrno(errno);
        return HFILE_ERROR;
    }
    SetLastError(ERROR_SUCCESS);
    // Like the Windows call, the low 32 bits of the new position.
    return static_cast<LONG>(static_cast<DWORD>(target));
}

HFILE _lclose(HFILE file) {
    HANDLE handle = Detach(file);
    if (!handle) {
        SetLastError(ERROR_INVALID_HANDLE);
        return HFILE_ERROR;
    }
    return CloseHandle(handle) ? 0 : HFILE_ERROR;
}
