// The shared log state and the life of its lock.
#include "debuglog/LogState.h"

#include <mutex>

namespace debuglog {
namespace {
// Guards the creation of the shared lock itself.
std::mutex g_lockLifecycle;
bool g_lockMade = false;
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
        if (!g_lockMade) {
            InitializeCriticalSection(&log.lock);
            g_lockMade = true;
        }
        log.lockReady.store(1, std::memory_order_release);
    }
}

void DestroySharedLock() {
    LogState& log = Shared();
    std::lock_guard<std::mutex> guard(g_lockLifecycle);
    log.lockReady.store(0, std::memory_order_release);
}

}  // namespace debuglog
