// The trace object with file logging off: instance counting, error codes and
// what reaches the debugger channel.
#include "debuglog/DebugFile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "debuglog/LogState.h"
#include "strings/Str.h"
#include "tests/support/TempDrive.h"

namespace {

using debuglog::Shared;

std::string Prefix() {
    char prefix[64];
    std::snprintf(prefix, sizeof prefix, "[QZMPurgeLib,0x%x] ", static_cast<unsigned>(GetCurrentThreadId()));
    return prefix;
}

TEST(DebugFileCounting, OpenCountsCloseUncountsAndNoFileOpens) {
    int before = Shared().NumOfInstance.load();
    {
        CDebugFile log;
        EXPECT_EQ(log.Open("Debug.log", 1, 0), 1);
        EXPECT_EQ(Shared().NumOfInstance.load(), before + 1);
        EXPECT_EQ(log.IsOpen(), 0);
        EXPECT_EQ(log.GetErrorCode(), 2001);
        EXPECT_EQ(log.WriteRaw("text", 1), 0);
        EXPECT_EQ(log.Close(nullptr), 0);  // counted down; no file to close
        EXPECT_EQ(Shared().NumOfInstance.load(), before);
    }
    EXPECT_EQ(Shared().NumOfInstance.load(), before);  // the destructor's Close found nothing
}

TEST(DebugFileCounting, LibraryObjectsEachHoldOneInstance) {
    int before = Shared().NumOfInstance.load();
    {
        CStr a("a", 255), b(nullptr, 255);
        EXPECT_EQ(Shared().NumOfInstance.load(), before + 2);
    }
    EXPECT_EQ(Shared().NumOfInstance.load(), before);
}

int CloseWithoutInstances(void*) {
    Shared().NumOfInstance = 0;
    CDebugFile log;
    return log.Close("note") == 0 && Shared().NumOfInstance.load() == 0 ? 0 : 1;
}

int FailureStays(void*) {
    Shared().stateCode = 5;  // as a failed flush records it
    int before = Shared().NumOfInstance.load();
    CDebugFile log;
    char text[33];
    log.GetErrorText(text);
    bool ok = log.Open("Debug.log", 1, 0) == 0 && Shared().NumOfInstance.load() == before &&
              std::strcmp(text, "Unknown error code: 5") == 0;
    CStr str("x", 255);  // a library object keeps the pair (102, state code)
    ok = ok && str.GetLength() == 1;
    return ok ? 0 : 1;
}

TEST(DebugFileCounting, CloseWithoutInstancesChangesNothing) {
    EXPECT_EQ(support::RunInChild(CloseWithoutInstances, nullptr), 0);
}

TEST(DebugFileErrors, RecordedFailureStaysAndRefusesEveryOpen) {
    EXPECT_EQ(support::RunInChild(FailureStays, nullptr), 0);
}

TEST(DebugFileErrors, TextsOfTheStateCodes) {
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

TEST(DebugFileTrace, TraceLineReachesTheDebuggerWithTagAndLineFeed) {
    support::DebugCapture capture;
    CDebugFile log;
    EXPECT_EQ(log.TraceLine("%d. String", 2), 1);
    EXPECT_EQ(log.TraceLine("ends\n"), 1);  // no second line feed
    EXPECT_EQ(log.TraceLine(nullptr), 1);
    const char* empty = "";
    EXPECT_EQ(log.TraceLine(empty), 1);
    EXPECT_EQ(log.Trace("%s", ""), 1);  // an empty result is shown as "?"
    EXPECT_EQ(log.Trace("as is"), 1);
    std::string p = Prefix();
    EXPECT_EQ(capture.Texts(), (std::vector<std::string>{p + "2. String\n", p + "ends\n", p + "NULL",
                                                          p + "NULL", p + "?", p + "as is"}));
}

TEST(DebugFileTrace, LevelsBelowTwentyAreDropped) {
    support::DebugCapture capture;
    CDebugFile log;
    EXPECT_EQ(log.TraceLineLevel(19, "dropped"), 1);
    EXPECT_EQ(log.TraceLevel(1, "dropped"), 1);
    EXPECT_EQ(log.TraceLineLevel(20, "kept"), 1);
    EXPECT_EQ(log.TraceLineLevel(20, nullptr), 1);
    EXPECT_EQ(log.TraceLevel(25, "%s", "level"), 1);
    const char* empty = "";
    EXPECT_EQ(log.TraceLevel(25, empty), 1);
    std::string p = Prefix();
    EXPECT_EQ(capture.Texts(),
              (std::vector<std::string>{p + "kept\n", p + "NULL\n", p + "level\n", p + "NULL\n"}));
}

TEST(DebugFileTrace, LongTextsGrowTheBufferUpTo7787Characters) {
    support::DebugCapture capture;
    CDebugFile log;
    std::string medium(3000, 'm');
    log.TraceLine("%s", medium.c_str());
    std::string huge(8000, 'h');
    log.TraceLine("%s", huge.c_str());
    std::vector<std::string> texts = capture.Texts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0], Prefix() + medium + "\n");
    // Cut at the last capacity; a full buffer gets no line feed.
    EXPECT_EQ(texts[1], Prefix() + std::string(7787, 'h'));
}

TEST(DebugFileTrace, PercentSignsInArgumentsStayText) {
    support::DebugCapture capture;
    CDebugFile log;
    log.TraceLine("%s", "100% %s %n");
    EXPECT_EQ(capture.Lines(), std::vector<std::string>{"100% %s %n"});
}

TEST(DebugFileThreads, ManyThreadsTraceAndCreateObjectsAtOnce) {
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

}  // namespace
