// The trace object with file logging off: instance counting, error codes and
// what reaches the debugger channel.
#include "debuglog/DebugFile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "debuglog/LogState.h"
#include "inspect/FileSearch.h"
#include "list/List.h"
#include "strings/PathStr.h"
#include "strings/Str.h"
#include "tests/debuglog/LogTestSupport.h"

using debuglog::Shared;
using logtest::Tagged;

TEST(DebugFile, FileLoggingOffCountsInstancesAndWritesNothing) {
    logtest::TempWindows windows;
    int before = Shared().NumOfInstance.load();
    {
        CDebugFile log;
        EXPECT_EQ(log.Open("Debug.log", 1, 0), 1);
        CStr a("a", 255), b(nullptr, 255);  // each library object holds one instance
        EXPECT_EQ(Shared().NumOfInstance.load(), before + 3);
        EXPECT_EQ(log.IsOpen(), 0);
        EXPECT_EQ(log.GetErrorCode(), 2001);
        // A dropped level returns 1 before the test for the file.
        EXPECT_EQ(log.WriteLevel(5, "x"), 1);
        EXPECT_EQ(log.WriteLineLevel(19, "x"), 1);
        EXPECT_EQ(log.WriteLevel(20, "x"), 0);
        EXPECT_EQ(log.WriteLineLevel(20, "x"), 0);
        EXPECT_EQ(log.Write("x"), 0);
        EXPECT_EQ(log.WriteLine("x"), 0);
        EXPECT_EQ(log.Write(nullptr), 0);
        EXPECT_EQ(log.Flush(), 0);
        EXPECT_EQ(log.WriteRaw("x", 0), 0);
        EXPECT_EQ(log.WriteStamp("open", nullptr), 1);
        EXPECT_EQ(log.SetTickStamp(7), 7);
        log.SetTickStamp(0);
        EXPECT_EQ(log.Close(nullptr), 0);  // counted down; no file to close
        EXPECT_EQ(Shared().NumOfInstance.load(), before + 2);
    }
    EXPECT_EQ(Shared().NumOfInstance.load(), before);  // the destructor's Close found nothing
    EXPECT_FALSE(windows.Has("Debug.log"));
}

TEST(DebugFile, CloseWithoutInstancesAndRecordedFailures) {
    logtest::RunInChild([] {
        Shared().NumOfInstance = 0;
        CDebugFile idle;
        EXPECT_EQ(idle.Close("note"), 0);
        EXPECT_EQ(Shared().NumOfInstance.load(), 0);
        // A recorded failure refuses every later Open without counting it;
        // the library objects go on with the pair (102, state code).
        Shared().stateCode = 5;  // as a failed flush records it
        CDebugFile log;
        EXPECT_EQ(log.Open("Debug.log", 1, 0), 0);
        EXPECT_EQ(Shared().NumOfInstance.load(), 0);
        CStr str("x", 255);
        EXPECT_EQ(str.GetLength(), 1);
    });
}

TEST(DebugFile, EveryOwnerOpensItsLogTheSameWay) {
    // Each library object counts while the log is available, is refused
    // without counting after a recorded failure, and switches the
    // process-wide periodic flush back on in both cases.
    const struct {
        const char* owner;
        std::function<std::shared_ptr<void>()> make;
    } owners[] = {
        {"CStr", [] { return std::make_shared<CStr>("x", 255); }},
        {"CPathStr", [] { return std::make_shared<CPathStr>("C:\\x", 255); }},
        {"CList", [] { return std::make_shared<CList>(); }},
        {"CFileSearch", [] { return std::make_shared<CFileSearch>("C:\\x"); }},
    };
    logtest::RunInChild([&] {
        CDebugFile switches;
        for (int failed = 0; failed <= 1; ++failed) {
            if (failed) Shared().stateCode = debuglog::kCannotRewrite;
            for (const auto& o : owners) {
                int before = Shared().NumOfInstance.load();
                switches.SetAutoFlush(0);
                std::shared_ptr<void> owner = o.make();
                // A CFileSearch holds three logs: its own and its two strings'.
                int logs = std::string(o.owner) == "CFileSearch" ? 3 : 1;
                EXPECT_EQ(Shared().NumOfInstance.load(), before + (failed ? 0 : logs)) << o.owner;
                EXPECT_EQ(Shared().autoFlush.load(), 1) << o.owner << (failed ? " failed" : "");
                owner.reset();
                EXPECT_EQ(Shared().NumOfInstance.load(), before) << o.owner;
            }
        }
    });
}

