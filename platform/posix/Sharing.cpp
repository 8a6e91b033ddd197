#include "platform/posix/Sharing.h"

#include <fcntl.h>

namespace posix {
namespace {

constexpr off_t kBase = static_cast<off_t>(1) << 62;
constexpr unsigned kRights[3] = {kRightRead, kRightWrite, kRightDelete};

off_t AccessByte(int i) {
    return kBase + i;
}
off_t DenyByte(int i) {
    return kBase + 3 + i;
}
off_t OpenByte() {
    return kBase + 6;
}

bool HeldByOthers(int fd, off_t byte) {
    struct flock probe = {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    probe.l_start = byte;
    probe.l_len = 1;
    if (fcntl(fd, F_OFD_GETLK, &probe) != 0) return false;  // no locks here: nothing to honour
    return probe.l_type != F_UNLCK;
}

bool Take(int fd, off_t byte, short type) {
    struct flock lock = {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = byte;
    lock.l_len = 1;
    return fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

bool Conflicts(int fd, unsigned rights, unsigned shared) {
    for (int i = 0; i < 3; ++i) {
        if ((rights & kRights[i]) && HeldByOthers(fd, DenyByte(i))) return true;
        if (!(shared & kRights[i]) && HeldByOthers(fd, AccessByte(i))) return true;
    }
    return false;
}

}  // namespace

DWORD FileRightsOf(DWORD access) {
    const DWORD data = FILE_READ_DATA | FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_EXECUTE;
    DWORD rights = access & (data | DELETE);
    if (access & GENERIC_READ) rights |= FILE_READ_DATA;
    if (access & GENERIC_WRITE) rights |= FILE_WRITE_DATA | FILE_APPEND_DATA;
    if (access & GENERIC_EXECUTE) rights |= FILE_EXECUTE;
    if (access & GENERIC_ALL) rights |= data | DELETE;
    return rights;
}

unsigned RightsOf(DWORD access) {
    const DWORD file = FileRightsOf(access);
    unsigned rights = 0;
    if (file & (FILE_READ_DATA | FILE_EXECUTE)) rights |= kRightRead;
    if (file & (FILE_WRITE_DATA | FILE_APPEND_DATA)) rights |= kRightWrite;
    if (file & DELETE) rights |= kRightDelete;
    return rights;
}

unsigned SharedRights(DWORD shareMode) {
    unsigned shared = 0;
    if (shareMode & FILE_SHARE_READ) shared |= kRightRead;
    if (shareMode & FILE_SHARE_WRITE) shared |= kRightWrite;
    if (shareMode & FILE_SHARE_DELETE) shared |= kRightDelete;
    return shared;
}

bool AcquireShare(int fd, unsigned rights, unsigned shared) {
    // An open without read, write or delete rights is not subject to sharing,
    // as on Windows; it only tells others that the file is open.
    if (rights != 0) {
        if (Conflicts(fd, rights, shared)) return false;
        for (int i = 0; i < 3; ++i) {
            if (rights & kRights[i]) Take(fd, AccessByte(i), F_RDLCK);
            if (!(shared & kRights[i])) Take(fd, DenyByte(i), F_RDLCK);
        }
        // Two opens may have passed the test at the same moment: look again
        // now that our own locks are visible, and step back on a conflict.
        if (Conflicts(fd, rights, shared)) {
            struct flock all = {};
            all.l_type = F_UNLCK;
            all.l_whence = SEEK_SET;
            all.l_start = kBase;
            all.l_len = 6;
            fcntl(fd, F_OFD_SETLK, &all);
            return false;
        }
    }
    Take(fd, OpenByte(), F_RDLCK);
    return true;
}

bool IsDenied(int fd, unsigned rights) {
    for (int i = 0; i < 3; ++i)
        if ((rights & kRights[i]) && HeldByOthers(fd, DenyByte(i))) return true;
    return false;
}

bool IsOpenElsewhere(int fd) {
    return HeldByOthers(fd, OpenByte());
}

}  // namespace posix
