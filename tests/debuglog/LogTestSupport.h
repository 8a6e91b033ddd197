// Helpers of the log tests. The shared log state is process-wide and keeps a
// recorded failure and an open file, so every test that switches file logging
// on runs in a child of its own and leaves the test process as it found it.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "debuglog/DebugFile.h"
#include "debuglog/LogState.h"
#include "tests/support/TempDrive.h"

namespace logtest {

// A fresh drive C: holding an empty C:\windows, where the logs go.
struct TempWindows : support::TempDrive {
    TempWindows() { MakeDirs("windows"); }
    std::string Read(const std::string& name) const { return ReadFile("windows/" + name); }
    bool Has(const std::string& name) const { return Exists("windows/" + name); }
};

// An instance opened on the current log name with file logging on, as the
// library's owners open theirs.
inline CDebugFile* OpenLog(int header = 1, int rewrite = 1) {
    CDebugFile* log = new CDebugFile;
    log->Enable(1);
    log->SetHeaderLines(header);
    EXPECT_EQ(log->Open(debuglog::Shared().logName.load(), rewrite, 0), 1);
    return log;
}

// The lines of a log, split at "\r\n" (a last line without one is kept).
inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    for (size_t start = 0, end; start < text.size(); start = end + 2) {
        end = text.find("\r\n", start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
    }
    return lines;
}

// "open 14:05:09 08/04/05" and the like: text, HH:MM:SS, MM/DD/YY, an
// optional note.
inline bool IsStamp(const std::string& line, const std::string& text,
                    const std::string& note = std::string()) {
    static const std::regex stamp(
        R"((.*) ([0-2]\d:[0-5]\d:[0-5]\d) ([01]\d/[0-3]\d/\d\d)(?: (.*))?)");
    std::smatch match;
    return std::regex_match(line, match, stamp) && match[1] == text && match[4] == note;
}

// The executable's path as the header line gives it when the executable does
// not lie under drive C: (it is reached through Z:, the host's root).
inline std::string ExecutableOnZ() {
    char host[4096];
    ssize_t n = readlink("/proc/self/exe", host, sizeof host - 1);
    if (n < 0) return std::string();
    std::string win = "Z:" + std::string(host, static_cast<size_t>(n));
    for (char& ch : win)
        if (ch == '/') ch = '\\';
    return win;
}

// What the debugger channel receives for text from this thread.
inline std::string Tagged(const std::string& text) {
    char prefix[64];
    std::snprintf(prefix, sizeof prefix, "[QZMPurgeLib,0x%x] ",
                  static_cast<unsigned>(GetCurrentThreadId()));
    return prefix + text;
}

// Runs body in a forked child and expects it to end without a failed
// assertion or a crash; the child prints its own failures. Unlike
// support::RunInChild the child ends through exit, so the sanitizers' reports
// at the end (leaks, races) decide its status as well.
inline void RunInChild(const std::function<void()>& body) {
    std::fflush(stdout);
    std::fflush(stderr);
    pid_t pid = fork();
    ASSERT_NE(pid, -1);
    if (pid == 0) {
        body();
        std::exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "the child ended with status 0x" << std::hex << status;
}

}  // namespace logtest
