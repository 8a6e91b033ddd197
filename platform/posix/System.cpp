// Locks, thread ids, the debugger channel and the message box.
#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <new>
#include <string>

#include "platform/posix/PosixCodePage.h"
#include "platform/posix/Sinks.h"
#include "platform/posix/WinSystem.h"

static_assert(sizeof(pthread_mutex_t) <= sizeof(CRITICAL_SECTION::opaque),
              "CRITICAL_SECTION must hold a pthread mutex");

namespace {

pthread_mutex_t* MutexOf(LPCRITICAL_SECTION section) {
    return reinterpret_cast<pthread_mutex_t*>(section->opaque);
}

std::atomic<posix::DebugSink> g_debugSink{nullptr};
std::atomic<void*> g_debugContext{nullptr};
std::atomic<bool> g_debugListener{false};
std::atomic<posix::MessageSink> g_messageSink{nullptr};
std::atomic<void*> g_messageContext{nullptr};

void WriteAll(int fd, const std::string& text) {
    const char* p = text.data();
    size_t left = text.size();
    while (left > 0) {
        ssize_t n = write(fd, p, left);
        if (n <= 0) return;
        p += n;
        left -= static_cast<size_t>(n);
    }
}

}  // namespace

void InitializeCriticalSection(LPCRITICAL_SECTION section) {
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(new (section->opaque) pthread_mutex_t, &attr);
    pthread_mutexattr_destroy(&attr);
}

void EnterCriticalSection(LPCRITICAL_SECTION section) {
    pthread_mutex_lock(MutexOf(section));
}
void LeaveCriticalSection(LPCRITICAL_SECTION section) {
    pthread_mutex_unlock(MutexOf(section));
}
void DeleteCriticalSection(LPCRITICAL_SECTION section) {
    pthread_mutex_destroy(MutexOf(section));
}

DWORD GetCurrentThreadId() {
    return static_cast<DWORD>(syscall(SYS_gettid));
}

void OutputDebugStringA(LPCSTR text) {
    if (!text) return;
    if (posix::DebugSink sink = g_debugSink.load()) {
        sink(text, g_debugContext.load());
        return;
    }
    // Nobody listens: dropped before any conversion, at next to no cost.
    if (!g_debugListener.load(std::memory_order_relaxed)) return;
    WriteAll(STDERR_FILENO, posix::AnsiToUtf8Text(text, std::strlen(text)));
}

int MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT type) {
    if (posix::MessageSink sink = g_messageSink.load()) {
        sink(text ? text : "", caption ? caption : "", type, g_messageContext.load());
        return IDOK;
    }
    std::string out;
    const char* c = caption ? caption : "";
    const char* t = text ? text : "";
    out += posix::AnsiToUtf8Text(c, std::strlen(c));
    out += '\n';
    out += posix::AnsiToUtf8Text(t, std::strlen(t));
    out += '\n';
    WriteAll(STDOUT_FILENO, out);
    return IDOK;
}

namespace posix {

void SetDebugSink(DebugSink sink, void* context) {
    g_debugContext.store(context);
    g_debugSink.store(sink);
}

void SetMessageSink(MessageSink sink, void* context) {
    g_messageContext.store(context);
    g_messageSink.store(sink);
}

void SetDebugListener(bool on) {
    g_debugListener.store(on);
}

bool DebugListening() {
    return g_debugSink.load(std::memory_order_relaxed) != nullptr ||
           g_debugListener.load(std::memory_order_relaxed);
}

}  // namespace posix
