// Helpers of the log file tests: a temporary drive C: with a Windows
// directory, reading the logs back, and running a test body in a child
// process. The shared log state is process-wide and keeps a recorded failure
// and an open file, so every test that switches file logging on runs in a
// child of its own and leaves the test process as it found it.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "platform/posix/PosixPaths.h"
#include "platform/posix/Sinks.h"

namespace logtest {

// A fresh folder mapped to drive C:, holding an empty C:\windows.
class TempWindows {
  public:
    TempWindows() {
        char pattern[] = "/tmp/purgelib-log-XXXXXX";
        const char* made = mkdtemp(pattern);
        if (made) m_base = made;
        m_windows = m_base + "/drive_c/windows";
        std::filesystem::create_directories(m_windows);
        posix::SetDriveRoot((m_base + "/drive_c").c_str());
    }
    ~TempWindows() {
        std::error_code ignored;
        std::filesystem::remove_all(m_base, ignored);
    }
    TempWindows(const TempWindows&) = delete;
    TempWindows& operator=(const TempWindows&) = delete;

    // Host path of a file in the Windows directory.
    std::string Host(const std::string& name) const { return m_windows + "/" + name; }
    bool Exists(const std::string& name) const {
        struct stat st;
        return stat(Host(name).c_str(), &st) == 0;
    }
    std::string Read(const std::string& name) const {
        std::ifstream in(Host(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    void Put(const std::string& name, const std::string& content) const {
        std::ofstream(Host(name), std::ios::binary) << content;
    }

  private:
    std::string m_base;
    std::string m_windows;
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

// Collects what reaches the debugger channel while it lives (from one
// thread), or only drops it.
class DebugCapture {
  public:
    explicit DebugCapture(bool keep = true) {
        posix::SetDebugSink(keep ? &DebugCapture::Keep : &DebugCapture::Drop, this);
    }
    ~DebugCapture() { posix::SetDebugSink(nullptr, nullptr); }
    DebugCapture(const DebugCapture&) = delete;
    DebugCapture& operator=(const DebugCapture&) = delete;
    std::vector<std::string> texts;

  private:
    static void Keep(const char* text, void* self) {
        static_cast<DebugCapture*>(self)->texts.push_back(text);
    }
    static void Drop(const char*, void*) {}
};

}  // namespace logtest
