// The way into the shared log state for the tests of the other folders: they
// record a failure of the log or lower the trace threshold through these and
// put the old value back. The state itself stays private to debuglog and its
// own tests.
#pragma once

#include "debuglog/LogState.h"

namespace logtest {

// The state code a failed open of an existing log records (2003).
constexpr int kCannotRewrite = debuglog::kCannotRewrite;

// Sets the shared state code and returns the one it replaced.
inline int ExchangeStateCode(int code) {
    return debuglog::Shared().stateCode.exchange(code);
}

// Sets the level below which the level-taking traces are dropped and returns
// the one it replaced.
inline int ExchangeTraceThreshold(int threshold) {
    int previous = debuglog::Shared().traceThreshold;
    debuglog::Shared().traceThreshold = threshold;
    return previous;
}

}  // namespace logtest