TEST(DebugFile, TextsOfTheStateCodes) {
    CDebugFile log;
    char text[33];
    struct Case {
        int code;
        const char* text;
    } cases[] = {{2001, "No Error occured!"},
                 {2002, "Cannot open File to append!"},
                 {2003, "Cannot open File to rewrite!"},
                 {2004, "No filename specified!"},
                 {2005, "Could not write file! Disk full?"},
                 {-2147483647 - 1, "Unknown error code: -2147483648"}};
    for (const Case& c : cases) {
        int saved = Shared().stateCode.exchange(c.code);
        std::memset(text, 'x', sizeof text);
        EXPECT_EQ(log.GetErrorText(text), 1);
        Shared().stateCode = saved;
        EXPECT_STREQ(text, c.text) << c.code;
    }
}

TEST(DebugFile, TracesReachTheDebuggerWithTagAndLineFeed) {
    support::DebugCapture capture;
    CDebugFile log;
    const char* empty = "";
    EXPECT_EQ(log.TraceLine("%d. String", 2), 1);
    EXPECT_EQ(log.TraceLine("ends\n"), 1);  // no second line feed
    EXPECT_EQ(log.TraceLine(nullptr), 1);
    EXPECT_EQ(log.TraceLine(empty), 1);
    EXPECT_EQ(log.TraceLineLevel(19, "dropped"), 1);  // below 20: nothing at all
    EXPECT_EQ(log.TraceLevel(1, "dropped"), 1);
    EXPECT_EQ(log.TraceLineLevel(20, "kept"), 1);
    EXPECT_EQ(log.TraceLineLevel(20, nullptr), 1);
    EXPECT_EQ(log.TraceLevel(25, "%s", "level"), 1);
    EXPECT_EQ(log.TraceLevel(25, empty), 1);
    EXPECT_EQ(capture.Texts(),
              (std::vector<std::string>{Tagged("2. String\n"), Tagged("ends\n"), Tagged("NULL"),
                                        Tagged("NULL"), Tagged("kept\n"), Tagged("NULL\n"),
                                        Tagged("level\n"), Tagged("NULL\n")}));
}

TEST(DebugFile, LongTextsAreCutAt7787Characters) {
    support::DebugCapture capture;
    CDebugFile log;
    log.TraceLine("%s", std::string(8000, 'h').c_str());
    // Cut at the last capacity; a full buffer gets no line feed.
    EXPECT_EQ(capture.Texts(), std::vector<std::string>{Tagged(std::string(7787, 'h'))});
}

TEST(DebugFile, ManyThreadsTraceAndCreateObjectsAtOnce) {
    support::DebugCapture capture;
    int before = Shared().NumOfInstance.load();
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([t] {
            CDebugFile log;
            log.Open(Shared().logName.load(), 1, 0);
            for (int i = 0; i < 50; ++i) {
                CStr text(nullptr, 255);
                text.sprintf("thread %d line %d", t, i);
                log.TraceLine("%s", text.GetBuffer());
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(Shared().NumOfInstance.load(), before);
    std::vector<std::string> lines = capture.Lines();
    ASSERT_EQ(lines.size(), 400u);
    for (const std::string& line : lines) EXPECT_EQ(line.rfind("thread ", 0), 0u) << line;
}
