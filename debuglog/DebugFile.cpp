// CDebugFile: construction, instance counting and its report, the opening
// step of the library's owners, error codes and the trace operations that
// feed the debugger channel.
#include "debuglog/DebugFile.h"

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>

#include "debuglog/Listeners.h"
#include "debuglog/LogState.h"

using debuglog::DebuggerListens;
using debuglog::Shared;
using debuglog::SharedLock;

namespace {

bool EndsInNewline(const char* text) {
    size_t length = std::strlen(text);
    return length > 0 && text[length - 1] == '\n';
}

// Whether a trace reaches anyone; the caller holds the shared lock.
bool TraceHeard() {
    const debuglog::LogState& log = Shared();
    return log.fileHandle != INVALID_HANDLE_VALUE || DebuggerListens();
}

}  // namespace

CDebugFile::CDebugFile() {
    m_output.Init();
    debuglog::CreateSharedLock();
    m_fallback = 0;
    m_header = 1;
    m_counted = 0;
}

CDebugFile::~CDebugFile() {
    Close(nullptr);
    m_output.Release();
}

int CDebugFile::Open(const char* name, int rewrite, int reserved) {
    debuglog::LogState& log = Shared();
    if (log.stateCode.load() != debuglog::kNoError) return 0;
    {
        SharedLock guard;
        if (!m_fallback) {
            ++log.NumOfInstance;
            ++m_counted;
        }
    }
    if (!log.enabled.load()) return 1;
    return OpenLogFile(name, rewrite, reserved);
}

int CDebugFile::Close(const char* note) {
    debuglog::LogState& log = Shared();
    if (log.NumOfInstance.load() == 0) return 0;
    // Counting down, the test for the open file and the closing run under one
    // hold of the lock, so no other thread can attach to a file that is about
    // to be closed, or take the count below zero.
    SharedLock guard;
    if (log.NumOfInstance.load() == 0) return 0;
    // Only what this instance's own Open counted is counted down (m_counted).
    if (m_counted == 0) return 0;
    --m_counted;
    bool last = --log.NumOfInstance == 0;
    if (log.fileHandle == INVALID_HANDLE_VALUE) return 0;
    if (!last) return 1;
    return CloseLogFile(note);
}

CDebugFile* CDebugFile::OpenForOwner(int* opened, const char* openedTrace) {
    *opened = 0;
    CDebugFile* log = new (std::nothrow) CDebugFile;
    if (!log) return nullptr;
    *opened = log->Open(Shared().logName.load(), 1, 0);
    if (*opened && openedTrace) log->TraceLineLevel(1, "%s", openedTrace);
    // Switched on whatever Open returned. The switch is process-wide, so an
    // owner created after someone switched it off finds it on again, also
    // when its log is not available. (A CFileSearch opens its own log after
    // its two CStr members, which have switched it on already; it needs
    // nothing else.)
    log->SetAutoFlush(1);
    return log;
}

int CDebugFile::AnyoneListens() {
    if (Shared().enabled.load() || DebuggerListens()) return 1;
    SharedLock guard;
    return Shared().fileHandle != INVALID_HANDLE_VALUE ? 1 : 0;
}

int CDebugFile::ShowInstances() {
    // The whole address, also where pointers are wider than an unsigned.
    TraceLine("CDebugFile(0x%" PRIxPTR ") NumOfInstance = %i", reinterpret_cast<uintptr_t>(this),
              Shared().NumOfInstance.load());
    return 1;
}

int CDebugFile::IsOpen() {
    SharedLock guard;
    return Shared().fileHandle != INVALID_HANDLE_VALUE ? 1 : 0;
}

int CDebugFile::GetErrorCode() {
    return Shared().stateCode.load();
}

int CDebugFile::GetErrorText(char* buffer) {
    if (!buffer) return 1;
    const size_t kBufferSize = 33;
    int code = Shared().stateCode.load();
    const char* text = nullptr;
    switch (code) {
        case debuglog::kNoError:
            text = "No Error occured!";
            break;
        case debuglog::kCannotAppend:
            text = "Cannot open File to append!";
            break;
        case debuglog::kCannotRewrite:
            text = "Cannot open File to rewrite!";
            break;
        case debuglog::kNoFileName:
            text = "No filename specified!";
            break;
        case debuglog::kCannotWrite:
            text = "Could not write file! Disk full?";
            break;
        default:
            break;
    }
    if (text)
        std::snprintf(buffer, kBufferSize, "%s", text);
    else
        std::snprintf(buffer, kBufferSize, "Unknown error code: %d", code);
    return 1;
}

void CDebugFile::TraceBody(const char* format, va_list args, bool lineEnd, bool ensureNewline,
                           const char* nullFile, const char* nullDebug) {
    SharedLock guard;
    // Without a log file and a listener the text would go nowhere.
    if (!TraceHeard()) return;
    if (format && *format) {
        m_output.Format(format, args);
        if (m_output.text) {
            WriteRaw(m_output.text, 1);
            if (lineEnd) WriteRaw("\r\n", 0);
            size_t length = std::strlen(m_output.text);
            if (ensureNewline && !EndsInNewline(m_output.text) && length < m_output.capacity)
                std::strcat(m_output.text, "\n");
        }
        m_output.Output(1);
    } else {
        WriteRaw(nullFile, 1);
        m_output.Print(nullDebug);
    }
}

int CDebugFile::TraceLevel(int level, const char* format, ...) {
    if (level < Shared().traceThreshold) return 1;
    va_list args;
    va_start(args, format);
    TraceBody(format, args, false, true, "NULL", "NULL\n");
    va_end(args);
    return 1;
}

int CDebugFile::Trace(const char* format, ...) {
    va_list args;
    va_start(args, format);
    TraceBody(format, args, false, false, "NULL", "NULL");
    va_end(args);
    return 1;
}

int CDebugFile::TraceLine(const char* format, ...) {
    va_list args;
    va_start(args, format);
    TraceBody(format, args, true, true, "NULL\r\n", "NULL");
    va_end(args);
    return 1;
}

int CDebugFile::TraceLineLevel(int level, const char* format, ...) {
    if (level < Shared().traceThreshold) return 1;
    va_list args;
    va_start(args, format);
    TraceBody(format, args, true, true, "NULL\r\n", "NULL\n");
    va_end(args);
    return 1;
}
