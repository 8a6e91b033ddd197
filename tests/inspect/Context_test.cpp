// The context traced with each hit: bracketed and dollar texts, the cut at
// 100 bytes, the fallback window, and the block that stays as it was read.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/inspect/SearchFixture.h"

namespace inspect_test {
namespace {

using Texts = std::vector<std::string>;
const std::string kName = "QZM GmbH";
const std::string kZero(1, '\0');

TEST_F(SearchTest, BracketsAndDollarPairsGiveTheWholeTextBetweenThem) {
    // The closer is searched from the end of the hit, not from the opener.
    EXPECT_EQ(SearchBytes(Filler(50) + "[Id: QZM GmbH, 2.0]" + kZero, kName), 1);
    EXPECT_EQ(Contexts(), (Texts{"[Id: QZM GmbH, 2.0]"}));
    EXPECT_EQ(SearchBytes(Filler(50) + "$Id: QZM GmbH $" + kZero, kName), 1);
    EXPECT_EQ(Contexts(), (Texts{"$Id: QZM GmbH $"}));
    // A '[' in reach wins over a nearer '$'.
    EXPECT_EQ(SearchBytes("[A $B QZM GmbH $ ] tail", kName), 1);
    EXPECT_EQ(Contexts(), (Texts{"[A $B QZM GmbH $ ]"}));
    // A '$' right after the hit is opener and closer at once.
    EXPECT_EQ(SearchBytes(Filler(50) + "QZM GmbH$ and more $", kName), 1);
    EXPECT_EQ(Contexts(), (Texts{"$"}));
    // Between opener and closer the bytes are shown as they are.
    EXPECT_EQ(SearchBytes("[\x01\xE4 QZM GmbH \x7F\xFF]", kName), 1);
    EXPECT_EQ(Contexts(), (Texts{"[\x01\xE4 QZM GmbH \x7F\xFF]"}));
}

TEST_F(SearchTest, TheOpenerIsLookedForIn40PositionsFromTheEndOfTheHit) {
    // '[' at e - 39 is in reach, at e - 40 it is not.
    std::string inReach = "[" + Filler(30) + kName + "]";
    EXPECT_EQ(SearchBytes(inReach, kName), 1);
    EXPECT_EQ(Contexts(), (Texts{inReach}));
    std::string outOfReach = "[" + Filler(31) + kName + "]";
    EXPECT_EQ(SearchBytes(outOfReach, kName), 1);
    EXPECT_EQ(Contexts(), (Texts{outOfReach + std::string(39, ' ')}));
}

TEST_F(SearchTest, WithoutACloserBeforeAZeroTheContextIsCleanedAndCutAt100Bytes) {
    // No ']' before the zero byte and none in the 99 bytes after the '['.
    std::string after = "\x01\x02\xE4\xFC" + Filler(140) + "\x80";
    std::string bytes = Filler(10) + "[" + kName + after + kZero + "]";
    EXPECT_EQ(SearchBytes(bytes, kName), 1);
    std::string expected = "[" + Cleaned((kName + after).substr(0, 99));
    ASSERT_EQ(Contexts().size(), 1u);
    EXPECT_EQ(Contexts()[0], expected);
    EXPECT_EQ(Contexts()[0].size(), 100u);

    // A closer within the 99 bytes ends the context there, also one before
    // the hit.
    EXPECT_EQ(SearchBytes("[ab\x05] QZM GmbH tail" + kZero + "]", kName), 1);
    EXPECT_EQ(Contexts(), (Texts{"[ab ]"}));
}

TEST_F(SearchTest, WithoutAnOpenerTheWindowIs40BytesEachSideAndTheLastAsItIs) {
    std::string before = Filler(20) + "\x01\x02\x03\x9F" + Filler(36);
    std::string after = Filler(10) + "\r\n\t\xFF" + Filler(26) + "\x01" + Filler(10);
    ASSERT_EQ(after[40], '\x01');
    EXPECT_EQ(SearchBytes(before + kName + after, kName), 1);
    std::string expected =
        Cleaned(before.substr(20)) + kName + Cleaned(after.substr(0, 40)) + "\x01";
    ASSERT_EQ(Contexts().size(), 1u);
    EXPECT_EQ(Contexts()[0], expected);
    EXPECT_EQ(Contexts()[0].size(), kName.size() + 81);
}

TEST_F(SearchTest, TheWindowStopsAtTheStartOfTheBufferAndShowsTheMarginAfterTheEnd) {
    // Five bytes before the hit: the window starts at the first byte.
    std::string tail = Filler(45);
    EXPECT_EQ(SearchBytes("\x01"
                          "abcd" +
                              kName + tail,
                          kName),
              1);
    EXPECT_EQ(Contexts(), (Texts{" abcd" + kName + tail.substr(0, 41)}));
    // A hit at the very end: the zero-filled rest of the buffer shows as
    // blanks, and its 41st byte (a zero) ends the text.
    std::string head = Filler(50);
    EXPECT_EQ(SearchBytes(head + kName, kName), 1);
    EXPECT_EQ(Contexts(), (Texts{head.substr(10) + kName + std::string(40, ' ')}));
}

TEST_F(SearchTest, AnEarlierContextNeverChangesALaterHit) {
    // Hits with bytes outside 0x20..0x7F that an earlier context cleans, and
    // one across the 100th byte after the '[', are all found and shown alike.
    const std::string name =
        "Q\xFC"
        "Z";
    std::string bytes = "[" + name + Filler(10) + name + Filler(82) + name + Filler(200);
    ASSERT_EQ(bytes.find(name, 20), 99u);  // runs over o + 100
    EXPECT_EQ(SearchBytes(bytes, name), 1);
    EXPECT_EQ(TracedCount(), 3);
    std::string expected = "[" + Cleaned(bytes.substr(1, 99));
    EXPECT_EQ(Contexts(), (Texts{expected, expected,
                                 Cleaned(bytes.substr(59, 40)) + "Q Z" +
                                     Cleaned(bytes.substr(102, 40)) + bytes[142]}));
}

TEST_F(SearchTest, AZeroBeforeTheHitEndsAnUnchangedContext) {
    // The context is a text: a zero byte between the opener and the hit ends it.
    EXPECT_EQ(SearchBytes("[ab" + kZero + "cd QZM GmbH]", kName), 1);
    EXPECT_EQ(Contexts(), (Texts{"[ab"}));
}

}  // namespace
}  // namespace inspect_test
