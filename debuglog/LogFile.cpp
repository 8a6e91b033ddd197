// The log file sink of CDebugFile. File logging is not available in this
// build: the log file never opens, so every file write answers 0.
#include "debuglog/DebugFile.h"
#include "debuglog/LogState.h"

using debuglog::Shared;

int CDebugFile::Enable(int) { return Shared().enabled.load(); }

int CDebugFile::OpenLogFile(const char*, int, int) { return 1; }

int CDebugFile::CloseLogFile(const char*) { return 0; }

int CDebugFile::CreateNumberedFile() { return 0; }

void CDebugFile::WriteHeaderLine() {}

int CDebugFile::WriteRaw(const char* text, int) {
    if (Shared().fileHandle == INVALID_HANDLE_VALUE || !text) return 0;
    return 0;
}

int CDebugFile::WriteStamp(const char*, const char*) { return 1; }
