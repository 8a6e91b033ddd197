#include "platform/posix/TestHooks.h"

#include <atomic>
#include <map>
#include <mutex>

#include "platform/posix/WinFiles.h"

namespace posix {
namespace {

struct Forced {
    bool succeed;
    DWORD error;
};

std::mutex g_lock;
std::map<std::string, Forced> g_forced;
std::map<std::string, DWORD> g_values;
std::vector<std::string> g_moves;
std::atomic<unsigned> g_flushes{0};
std::atomic<bool> g_tickFixed{false};
std::atomic<DWORD> g_fixedTicks{0};

}  // namespace

void ForceFailure(const char* function, DWORD error) {
    std::lock_guard<std::mutex> guard(g_lock);
    g_forced[function] = Forced{false, error};
}

void ForceSuccess(const char* function) {
    std::lock_guard<std::mutex> guard(g_lock);
    g_forced[function] = Forced{true, 0};
}

void ForceValue(const char* function, DWORD value) {
    std::lock_guard<std::mutex> guard(g_lock);
    g_values[function] = value;
}

void ClearForced() {
    std::lock_guard<std::mutex> guard(g_lock);
    g_forced.clear();
    g_values.clear();
    g_moves.clear();
}

std::vector<std::string> ForcedMoves() {
    std::lock_guard<std::mutex> guard(g_lock);
    return g_moves;
}

bool IsForced(const char* function, BOOL* result) {
    std::lock_guard<std::mutex> guard(g_lock);
    if (g_forced.empty()) return false;
    auto it = g_forced.find(function);
    if (it == g_forced.end()) return false;
    *result = it->second.succeed ? TRUE : FALSE;
    if (!it->second.succeed) SetLastError(it->second.error);
    return true;
}

bool IsForcedValue(const char* function, DWORD* value) {
    std::lock_guard<std::mutex> guard(g_lock);
    auto it = g_values.find(function);
    if (it == g_values.end()) return false;
    *value = it->second;
    return true;
}

void RecordForcedMove(const char* source) {
    std::lock_guard<std::mutex> guard(g_lock);
    g_moves.push_back(source ? source : "");
}

unsigned FlushCount() {
    return g_flushes.load();
}
void ResetFlushCount() {
    g_flushes.store(0);
}
void RecordFlush() {
    g_flushes.fetch_add(1);
}

void SetTickCountForTest(DWORD ticks) {
    g_fixedTicks.store(ticks);
    g_tickFixed.store(true);
}

void ClearTickCountForTest() {
    g_tickFixed.store(false);
}

bool FixedTickCount(DWORD* ticks) {
    if (!g_tickFixed.load()) return false;
    *ticks = g_fixedTicks.load();
    return true;
}

}  // namespace posix
