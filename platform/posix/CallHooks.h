// The seam through which a test program steers the layer's calls: it can
// decide the result of a named call, hand out a value instead of asking the
// host, count flushes and hold the tick count still. Only test programs
// install hooks; the shipped tool never does, so each call pays one pointer
// test for the seam and nothing else.
#pragma once

#include <atomic>

#include "platform/posix/WinTypes.h"

namespace posix {

class CallHooks {
public:
    // True when the hooks decide `function` ("DeleteFileA", "_lread", ...):
    // *result is then the call's answer, and a failing answer has set the
    // last error. The call does nothing else.
    virtual bool Decide(const char* function, BOOL* result) = 0;
    // True when the hooks hand out *value as the answer of `function`
    // (GetFileAttributesA), for states the host cannot have.
    virtual bool Answer(const char* function, DWORD* value) = 0;
    // A decided MoveFileExA that answered success, with its source.
    virtual void Moved(const char* source) = 0;
    // A FlushFileBuffers that answered success.
    virtual void Flushed() = 0;
    // True with *ticks set while the tick count is held still.
    virtual bool Ticks(DWORD* ticks) = 0;
    // The layer is about to take the step `point` ("DeleteFileA:move", ...;
    // see the callers of ReachedStep): a test can change the file system
    // here, as another process could at that moment.
    virtual void Reached(const char* point) { (void)point; }

protected:
    ~CallHooks() = default;
};

namespace detail {
extern std::atomic<CallHooks*> g_callHooks;
}

// The installed hooks, or null (always null in the shipped tool).
inline CallHooks* InstalledHooks() {
    return detail::g_callHooks.load(std::memory_order_acquire);
}

// Null removes them. The hooks must outlive every call that may use them.
void InstallHooks(CallHooks* hooks);

// The layer's questions, each one pointer test when nothing is installed.
inline bool Decided(const char* function, BOOL* result) {
    CallHooks* hooks = InstalledHooks();
    return hooks && hooks->Decide(function, result);
}

// Tells the hooks that the step `point` comes next.
inline void ReachedStep(const char* point) {
    if (CallHooks* hooks = InstalledHooks()) hooks->Reached(point);
}

// True when `function` was decided to fail (the last error is set then).
inline bool DecidedToFail(const char* function) {
    BOOL result = TRUE;
    return Decided(function, &result) && !result;
}

}  // namespace posix
