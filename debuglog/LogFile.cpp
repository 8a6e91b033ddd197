// The log file sink of CDebugFile: opening the shared log (with a numbered
// file when another process holds it), closing it, the writer through which
// every byte reaches it, and the time-stamped lines.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "debuglog/DebugFile.h"
#include "debuglog/LogState.h"

using debuglog::Shared;
using debuglog::SharedLock;

namespace {

constexpr const char* kOtherInstance = "Eine weitere Instanz der Applikation wurde gefunden!";
constexpr int kNumberedFiles = 100;
constexpr unsigned kFlushAfter = 100;  // a flush follows every 102nd write
constexpr size_t kTickDigits = 8;      // the tick prefix shows the last 8 digits

// Creates or opens a log file for writing, unshared, with the system's
// critical-error dialog suppressed so that a failure only returns an invalid
// handle.
HANDLE CreateLogFile(const char* path, DWORD creation, DWORD flags) {
    UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS);
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, creation, flags, nullptr);
    SetErrorMode(previous);
    return file;
}

// The last folder separator of a log name ('\\' or, as everywhere on
// Windows, '/'), or null for a plain name.
const char* LastSeparator(const char* name) {
    const char* backslash = std::strrchr(name, '\\');
    const char* slash = std::strrchr(name, '/');
    return backslash > slash ? backslash : slash;
}

// The full path of the log named `name` into out (size bytes with the
// terminator): a name with a folder separator is a path of its own, any other
// name lies in the Windows directory. False when the path does not fit.
bool ResolveLogPath(const char* name, char* out, size_t size) {
    size_t nameLength = std::strlen(name);
    if (LastSeparator(name)) {
        if (nameLength >= size) return false;
        std::memcpy(out, name, nameLength + 1);
        return true;
    }
    UINT dirLength = GetWindowsDirectoryA(out, static_cast<UINT>(size));
    if (dirLength == 0 || dirLength >= size) return false;
    bool separator = out[dirLength - 1] != '\\';
    if (dirLength + (separator ? 1 : 0) + nameLength >= size) return false;
    if (separator) out[dirLength++] = '\\';
    std::memcpy(out + dirLength, name, nameLength + 1);
    return true;
}

// Moves the file position to the end, so that an existing log is appended to.
void SeekToEnd(HANDLE file) {
    DWORD high = 0;
    DWORD low = GetFileSize(file, &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return;
    LONG highMove = static_cast<LONG>(high);
    SetFilePointer(file, static_cast<LONG>(low), &highMove, FILE_BEGIN);
}

// The tick count as the prefix shows it: signed decimal, at most its last
// eight characters.
void TickText(char* out, size_t size) {
    char all[16];
    std::snprintf(all, sizeof all, "%d", static_cast<int>(GetTickCount()));
    size_t length = std::strlen(all);
    const char* shown = length >= kTickDigits ? all + length - kTickDigits : all;
    std::snprintf(out, size, "%s", shown);
}

}  // namespace

int CDebugFile::OpenLogFile(const char* name, int rewrite, int reserved) {
    debuglog::LogState& log = Shared();
    SharedLock guard;
    if (log.fileHandle != INVALID_HANDLE_VALUE) return 1;
    if (!name || !*name) {
        log.stateCode = debuglog::kNoFileName;
        return 0;
    }
    // Resolved into a copy first: name may be logPath itself (the rotation).
    char path[sizeof log.logPath];
    HANDLE file = INVALID_HANDLE_VALUE;
    if (ResolveLogPath(name, path, sizeof path)) {
        std::memcpy(log.logPath, path, std::strlen(path) + 1);
        file = CreateLogFile(path, rewrite ? CREATE_ALWAYS : OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH);
    }
    if (file == INVALID_HANDLE_VALUE) {
        // Another user holds the current log (or it does not exist for
        // appending): go on in a numbered file, once per instance. A name
        // too long for the path buffer is refused here as well.
        if (std::strcmp(name, log.logName.load()) != 0 || m_fallback) {
            log.stateCode = debuglog::kCannotRewrite;
            return 0;
        }
        m_fallback = 1;
        if (!CreateNumberedFile()) {
            log.stateCode = debuglog::kCannotWrite;
            return 0;
        }
        if (!Open(log.logName.load(), 1, reserved)) return 0;
        if (m_header) WriteStamp(kOtherInstance, nullptr);
        return 1;
    }
    log.fileHandle = file;
    SeekToEnd(file);
    if (m_header) {
        WriteStamp("open", nullptr);
        WriteHeaderLine();
    }
    return 1;
}

