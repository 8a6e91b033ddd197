// The context traced with each hit: bracketed and dollar texts, the cut at
// 100 bytes, the fallback window, and the block that stays as it was read.
#include <gtest/gtest.h>

#include <string>

#include "tests/inspect/SearchFixture.h"

namespace inspect_test {
namespace {

const std::string kName = "QZM GmbH";
const std::string kZero(1, '\0');

TEST_F(SearchTest, EachKindOfContext) {
    const std::string reach = Filler(30), tail = Filler(45), head = Filler(50);
    const std::string after = "\x01\x02\xE4\xFC" + Filler(140) + "\x80";
    const std::string before = Filler(20) + "\x01\x02\x03\x9F" + Filler(36);
    const std::string behind = Filler(10) + "\r\n\t\x7F\xFF" + Filler(25) + "\x01" + Filler(10);
    const struct {
        std::string bytes, context;
    } cases[] = {
        // The closer is searched from the end of the hit, not from the opener.
        {Filler(50) + "[Id: QZM GmbH, 2.0]" + kZero, "[Id: QZM GmbH, 2.0]"},
        {Filler(50) + "$Id: QZM GmbH $" + kZero, "$Id: QZM GmbH $"},
        // A '[' in reach wins over a nearer '$'.
        {"[A $B QZM GmbH $ ] tail", "[A $B QZM GmbH $ ]"},
        // A '$' right after the hit is opener and closer at once.
        {Filler(50) + "QZM GmbH$ and more $", "$"},
        // Between opener and closer the bytes are shown as they are; a zero
        // between them ends the text.
        {"[\x01\xE4 QZM GmbH \x7F\xFF]", "[\x01\xE4 QZM GmbH \x7F\xFF]"},
        {"[ab" + kZero + "cd QZM GmbH]", "[ab"},
        // '[' at e - 39 is in reach, at e - 40 it is not.
        {"[" + reach + kName + "]", "[" + reach + kName + "]"},
        {"[x" + reach + kName + "]", "[x" + reach + kName + "]" + std::string(39, ' ')},
        // No closer before the zero: cleaned and cut at 100 bytes, or at a
        // closer within them, also one before the hit.
        {Filler(10) + "[" + kName + after + kZero + "]",
         "[" + Cleaned((kName + after).substr(0, 99))},
        {"[ab\x05] QZM GmbH tail" + kZero + "]", "[ab ]"},
        // No opener: 40 bytes each side, cleaned (0x7F is kept) but the last.
        {before + kName + behind,
         Cleaned(before.substr(20)) + kName + Cleaned(behind.substr(0, 40)) + "\x01"},
        // The window starts at the first byte; after the end it shows the
        // zero margin as blanks and ends at its 41st byte.
        {"\001abcd" + kName + tail, " abcd" + kName + tail.substr(0, 41)},
        {head + kName, head.substr(10) + kName + std::string(40, ' ')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Cleaned(c.bytes.substr(0, 60)));
        EXPECT_EQ(SearchBytes(c.bytes, kName), 1);
        EXPECT_EQ(Contexts(), Lines{c.context});
    }
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
    EXPECT_EQ(Contexts(), (Lines{expected, expected,
                                 Cleaned(bytes.substr(59, 40)) + "Q Z" +
                                     Cleaned(bytes.substr(102, 40)) + bytes[142]}));
}

}  // namespace
}  // namespace inspect_test
