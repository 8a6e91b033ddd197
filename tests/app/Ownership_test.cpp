// The content stage of the ownership test: the maker names searched in a
// library's bytes, in order, until one is found.
#include "app/Ownership.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/PeWriter.h"
#include "tests/support/TempDrive.h"

namespace {

using Lines = std::vector<std::string>;

// `count` lower-case letters: no opener, closer, zero byte or maker name.
std::string Filler(size_t count) {
    std::string out(count, 'a');
    for (size_t i = 0; i < count; ++i) out[i] = static_cast<char>('a' + (i * 7 + i / 26) % 26);
    return out;
}

// C:\data\<name>: a DLL without version resource whose bytes carry `text`.
std::string LibraryWith(const support::TempDrive& drive, const std::string& text,
                        const std::string& name) {
    std::vector<uint8_t> image = fixtures::DllWithCompany(nullptr);
    drive.WriteFile("data/" + name, std::string(image.begin(), image.end()) + Filler(300) + text +
                                        std::string(1, '\0') + Filler(300));
    return "C:\\data\\" + name;
}

TEST(MakerContent, TheMakerNamesAreSearchedInOrderUntilOneIsFound) {
    support::TempDrive drive;
    support::DebugCapture capture;
    std::string path = LibraryWith(drive, "(c) QZM-GmbH 1999", "last.dll");
    capture.Clear();
    EXPECT_EQ(HasMakerContent(path.c_str()), 1);
    EXPECT_EQ(capture.Lines(), (Lines{"Num of detections", "0", "Num of detections", "0",
                                      "searching", "QZM-GmbH", "1. String",
                                      Filler(300).substr(300 - 36) + "(c) QZM-GmbH 1999 " +
                                          Filler(300).substr(0, 35),
                                      "Num of detections", "1"}));

    path = LibraryWith(drive, "QZM Korvik QZM GmbH", "first.dll");
    capture.Clear();
    EXPECT_EQ(HasMakerContent(path.c_str()), 1);
    EXPECT_EQ(capture.Lines().size(), 6u);  // only the first name is searched for

    path = LibraryWith(drive, "qzm gmbh, QZM Korvi, QZM_GmbH", "foreign.dll");
    EXPECT_EQ(HasMakerContent(path.c_str()), 0);
    EXPECT_EQ(HasMakerContent("C:\\data\\missing.dll"), 0);
    EXPECT_EQ(HasMakerContent(nullptr), 0);
}

}  // namespace
