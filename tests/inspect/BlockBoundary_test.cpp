// Hits at and across the 50000-byte block boundaries, and derived searchers
// that replace the scan of a block and the report of a hit.
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
    for (size_t blockStart : {size_t{0}, kBlock - (kName.size() - 1)}) {
        for (size_t start = blockStart + kBlock - 12; start <= blockStart + kBlock + 2; ++start) {
            SCOPED_TRACE(start);
            EXPECT_EQ(SearchBytes(Planted(3 * kBlock, {start}), kName, 1), 1);
            EXPECT_EQ(TracedCount(), 1);
        }
    }
    // Hits at every boundary of a long file, side by side.
    std::vector<size_t> offsets;
    for (size_t k = 1; k < 8; ++k) offsets.insert(offsets.end(), {k * kBlock - 4, k * kBlock + 20});
    EXPECT_EQ(SearchBytes(Planted(8 * kBlock + 123, offsets), kName, 0), 1);
    EXPECT_EQ(TracedCount(), static_cast<int>(offsets.size()));
}

// Records what the search hands to the scan and the report; Scan calls the
// scan on a block of its own.
class RecordingSearch : public CFileSearch {
public:
    using CFileSearch::CFileSearch;

    int Scan(const std::string& text, const std::string& bytes) {
        // Exactly the block's bytes: the address sanitizer fails any read beyond.
        std::vector<char> block(bytes.begin(), bytes.end());
        m_searchString.Set(text.c_str(), 0);
        m_found = m_hitCount = 0;
        contexts.clear();
        return ScanBlock(block.data(), static_cast<unsigned>(block.size()), 1);
    }
    int ScanBlock(char* block, unsigned length, int report) override {
        lengths.push_back(length);
        return skipScan ? m_found : CFileSearch::ScanBlock(block, length, report);
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
    Lines contexts;
};

TEST_F(SearchTest, AFileOfExactlyOneBlockIsReadTwiceAndItsLastHitCountsOnce) {
    RecordingSearch search(Put(Planted(kBlock, {kBlock - kName.size()})).c_str());
    EXPECT_EQ(search.Search(kName.c_str(), 1), 1);
    EXPECT_EQ(search.lengths, (std::vector<unsigned>{50000u, 7u}));
    EXPECT_EQ(search.HitCount(), 1);
}

TEST_F(SearchTest, ADerivedClassReplacesTheReportAndTheScan) {
    RecordingSearch search(
        Put("[x QZM GmbH]" + Filler(45) + "$QZM GmbH$" + Filler(45) + "QZM GmbH" + Filler(60))
            .c_str());
    EXPECT_EQ(search.Search(kName.c_str(), 1), 1);
    // The report sees the number of earlier hits and replaces the traces.
    EXPECT_EQ(search.countsSeen, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(search.contexts.front(), "[x QZM GmbH]");
    EXPECT_EQ(capture.Lines(), (Lines{"Num of detections", "3"}));

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

TEST(DirectScanBlock, ABlockOfItsOwnShowsNothingBeyondItsBytes) {
    support::DebugCapture listener;  // the text around a hit is made for a listener only
    RecordingSearch scan("C:\\unused");
    const std::string open = "[QZM GmbH" + Filler(20);
    const struct {
        std::string bytes, context;
    } cases[] = {{"ab\x01QZM GmbH", "ab QZM GmbH"}, {open, open}, {"QZM GmbH$", "$"}};
    for (const auto& c : cases) {
        EXPECT_EQ(scan.Scan(kName, c.bytes), 1);
        EXPECT_EQ(scan.contexts, Lines{c.context});
    }
    // A string longer than the block, and an empty one, find nothing.
    EXPECT_EQ(scan.Scan("QZM GmbH$$", "QZM GmbH$"), 0);
    EXPECT_EQ(scan.Scan("", "QZM GmbH$"), 0);
    EXPECT_TRUE(scan.contexts.empty());
}

}  // namespace
}  // namespace inspect_test
