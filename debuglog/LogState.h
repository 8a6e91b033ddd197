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
    // Counters and codes read without the lock by Open and Close are atomic,
    // so several threads may create and destroy library objects at once.
    std::atomic<int> stateCode{kNoError};
    int traceThreshold = kTraceThreshold;
    HANDLE fileHandle = INVALID_HANDLE_VALUE;
    int maxWrites = 2147483647;
    std::atomic<int> autoFlush{1};
    std::atomic<const char*> logName{kDefaultLogName};
    char fallbackPath[260] = {};
    CRITICAL_SECTION lock;
    char logPath[256] = {};
    int lineNumber = 0;
    int writesSinceOpen = 0;
    int lineNumbers = 0;
    std::atomic<int> NumOfInstance{0};
    int tickStamp = 0;
    std::atomic<int> enabled{0};
    std::atomic<int> lockReady{0};
    unsigned flushCounter = 0;
};

LogState& Shared();

// Creates the shared lock if it does not exist (safe from several threads).
void CreateSharedLock();
// Destroys the shared lock (the Close that closes the log file).
void DestroySharedLock();

}  // namespace debuglog
