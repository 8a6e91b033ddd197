// Describe and QueryFileSize on generated files: the date, attribute and
// version lines, and every way the description stops early.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "platform/Windows.h"
#include "tests/inspect/SearchFixture.h"
#include "tests/support/ForcedCalls.h"
#include "tests/support/PeWriter.h"

namespace inspect_test {
namespace {

class DescribeTest : public SearchTest {
protected:
    // Writes C:\data\<name>, last written at 2006-02-01 09:05:07 UTC.
    std::string PutDated(const std::vector<uint8_t>& bytes, const std::string& name = "lib.dll") {
        std::string path = Put(std::string(bytes.begin(), bytes.end()), name);
        struct timespec times[2] = {{1138784707, 0}, {1138784707, 0}};
        EXPECT_EQ(utimensat(AT_FDCWD, drive.Host("data/" + name).c_str(), times, 0), 0);
        return path;
    }
    int Describe(const std::string& path) {
        CFileSearch search(path.c_str());
        capture.Clear();
        int result = search.Describe();
        lines = capture.Lines();
        return result;
    }
    // The date and attribute lines of a dated file with only the archive bit.
    Lines Head(const Lines& tail) const {
        Lines all = {"File date", "09:05:07 01.02.2006", "Attributes", "a------ <32>"};
        all.insert(all.end(), tail.begin(), tail.end());
        return all;
    }
    TimeZone utc{"UTC"};
};

TEST_F(DescribeTest, ACompleteVersionResourceIsDescribedInFull) {
    fixtures::VersionSpec spec = fixtures::CompanySpec("QZM GmbH");
    spec.fileMS = 0xFFFF0000;  // 65535.0.10.65535: 16-bit parts, no leading zeros
    spec.fileLS = 0x000AFFFF;
    spec.tables[0].values[3].second = "100% (C) %s M\xFCller";
    std::string path = PutDated(fixtures::Pe(fixtures::VersionBlock32(spec)));
    const Lines expected =
        Head({"File Version", "65535.0.10.65535", "Product Version", "1.0.0.1", "CompanyName",
              "QZM GmbH", "FileDescription", "Testbibliothek f\xFCr CAPI", "LegalCopyright",
              "100% (C) %s M\xFCller"});
    // Nothing is kept between calls: a second call says the same.
    for (int call = 0; call < 2; ++call) {
        EXPECT_EQ(Describe(path), 1);
        EXPECT_EQ(lines, expected);
    }
    // The date is the last write in local time.
    TimeZone cet("CET-1");
    Describe(path);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[1], "10:05:07 01.02.2006");
}

TEST_F(DescribeTest, FilesWithoutVersionInformationStopAfterTheAttributes) {
    EXPECT_EQ(Describe(PutDated({'p', 'l', 'a', 'i', 'n'})), 0);
    EXPECT_EQ(lines, Head({"GetFileVersionInfo", "Size=0"}));

    // A missing file: no date, every attribute letter from the invalid value.
    drive.MakeDirs("data");
    EXPECT_EQ(Describe("C:\\data\\missing.dll"), 0);
    EXPECT_EQ(lines, (Lines{"File date", "not retrieved", "Attributes", "achnrst <-1>",
                            "GetFileVersionInfo", "Size=0"}));

    // A read-only file shows its r.
    std::string path = PutDated({'r', 'o'}, "ro.txt");
    chmod(drive.Host("data/ro.txt").c_str(), 0444);
    Describe(path);
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[3], "a---r-- <33>");

    // Hidden and system exist only on Windows: the letters of a read-only
    // hidden system file with the archive bit, and of every bit at once.
    for (auto [value, text] :
         {std::pair<DWORD, const char*>{39, "a-h-rs- <39>"}, {0x9A7, "achnrst <2471>"}}) {
        posix::ForceValue("GetFileAttributesA", value);
        Describe(path);
        posix::ClearForced();
        ASSERT_GE(lines.size(), 4u);
        EXPECT_EQ(lines[3], text);
    }

    EXPECT_EQ(Describe(""), 0);
    EXPECT_EQ(lines, (Lines{"No Filename"}));
}

TEST_F(DescribeTest, IncompleteResourcesEndTheDescriptionWhereTheyEnd) {
    // Fixed information but no translation table: no string values.
    fixtures::VersionSpec spec = fixtures::CompanySpec("QZM GmbH");
    spec.translations.clear();
    EXPECT_EQ(Describe(PutDated(fixtures::Pe(fixtures::VersionBlock32(spec)))), 0);
    EXPECT_EQ(lines, Head({"File Version", "1.2.3.4", "Product Version", "1.0.0.1"}));

    // No fixed information.
    spec = fixtures::CompanySpec("QZM GmbH");
    spec.fixedInfo = false;
    EXPECT_EQ(Describe(PutDated(fixtures::Pe(fixtures::VersionBlock32(spec)))), 0);
    EXPECT_EQ(lines, Head({"File Version", "not available"}));

    // Only the first translation counts, and missing values are skipped.
    spec = fixtures::VersionSpec();
    spec.tables.push_back({0x0409, 0x04b0, {{"LegalCopyright", "(c) 2006"}}});
    spec.tables.push_back({0x0407, 0x04b0, {{"CompanyName", "QZM GmbH"}}});
    spec.translations = {0x04b00409, 0x04b00407};
    EXPECT_EQ(Describe(PutDated(fixtures::Ne(fixtures::VersionBlock16(spec)))), 1);
    EXPECT_EQ(lines, Head({"File Version", "1.2.3.4", "Product Version", "1.0.0.1",
                           "LegalCopyright", "(c) 2006"}));
}

TEST_F(DescribeTest, AFileOpenElsewhereHasNoDateButTheRest) {
    std::string path = PutDated(fixtures::DllWithCompany("QZM GmbH"));
    for (unsigned access : {GENERIC_READ, GENERIC_WRITE}) {
        support::HeldFile holder(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE);
        ASSERT_TRUE(holder.Holding());
        EXPECT_EQ(Describe(path), 1);
        ASSERT_EQ(lines.size(), 14u);
        EXPECT_EQ(lines[1], "not retrieved");
        EXPECT_EQ(lines[3], "a------ <32>");
        EXPECT_EQ(lines[9], "QZM GmbH");
    }
}

TEST_F(DescribeTest, QueryFileSizeMeasuresTheNamedFile) {
    CFileSearch search("C:\\data\\other.bin");
    std::string path = Put(std::string(123457, 'x'), "sized.bin");
    capture.Clear();
    EXPECT_EQ(search.QueryFileSize(path.c_str()), 123457u);
    EXPECT_EQ(search.QueryFileSize(Put("", "empty.bin").c_str()), 0u);
    EXPECT_EQ(search.QueryFileSize("C:\\data\\missing.bin"), 0u);
    EXPECT_EQ(search.QueryFileSize(nullptr), 0u);
    {
        support::HeldFile holder(path, GENERIC_READ, 0);
        ASSERT_TRUE(holder.Holding());
        EXPECT_EQ(search.QueryFileSize(path.c_str()), 0u);
    }
    EXPECT_TRUE(capture.Lines().empty());
}

}  // namespace
}  // namespace inspect_test
