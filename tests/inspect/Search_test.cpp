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

using Lines = std::vector<std::string>;

const std::string kPad = Filler(60);

TEST_F(SearchTest, TwoHitsTraceTheStringEachHitWithItsContextAndTheCount) {
    std::string bytes = "abc[Id: QZM GmbH, 2.0]" + std::string(1, '\0') + kPad + "$Id: QZM GmbH $" +
                        std::string(1, '\0') + kPad;
    EXPECT_EQ(SearchBytes(bytes, "QZM GmbH"), 1);
    EXPECT_EQ(lines, (Lines{"searching", "QZM GmbH", "1. String", "[Id: QZM GmbH, 2.0]",
                            "2. String", "$Id: QZM GmbH $", "Num of detections", "2"}));
    // Each line is one text on the debugger channel, tagged with the module
    // and the thread.
    std::vector<std::string> texts = capture.Texts();
    ASSERT_EQ(texts.size(), 8u);
    char prefix[64];
    std::snprintf(prefix, sizeof prefix, "[QZMPurgeLib,0x%x] ",
                  static_cast<unsigned>(GetCurrentThreadId()));
    EXPECT_EQ(texts[0], std::string(prefix) + "searching\n");
}

TEST_F(SearchTest, WithReportOffOnlyTheClosingLinesAreTraced) {
    EXPECT_EQ(SearchBytes(kPad + "QZM GmbH" + kPad + "QZM GmbH", "QZM GmbH", 0), 1);
    EXPECT_EQ(lines, (Lines{"Num of detections", "2"}));
    EXPECT_EQ(SearchBytes(kPad, "QZM GmbH", 1), 0);
    EXPECT_EQ(lines, (Lines{"Num of detections", "0"}));
}

TEST_F(SearchTest, OverlappingHitsAllCount) {
    EXPECT_EQ(SearchBytes("xAAAAx", "AA", 0), 1);
    EXPECT_EQ(TracedCount(), 3);
    EXPECT_EQ(SearchBytes("abababa", "aba", 0), 1);
    EXPECT_EQ(TracedCount(), 3);
    // A run that crosses block boundaries: every start position is one hit.
    std::string run(120000, 'A');
    EXPECT_EQ(SearchBytes(run, "AAAAA", 0), 1);
    EXPECT_EQ(TracedCount(), 120000 - 4);
}

TEST_F(SearchTest, NamesInOtherLetterCaseAreNoHits) {
    EXPECT_EQ(SearchBytes(kPad + "qzm gmbh QZM GMBH Qzm GmbH QZM  GmbH" + kPad, "QZM GmbH"), 0);
    EXPECT_EQ(lines, (Lines{"Num of detections", "0"}));
}

TEST_F(SearchTest, FilesShorterThanTheOverlapEndWithAFailedMoveBack) {
    // The move back by seven bytes would lie before the start of the file.
    EXPECT_EQ(SearchBytes("", "QZM GmbH"), 0);
    EXPECT_EQ(lines, (Lines{"error", "_llseek 131", "Num of detections", "0"}));
    EXPECT_EQ(SearchBytes("QZM", "QZM GmbH"), 0);
    EXPECT_EQ(lines, (Lines{"error", "_llseek 131", "Num of detections", "0"}));
    // Seven bytes are just enough to move back to the start.
    EXPECT_EQ(SearchBytes("QZM Gmb", "QZM GmbH"), 0);
    EXPECT_EQ(lines, (Lines{"Num of detections", "0"}));
    // A one-byte string never moves back.
    EXPECT_EQ(SearchBytes("", "Q"), 0);
    EXPECT_EQ(lines, (Lines{"Num of detections", "0"}));
}

TEST_F(SearchTest, TextsFromTheFileAndTheCallerAreTracedLiterally) {
    EXPECT_EQ(SearchBytes("[100% %s%n QZM%d %x]", "QZM%d"), 1);
    EXPECT_EQ(lines, (Lines{"searching", "QZM%d", "1. String", "[100% %s%n QZM%d %x]",
                            "Num of detections", "1"}));
}

TEST_F(SearchTest, EmptyNamesAndSearchStringsAreRefused) {
    for (const char* name : {static_cast<const char*>(nullptr), "", " \t\r\n"}) {
        CFileSearch search(name);
        capture.Clear();
        EXPECT_EQ(search.Search("QZM GmbH", 1), 0);
        EXPECT_EQ(capture.Lines(), (Lines{"No Filename"}));
    }
    std::string path = Put("QZM GmbH");
    CFileSearch search(path.c_str());
    for (const char* text : {static_cast<const char*>(nullptr), "", "  \t\n\r"}) {
        capture.Clear();
        EXPECT_EQ(search.Search(text, 1), 0);
        EXPECT_EQ(capture.Lines(), (Lines{"No search string"}));
    }
    // Blanks around other characters belong to the string.
    capture.Clear();
    EXPECT_EQ(search.Search(" GmbH", 0), 1);
    EXPECT_EQ(search.Search(" QZM", 0), 0);
}

