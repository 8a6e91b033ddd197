// The process: its module, the executable's path, the tick count and the
// local time.
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "platform/posix/CallHooks.h"
#include "platform/posix/PosixCodePage.h"
#include "platform/posix/PosixPaths.h"
#include "platform/posix/PosixProcess.h"
#include "platform/posix/WinErrors.h"
#include "platform/posix/WinProcess.h"

namespace {

// The one module this layer knows: the executable.
char g_mainModule;

HMODULE MainModule() {
    return reinterpret_cast<HMODULE>(&g_mainModule);
}

std::string CanonicalDriveRoot() {
    std::string root = posix::DriveRoot();
    char* real = realpath(root.c_str(), nullptr);
    if (real) {
        root = real;
        std::free(real);
    }
    return root;
}

// A host path in Windows form: under the drive root it becomes C:\..., any
// other path Z:\... (Z: is the host's root).
std::string WindowsFormOf(const std::string& host) {
    std::string root = CanonicalDriveRoot();
    std::string win;
    if (root == "/") {
        win = "C:" + host;
    } else if (host.size() > root.size() && host.compare(0, root.size(), root) == 0 &&
               host[root.size()] == '/') {
        win = "C:" + host.substr(root.size());
    } else {
        win = "Z:" + host;
    }
    for (char& ch : win)
        if (ch == '/') ch = '\\';
    return posix::HostNameToAnsi(win);
}

}  // namespace

HMODULE GetModuleHandleA(LPCSTR name) {
    if (!name) return MainModule();
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

DWORD GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size) {
    if (module && module != MainModule()) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    std::string host = posix::ExecutableHostPath();
    if (host.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    if (!buffer || size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::string win = WindowsFormOf(host);
    if (win.size() >= size) {
        std::memcpy(buffer, win.data(), size - 1);
        buffer[size - 1] = '\0';
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    std::memcpy(buffer, win.c_str(), win.size() + 1);
    SetLastError(NO_ERROR);
    return static_cast<DWORD>(win.size());
}

DWORD GetTickCount() {
    DWORD fixed;
    posix::CallHooks* hooks = posix::InstalledHooks();
    if (hooks && hooks->Ticks(&fixed)) return fixed;
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    uint64_t ms =
        static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<DWORD>(ms);
}

void GetLocalTime(LPSYSTEMTIME time) {
    if (!time) return;
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    time_t seconds = now.tv_sec;
    struct tm local;
    std::memset(&local, 0, sizeof local);
    localtime_r(&seconds, &local);
    time->wYear = static_cast<WORD>(local.tm_year + 1900);
    time->wMonth = static_cast<WORD>(local.tm_mon + 1);
    time->wDayOfWeek = static_cast<WORD>(local.tm_wday);
    time->wDay = static_cast<WORD>(local.tm_mday);
    time->wHour = static_cast<WORD>(local.tm_hour);
    time->wMinute = static_cast<WORD>(local.tm_min);
    time->wSecond = static_cast<WORD>(local.tm_sec);
    time->wMilliseconds = static_cast<WORD>(now.tv_nsec / 1000000);
}

namespace posix {

std::string ExecutableHostPath() {
    std::string path(256, '\0');
    for (;;) {
        ssize_t n = readlink("/proc/self/exe", &path[0], path.size());
        if (n < 0) return std::string();
        if (static_cast<size_t>(n) < path.size()) {
            path.resize(static_cast<size_t>(n));
            return path;
        }
        if (path.size() >= 65536) return std::string();
        path.resize(path.size() * 2);
    }
}

}  // namespace posix
