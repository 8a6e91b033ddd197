// Lookups confined to a root: the kernel's openat2 where it has it, else a
// walk of our own with the same rules.
#include "platform/posix/RootWalk.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <deque>
#include <vector>

#include "platform/posix/CallHooks.h"

namespace posix {
namespace {

// As many links as Linux follows in one lookup.
constexpr int kMaxLinks = 40;
// openat2 answers EAGAIN when a rename elsewhere raced with a ".." step;
// the lookup is simply tried again.
constexpr int kRenameRetries = 16;

enum KernelState : int { kUnknown, kAvailable, kMissing };
std::atomic<int> g_kernel{kUnknown};

int KernelOpen(int root, const std::string& path, int flags, mode_t mode) {
    struct open_how how = {};
    how.flags = static_cast<unsigned long long>(flags | O_CLOEXEC);
    how.mode = (flags & (O_CREAT | O_TMPFILE)) ? mode : 0;
    how.resolve = RESOLVE_IN_ROOT | RESOLVE_NO_MAGICLINKS;
    const char* name = path.empty() ? "." : path.c_str();
    for (int attempt = 0;; ++attempt) {
        long fd = syscall(SYS_openat2, root, name, &how, sizeof how);
        if (fd >= 0) return static_cast<int>(fd);
        if (errno != EAGAIN || attempt >= kRenameRetries) return -1;
    }
}

// Whether this kernel has openat2; asked once. A kernel without it answers
// ENOSYS, a sandbox that filters unknown calls may answer EPERM.
bool KernelHasOpenat2(int root) {
    int state = g_kernel.load(std::memory_order_acquire);
    if (state == kUnknown) {
        int fd = KernelOpen(root, ".", O_PATH | O_DIRECTORY, 0);
        if (fd >= 0) close(fd);
        state = (fd < 0 && (errno == ENOSYS || errno == EPERM)) ? kMissing : kAvailable;
        g_kernel.store(state, std::memory_order_release);
    }
    return state == kAvailable;
}

void Split(const std::string& path, std::deque<std::string>* parts, bool front) {
    std::vector<std::string> found;
    size_t start = 0;
    while (start <= path.size()) {
        size_t slash = path.find('/', start);
        if (slash == std::string::npos) slash = path.size();
        if (slash > start) found.push_back(path.substr(start, slash - start));
        start = slash + 1;
    }
    if (front)
        parts->insert(parts->begin(), found.begin(), found.end());
    else
        parts->insert(parts->end(), found.begin(), found.end());
}

// The target of the link `name` in `dir` ("" with fd of the link itself).
bool ReadLink(int dir, const char* name, std::string* target) {
    std::vector<char> buffer(256);
    for (;;) {
        ssize_t n = readlinkat(dir, name, buffer.data(), buffer.size());
        if (n < 0) return false;
        if (static_cast<size_t>(n) < buffer.size()) {
            target->assign(buffer.data(), static_cast<size_t>(n));
            return true;
        }
        if (buffer.size() >= 65536) {
            errno = ENAMETOOLONG;
            return false;
        }
        buffer.resize(buffer.size() * 2);
    }
}

// The walk of our own: every component is opened with O_NOFOLLOW from the
// descriptor of its folder; a link is read and its target put in place of it
// (from the root when absolute); ".." steps back to the folder the walk came
// from, and never above the root. The folders on the way are kept open, so
// ".." never asks the host for a parent.
int OwnOpen(int root, const std::string& path, int flags, mode_t mode) {
    std::vector<Fd> folders;  // below the root; the root itself is not owned here
    auto top = [&]() { return folders.empty() ? root : folders.back().Get(); };
    std::deque<std::string> pending;
    Split(path, &pending, false);
    int links = 0;
    auto follow = [&](const std::string& target) {
        if (++links > kMaxLinks) {
            errno = ELOOP;
            return false;
        }
        if (!target.empty() && target[0] == '/') folders.clear();
        Split(target, &pending, true);
        return true;
    };
    const int lastFlags = (flags & ~O_DIRECTORY) | O_NOFOLLOW | O_CLOEXEC;
    while (!pending.empty()) {
        std::string part = pending.front();
        pending.pop_front();
        if (part == ".") continue;
        if (part == "..") {
            if (!folders.empty()) folders.pop_back();
            continue;
        }
        std::string target;
        if (!pending.empty()) {
            Fd next(openat(top(), part.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
            if (!next.Valid()) return -1;
            struct stat st;
            if (fstat(next.Get(), &st) != 0) return -1;
            if (S_ISLNK(st.st_mode)) {
                if (!ReadLink(next.Get(), "", &target) || !follow(target)) return -1;
                continue;
            }
            if (!S_ISDIR(st.st_mode)) {
                errno = ENOTDIR;
                return -1;
            }
            folders.push_back(std::move(next));
            continue;
        }
        // The last component: opened as asked, unless it is a link.
        Fd last(openat(top(), part.c_str(), lastFlags, mode));
        if (!last.Valid()) {
            if (errno != ELOOP) return -1;
            if (!ReadLink(top(), part.c_str(), &target)) {
                errno = ELOOP;
                return -1;
            }
            if (!follow(target)) return -1;
            continue;
        }
        struct stat st;
        if (fstat(last.Get(), &st) != 0) return -1;
        if (S_ISLNK(st.st_mode)) {  // only with O_PATH: the link itself was opened
            if (!ReadLink(last.Get(), "", &target) || !follow(target)) return -1;
            continue;
        }
        if ((flags & O_DIRECTORY) && !S_ISDIR(st.st_mode)) {
            errno = ENOTDIR;
            return -1;
        }
        return last.Release();
    }
    // The path ended in the root or a folder on the way ("", ".", "a/..").
    return openat(top(), ".", (flags & ~O_CREAT) | O_CLOEXEC);
}

}  // namespace

void Fd::Reset(int fd) {
    if (m_fd >= 0) close(m_fd);
    m_fd = fd;
}

bool KernelResolvesInRoot() {
    if (DecidedToFail("openat2")) return false;
    Fd root(open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
    return root.Valid() && KernelHasOpenat2(root.Get());
}

int OpenInRoot(int root, const std::string& path, int flags, mode_t mode) {
    if (!DecidedToFail("openat2") && KernelHasOpenat2(root))
        return KernelOpen(root, path, flags, mode);
    return OwnOpen(root, path, flags, mode);
}

int ChangeMode(int fd, mode_t mode) {
    if (fchmod(fd, mode) == 0) return 0;
    if (errno != EBADF) return errno;
    // A descriptor opened with O_PATH: the file it stands for, through the
    // process's own descriptor table.
    char self[64];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
    if (chmod(self, mode) == 0) return 0;
    return errno == ENOENT ? ENOTSUP : errno;
}

}  // namespace posix
