#include "debuglog/LogState.h"

#include <mutex>

namespace debuglog {
namespace {
// Guards the creation and destruction of the shared lock itself.
std::mutex g_lockLifecycle;
}  // namespace

LogState& Shared() {
    static LogState state;
    return state;
}

void CreateSharedLock() {
    LogState& log = Shared();
    if (log.lockReady.load(std::memory_order_acquire)) return;
    std::lock_guard<std::mutex> guard(g_lockLifecycle);
    if (!log.lockReady.load(std::memory_order_relaxed)) {
        InitializeCriticalSection(&log.lock);
        log.lockReady.store(1, std::memory_order_release);
    }
}

void DestroySharedLock() {
    LogState& log = Shared();
    std::lock_guard<std::mutex> guard(g_lockLifecycle);
    if (log.lockReady.load(std::memory_order_relaxed)) {
        log.lockReady.store(0, std::memory_order_release);
        DeleteCriticalSection(&log.lock);
    }
}

}  // namespace debuglog
