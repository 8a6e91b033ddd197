// What a search learns besides its answer: whether it read the whole file, and
// where its first hit starts; and the work it leaves out while nobody listens.
#include <string>
#include <vector>

#include "tests/inspect/SearchFixture.h"

namespace inspect_test {
namespace {

const std::string kName = "QZM GmbH";
constexpr unsigned kBlock = CFileSearch::kBlockSize;

// `count` filler bytes with kName planted at each offset.
std::string Planted(size_t count, const std::vector<size_t>& offsets) {
    std::string bytes = Filler(count);
    for (size_t at : offsets) bytes.replace(at, kName.size(), kName);
    return bytes;
}

TEST_F(SearchTest, TheFirstHitIsPlacedInTheFile) {
    const struct {
        size_t size;
        std::vector<size_t> hits;
        long long first;
    } cases[] = {
        {300, {}, -1},
        {300, {17, 100}, 17},
        // Across the end of the first block, found in the second.
        {3 * kBlock, {kBlock - 3, kBlock + 500}, kBlock - 3},
        // Only in the third block.
        {3 * kBlock, {2 * kBlock + 1234}, 2 * kBlock + 1234},
        {2 * kBlock, {2 * kBlock - 8}, 2 * kBlock - 8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        CFileSearch search(Put(Planted(c.size, c.hits)).c_str());
        for (int report = 0; report <= 1; ++report) {
            EXPECT_EQ(search.Search(kName.c_str(), report), c.hits.empty() ? 0 : 1);
            EXPECT_EQ(search.GetFirstHitOffset(), c.first);
            EXPECT_EQ(search.GetReadError(), 0u);
        }
    }
}

TEST_F(SearchTest, ASearchThatDidNotReadTheWholeFileSaysWhy) {
    const std::string twoBlocks = Planted(2 * kBlock + 10, {});
    const struct {
        const char* function;
        DWORD error;
        std::string bytes;
        DWORD readError;
    } cases[] = {
        {"OpenFile", ERROR_SHARING_VIOLATION, "abc", ERROR_SHARING_VIOLATION},
        {"GlobalAlloc", ERROR_NOT_ENOUGH_MEMORY, "abc", ERROR_NOT_ENOUGH_MEMORY},
        {"_lread", ERROR_READ_FAULT, twoBlocks, ERROR_READ_FAULT},
        // Stuck after a full block: the rest is unread.
        {"_llseek", ERROR_SEEK, twoBlocks, ERROR_SEEK},
        // After the last, short block nothing is left to read.
        {"_llseek", ERROR_SEEK, "abc", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.function);
        posix::ForceFailure(c.function, c.error);
        CFileSearch search(Put(c.bytes).c_str());
        search.Search(kName.c_str(), 1);
        posix::ClearForced();
        EXPECT_EQ(search.GetReadError(), c.readError);
        // The next search starts afresh.
        search.Search(kName.c_str(), 1);
        EXPECT_EQ(search.GetReadError(), 0u);
    }
    // A file shorter than the string cannot move back after its only block,
    // and was read to its end all the same.
    CFileSearch tiny(Put("QZM").c_str());
    EXPECT_EQ(tiny.Search(kName.c_str(), 1), 0);
    EXPECT_EQ(tiny.GetReadError(), 0u);
    // Refused arguments: nothing was read.
    CFileSearch unnamed(nullptr);
    EXPECT_EQ(unnamed.Search(kName.c_str(), 1), 0);
    EXPECT_EQ(unnamed.GetReadError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

// Counts the reports it is asked for.
class CountingReports : public CFileSearch {
public:
    using CFileSearch::CFileSearch;
    int ReportHit(CStr* context) override {
        ++reports;
        return CFileSearch::ReportHit(context);
    }
    int HitCount() const { return m_hitCount; }
    int reports = 0;
};

TEST(SearchListeners, TheTextAroundAHitIsMadeOnlyForSomeoneWhoListens) {
    support::TempDrive drive;
    drive.WriteFile("data/names.bin", Planted(2 * kBlock, {10, kBlock + 10, kBlock + 100}));
    for (int listening = 0; listening <= 1; ++listening) {
        SCOPED_TRACE(listening);
        std::unique_ptr<support::DebugCapture> capture;
        if (listening) capture.reset(new support::DebugCapture);
        CountingReports search("C:\\data\\names.bin");
        EXPECT_EQ(CDebugFile::AnyoneListens(), listening);
        EXPECT_EQ(search.Search(kName.c_str(), 1), 1);
        // The answer and the count are the same either way.
        EXPECT_EQ(search.HitCount(), 3);
        EXPECT_EQ(search.GetFirstHitOffset(), 10);
        EXPECT_EQ(search.reports, listening ? 3 : 0);
        if (listening) {
            EXPECT_EQ(capture->With("1. String").size(), 1u);
        }
    }
}

}  // namespace
}  // namespace inspect_test