int CDebugFile::CreateNumberedFile() {
    debuglog::LogState& log = Shared();
    SharedLock guard;
    // The numbered files of a plain log name lie in the Windows directory and
    // are named after it ("Debug1.log"); those of a log named by a path lie
    // beside it, with its separator ("C:\logs\run1.log"), and that path
    // becomes the log name. The name is copied out first: logName may point
    // into fallbackPath, which the new name replaces.
    char name[sizeof log.fallbackPath];
    std::snprintf(name, sizeof name, "%s", log.logName.load());
    char dir[MAX_PATH];
    char separator = '\\';
    char* base = name;
    if (const char* last = LastSeparator(name)) {
        size_t at = static_cast<size_t>(last - name);
        separator = name[at];
        name[at] = '\0';
        std::snprintf(dir, sizeof dir, "%s", name);
        base = name + at + 1;
    } else {
        UINT dirLength = GetWindowsDirectoryA(dir, sizeof dir);
        if (dirLength == 0 || dirLength >= sizeof dir) return 0;
    }
    if (char* dot = std::strrchr(base, '.')) *dot = '\0';
    for (int i = 1; i <= kNumberedFiles; ++i) {
        char candidate[sizeof log.fallbackPath];
        int length =
            std::snprintf(candidate, sizeof candidate, "%s%c%s%i.log", dir, separator, base, i);
        if (length < 0 || static_cast<size_t>(length) >= sizeof candidate) continue;
        HANDLE file = CreateLogFile(candidate, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL);
        if (file == INVALID_HANDLE_VALUE) continue;
        CloseHandle(file);
        std::memcpy(log.fallbackPath, candidate, static_cast<size_t>(length) + 1);
        log.logName = base == name ? std::strrchr(log.fallbackPath, '\\') + 1 : log.fallbackPath;
        return 1;
    }
    return 0;
}

int CDebugFile::SetLogName(const char* name) {
    debuglog::LogState& log = Shared();
    if (!name || !*name || std::strlen(name) >= sizeof log.chosenName) return 0;
    SharedLock guard;
    if (log.fileHandle != INVALID_HANDLE_VALUE) return 0;
    std::memcpy(log.chosenName, name, std::strlen(name) + 1);
    log.logName = log.chosenName;
    return 1;
}

int CDebugFile::CloseLogFile(const char* note) {
    debuglog::LogState& log = Shared();
    SharedLock guard;
    if (m_header) {
        WriteHeaderLine();
        WriteStamp("close", note);
    }
    debuglog::DestroySharedLock();
    if (log.fileHandle != INVALID_HANDLE_VALUE) CloseHandle(log.fileHandle);
    log.fileHandle = INVALID_HANDLE_VALUE;
    m_fallback = 0;
    return 1;
}

void CDebugFile::WriteHeaderLine() {
    char exe[256] = {};
    DWORD length = GetModuleFileNameA(GetModuleHandleA(nullptr), exe, sizeof exe);
    if (length == 0) exe[0] = '\0';
    exe[sizeof exe - 1] = '\0';
    WriteRaw("LogFile from: ", 1);
    WriteRaw(exe, 0);
    WriteRaw("\r\n", 0);
}

