// Helpers of the log file tests: a temporary drive C: with a Windows
// directory, reading the logs back, and running a test body in a child
// process. The shared log state is process-wide and keeps a recorded failure
// and an open file, so every test that switches file logging on runs in a
// child of its own and leaves the test process as it found it.
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

#include "platform/posix/Sinks.h"
#include "tests/support/TempDrive.h"

namespace logtest {

// A fresh folder mapped to drive C:, holding an empty C:\windows.
class TempWindows {
public:
    TempWindows() { m_drive.MakeDirs("windows"); }
    bool Exists(const std::string& name) const { return m_drive.Exists("windows/" + name); }
    std::string Read(const std::string& name) const { return m_drive.ReadFile("windows/" + name); }
    void Put(const std::string& name, const std::string& content) const {
        m_drive.WriteFile("windows/" + name, content);
    }

private:
    support::TempDrive m_drive;
};

// The lines of a log, split at "\r\n" (a last line without one is kept).
inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (;;) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            if (start < text.size()) lines.push_back(text.substr(start));
            return lines;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
}

// "open 14:05:09 08/04/05" and the like: text, HH:MM:SS, MM/DD/YY, an
// optional note.
inline bool IsStamp(const std::string& line, const std::string& text,
                    const std::string& note = std::string()) {
    static const std::regex stamp(
        R"((.*) ([0-2]\d:[0-5]\d:[0-5]\d) ([01]\d/[0-3]\d/\d\d)(?: (.*))?)");
    std::smatch match;
    if (!std::regex_match(line, match, stamp)) return false;
    return match[1] == text && match[4] == note;
}

// The header line's executable path when the executable does not lie under
// drive C: (it is reached through Z:, the host's root).
inline std::string ExecutableOnZ() {
    char host[4096];
    ssize_t n = readlink("/proc/self/exe", host, sizeof host - 1);
    if (n < 0) return std::string();
    host[n] = '\0';
    std::string win = std::string("Z:") + host;
    for (char& ch : win)
        if (ch == '/') ch = '\\';
    return win;
}

// Runs body in a forked child and expects it to end without a failed
// assertion or a crash. Failures inside the child are printed by the child.
inline void RunInChild(const std::function<void()>& body) {
    std::fflush(stdout);
    std::fflush(stderr);
    pid_t pid = fork();
    ASSERT_NE(pid, -1);
    if (pid == 0) {
        body();
        // exit, not _exit: the sanitizers' reports at the end (leaks, races)
        // then decide the child's status as well.
        std::exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "the child ended with status 0x" << std::hex << status;
}

// Drops what reaches the debugger channel while it lives.
class DebugSilence {
public:
    DebugSilence() {
        posix::SetDebugSink([](const char*, void*) {}, nullptr);
    }
    ~DebugSilence() { posix::SetDebugSink(nullptr, nullptr); }
    DebugSilence(const DebugSilence&) = delete;
    DebugSilence& operator=(const DebugSilence&) = delete;
};

}  // namespace logtest
