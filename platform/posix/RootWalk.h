// Host descriptors and lookups confined to a root folder.
//
// Drive C: is a folder of the host, but a Windows volume has no way out of
// its root: ".." ends there, and a symbolic link's absolute target is read
// from the volume's own root. OpenInRoot resolves host paths with exactly
// those rules, starting from a descriptor of the root, so that no lookup of
// the layer can reach a file outside it, whatever links or ".." the tree
// holds. On Linux the kernel does this itself (openat2 with RESOLVE_IN_ROOT);
// where it cannot (a kernel without openat2), an own walk does the same one
// component at a time, never letting the kernel follow a link.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <string>

namespace posix {

// Whether two stat results are of one file (device and inode).
inline bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// An owned host descriptor, closed with the object.
class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd() { Reset(); }
    Fd(Fd&& other) noexcept : m_fd(other.Release()) {}
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;

    int Get() const { return m_fd; }
    bool Valid() const { return m_fd >= 0; }
    int Release() {
        int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    void Reset(int fd = -1);

private:
    int m_fd = -1;
};

// Opens `path` ('/'-separated host names, leading '/' allowed) below the
// folder `root` as if it were "/": ".." stops at the root, and symbolic links
// (absolute ones read from the root) are followed inside it, magic links of
// /proc never. `flags` are open(2) flags (O_PATH to look only); O_CLOEXEC is
// added. "" or "." is the root itself. Returns the descriptor, or -1 with
// errno set (ELOOP after too many links).
int OpenInRoot(int root, const std::string& path, int flags, mode_t mode = 0);

// Whether OpenInRoot leaves the walk to the kernel (openat2). False on a
// kernel without it, and while a test program has forced the layer's own walk
// (the call "openat2" decided to fail through CallHooks.h).
bool KernelResolvesInRoot();

// The descriptor's file mode changed to `mode`, also when fd was opened with
// O_PATH (the file itself, never a link it was reached through). 0, or errno.
int ChangeMode(int fd, mode_t mode);

}  // namespace posix
