#include "tests/support/ForcedCalls.h"

#include <atomic>
#include <map>
#include <mutex>

#include "platform/posix/CallHooks.h"
#include "platform/posix/WinErrors.h"

namespace posix {
namespace {

struct Forced {
    bool succeed;
    DWORD error;
};

class ForcedCalls final : public CallHooks {
public:
    bool Decide(const char* function, BOOL* result) override {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_forced.empty()) return false;
        auto it = m_forced.find(function);
        if (it == m_forced.end()) return false;
        *result = it->second.succeed ? TRUE : FALSE;
        if (!it->second.succeed) SetLastError(it->second.error);
        return true;
    }

    bool Answer(const char* function, DWORD* value) override {
        std::lock_guard<std::mutex> guard(m_lock);
        auto it = m_values.find(function);
        if (it == m_values.end()) return false;
        *value = it->second;
        return true;
    }

    void Moved(const char* source) override {
        std::lock_guard<std::mutex> guard(m_lock);
        m_moves.push_back(source ? source : "");
    }

    void Flushed() override { m_flushes.fetch_add(1); }

    void Reached(const char* point) override {
        std::function<void(const std::string&)> action;
        {
            std::lock_guard<std::mutex> guard(m_lock);
            action = m_step;
        }
        if (action) action(point);
    }

    bool Ticks(DWORD* ticks) override {
        if (!m_tickFixed.load()) return false;
        *ticks = m_fixedTicks.load();
        return true;
    }

    std::mutex m_lock;
    std::map<std::string, Forced> m_forced;
    std::map<std::string, DWORD> m_values;
    std::vector<std::string> m_moves;
    std::function<void(const std::string&)> m_step;
    std::atomic<unsigned> m_flushes{0};
    std::atomic<bool> m_tickFixed{false};
    std::atomic<DWORD> m_fixedTicks{0};
};

// Installed once and kept for the life of the process, so that no call of
// the layer during the process's end meets destroyed hooks.
ForcedCalls& Hooks() {
    static ForcedCalls* hooks = [] {
        ForcedCalls* made = new ForcedCalls;
        InstallHooks(made);
        return made;
    }();
    return *hooks;
}

// From the start of a test program that uses any of this, so that flushes
// are counted from the start.
const bool g_installedAtStart = (Hooks(), true);

}  // namespace

void ForceFailure(const char* function, DWORD error) {
    ForcedCalls& hooks = Hooks();
    std::lock_guard<std::mutex> guard(hooks.m_lock);
    hooks.m_forced[function] = Forced{false, error};
}

void ForceSuccess(const char* function) {
    ForcedCalls& hooks = Hooks();
    std::lock_guard<std::mutex> guard(hooks.m_lock);
    hooks.m_forced[function] = Forced{true, 0};
}

void ForceValue(const char* function, DWORD value) {
    ForcedCalls& hooks = Hooks();
    std::lock_guard<std::mutex> guard(hooks.m_lock);
    hooks.m_values[function] = value;
}

void ClearForced() {
    ForcedCalls& hooks = Hooks();
    std::lock_guard<std::mutex> guard(hooks.m_lock);
    hooks.m_forced.clear();
    hooks.m_values.clear();
    hooks.m_moves.clear();
    hooks.m_step = nullptr;
}

void OnStep(std::function<void(const std::string& point)> action) {
    ForcedCalls& hooks = Hooks();
    std::lock_guard<std::mutex> guard(hooks.m_lock);
    hooks.m_step = std::move(action);
}

std::vector<std::string> ForcedMoves() {
    ForcedCalls& hooks = Hooks();
    std::lock_guard<std::mutex> guard(hooks.m_lock);
    return hooks.m_moves;
}

unsigned FlushCount() {
    return Hooks().m_flushes.load();
}

void ResetFlushCount() {
    Hooks().m_flushes.store(0);
}

void SetTickCountForTest(DWORD ticks) {
    ForcedCalls& hooks = Hooks();
    hooks.m_fixedTicks.store(ticks);
    hooks.m_tickFixed.store(true);
}

void ClearTickCountForTest() {
    Hooks().m_tickFixed.store(false);
}

}  // namespace posix
