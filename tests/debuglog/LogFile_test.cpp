// The log file: stamp and header lines, append and rewrite, the numbered
// files of further users, the prefixes, the rotation, the periodic and the
// explicit flush, failed flushes and writes, and many threads writing into
// one log.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "debuglog/DebugFile.h"
#include "debuglog/LogState.h"
#include "inspect/FileSearch.h"
#include "list/List.h"
#include "platform/Windows.h"
#include "platform/posix/PosixPaths.h"
#include "strings/PathStr.h"
#include "tests/debuglog/LogTestSupport.h"
#include "tests/support/ForcedCalls.h"

using debuglog::Shared;
using logtest::ExecutableOnZ;
using logtest::IsStamp;
using logtest::Lines;
using logtest::OpenLog;
using logtest::RunInChild;
using logtest::TempWindows;

namespace {

const char kLogPath[] = "C:\\windows\\Debug.log";

std::string LogName(int number) {
    return number ? "Debug" + std::to_string(number) + ".log" : "Debug.log";
}

// True when nobody holds the file: an unshared open succeeds.
bool IsFree(const char* winPath) {
    HANDLE file = CreateFileA(winPath, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

// Expects a log that one session wrote with header lines: the "open" stamp,
// the header, in a numbered file the stamped notice, then body, the header
// again and the "close" stamp with note.
void ExpectSession(const std::string& log, bool numbered, const std::vector<std::string>& body,
                   const std::string& note = std::string()) {
    const std::string header = "LogFile from: " + ExecutableOnZ();
    std::vector<std::string> lines = Lines(log);
    size_t first = numbered ? 3 : 2;
    ASSERT_EQ(lines.size(), first + body.size() + 2) << log;
    EXPECT_TRUE(IsStamp(lines[0], "open")) << lines[0];
    EXPECT_EQ(lines[1], header);
    if (numbered) {
        EXPECT_TRUE(IsStamp(lines[2], "Eine weitere Instanz der Applikation wurde gefunden!"))
            << lines[2];
    }
    EXPECT_EQ(std::vector<std::string>(lines.begin() + first, lines.end() - 2), body);
    EXPECT_EQ(lines[lines.size() - 2], header);
    EXPECT_TRUE(IsStamp(lines.back(), "close", note)) << lines.back();
}

}  // namespace

TEST(LogFile, FirstAndLastLinesAndClosing) {
    TempWindows windows;
    RunInChild([&] {
        CDebugFile* first = OpenLog();
        CDebugFile* second = OpenLog();
        first->WriteLine("Eintrag %d", 1);
        delete first;  // not the last: the file stays open
        EXPECT_FALSE(IsFree(kLogPath));
        EXPECT_EQ(second->Close("Ende"), 1);
        EXPECT_EQ(Shared().lockReady.load(), 0);  // until the next use creates it again
        EXPECT_EQ(second->IsOpen(), 0);
        EXPECT_EQ(second->Close(nullptr), 0);
        delete second;
        EXPECT_TRUE(IsFree(kLogPath));
        ExpectSession(windows.Read("Debug.log"), false, {"Eintrag 1"}, "Ende");
    });
}

TEST(LogFile, ExecutablePathOnDriveC) {
    // Under the drive root the executable's path is given on C:, cut to fit a
    // short buffer.
    std::string onZ = ExecutableOnZ();
    size_t cut = onZ.find('\\', 3);  // after the first folder below the host's root
    ASSERT_NE(cut, std::string::npos);
    posix::SetDriveRoot(("/" + onZ.substr(3, cut - 3)).c_str());
    std::string onC = "C:" + onZ.substr(cut);
    char path[MAX_PATH], cutPath[6];
    EXPECT_GT(GetModuleFileNameA(GetModuleHandleA(nullptr), path, sizeof path), 0u);
    EXPECT_EQ(GetModuleFileNameA(nullptr, cutPath, sizeof cutPath), 6u);
    posix::SetDriveRoot(nullptr);
    EXPECT_EQ(path, onC);
    EXPECT_EQ(std::string(cutPath), onC.substr(0, 5));
}

TEST(LogFile, AppendKeepsAndRewriteEmpties) {
    TempWindows windows;
    windows.WriteFile("windows/Debug.log", "alt\r\n");
    RunInChild([&] {
        const char* expected[] = {"alt\r\nneu\r\n", "frisch\r\n"};
        for (int rewrite = 0; rewrite <= 1; ++rewrite) {
            CDebugFile* log = OpenLog(0, rewrite);
            log->WriteLine(rewrite ? "frisch" : "neu");
            delete log;
            EXPECT_EQ(windows.Read("Debug.log"), expected[rewrite]);
        }
    });
}

TEST(LogFile, MissingLogForAppending) {
    TempWindows windows;
    // Another name than the current log name is refused.
    RunInChild([&] {
        CDebugFile log;
        log.Enable(1);
        EXPECT_EQ(log.Open("Other.log", 0, 0), 0);
        EXPECT_EQ(log.GetErrorCode(), 2003);
        EXPECT_FALSE(windows.Has("Other.log") || windows.Has("Debug1.log"));
    });
    // The current log name goes on in the first numbered file, and owners
    // created afterwards attach to it.
    RunInChild([&] {
        CDebugFile* log = OpenLog(1, 0);
        EXPECT_STREQ(Shared().logName.load(), "Debug1.log");
        CDebugFile* owner = OpenLog();
        owner->WriteLine("weiter");
        delete owner;
        delete log;  // the last Close: counted once, it closes the file
        ExpectSession(windows.Read("Debug1.log"), true, {"weiter"});
        EXPECT_FALSE(windows.Has("Debug.log"));
    });
}

TEST(LogFile, NamesLongerThanThePathBuffersAreRefused) {
    TempWindows windows;
    const std::string dir = "C:\\windows\\";
    const std::string fits = std::string(255 - dir.size() - 4, 'f') + ".log";  // 255 characters
    const struct {
        std::string name;
        int opened;
    } cases[] = {{std::string(300, 'n'), 0}, {dir + std::string(250, 'p'), 0}, {fits, 1}};
    for (const auto& c : cases) {
        RunInChild([&] {
            CDebugFile log;
            log.Enable(1);
            EXPECT_EQ(log.Open(c.name.c_str(), 1, 0), c.opened);
            EXPECT_EQ(log.GetErrorCode(), c.opened ? 2001 : 2003);
            EXPECT_EQ(std::strlen(Shared().logPath), c.opened ? 255u : 0u);
        });
    }
    EXPECT_TRUE(windows.Has(fits));
}

namespace {

// A further process using the same log: it opens the current log name with
// file logging on, writes one line, tells which name it got, and keeps the
// file until it is released (in the reverse order of the starts, as each
// later holder inherits the release pipes of the earlier).
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
        CDebugFile* log = OpenLog();
        std::string reply = log->IsOpen() ? Shared().logName.load() : "-";
        log->WriteLine("Prozess %d", number);
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
    windows.WriteFile("windows/Debug1.log", "alter Inhalt\r\n");
    Holder holders[3] = {StartHolder(1), StartHolder(2), StartHolder(3)};
    for (int i = 2; i >= 0; --i) Release(holders[i]);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(holders[i].name, LogName(i));
        ExpectSession(windows.Read(LogName(i)), i > 0, {"Prozess " + std::to_string(i + 1)});
    }
    EXPECT_FALSE(windows.Has("Debug3.log"));
}

TEST(LogFile, AllNumberedNamesHeld) {
    TempWindows windows;
    RunInChild([&] {
        std::vector<HANDLE> held;
        for (int i = 0; i <= 100; ++i) {
            windows.WriteFile("windows/" + LogName(i), "belegt");
            held.push_back(CreateFileA(("C:\\windows\\" + LogName(i)).c_str(), GENERIC_WRITE, 0,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
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
        EXPECT_FALSE(windows.Has("Debug101.log"));
    });
}

TEST(LogFile, ObjectsCreatedAfterAFailureLeaveTheLogToTheLiveOwner) {
    // After a recorded failure Open counts no new instance, so their Close
    // must not count down either: else the first one to go would close the
    // file under the owner that opened it, and its later lines would be lost.
    // In the numbered file of a fallback as in the log itself.
    const std::function<std::shared_ptr<void>()> shortLived[] = {
        [] { return std::make_shared<CStr>("x", 255); },
        [] { return std::make_shared<CPathStr>("C:\\x", 255); },
        [] { return std::make_shared<CList>(); },
        [] { return std::make_shared<CFileSearch>("C:\\x"); },
        [] {  // opened on its own, refused like the owners
            auto log = std::make_shared<CDebugFile>();
            EXPECT_EQ(log->Open(Shared().logName.load(), 1, 0), 0);
            return log;
        },
        [] { return std::make_shared<CDebugFile>(); },  // never opened
    };
    for (int rewrite = 0; rewrite <= 1; ++rewrite) {
        TempWindows windows;
        RunInChild([&] {
            CDebugFile* owner = OpenLog(0, rewrite);  // rewrite 0: Debug.log is missing
            const std::string name = Shared().logName.load();
            EXPECT_EQ(name, LogName(rewrite ? 0 : 1));
            owner->WriteLine("vorher");
            posix::ForceFailure("FlushFileBuffers", ERROR_ACCESS_DENIED);
            EXPECT_EQ(owner->Flush(), 0);
            posix::ClearForced();
            for (const auto& make : shortLived) make().reset();
            EXPECT_EQ(Shared().NumOfInstance.load(), 1);
            EXPECT_EQ(owner->WriteLine("nachher"), 1);
            delete owner;  // the last Close closes the file
            EXPECT_TRUE(IsFree(("C:\\windows\\" + name).c_str()));
            EXPECT_EQ(windows.Read(name), "vorher\r\nnachher\r\n");
        });
    }
    // An instance opened twice is counted twice and closes twice.
    RunInChild([] {
        const int before = Shared().NumOfInstance.load();
        CDebugFile twice;
        for (int i = 0; i < 2; ++i) EXPECT_EQ(twice.Open("Debug.log", 1, 0), 1);
        EXPECT_EQ(Shared().NumOfInstance.load(), before + 2);
        for (int i = 0; i < 2; ++i) twice.Close(nullptr);
        EXPECT_EQ(Shared().NumOfInstance.load(), before);
    });
}

TEST(LogFile, TickAndLineNumberPrefixes) {
    TempWindows windows;
    RunInChild([&] {
        support::DebugCapture quiet;
        CDebugFile* log = OpenLog(0);
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
        CDebugFile* log = OpenLog(0);
        log->SetMaxLines(3);
        for (const char* text : {"a", "b", "c", "d"}) log->Write("%s", text);
        EXPECT_EQ(windows.Read("Debug.log"), "d");  // the third write re-created it
        EXPECT_EQ(Shared().NumOfInstance.load(), 1);
        delete log;
        EXPECT_TRUE(IsFree(kLogPath));
    });
    // The new file starts with the header lines; a limit of 1 re-creates the
    // file after every write without writing its header for ever.
    RunInChild([&] {
        CDebugFile* log = OpenLog();
        log->SetMaxLines(1);
        log->Write("x");
        std::vector<std::string> lines = Lines(windows.Read("Debug.log"));
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_TRUE(IsStamp(lines[0], "open"));
        EXPECT_EQ(lines[1], "LogFile from: " + ExecutableOnZ());
        delete log;
        EXPECT_TRUE(IsFree(kLogPath));
    });
}

TEST(LogFile, EveryHundredAndSecondWriteFlushes) {
    TempWindows windows;
    RunInChild([&] {
        CDebugFile* log = OpenLog(0);
        posix::ResetFlushCount();
        // Prefixed and plain writes count alike; the flushes after each run.
        auto flushesAfter = [log](int writes) {
            for (int i = 0; i < writes; ++i) log->WriteRaw("x", i % 2);
            return posix::FlushCount();
        };
        EXPECT_EQ(flushesAfter(101), 0u);
        EXPECT_EQ(flushesAfter(1), 1u);
        EXPECT_EQ(flushesAfter(101), 1u);  // the count started again
        log->SetAutoFlush(0);
        EXPECT_EQ(flushesAfter(1), 1u);  // this one would flush
        log->SetAutoFlush(1);
        EXPECT_EQ(flushesAfter(1), 2u);
        delete log;
    });
}

TEST(LogFile, FailedFlushesAndWritesAreRecorded) {
    TempWindows windows;
    RunInChild([&] {
        support::DebugCapture quiet;
        CDebugFile* log = OpenLog(0);
        posix::ResetFlushCount();
        EXPECT_EQ(log->Flush(), 1);
        EXPECT_EQ(posix::FlushCount(), 1u);
        // A failed flush keeps the system's error code.
        posix::ForceFailure("FlushFileBuffers", ERROR_ACCESS_DENIED);
        EXPECT_EQ(log->Flush(), 0);
        char text[33];
        log->GetErrorText(text);
        EXPECT_STREQ(text, "Unknown error code: 5");
        // A failed write records 2005, which the traces and writes do not report.
        posix::ForceFailure("WriteFile", ERROR_DISK_FULL);
        EXPECT_EQ(log->WriteRaw("x", 1), 0);
        EXPECT_EQ(log->GetErrorCode(), 2005);
        EXPECT_EQ(log->TraceLine("y") + log->Write("z"), 2);
        posix::ClearForced();
        EXPECT_EQ(log->WriteRaw("weiter", 1), 1);  // the open file is still written
        delete log;
        EXPECT_EQ(windows.Read("Debug.log"), "weiter");
    });
}

TEST(LogFile, EightThreadsTraceIntoOneLog) {
    TempWindows windows;
    constexpr int kThreads = 8;
    constexpr int kLines = 25;
    RunInChild([&] {
        support::DebugCapture quiet;
        CDebugFile* keeper = OpenLog();
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
