// CDebugOutput: the formatting buffer of one CDebugFile and its way to the
// debugger channel.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "debuglog/DebugFile.h"
#include "debuglog/Listeners.h"
#include "debuglog/LogState.h"

namespace {

constexpr unsigned kFirstCapacity = 1024;
constexpr unsigned kGrowthCap = 10240;

// A zeroed allocation of `capacity` + 1 bytes, or null.
char* NewText(unsigned capacity) {
    return static_cast<char*>(std::calloc(static_cast<size_t>(capacity) + 1, 1));
}

}  // namespace

void CDebugOutput::Init() {
    lockReady = 0;
    text = nullptr;
    capacity = 0;
    allocation = 0;
    tagOverhead = static_cast<unsigned>(std::strlen(debuglog::kModuleTag)) + 3;
    Prepare();
}

void CDebugOutput::Prepare() {
    if (!lockReady) {
        InitializeCriticalSection(&lock);
        lockReady = 1;
    }
    if (!text) {
        text = NewText(kFirstCapacity);
        if (text) {
            capacity = kFirstCapacity;
            allocation = kFirstCapacity + 1;
        }
    }
}

int CDebugOutput::Format(const char* format, va_list args) {
    if (!text) {
        text = NewText(kFirstCapacity);
        if (!text) return -1;
        capacity = kFirstCapacity;
        allocation = kFirstCapacity + 1;
    }
    std::memset(text, 0, allocation);
    for (;;) {
        va_list copy;
        va_copy(copy, args);
        int needed = std::vsnprintf(text, static_cast<size_t>(capacity) + 1, format, copy);
        va_end(copy);
        if (needed >= 0 && static_cast<unsigned>(needed) <= capacity) return needed;
        unsigned next = capacity * 3 / 2 + 1;
        if (next >= kGrowthCap) return -1;  // keeps the text cut at the current capacity
        char* grown = NewText(next);
        if (!grown) return -1;
        std::free(text);
        text = grown;
        capacity = next;
        allocation = next + 1;
    }
}

void CDebugOutput::Output(int takeLock) {
    if (!lockReady) Prepare();
    if (takeLock) EnterCriticalSection(&lock);
    if (!text || !*text) {
        if (!text) {
            text = NewText(kFirstCapacity);
            if (text) {
                capacity = kFirstCapacity;
                allocation = kFirstCapacity + 1;
            }
        }
        if (text) std::strcpy(text, "?");
    }
    if (text) {
        size_t length = std::strlen(text);
        unsigned id = static_cast<unsigned>(GetCurrentThreadId());
        int prefixed = std::snprintf(nullptr, 0, "[%s,0x%x] %s", debuglog::kModuleTag, id, text);
        unsigned next = capacity > length + tagOverhead ? capacity : capacity + tagOverhead;
        // Room for the whole prefixed text even when the thread id needs more
        // digits than the overhead counts.
        unsigned bytes = next + 1;
        if (prefixed >= 0 && static_cast<unsigned>(prefixed) + 1 > bytes)
            bytes = static_cast<unsigned>(prefixed) + 1;
        char* out = static_cast<char*>(std::calloc(bytes, 1));
        if (out) {
            std::snprintf(out, bytes, "[%s,0x%x] %s", debuglog::kModuleTag, id, text);
            std::free(text);
            text = out;
            capacity = next;
            allocation = bytes;
        }
        // Also with a log file open, the channel is spared texts nobody hears.
        if (debuglog::DebuggerListens()) OutputDebugStringA(text);
    }
    if (takeLock) LeaveCriticalSection(&lock);
}

void CDebugOutput::Print(const char* format, ...) {
    Prepare();
    EnterCriticalSection(&lock);
    if (format) {
        va_list args;
        va_start(args, format);
        Format(format, args);
        va_end(args);
    }
    Output(0);
    LeaveCriticalSection(&lock);
}

void CDebugOutput::Release() {
    if (lockReady) {
        DeleteCriticalSection(&lock);
        lockReady = 0;
    }
    std::free(text);
    text = nullptr;
    capacity = 0;
    allocation = 0;
    tagOverhead = 0;
}
