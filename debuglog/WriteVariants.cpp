// The remaining write operations and switches of CDebugFile.
#include <cstdlib>
#include <cstring>

#include "debuglog/DebugFile.h"
#include "debuglog/LogState.h"

using debuglog::Shared;

int CDebugFile::WriteFormatted(const char*, va_list, bool, const char*) { return 0; }

int CDebugFile::WriteLevel(int level, const char*, ...) {
    if (level < Shared().traceThreshold) return 1;
    return 0;
}

int CDebugFile::Write(const char*, ...) { return 0; }

int CDebugFile::WriteLine(const char*, ...) { return 0; }

int CDebugFile::WriteLineLevel(int level, const char*, ...) {
    if (level < Shared().traceThreshold) return 1;
    return 0;
}

int CDebugFile::Flush() { return 0; }

int CDebugFile::TraceRowLevel(int, char, unsigned) { return 1; }

int CDebugFile::TraceRow(char, unsigned) { return 1; }

int CDebugFile::SetHeaderLines(int on) {
    m_header = on;
    return 1;
}

int CDebugFile::SetLineNumbers(int on) {
    Shared().lineNumbers = on;
    return 1;
}

int CDebugFile::SetTickStamp(int on) {
    Shared().tickStamp = on;
    return on;
}

int CDebugFile::ShowInstances() { return 1; }

int CDebugFile::SetMaxLines(int count) {
    Shared().maxWrites = count;
    return 1;
}

int CDebugFile::EstimateLength(const char*, va_list) { return 0; }

int CDebugFile::TrimLineEnd(char*) { return 1; }
