// CDebugFile: the trace object every library object owns.
//
// All instances of a process share one log state (LogState.h, private to
// debuglog): the log file, its name, a state code, the count of open instances
// and the switches, behind one recursive lock. Each instance owns only its
// formatting and debugger output buffer and a few flags. A trace reaches the
// debugger channel (OutputDebugStringA) as "[QZMPurgeLib,0x<thread id>] <text>"
// while someone listens there, and the log file only while file logging is
// switched on with Enable.
#pragma once

#include <cstdarg>

#include "platform/Windows.h"

#if defined(__GNUC__)
#define PURGELIB_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define PURGELIB_PRINTF(fmt, args)
#endif

// The debugger output buffer of one CDebugFile.
struct CDebugOutput {
    CRITICAL_SECTION lock;
    int lockReady;
    char* text;            // capacity + 1 bytes at least, NUL-terminated
    unsigned capacity;     // characters that fit in text
    unsigned tagOverhead;  // length of the module tag plus 3
    unsigned allocation;   // bytes really allocated for text (0 while absent)

    void Init();
    void Prepare();
    int Format(const char* format, va_list args);
    void Output(int takeLock);
    void Print(const char* format, ...);
    void Release();
};

class CDebugFile {
public:
    CDebugFile();
    virtual ~CDebugFile();

    virtual int Open(const char* name, int rewrite, int reserved);
    virtual int Close(const char* note);
    virtual int CreateNumberedFile();
    virtual int IsOpen();
    virtual int GetErrorCode();
    virtual int GetErrorText(char* buffer);
    virtual int TraceLevel(int level, const char* format, ...) PURGELIB_PRINTF(3, 4);
    virtual int Trace(const char* format, ...) PURGELIB_PRINTF(2, 3);
    virtual int TraceLine(const char* format, ...) PURGELIB_PRINTF(2, 3);
    virtual int TraceLineLevel(int level, const char* format, ...) PURGELIB_PRINTF(3, 4);
    virtual int WriteLevel(int level, const char* format, ...) PURGELIB_PRINTF(3, 4);
    virtual int Write(const char* format, ...) PURGELIB_PRINTF(2, 3);
    virtual int WriteLine(const char* format, ...) PURGELIB_PRINTF(2, 3);
    virtual int WriteLineLevel(int level, const char* format, ...) PURGELIB_PRINTF(3, 4);
    virtual int WriteStamp(const char* text, const char* note);
    virtual int Flush();
    virtual int TraceRowLevel(int level, char fill, unsigned count);
    virtual int TraceRow(char fill, unsigned count);
    virtual int SetAutoFlush(int on);
    virtual int Enable(int on);
    virtual int SetHeaderLines(int on);
    virtual int SetLineNumbers(int on);
    virtual int SetTickStamp(int on);
    virtual int ShowInstances();
    virtual int SetMaxLines(int count);

    // The one place where bytes reach the log file. 0 while the file is not
    // open, for a null text, or when the write fails. It takes the shared
    // lock (recursive) for its counters and the file handle.
    int WriteRaw(const char* text, int prefixed);

    // Makes `name` the current shared log name, the one the library's owners
    // open and the one whose failed open goes on in a numbered file: a plain
    // name lies in the Windows directory, a name with a folder (a "\" or
    // "/") is a path of its own and its numbered files lie beside it. For a
    // program that names its log before file logging starts; 0 (nothing
    // changed) while the log file is open, or for a null, empty or too long
    // name.
    static int SetLogName(const char* name);

    // The trace object of a library object (CStr, CPathStr, CList,
    // CFileSearch), created, opened and set up in the one way they all share:
    // a new instance, opened on the current shared log name (so an owner
    // created after a fallback attaches to the numbered file) with rewrite 1,
    // and periodic flushing switched on. *opened receives the result of Open;
    // when it is 0 the string and list classes record kOwnerOpenFailed with
    // GetErrorCode() as detail. An owner that traces its construction only
    // when its log opened passes that line as openedTrace: it is traced at
    // level 1 between the open and the flush switch, in that order. Null (and
    // *opened 0) when there is no memory.
    static CDebugFile* OpenForOwner(int* opened, const char* openedTrace = nullptr);
    // The error code a library object records when opening its log failed.
    static constexpr int kOwnerOpenFailed = 102;

    // 1 when a trace can reach anyone: the log file is on (switched on, or
    // still open), or someone listens to the debugger channel (Listeners.h).
    // Work whose only use is a trace (the text around a search hit) is
    // skipped when this is 0; the trace operations themselves then return
    // before formatting anything.
    static int AnyoneListens();

    // Bytes to allocate for formatting `format` with `args` in the file-only
    // writes (an estimate; see WriteVariants.cpp).
    static int EstimateLength(const char* format, va_list args);
    // Cuts blanks and tabs after a final line feed; 1 when the text ends in a
    // line feed (then or already), 0 otherwise. A null text gives 1.
    static int TrimLineEnd(char* text);

    CDebugFile(const CDebugFile&) = delete;
    CDebugFile& operator=(const CDebugFile&) = delete;

protected:
    CDebugOutput m_output;
    int m_fallback;  // this instance moved the log to a numbered file
    int m_header;    // this instance writes the stamp and header lines

private:
    // How many times Open counted this instance in the shared count and no
    // Close has counted it down yet. Close counts down only while it is above
    // 0, so an instance that Open did not count (a failure was recorded
    // before, or it was never opened) cannot take the count of a live one and
    // close the shared log under it.
    int m_counted;

    // The common body of TraceLevel, Trace, TraceLine and TraceLineLevel.
    void TraceBody(const char* format, va_list args, bool lineEnd, bool ensureNewline,
                   const char* nullFile, const char* nullDebug);
    // The file steps of Open and Close (the log file sink); both run under
    // the shared lock.
    int OpenLogFile(const char* name, int rewrite, int reserved);
    int CloseLogFile(const char* note);
    // "LogFile from: ", the executable's path and "\r\n".
    void WriteHeaderLine();
    // Closes the log after maxWrites writes and re-creates it empty, without
    // counting this instance again.
    void RotateLogFile();
    // The body of the file-only writes: `nullText` is written for a null
    // format; lineEnd makes sure the text ends in a line end.
    int WriteFormatted(const char* format, va_list args, bool lineEnd, const char* nullText);
};