void CDebugFile::RotateLogFile() {
    debuglog::LogState& log = Shared();
    log.writesSinceOpen = 0;
    CloseHandle(log.fileHandle);
    log.fileHandle = INVALID_HANDLE_VALUE;
    m_fallback = 0;
    // The file steps of Open with the same path, without counting this
    // instance a second time: the last Close must still close the file. The
    // header writes of the new file do not start another rotation.
    if (log.stateCode.load() != debuglog::kNoError || !log.enabled.load()) return;
    char path[sizeof log.logPath];
    std::memcpy(path, log.logPath, sizeof path);
    log.rotating = 1;
    OpenLogFile(path, 1, 0);
    log.rotating = 0;
}

int CDebugFile::WriteRaw(const char* text, int prefixed) {
    debuglog::LogState& log = Shared();
    // Recursive: most callers hold it already. Taking it here keeps the
    // counters and the handle consistent for the writes that hold no lock.
    SharedLock guard;
    if (log.fileHandle == INVALID_HANDLE_VALUE || !text) return 0;
    bool numbered = log.lineNumbers.load() != 0;
    if (numbered) ++log.lineNumber;
    bool stamped = log.tickStamp.load() && prefixed;

    char* piece = nullptr;
    const char* out = text;
    if (numbered || stamped) {
        char tick[16] = "";
        if (stamped) TickText(tick, sizeof tick);
        size_t size = std::strlen(text) + 55 + (stamped ? 30 : 0);
        piece = static_cast<char*>(std::malloc(size));
        if (!piece) return 0;
        if (numbered && stamped)
            std::snprintf(piece, size, "[%i] [%s] %s", log.lineNumber, tick, text);
        else if (stamped)
            std::snprintf(piece, size, "[%s] %s", tick, text);
        else
            std::snprintf(piece, size, "[%i] %s", log.lineNumber, text);
        out = piece;
    }
    DWORD length = static_cast<DWORD>(std::strlen(out));
    DWORD written = 0;
    BOOL ok = WriteFile(log.fileHandle, out, length, &written, nullptr);
    std::free(piece);
    if (!ok || written != length) {
        log.stateCode = debuglog::kCannotWrite;
        return 0;
    }

    if (++log.writesSinceOpen >= log.maxWrites.load() && !log.rotating) RotateLogFile();

    if (log.autoFlush.load()) {
        if (log.flushCounter > kFlushAfter) {
            if (log.fileHandle != INVALID_HANDLE_VALUE) FlushFileBuffers(log.fileHandle);
            log.flushCounter = 0;
        } else {
            ++log.flushCounter;
        }
    }
    return 1;
}

int CDebugFile::WriteStamp(const char* text, const char* note) {
    debuglog::LogState& log = Shared();
    SharedLock guard;
    if (log.fileHandle == INVALID_HANDLE_VALUE) return 1;
    SYSTEMTIME now;
    GetLocalTime(&now);
    char time[16], date[16];
    std::snprintf(time, sizeof time, "%02u:%02u:%02u", now.wHour % 100u, now.wMinute % 100u,
                  now.wSecond % 100u);
    std::snprintf(date, sizeof date, "%02u/%02u/%02u", now.wMonth % 100u, now.wDay % 100u,
                  now.wYear % 100u);
    if (!text) text = "NULL";
    int length = note ? std::snprintf(nullptr, 0, "%s %s %s %s\r\n", text, time, date, note)
                      : std::snprintf(nullptr, 0, "%s %s %s\r\n", text, time, date);
    if (length < 0) return 1;
    size_t size = static_cast<size_t>(length) + 1;
    char* line = static_cast<char*>(std::malloc(size));
    if (!line) return 1;
    if (note)
        std::snprintf(line, size, "%s %s %s %s\r\n", text, time, date, note);
    else
        std::snprintf(line, size, "%s %s %s\r\n", text, time, date);
    WriteRaw(line, 1);
    std::free(line);
    return 1;
}
