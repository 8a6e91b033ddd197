// The write variants of the log: the file-only writes and their null and
// empty formats, the estimate that sizes their buffer, the line-end trimming,
// Trace, the rows and the instance report.
#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "debuglog/DebugFile.h"
#include "tests/debuglog/LogTestSupport.h"

using logtest::OpenLog;
using logtest::RunInChild;
using logtest::Tagged;
using logtest::TempWindows;

namespace {

int Estimate(const char* format, ...) {
    va_list args;
    va_start(args, format);
    int result = CDebugFile::EstimateLength(format, args);
    va_end(args);
    return result;
}

}  // namespace

TEST(WriteVariants, EstimateLength) {
    EXPECT_EQ(Estimate("Size=%d", 5), 39);
    EXPECT_EQ(Estimate("%s", "abcd"), 2 + 3 + 4 + 15 + 10);
    EXPECT_EQ(Estimate("%s", static_cast<const char*>(nullptr)), 2 + 3 + 15 + 10);
    EXPECT_EQ(Estimate("%x|%c|%e", 1u, 'a', 2.5), 8 + 3 + 10 + 1 + 8 + 45 + 10);
    EXPECT_EQ(Estimate("%-4s", "ab"), 4 + 3 + 255 + 15 + 10);
    EXPECT_EQ(Estimate("100%%"), 5 + 3 + 10);
    EXPECT_EQ(Estimate("%S", L"abc"), 2 + 3 + 3 + 15 + 10);
    // A width before "d" adds nothing, and the string after it still meets
    // its own argument.
    EXPECT_EQ(Estimate("%5d %s", 7, "abc"), 6 + 3 + 3 + 15 + 10);
    EXPECT_EQ(Estimate("%*d|%.*f|%s", 3, 7, 2, 1.5, "xy"), 11 + 3 + 2 + 15 + 10);
    EXPECT_EQ(Estimate("%zu %s", static_cast<size_t>(3), "ab"), 6 + 3 + 2 + 15 + 10);
    EXPECT_EQ(Estimate("%I64d %s", 1LL, "ab"), 8 + 3 + 4 + 2 + 30 + 10);  // "I" counts as "i"
}

TEST(WriteVariants, TrimLineEnd) {
    struct Case {
        const char* text;
        const char* after;
        int result;
    };
    const Case cases[] = {{"abc", "abc", 0},         {"abc\n", "abc\n", 1},
                          {"abc\r\n", "abc\r\n", 1}, {"abc\n\t ", "abc\n", 1},
                          {"a\nb ", "a\nb ", 0},     {"", "", 0},
                          {" \t ", " \t ", 0}};
    for (const Case& c : cases) {
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "%s", c.text);
        EXPECT_EQ(CDebugFile::TrimLineEnd(buffer), c.result) << '"' << c.text << '"';
        EXPECT_STREQ(buffer, c.after);
    }
    EXPECT_EQ(CDebugFile::TrimLineEnd(nullptr), 1);
}

TEST(WriteVariants, NullAndEmptyFormatsAndLineEnds) {
    TempWindows windows;
    RunInChild([&] {
        CDebugFile* log = OpenLog(0);
        const char* empty = "";
        EXPECT_EQ(log->Write(nullptr), 0);
        EXPECT_EQ(log->WriteLevel(20, nullptr), 0);
        EXPECT_EQ(log->WriteLine(nullptr), 0);
        EXPECT_EQ(log->WriteLineLevel(25, nullptr), 0);
        EXPECT_EQ(log->Write(empty), 1);
        EXPECT_EQ(log->WriteLine(empty), 1);
        EXPECT_EQ(log->WriteLine("abc"), 1);
        EXPECT_EQ(log->WriteLine("abc\n"), 1);
        EXPECT_EQ(log->WriteLine("abc\n\t "), 1);
        EXPECT_EQ(log->WriteLineLevel(20, "%d-%s", 4, "def"), 1);
        EXPECT_EQ(log->WriteLevel(20, "[%c]", 'g'), 1);
        EXPECT_EQ(log->WriteLineLevel(19, "dropped"), 1);
        delete log;
        EXPECT_EQ(windows.Read("Debug.log"),
                  "NULL\r\n"
                  "NULL"
                  "NULL\r\n"
                  "NULL\r\n"
                  "\r\n"
                  "abc\r\n"
                  "abc\n"
                  "abc\n"
                  "4-def\r\n"
                  "[g]");
    });
}

TEST(WriteVariants, TextLongerThanTheEstimateIsWrittenWhole) {
    TempWindows windows;
    RunInChild([&] {
        CDebugFile* log = OpenLog(0);
        std::string longText(5000, 'L');
        // "%3s" counts nothing for its string, so the estimate is far short.
        EXPECT_LT(Estimate("%3s|%s", "a", "b"), 100);
        EXPECT_EQ(log->WriteLine("%3s|%s", "a", longText.c_str()), 1);
        EXPECT_EQ(log->Write("%2s", longText.c_str()), 1);
        delete log;
        EXPECT_EQ(windows.Read("Debug.log"), "  a|" + longText + "\r\n" + longText);
    });
}

TEST(WriteVariants, TraceRowsAndInstanceReport) {
    TempWindows windows;
    RunInChild([&] {
        CDebugFile* log = OpenLog(0);
        CDebugFile* second = OpenLog(0);
        CDebugFile* third = OpenLog(0);
        support::DebugCapture debug;
        EXPECT_EQ(log->Trace("%s", ""), 1);
        EXPECT_EQ(log->Trace(nullptr), 1);
        EXPECT_EQ(log->Trace("ohne Zeilenende"), 1);
        EXPECT_EQ(log->TraceRow('=', 10), 1);
        EXPECT_EQ(log->TraceRow('%', 3), 1);
        EXPECT_EQ(log->TraceRow('x', 0), 1);
        EXPECT_EQ(log->TraceRowLevel(1, '-', 4), 1);
        EXPECT_EQ(log->TraceRowLevel(20, '-', 4), 1);
        EXPECT_EQ(log->ShowInstances(), 1);
        char address[32];
        std::snprintf(address, sizeof address, "%p", static_cast<void*>(log));
        delete third;
        delete second;
        delete log;

        std::string report = std::string("CDebugFile(") + address + ") NumOfInstance = 3";
        EXPECT_EQ(windows.Read("Debug.log"),
                  "NULL"
                  "ohne Zeilenende"
                  "==========\r\n"
                  "%%%\r\n"
                  "NULL\r\n"
                  "----\r\n" +
                      report + "\r\n");
        std::vector<std::string> expected = {
            Tagged("?"),     Tagged("NULL"), Tagged("ohne Zeilenende"), Tagged("==========\n"),
            Tagged("%%%\n"), Tagged("NULL"), Tagged("----\n"),          Tagged(report + "\n")};
        EXPECT_EQ(debug.Texts(), expected);
    });
}
