// Who hears the debugger channel (Listeners.h).
#include "debuglog/Listeners.h"

#ifdef _WIN32
#include <atomic>

#include "platform/Windows.h"
#else
#include "platform/posix/Sinks.h"
#endif

namespace debuglog {

#ifdef _WIN32
namespace {

constexpr DWORD kMonitorRecheckMs = 500;

// Wine's ntdll answers for the flags of its debug channels; the export is
// missing on Windows. OutputDebugStringA prints on "debugstr" as a warning.
bool WineChannelPrints() {
    struct Channel {
        unsigned char flags;
        char name[15];
    };
    typedef unsigned char(__cdecl * ChannelFlags)(Channel*);
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    FARPROC proc = ntdll ? GetProcAddress(ntdll, "__wine_dbg_get_channel_flags") : nullptr;
    if (!proc) return false;
    Channel channel = {0, "debugstr"};
    const unsigned char kWarnings = 1 << 2;
    ChannelFlags flags = reinterpret_cast<ChannelFlags>(reinterpret_cast<void*>(proc));
    return (flags(&channel) & kWarnings) != 0;
}

// A debug monitor owns the buffer OutputDebugStringA writes into.
bool MonitorPresent() {
    HANDLE buffer = OpenFileMappingA(FILE_MAP_WRITE, FALSE, "DBWIN_BUFFER");
    if (!buffer) return false;
    CloseHandle(buffer);
    return true;
}

}  // namespace

bool DebuggerListens() {
    if (IsDebuggerPresent()) return true;
    static const bool wine = WineChannelPrints();
    if (wine) return true;
    static std::atomic<int> monitor{-1};  // -1: not asked yet
    static std::atomic<DWORD> askedAt{0};
    const DWORD now = GetTickCount();
    int known = monitor.load(std::memory_order_relaxed);
    if (known < 0 || now - askedAt.load(std::memory_order_relaxed) >= kMonitorRecheckMs) {
        known = MonitorPresent() ? 1 : 0;
        askedAt.store(now, std::memory_order_relaxed);
        monitor.store(known, std::memory_order_relaxed);
    }
    return known == 1;
}
#else
bool DebuggerListens() {
    return posix::DebugListening();
}
#endif

}  // namespace debuglog
