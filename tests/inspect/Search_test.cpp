// Search: the traced lines of whole searches, the refusals and the failures
// of the platform calls.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Windows.h"
#include "platform/posix/Sinks.h"
#include "tests/inspect/SearchFixture.h"

namespace inspect_test {
namespace {

const std::string kPad = Filler(60);
const std::string kZero(1, '\0');

// The texts of `lines` on the debugger channel, tagged with the module and the
// thread.
Lines Tagged(const Lines& lines) {
    char prefix[64];
    std::snprintf(prefix, sizeof prefix, "[QZMPurgeLib,0x%x] ",
                  static_cast<unsigned>(GetCurrentThreadId()));
    Lines texts;
    for (const std::string& line : lines) texts.push_back(prefix + line + "\n");
    return texts;
}

struct Traced {
    int report, result;
    std::string text, bytes;
    Lines lines;
};

TEST_F(SearchTest, WholeSearchesTraceTheirHitsAndCount) {
    const std::string name = "QZM GmbH", longest(CFileSearch::kBlockSize - 1, 'x');
    const std::string two = "abc[Id: QZM GmbH, 2.0]" + kZero + kPad + "$Id: QZM GmbH $" + kZero;
    const Lines twoHits = {"searching",           name,        "1. String",
                           "[Id: QZM GmbH, 2.0]", "2. String", "$Id: QZM GmbH $",
                           "Num of detections",   "2"};
    // Texts from the file and the caller are never format directives.
    const Lines percent = {"searching",         "QZM%d", "1. String", "[100% %s%n QZM%d %x]",
                           "Num of detections", "1"};
    const Traced cases[] = {
        {1, 1, name, two + kPad, twoHits},
        {1, 1, "QZM%d", "[100% %s%n QZM%d %x]", percent},
        {0, 1, name, kPad + name + kPad + name, {"Num of detections", "2"}},
        {1, 0, name, kPad + "qzm gmbh QZM GMBH Qzm GmbH QZM  GmbH", {"Num of detections", "0"}},
        // Overlapping hits all count, also in a run across block boundaries.
        {0, 1, "AA", "xAAAAx", {"Num of detections", "3"}},
        {0, 1, "aba", "abababa", {"Num of detections", "3"}},
        {0, 1, "AAAAA", std::string(120000, 'A'), {"Num of detections", "119996"}},
        // Shorter than the seven-byte move back: it fails; seven bytes are
        // just enough, and a one-byte string never moves back.
        {1, 0, name, "", {"error", "_llseek 131", "Num of detections", "0"}},
        {1, 0, name, "QZM", {"error", "_llseek 131", "Num of detections", "0"}},
        {1, 0, name, "QZM Gmb", {"Num of detections", "0"}},
        {1, 0, "Q", "", {"Num of detections", "0"}},
        // The longest string that still lets the blocks move on, and the
        // shortest that is refused.
        {0, 1, longest, longest, {"Num of detections", "1"}},
        {0, 0, longest + "x", longest + "x", {"No search string"}},
    };
    for (const Traced& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 20) + " in " + c.bytes.substr(0, 30));
        EXPECT_EQ(SearchBytes(c.bytes, c.text, c.report), c.result);
        EXPECT_EQ(lines, c.lines);
        EXPECT_EQ(capture.Texts(), Tagged(c.lines));
    }
}

TEST_F(SearchTest, EmptyNamesAndSearchStringsAreRefused) {
    for (const char* name : {static_cast<const char*>(nullptr), "", " \t\r\n"}) {
        CFileSearch search(name);
        capture.Clear();
        EXPECT_EQ(search.Search("QZM GmbH", 1), 0);
        EXPECT_EQ(capture.Lines(), (Lines{"No Filename"}));
    }
    CFileSearch search(Put("QZM GmbH").c_str());
    for (const char* text : {static_cast<const char*>(nullptr), "", "  \t\n\r"}) {
        capture.Clear();
        EXPECT_EQ(search.Search(text, 1), 0);
        EXPECT_EQ(capture.Lines(), (Lines{"No search string"}));
    }
    // Blanks around other characters belong to the string.
    EXPECT_EQ(search.Search(" GmbH", 0), 1);
    EXPECT_EQ(search.Search(" QZM", 0), 0);
}

TEST_F(SearchTest, AFileHeldElsewhereIsTracedWithItsNameAndError) {
    // Held without sharing by another process.
    std::string path = Put("QZM GmbH");
    support::HeldFile holder(path, GENERIC_READ, 0);
    ASSERT_TRUE(holder.Holding());
    CFileSearch held(path.c_str());
    capture.Clear();
    EXPECT_EQ(held.Search("QZM GmbH", 1), 0);
    EXPECT_EQ(capture.Lines(), (Lines{"error", "OpenFile '" + path + "' 32"}));
}

TEST_F(SearchTest, AFailedCallEndsTheSearchAndReleasesTheFile) {
    // The hits so far still count; a failed read is no length.
    const std::string twoBlocks = Filler(100) + "QZM GmbH" + Filler(60000) + "QZM GmbH";
    const struct {
        int report, result;
        const char* function;
        DWORD error;
        std::string bytes;
        Lines lines;
    } cases[] = {
        {1, 0, "GlobalAlloc", ERROR_NOT_ENOUGH_MEMORY, "QZM GmbH", {"error", "GlobalAlloc 8"}},
        {0, 1, "_llseek", ERROR_SEEK, twoBlocks, {"error", "_llseek 25", "Num of detections", "1"}},
        {1, 0, "_lread", ERROR_READ_FAULT, "QZM GmbH QZM GmbH", {"Num of detections", "0"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.function);
        posix::ForceFailure(c.function, c.error);
        EXPECT_EQ(SearchBytes(c.bytes, "QZM GmbH", c.report), c.result);
        EXPECT_EQ(lines, c.lines);
        posix::ClearForced();
        // Only an exclusive open tells that nothing holds the file any more.
        HANDLE file = CreateFileA("C:\\data\\file.bin", GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_NE(file, INVALID_HANDLE_VALUE);
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    }
}

// A debugger channel that changes the last error, as it may on Windows.
void ClobberingSink(const char* text, void* lines) {
    static_cast<Lines*>(lines)->push_back(text);
    SetLastError(ERROR_SUCCESS);
}

TEST_F(SearchTest, TheTracedErrorNumberIsTheFailedCallsOwn) {
    std::string path = Put("QZM");
    Lines texts;
    posix::SetDebugSink(ClobberingSink, &texts);
    CFileSearch shortFile(path.c_str());
    shortFile.Search("QZM GmbH", 1);
    CFileSearch missing("C:\\data\\none.bin");
    missing.Search("QZM GmbH", 1);
    posix::ForceFailure("GlobalAlloc", ERROR_NOT_ENOUGH_MEMORY);
    shortFile.Search("QZM GmbH", 1);
    posix::SetDebugSink(nullptr, nullptr);
    EXPECT_EQ(texts, Tagged({"error", "_llseek 131", "Num of detections", "0", "error",
                             "OpenFile 'C:\\data\\none.bin' 2", "error", "GlobalAlloc 8"}));
}

}  // namespace
}  // namespace inspect_test
