// The log file: stamp and header lines, append and rewrite, the numbered
// files of further users, the prefixes, the rotation, the periodic flush and
// many threads writing into one log.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "debuglog/DebugFile.h"
#include "debuglog/LogState.h"
#include "platform/Windows.h"
#include "platform/posix/PosixPaths.h"
#include "platform/posix/TestHooks.h"
#include "tests/debuglog/LogTestSupport.h"

using debuglog::Shared;
using logtest::IsStamp;
using logtest::Lines;
using logtest::RunInChild;
using logtest::TempWindows;

namespace {

const char kNotice[] = "Eine weitere Instanz der Applikation wurde gefunden!";

std::string Header() {
    return "LogFile from: " + logtest::ExecutableOnZ();
}

// An instance opened on the current log name with file logging on, as the
// library's owners open theirs.
CDebugFile* OpenedLog(int header = 1) {
    CDebugFile* log = new CDebugFile;
    log->Enable(1);
    log->SetHeaderLines(header);
    EXPECT_EQ(log->Open(Shared().logName.load(), 1, 0), 1);
    return log;
}

// True when nobody holds the file: an unshared open succeeds.
bool IsFree(const char* winPath) {
    HANDLE file = CreateFileA(winPath, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

}  // namespace

TEST(LogFile, FirstAndLastLinesAndClosing) {
    TempWindows windows;
    RunInChild([&] {
        logtest::DebugSilence quiet;
        CDebugFile* first = OpenedLog();
        CDebugFile* second = OpenedLog();
        EXPECT_EQ(Shared().NumOfInstance.load(), 2);
        EXPECT_STREQ(Shared().logPath, "C:\\windows\\Debug.log");
        first->TraceLine("Eintrag %d", 1);
        delete first;  // not the last: the file stays open
        EXPECT_FALSE(IsFree("C:\\windows\\Debug.log"));
        EXPECT_EQ(second->Close("Ende"), 1);
        EXPECT_EQ(Shared().lockReady.load(), 0);  // until the next use creates it again
        EXPECT_EQ(second->IsOpen(), 0);
        EXPECT_EQ(second->Close(nullptr), 0);
        delete second;
        EXPECT_TRUE(IsFree("C:\\windows\\Debug.log"));

        std::vector<std::string> lines = Lines(windows.Read("Debug.log"));
        ASSERT_EQ(lines.size(), 5u);
        EXPECT_TRUE(IsStamp(lines[0], "open")) << lines[0];
        EXPECT_EQ(lines[1], Header());
        EXPECT_EQ(lines[2], "Eintrag 1");
        EXPECT_EQ(lines[3], Header());
        EXPECT_TRUE(IsStamp(lines[4], "close", "Ende")) << lines[4];
    });
}

TEST(LogFile, ExecutablePathOnDriveC) {
    // Under the drive root the executable's path is given on C:.
    std::string onZ = logtest::ExecutableOnZ();
    size_t cut = onZ.find('\\', 3);  // after the first folder below the host's root
    ASSERT_NE(cut, std::string::npos);
    std::string hostRoot = "/" + onZ.substr(3, cut - 3);
    posix::SetDriveRoot(hostRoot.c_str());
    char path[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(GetModuleHandleA(nullptr), path, sizeof path), 0u);
    EXPECT_EQ(path, "C:" + onZ.substr(cut));
    char cutPath[6];
    EXPECT_EQ(GetModuleFileNameA(nullptr, cutPath, sizeof cutPath), 6u);
    EXPECT_EQ(std::string(cutPath), ("C:" + onZ.substr(cut)).substr(0, 5));
    posix::SetDriveRoot(nullptr);
}

TEST(LogFile, AppendKeepsAndRewriteEmpties) {
    TempWindows windows;
    windows.Put("Debug.log", "alt\r\n");
    RunInChild([&] {
        logtest::DebugSilence quiet;
        const char* expected[] = {"alt\r\nneu\r\n", "frisch\r\n"};
        for (int rewrite = 0; rewrite <= 1; ++rewrite) {
            CDebugFile* log = new CDebugFile;
            log->Enable(1);
            log->SetHeaderLines(0);
            ASSERT_EQ(log->Open("Debug.log", rewrite, 0), 1);
            log->TraceLine(rewrite ? "frisch" : "neu");
            delete log;
            EXPECT_EQ(windows.Read("Debug.log"), expected[rewrite]);
        }
    });
}

TEST(LogFile, MissingLogForAppending) {
    TempWindows windows;
    // Another name than the current log name: refused, and the failure sticks.
    RunInChild([&] {
        CDebugFile log;
        log.Enable(1);
        EXPECT_EQ(log.Open("Other.log", 0, 0), 0);
        EXPECT_EQ(log.GetErrorCode(), 2003);
        int count = Shared().NumOfInstance.load();
        CDebugFile later;
        EXPECT_EQ(later.Open("Debug.log", 1, 0), 0);
        EXPECT_EQ(Shared().NumOfInstance.load(), count);
        EXPECT_FALSE(windows.Exists("Other.log") || windows.Exists("Debug.log"));
    });
    // The current log name: the log goes on in the first numbered file, and
    // owners created afterwards attach to it.
    RunInChild([&] {
        logtest::DebugSilence quiet;
        CDebugFile* log = new CDebugFile;
        log->Enable(1);
        ASSERT_EQ(log->Open("Debug.log", 0, 0), 1);
        EXPECT_STREQ(Shared().logName.load(), "Debug1.log");
        EXPECT_STREQ(Shared().fallbackPath, "C:\\windows\\Debug1.log");
        CDebugFile* owner = OpenedLog();
        EXPECT_EQ(Shared().NumOfInstance.load(), 2);
        owner->TraceLine("weiter");
        delete owner;
        delete log;
        std::vector<std::string> lines = Lines(windows.Read("Debug1.log"));
        ASSERT_EQ(lines.size(), 6u);
        EXPECT_TRUE(IsStamp(lines[0], "open"));
        EXPECT_EQ(lines[1], Header());
        EXPECT_TRUE(IsStamp(lines[2], kNotice)) << lines[2];
        EXPECT_EQ(lines[3], "weiter");
        EXPECT_TRUE(IsStamp(lines[5], "close"));
        EXPECT_FALSE(windows.Exists("Debug.log"));
    });
}

TEST(LogFile, NamesLongerThanThePathBuffersAreRefused) {
    TempWindows windows;
    const std::string dir = "C:\\windows\\";
    const std::string tooLong[] = {std::string(300, 'n'), dir + std::string(250, 'p')};
    for (const std::string& name : tooLong) {
        RunInChild([&] {
            CDebugFile log;
            log.Enable(1);
            EXPECT_EQ(log.Open(name.c_str(), 1, 0), 0);
            EXPECT_EQ(log.GetErrorCode(), 2003);
            EXPECT_STREQ(Shared().logPath, "");
        });
    }
    // A path of 255 characters still fits.
    std::string name = std::string(255 - dir.size() - 4, 'f') + ".log";
    RunInChild([&] {
        CDebugFile log;
        log.Enable(1);
        ASSERT_EQ(log.Open(name.c_str(), 1, 0), 1);
        EXPECT_EQ(std::strlen(Shared().logPath), 255u);
    });
    EXPECT_TRUE(windows.Exists(name));
}

namespace {

// A further process using the same log: it opens the current log name with
// file logging on, traces one line, tells which name it got, and keeps the
// file until it is released (holders are released in the reverse order of
// their start, as each later one inherits the release pipes of the earlier).
struct Holder {
    pid_t pid = -1;
    int release = -1;
    std::string name;
};

Holder StartHolder(int number) {
    Holder holder;
    int ready[2], release[2];
    if (pipe(ready) != 0 || pipe(release) != 0) return holder;
    holder.pid = fork();
    if (holder.pid == 0) {
        close(ready[0]);
        close(release[1]);
        logtest::DebugSilence quiet;
        CDebugFile* log = new CDebugFile;
        log->Enable(1);
        std::string reply =
            log->Open(Shared().logName.load(), 1, 0) ? Shared().logName.load() : "-";
        log->TraceLine("Prozess %d", number);
        if (write(ready[1], reply.c_str(), reply.size()) < 0) _exit(1);
        close(ready[1]);
        char byte;
        while (read(release[0], &byte, 1) < 0) {
        }
        delete log;
        _exit(0);
    }
    close(ready[1]);
    close(release[0]);
    holder.release = release[1];
    char buffer[64];
    ssize_t n;
    while ((n = read(ready[0], buffer, sizeof buffer)) > 0) holder.name.append(buffer, n);
    close(ready[0]);
    return holder;
}

void Release(const Holder& holder) {
    close(holder.release);
    int status = 0;
    waitpid(holder.pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace

TEST(LogFile, FurtherProcessesContinueInNumberedFiles) {
    TempWindows windows;
    windows.Put("Debug1.log", "alter Inhalt\r\n");
    Holder holders[3] = {StartHolder(1), StartHolder(2), StartHolder(3)};
    EXPECT_EQ(holders[0].name, "Debug.log");
    EXPECT_EQ(holders[1].name, "Debug1.log");
    EXPECT_EQ(holders[2].name, "Debug2.log");
    for (int i = 2; i >= 0; --i) Release(holders[i]);

    for (int i = 0; i < 3; ++i) {
        std::string name = i ? "Debug" + std::to_string(i) + ".log" : "Debug.log";
        std::vector<std::string> lines = Lines(windows.Read(name));
        size_t notice = i ? 1 : 0;
        ASSERT_EQ(lines.size(), 5 + notice) << name;
        EXPECT_TRUE(IsStamp(lines[0], "open"));
        EXPECT_EQ(lines[1], Header());
        if (notice) {
            EXPECT_TRUE(IsStamp(lines[2], kNotice)) << lines[2];
        }
        EXPECT_EQ(lines[2 + notice], "Prozess " + std::to_string(i + 1));
        EXPECT_EQ(lines[3 + notice], Header());
        EXPECT_TRUE(IsStamp(lines[4 + notice], "close"));
    }
    EXPECT_FALSE(windows.Exists("Debug3.log"));
}

TEST(LogFile, AllNumberedNamesHeld) {
    TempWindows windows;
    RunInChild([&] {
        std::vector<HANDLE> held;
        for (int i = 0; i <= 100; ++i) {
            std::string name = i ? "Debug" + std::to_string(i) + ".log" : "Debug.log";
            windows.Put(name, "belegt");
            held.push_back(CreateFileA(("C:\\windows\\" + name).c_str(), GENERIC_WRITE, 0, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
            ASSERT_NE(held.back(), INVALID_HANDLE_VALUE);
        }
        CDebugFile log;
        log.Enable(1);
        EXPECT_EQ(log.Open("Debug.log", 1, 0), 0);
        EXPECT_EQ(log.GetErrorCode(), 2005);
        EXPECT_STREQ(Shared().logName.load(), "Debug.log");
        for (HANDLE file : held) CloseHandle(file);
        // The refused opens emptied none of the held files.
        EXPECT_EQ(windows.Read("Debug.log") + windows.Read("Debug100.log"), "belegtbelegt");
        EXPECT_FALSE(windows.Exists("Debug101.log"));
    });
}

TEST(LogFile, TickAndLineNumberPrefixes) {
    TempWindows windows;
    RunInChild([&] {
        logtest::DebugSilence quiet;
        CDebugFile* log = OpenedLog(0);
        posix::SetTickCountForTest(1234567890);
        log->SetTickStamp(1);
        log->TraceLine("abc");  // the "\r\n" piece carries no stamp
        log->SetLineNumbers(1);
        log->TraceLine("def");  // two numbers: the text and its line end
        log->SetTickStamp(0);
        log->Write("ghi\r\n");
        log->SetLineNumbers(0);
        log->SetTickStamp(1);
        posix::SetTickCountForTest(42);
        log->Write("jkl\r\n");
        posix::SetTickCountForTest(0xFFFFFFFFu);  // shown signed
        log->Write("mno\r\n");
        delete log;
        EXPECT_EQ(
            windows.Read("Debug.log"),
            "[34567890] abc\r\n[1] [34567890] def[2] \r\n[3] ghi\r\n[42] jkl\r\n[-1] mno\r\n");
    });
}

TEST(LogFile, RotationRecreatesTheLogAndTheLastCloseClosesIt) {
    TempWindows windows;
    RunInChild([&] {
        CDebugFile* log = OpenedLog(0);
        log->SetMaxLines(3);
        log->Write("a");
        log->Write("b");
        EXPECT_EQ(windows.Read("Debug.log"), "ab");
        log->Write("c");  // the third write re-creates the file
        EXPECT_EQ(windows.Read("Debug.log"), "");
        log->Write("d");
        EXPECT_EQ(windows.Read("Debug.log"), "d");
        EXPECT_EQ(Shared().NumOfInstance.load(), 1);
        delete log;
        EXPECT_TRUE(IsFree("C:\\windows\\Debug.log"));
    });
    // The new file starts with the header lines; a limit of 1 re-creates the
    // file after every write without writing its header for ever.
    RunInChild([&] {
        CDebugFile* log = OpenedLog();
        log->SetMaxLines(1);
        log->Write("x");
        std::vector<std::string> lines = Lines(windows.Read("Debug.log"));
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_TRUE(IsStamp(lines[0], "open"));
        EXPECT_EQ(lines[1], Header());
        delete log;
        EXPECT_TRUE(IsFree("C:\\windows\\Debug.log"));
    });
}

TEST(LogFile, EveryHundredAndSecondWriteFlushes) {
    TempWindows windows;
    RunInChild([&] {
        CDebugFile* log = OpenedLog(0);
        posix::ResetFlushCount();
        const std::pair<int, unsigned> checkpoints[] = {{101, 0}, {102, 1}, {203, 1}, {204, 2}};
        int writes = 0;
        for (const auto& [until, flushes] : checkpoints) {
            for (; writes < until; ++writes) log->WriteRaw("x", writes % 2);
            EXPECT_EQ(posix::FlushCount(), flushes) << writes << " writes";
        }
        log->SetAutoFlush(0);
        for (int i = 0; i < 300; ++i) log->WriteRaw("x", 1);
        EXPECT_EQ(posix::FlushCount(), 2u);
        delete log;
    });
}

TEST(LogFile, FailedWriteRecordsDiskFull) {
    TempWindows windows;
    RunInChild([&] {
        logtest::DebugSilence quiet;
        CDebugFile* log = OpenedLog(0);
        posix::ForceFailure("WriteFile", ERROR_DISK_FULL);
        EXPECT_EQ(log->WriteRaw("x", 1), 0);
        EXPECT_EQ(log->GetErrorCode(), 2005);
        EXPECT_EQ(log->TraceLine("y") + log->Write("z"), 2);
        posix::ClearForced();
        EXPECT_EQ(log->WriteRaw("w", 1), 1);  // the open file is still written
        delete log;
        EXPECT_EQ(windows.Read("Debug.log"), "w");
    });
}

TEST(LogFile, EightThreadsTraceIntoOneLog) {
    TempWindows windows;
    constexpr int kThreads = 8;
    constexpr int kLines = 100;
    RunInChild([&] {
        logtest::DebugSilence quiet;
        CDebugFile* keeper = OpenedLog();
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([t] {
                CDebugFile* log = new CDebugFile;
                log->Open(Shared().logName.load(), 1, 0);
                for (int i = 0; i < kLines; ++i) log->TraceLine("Faden %d Zeile %d", t, i);
                delete log;
            });
        }
        for (std::thread& thread : threads) thread.join();
        EXPECT_EQ(Shared().NumOfInstance.load(), 1);
        delete keeper;

        // Every line whole, none lost, each thread's lines in their order.
        std::vector<std::string> lines = Lines(windows.Read("Debug.log"));
        ASSERT_EQ(lines.size(), 4u + kThreads * kLines);
        std::vector<int> next(kThreads, 0);
        for (size_t i = 2; i + 2 < lines.size(); ++i) {
            int t = -1, n = -1;
            char rest = 0;
            ASSERT_EQ(std::sscanf(lines[i].c_str(), "Faden %d Zeile %d%c", &t, &n, &rest), 2)
                << lines[i];
            ASSERT_TRUE(t >= 0 && t < kThreads) << lines[i];
            EXPECT_EQ(n, next[t]++) << lines[i];
        }
        EXPECT_EQ(next, std::vector<int>(kThreads, kLines));
    });
}
