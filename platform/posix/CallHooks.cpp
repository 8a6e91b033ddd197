#include "platform/posix/CallHooks.h"

namespace posix {

namespace detail {
std::atomic<CallHooks*> g_callHooks{nullptr};
}

void InstallHooks(CallHooks* hooks) {
    detail::g_callHooks.store(hooks, std::memory_order_release);
}

}  // namespace posix
