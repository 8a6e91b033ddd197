// The switches of CDebugFile. All but the header lines are process-wide:
// set through any instance, they apply to the writes of every instance from
// the next write on. None takes a lock.
#include "debuglog/DebugFile.h"
#include "debuglog/LogState.h"

using debuglog::Shared;

// Periodic flushing of the log file (on by default; every owner switches it
// on when it opens its log).
int CDebugFile::SetAutoFlush(int on) {
    Shared().autoFlush = on;
    return 1;
}

// File logging. It only decides what later Open calls do: it neither opens
// nor closes the file. Returns the previous value.
int CDebugFile::Enable(int on) {
    return Shared().enabled.exchange(on);
}

// This instance's stamp and header lines when it opens and closes the file.
int CDebugFile::SetHeaderLines(int on) {
    m_header = on;
    return 1;
}

// The running line number before every piece written to the file.
int CDebugFile::SetLineNumbers(int on) {
    Shared().lineNumbers = on;
    return 1;
}

// The tick count before every prefixed piece. Returns its argument.
int CDebugFile::SetTickStamp(int on) {
    Shared().tickStamp = on;
    return on;
}

// Writes after which the file is closed and re-created empty.
int CDebugFile::SetMaxLines(int count) {
    Shared().maxWrites = count;
    return 1;
}
