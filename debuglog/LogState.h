// The one process-wide record behind all CDebugFile instances.
#pragma once

#include <atomic>

#include "platform/Windows.h"

namespace debuglog {

// Codes of LogState::stateCode.
enum : int {
    kNoError = 2001,
    kCannotAppend = 2002,
    kCannotRewrite = 2003,
    kNoFileName = 2004,
    kCannotWrite = 2005,
};

constexpr const char* kModuleTag = "QZMPurgeLib";
constexpr const char* kDefaultLogName = "Debug.log";
constexpr int kTraceThreshold = 20;

struct LogState {
    // Counters, codes and switches read or set without the lock are atomic,
    // so several threads may create and destroy library objects and change
    // switches at once. fileHandle, the paths and the write counters are only
    // touched under the shared lock.
    std::atomic<int> stateCode{kNoError};
    int traceThreshold = kTraceThreshold;
    HANDLE fileHandle = INVALID_HANDLE_VALUE;
    std::atomic<int> maxWrites{2147483647};
    std::atomic<int> autoFlush{1};
    std::atomic<const char*> logName{kDefaultLogName};
    char fallbackPath[260] = {};
    char chosenName[260] = {};  // the name given to SetLogName; logName may point here
    CRITICAL_SECTION lock;
    char logPath[256] = {};
    int lineNumber = 0;
    int writesSinceOpen = 0;
    std::atomic<int> lineNumbers{0};
    std::atomic<int> NumOfInstance{0};
    std::atomic<int> tickStamp{0};
    std::atomic<int> enabled{0};
    std::atomic<int> lockReady{0};
    unsigned flushCounter = 0;
    int rotating = 0;  // 1 while WriteRaw re-creates the file after maxWrites writes
};

LogState& Shared();

// Creates the shared lock if it does not exist (safe from several threads).
void CreateSharedLock();
// Retires the shared lock (the Close that closes the log file): lockReady
// drops to 0 and the next constructor makes it ready again. The lock itself
// stays usable until the process ends, because another thread may be about
// to enter it at this moment.
void DestroySharedLock();

// Holds the shared lock for one scope, creating it first when the Close that
// closed the log file retired it.
class SharedLock {
public:
    SharedLock() {
        CreateSharedLock();
        EnterCriticalSection(&Shared().lock);
    }
    ~SharedLock() { LeaveCriticalSection(&Shared().lock); }
    SharedLock(const SharedLock&) = delete;
    SharedLock& operator=(const SharedLock&) = delete;
};

}  // namespace debuglog
