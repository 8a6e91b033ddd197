// Hits at and across the 50000-byte block boundaries, and a derived searcher
// that replaces the scan of a block and the report of a hit.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/inspect/SearchFixture.h"

namespace inspect_test {
namespace {

const std::string kName = "QZM GmbH";
constexpr size_t kBlock = CFileSearch::kBlockSize;

// A file of `size` filler bytes with the name planted at each offset.
std::string Planted(size_t size, const std::vector<size_t>& offsets) {
    std::string bytes = Filler(size, 7);
    for (size_t at : offsets) bytes.replace(at, kName.size(), kName);
    return bytes;
}

TEST_F(SearchTest, EveryHitNearABlockBoundaryCountsOnce) {
    // Hits that end before, exactly at, and after the end of the first block,
    // and the same around the end of the second one (which starts seven bytes
    // before the first one's end).
    const size_t second = kBlock - (kName.size() - 1);
    for (size_t start = kBlock - 12; start <= kBlock + 2; ++start) {
        SCOPED_TRACE(start);
        EXPECT_EQ(SearchBytes(Planted(3 * kBlock, {start}), kName, 1), 1);
        EXPECT_EQ(TracedCount(), 1);
        EXPECT_EQ(Contexts().size(), 1u);
        size_t later = second + kBlock - 12 + (start - (kBlock - 12));
        EXPECT_EQ(SearchBytes(Planted(3 * kBlock, {later}), kName, 0), 1);
        EXPECT_EQ(TracedCount(), 1);
    }
    // Hits at every boundary of a long file, side by side.
    std::vector<size_t> offsets;
    for (size_t k = 1; k < 8; ++k) offsets.push_back(k * kBlock - 4);
    for (size_t k = 1; k < 8; ++k) offsets.push_back(k * kBlock + 20);
    EXPECT_EQ(SearchBytes(Planted(8 * kBlock + 123, offsets), kName, 0), 1);
    EXPECT_EQ(TracedCount(), static_cast<int>(offsets.size()));
}

// Records what the search hands to the scan and the report.
class RecordingSearch : public CFileSearch {
public:
    using CFileSearch::CFileSearch;

    int ScanBlock(char* block, unsigned length, int report) override {
        lengths.push_back(length);
        if (skipScan) return m_found;
        return CFileSearch::ScanBlock(block, length, report);
    }
    int ReportHit(CStr* context) override {
        countsSeen.push_back(m_hitCount);
        contexts.push_back(context->GetBuffer());
        return 1;
    }
    int Found() const { return m_found; }
    int HitCount() const { return m_hitCount; }

    bool skipScan = false;
    std::vector<unsigned> lengths;
    std::vector<int> countsSeen;
    std::vector<std::string> contexts;
};

TEST_F(SearchTest, AFileOfExactlyOneBlockIsReadTwiceAndItsLastHitCountsOnce) {
    std::string path = Put(Planted(kBlock, {kBlock - kName.size()}));
    RecordingSearch search(path.c_str());
    EXPECT_EQ(search.Search(kName.c_str(), 1), 1);
    EXPECT_EQ(search.lengths, (std::vector<unsigned>{50000u, 7u}));
    EXPECT_EQ(search.HitCount(), 1);
    EXPECT_EQ(search.countsSeen, (std::vector<int>{0}));
}

TEST_F(SearchTest, ADerivedClassReplacesTheReportAndTheScan) {
    std::string path =
        Put("[x QZM GmbH]" + Filler(45) + "$QZM GmbH$" + Filler(45) + "QZM GmbH" + Filler(60));
    RecordingSearch search(path.c_str());
    EXPECT_EQ(search.Search(kName.c_str(), 1), 1);
    // The report sees the number of earlier hits and replaces the traces.
    EXPECT_EQ(search.countsSeen, (std::vector<int>{0, 1, 2}));
    ASSERT_EQ(search.contexts.size(), 3u);
    EXPECT_EQ(search.contexts[0], "[x QZM GmbH]");
    EXPECT_EQ(search.contexts[1], "$");
    EXPECT_EQ(capture.Lines(), (std::vector<std::string>{"Num of detections", "3"}));

    // With report off the report is not called.
    search.countsSeen.clear();
    EXPECT_EQ(search.Search(kName.c_str(), 0), 1);
    EXPECT_TRUE(search.countsSeen.empty());
    EXPECT_EQ(search.HitCount(), 3);

    // A refused search keeps the last result; a scan that finds nothing
    // starts from zero.
    EXPECT_EQ(search.Search("", 1), 0);
    EXPECT_EQ(search.Found(), 1);
    EXPECT_EQ(search.HitCount(), 3);
    search.skipScan = true;
    EXPECT_EQ(search.Search(kName.c_str(), 1), 0);
    EXPECT_EQ(search.HitCount(), 0);
}

// Calls the scan on blocks of its own.
class DirectScan : public CFileSearch {
public:
    DirectScan() : CFileSearch("C:\\unused") {}
    int Scan(const std::string& text, std::vector<char>& block) {
        m_searchString.Set(text.c_str(), 0);
        m_found = 0;
        m_hitCount = 0;
        contexts.clear();
        return ScanBlock(block.data(), static_cast<unsigned>(block.size()), 1);
    }
    int ReportHit(CStr* context) override {
        contexts.push_back(context->GetBuffer());
        return 1;
    }
    int HitCount() const { return m_hitCount; }
    std::vector<std::string> contexts;
};

TEST(DirectScanBlock, ABlockOfItsOwnShowsNothingBeyondItsBytes) {
    // Under the address sanitizer, any byte read outside the vector fails.
    DirectScan scan;
    std::string bytes = "ab\x01QZM GmbH";
    std::vector<char> block(bytes.begin(), bytes.end());
    EXPECT_EQ(scan.Scan("QZM GmbH", block), 1);
    EXPECT_EQ(scan.contexts, (std::vector<std::string>{"ab QZM GmbH"}));

    bytes = "[QZM GmbH" + Filler(20);
    block.assign(bytes.begin(), bytes.end());
    EXPECT_EQ(scan.Scan("QZM GmbH", block), 1);
    EXPECT_EQ(scan.contexts, (std::vector<std::string>{bytes}));

    bytes = "QZM GmbH$";
    block.assign(bytes.begin(), bytes.end());
    EXPECT_EQ(scan.Scan("QZM GmbH", block), 1);
    EXPECT_EQ(scan.contexts, (std::vector<std::string>{"$"}));

    // A string longer than the block, and an empty one, find nothing.
    EXPECT_EQ(scan.Scan("QZM GmbH$$", block), 0);
    EXPECT_EQ(scan.Scan("", block), 0);
    EXPECT_EQ(scan.HitCount(), 0);
}

}  // namespace
}  // namespace inspect_test