TEST_F(SearchTest, AStringOfABlockOrMoreIsRefused) {
    std::string longest(CFileSearch::kBlockSize - 1, 'x');
    EXPECT_EQ(SearchBytes(longest, longest, 0), 1);
    EXPECT_EQ(lines, (Lines{"Num of detections", "1"}));
    std::string tooLong(CFileSearch::kBlockSize, 'x');
    EXPECT_EQ(SearchBytes(tooLong, tooLong, 0), 0);
    EXPECT_EQ(lines, (Lines{"No search string"}));
}

TEST_F(SearchTest, AFileThatCannotBeOpenedIsTracedWithItsNameAndError) {
    drive.MakeDirs("data");
    CFileSearch missing("C:\\data\\missing.dll");
    EXPECT_EQ(missing.Search("QZM GmbH", 1), 0);
    EXPECT_EQ(capture.Lines(), (Lines{"error", "OpenFile 'C:\\data\\missing.dll' 2"}));

    // Held without sharing by another process.
    std::string path = Put("QZM GmbH");
    support::HeldFile holder(path, GENERIC_READ, 0);
    ASSERT_TRUE(holder.Holding());
    CFileSearch held(path.c_str());
    capture.Clear();
    EXPECT_EQ(held.Search("QZM GmbH", 1), 0);
    EXPECT_EQ(capture.Lines(), (Lines{"error", "OpenFile '" + path + "' 32"}));
}

// True when nothing of this process holds the file any more: an exclusive
// open succeeds only then.
bool IsReleased(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

TEST_F(SearchTest, NoMemoryForTheBufferClosesTheFile) {
    std::string path = Put("QZM GmbH");
    posix::ForceFailure("GlobalAlloc", ERROR_NOT_ENOUGH_MEMORY);
    CFileSearch search(path.c_str());
    EXPECT_EQ(search.Search("QZM GmbH", 1), 0);
    EXPECT_EQ(capture.Lines(), (Lines{"error", "GlobalAlloc 8"}));
    posix::ClearForced();
    EXPECT_TRUE(IsReleased(path));
}

TEST_F(SearchTest, AFailedMoveBackEndsTheSearchWithTheHitsSoFar) {
    std::string bytes = Filler(100) + "QZM GmbH" + Filler(60000) + "QZM GmbH";
    std::string path = Put(bytes);
    posix::ForceFailure("_llseek", ERROR_SEEK);
    CFileSearch search(path.c_str());
    EXPECT_EQ(search.Search("QZM GmbH", 0), 1);
    EXPECT_EQ(capture.Lines(), (Lines{"error", "_llseek 25", "Num of detections", "1"}));
    posix::ClearForced();
    EXPECT_TRUE(IsReleased(path));
}

TEST_F(SearchTest, AFailedReadEndsTheSearch) {
    std::string path = Put("QZM GmbH QZM GmbH");
    posix::ForceFailure("_lread", ERROR_READ_FAULT);
    CFileSearch search(path.c_str());
    EXPECT_EQ(search.Search("QZM GmbH", 1), 0);
    EXPECT_EQ(capture.Lines(), (Lines{"Num of detections", "0"}));
    posix::ClearForced();
    EXPECT_TRUE(IsReleased(path));
}

// A debugger channel that changes the last error, as it may on Windows.
void ClobberingSink(const char* text, void* lines) {
    static_cast<std::vector<std::string>*>(lines)->push_back(text);
    SetLastError(ERROR_SUCCESS);
}

TEST_F(SearchTest, TheTracedErrorNumberIsTheFailedCallsOwn) {
    std::string path = Put("QZM");
    std::vector<std::string> texts;
    posix::SetDebugSink(ClobberingSink, &texts);
    CFileSearch shortFile(path.c_str());
    shortFile.Search("QZM GmbH", 1);
    CFileSearch missing("C:\\data\\none.bin");
    missing.Search("QZM GmbH", 1);
    posix::ForceFailure("GlobalAlloc", ERROR_NOT_ENOUGH_MEMORY);
    shortFile.Search("QZM GmbH", 1);
    posix::SetDebugSink(nullptr, nullptr);
    ASSERT_EQ(texts.size(), 8u);
    EXPECT_NE(texts[1].find("] _llseek 131"), std::string::npos) << texts[1];
    EXPECT_NE(texts[5].find("] OpenFile 'C:\\data\\none.bin' 2"), std::string::npos) << texts[5];
    EXPECT_NE(texts[7].find("] GlobalAlloc 8"), std::string::npos) << texts[7];
}

}  // namespace
}  // namespace inspect_test
