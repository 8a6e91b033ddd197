// The candidate search against a plain comparison at every position, on
// blocks allocated to their exact size (so the address sanitizer catches any
// read beyond them).
#include "inspect/BytePattern.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using Finder = const char* (inspect::BytePattern::*)(const char*, const char*) const;

std::vector<size_t> All(const inspect::BytePattern& pattern, Finder find, const char* data,
                        size_t size) {
    std::vector<size_t> found;
    for (const char* at = (pattern.*find)(data, data + size); at;
         at = (pattern.*find)(at + 1, data + size))
        found.push_back(static_cast<size_t>(at - data));
    return found;
}

TEST(BytePattern, FindsExactlyTheOccurrencesAPlainComparisonFinds) {
    std::mt19937 random(12345);
    for (int round = 0; round < 3000; ++round) {
        // Few distinct bytes make many candidates and overlapping hits; high
        // bytes check that no sign mix-up creeps in.
        const int alphabet = 1 + static_cast<int>(random() % 4);
        const size_t size = random() % 200;
        std::unique_ptr<char[]> data(new char[size ? size : 1]);
        for (size_t i = 0; i < size; ++i)
            data[i] = static_cast<char>(0xFD + static_cast<int>(random() % alphabet));
        std::string text(1 + random() % 40, '\0');
        for (char& ch : text) ch = static_cast<char>(0xFD + static_cast<int>(random() % alphabet));
        if (size > text.size() && random() % 2) {  // often one taken from the block
            size_t at = random() % (size - text.size());
            text.assign(data.get() + at, text.size());
        }
        SCOPED_TRACE("round " + std::to_string(round));
        std::vector<size_t> expected;
        for (size_t i = 0; i + text.size() <= size; ++i)
            if (std::memcmp(data.get() + i, text.data(), text.size()) == 0) expected.push_back(i);
        const inspect::BytePattern pattern(text.data(), text.size());
        EXPECT_EQ(All(pattern, &inspect::BytePattern::Find, data.get(), size), expected);
        EXPECT_EQ(All(pattern, &inspect::BytePattern::FindPortable, data.get(), size), expected);
    }
    // An empty string finds nothing (and reads nothing).
    const char data[] = "abcabc";
    EXPECT_EQ(inspect::BytePattern("", 0).Find(data, data + 6), nullptr);
    EXPECT_EQ(inspect::BytePattern("", 0).FindPortable(data, data + 6), nullptr);
}

}  // namespace
