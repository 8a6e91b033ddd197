// The log file of a tool run (/log FILE on Windows, --log FILE on Linux): the
// library's own log, switched on and opened on the file the user named. Every
// library object of the run attaches to it, so the content search's traces
// land in it between the "open" and "close" stamps, and the tool adds the
// report's lines. When another program holds the file, the log goes on in a
// numbered file beside it (run.log: run1.log, run2.log, ...) that starts with
// the notice of another instance. The file is written anew on each run.
#pragma once

#include <string>
#include <vector>

class CDebugFile;

class RunLog {
public:
    RunLog() = default;
    ~RunLog();
    RunLog(const RunLog&) = delete;
    RunLog& operator=(const RunLog&) = delete;

    // Switches file logging on, makes `path` the shared log name and opens
    // it. `path` names a folder (it holds a '\' or '/'), so the log does not
    // land in the Windows directory. False when neither the file nor a
    // numbered one beside it can be written; file logging is then of no use
    // for the rest of the process.
    bool Open(const std::string& path);
    // Each line (ANSI code page) as one line of the log.
    void WriteLines(const std::vector<std::string>& lines);
    // True when the log could not be opened or a write to it failed (also
    // after Close).
    bool Failed() const;
    // Writes the closing header and stamp and closes the file, unless library
    // objects still use it (then the last of them closes it). False when the
    // log failed (Failed()).
    bool Close();

private:
    CDebugFile* m_log = nullptr;
    bool m_failed = false;
};
