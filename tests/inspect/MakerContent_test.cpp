// The content stage of the ownership test, alone and in the cleanup run.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/Cleanup.h"
#include "app/Ownership.h"
#include "platform/Windows.h"
#include "tests/inspect/SearchFixture.h"
#include "tests/support/PeWriter.h"

namespace inspect_test {
namespace {

// A DLL without version resource whose bytes carry `text`.
std::string LibraryWith(const std::string& text) {
    std::vector<uint8_t> image = fixtures::DllWithCompany(nullptr);
    return std::string(image.begin(), image.end()) + Filler(300) + text + std::string(1, '\0') +
           Filler(300);
}

TEST_F(SearchTest, TheMakerNamesAreSearchedInOrderUntilOneIsFound) {
    std::string path = Put(LibraryWith("(c) QZM-GmbH 1999"));
    capture.Clear();
    EXPECT_EQ(HasMakerContent(path.c_str()), 1);
    EXPECT_EQ(capture.Lines(), (Lines{"Num of detections", "0", "Num of detections", "0",
                                      "searching", "QZM-GmbH", "1. String",
                                      Filler(300).substr(300 - 36) + "(c) QZM-GmbH 1999 " +
                                          Filler(300).substr(0, 35),
                                      "Num of detections", "1"}));

    path = Put(LibraryWith("QZM Korvik QZM GmbH"), "first.dll");
    capture.Clear();
    EXPECT_EQ(HasMakerContent(path.c_str()), 1);
    EXPECT_EQ(capture.Lines().size(), 6u);  // only the first name is searched for

    path = Put(LibraryWith("qzm gmbh, QZM Korvi, QZM_GmbH"), "foreign.dll");
    EXPECT_EQ(HasMakerContent(path.c_str()), 0);
    EXPECT_EQ(HasMakerContent("C:\\data\\missing.dll"), 0);
    EXPECT_EQ(HasMakerContent(nullptr), 0);
}

TEST_F(SearchTest, TheCleanupRunRemovesLibrariesByTheirBytesButNoneItCannotRead) {
    drive.WriteFile("windows/system32/CAPI2032.DLL", LibraryWith("QZM GmbH"));
    drive.WriteFile("windows/system/capi20.dll", LibraryWith("[Id: QZM Korvik 2.1]"));
    drive.WriteFile("windows/system/capi.dll", LibraryWith("Other Networks AG, qzm gmbh"));
    // Held without sharing by another process: its search is refused.
    support::HeldFile holder("C:\\windows\\system\\capi20.dll", GENERIC_READ, 0);
    ASSERT_TRUE(holder.Holding());
    support::MessageCapture messages;
    EXPECT_EQ(RunCleanup(), 0);
    std::vector<support::ShownMessage> shown = messages.Messages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text,
              "Das System wurde erfolgreich aktualisiert.\n"
              "Sie m\xFCssen den Computer neu starten, damit die \xC4nderungen wirksam werden.");
    EXPECT_FALSE(drive.Exists("windows/system32/CAPI2032.DLL"));
    EXPECT_TRUE(drive.Exists("windows/system/capi20.dll"));
    EXPECT_TRUE(drive.Exists("windows/system/capi.dll"));
}

}  // namespace
}  // namespace inspect_test
