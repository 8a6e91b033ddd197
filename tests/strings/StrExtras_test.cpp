// CStr: replacement, trimming, case, line and number tests, code-page conversion.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/strings/StringChecks.h"
#include "tests/support/TempDrive.h"

namespace {

TEST(StrExpand, CountsAndExactSizes) {
    CStr grow("banana", 0);  // an 8-byte buffer
    unsigned n = 99;
    char* answer = grow.Replace("a", "xyz", &n);
    EXPECT_EQ(answer, grow.GetBuffer());
    EXPECT_EQ(Text(grow), "bxyznxyznxyz");
    EXPECT_EQ(n, 3u);
    EXPECT_EQ(grow.GetSize(), 12u);
    EXPECT_ALLOCATION(grow.GetBuffer(), 13);

    CStr shrink("banana", 0);
    char* before = shrink.GetBuffer();
    shrink.Replace("A", "", &n);  // letter case does not matter
    EXPECT_EQ(n, 3u);
    EXPECT_EQ(shrink.GetBuffer(), before);
    EXPECT_EQ(shrink.GetSize(), 7u);
    // The old bytes behind the new text are cleared.
    EXPECT_EQ(std::memcmp(shrink.GetBuffer(), "bnn\0\0\0\0", 8), 0);
    shrink.Set("banana", 0);
    shrink.ReplaceCase("A", "", &n);
    EXPECT_EQ(Text(shrink), "banana");
    EXPECT_EQ(n, 0u);

    // Nothing to replace: a null argument, an empty pattern (it would match
    // forever), no occurrence, no buffer. The text stays and the count is 0.
    const char* const unusable[][2] = {{nullptr, "x"}, {"b", nullptr}, {"", "x"}, {"q", "x"}};
    for (const auto& args : unusable) {
        CStr abc("abc", 255);
        char* kept = abc.GetBuffer();
        n = 7;
        EXPECT_EQ(abc.Expand(args[0], args[1], 1, &n), kept);
        EXPECT_EQ(Text(abc), "abc");
        EXPECT_EQ(n, 0u);
    }
    Made<CStr> none(nullptr);
    n = 7;
    EXPECT_EQ(none.Expand("a", "b", 1, &n), nullptr);
    EXPECT_EQ(n, 0u);
}

TEST(StrExpand, ReplacementFamilyTrimmingAndCase) {
    // Occurrences do not overlap, and the replacement is never searched.
    EXPECT_EDIT(CStr, "aaaa", Replace("aa", "a", nullptr), "aa");
    EXPECT_EDIT(CStr, "ab", Replace("ab", "abab", nullptr), "abab");
    EXPECT_EDIT(CStr, "xAbyaBz", Remove("ab"), "xyz");
    EXPECT_EDIT(CStr, "a\tb", ExpandTabs(4), "a    b");
    EXPECT_EDIT(CStr, "\ta\t\tb\t", ExpandTabs(0), "ab");
    EXPECT_EDIT(CStr, " a b\t\r\n", RemoveWhitespace(), "ab");

    EXPECT_EDIT(CStr, "  x ", TrimLeft(), "x ");
    EXPECT_EDIT(CStr, "   ", TrimLeft(), "");
    CStr right(" x \t", 255);
    char* before = right.GetBuffer();
    EXPECT_EQ(right.TrimRight(), before);  // cut in place
    EXPECT_EQ(Text(right), " x");
    EXPECT_EDIT(CStr, "0042", RemoveFirst('0'), "42");
    EXPECT_EDIT(CStr, "abc", RemoveFirst(0), "bc");
    EXPECT_KEPT(CStr, "abc", RemoveFirst('x'));
    EXPECT_KEPT(CStr, "", RemoveFirst(0));

    // Windows-1252 letters change too; sharp s has no single-byte capital.
    EXPECT_EDIT(CStr, "gr\xFC\xDF, \xC4rger 9", MakeUpper(), "GR\xDC\xDF, \xC4RGER 9");
    EXPECT_EDIT(CStr, "GR\xDC\xDF, \xC4RGER 9", MakeLower(), "gr\xFC\xDF, \xE4rger 9");
    EXPECT_REFUSED(CStr, nullptr, MakeUpper());
    EXPECT_REFUSED(CStr, nullptr, MakeLower());
}

TEST(StrExpand, PatternAndReplacementMayLieInTheOwnBuffer) {
    CStr s("abcabc", 255);
    s.Replace(s.GetBuffer() + 3, s.GetBuffer(), nullptr);  // "abc" by "abcabc"
    EXPECT_EQ(Text(s), "abcabcabcabc");
}

TEST(StrLines, BlankEmptyLineAndComment) {
    EXPECT_ANSWER(CStr, "a b", HasBlank(), 1);
    EXPECT_ANSWER(CStr, "a\tb", HasBlank(), 0);
    EXPECT_ANSWER(CStr, nullptr, HasBlank(), 0);
    EXPECT_ANSWER(CStr, "\r\n", IsEmptyLine(), 1);
    EXPECT_ANSWER(CStr, nullptr, IsEmptyLine(), 1);
    EXPECT_ANSWER(CStr, " ", IsEmptyLine(), 0);
    EXPECT_ANSWER(CStr, " ", IsEmpty(), 1);
    EXPECT_ANSWER(CStr, "  ; note", IsComment(), 1);
    EXPECT_ANSWER(CStr, "a;b", IsComment(), 0);
    EXPECT_ANSWER(CStr, "", IsComment(), 0);
    EXPECT_ANSWER(CStr, "   ", IsComment(), 0);
    EXPECT_ANSWER(CStr, nullptr, IsComment(), 0);
}

TEST(StrNumbers, ResultsAndMessages) {
    const struct {
        const char* text;
        bool hex;
        int result;
        const char* message;  // null: none
    } cases[] = {
        {"1aF", true, 1, nullptr},
        {"", true, 1, nullptr},
        {"0x1F", true, 0, "[Client] CStr::IsHexNum - wrong char\n"},
        {"12 3", true, 0, "[Client] CStr::IsHexNum - not expected char\n"},
        {"ab\xE4", true, 0, "[Client] CStr::IsHexNum - not expected char\n"},
        {"123", false, 1, nullptr},
        {"", false, 1, nullptr},
        {"12a", false, 0, "[Client] CStr::IsNum - wrong char\n"},
        {"-1", false, 0, "[Client] CStr::IsNum - not expected char\n"},
        {"1\xB2", false, 0, "[Client] CStr::IsNum - not expected char\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        CStr s(c.text, 255);
        support::DebugCapture capture(1);  // let level-1 traces through
        EXPECT_EQ(c.hex ? s.IsHexNum() : s.IsNum(), c.result);
        EXPECT_EQ(Text(s), c.text);  // the tests never change the text
        std::vector<std::string> messages = capture.With("[Client]");
        ASSERT_EQ(messages.size(), c.message ? 1u : 0u);
        if (!c.message) continue;
        EXPECT_EQ(messages[0].rfind("[QZMPurgeLib,0x", 0), 0u);
        EXPECT_EQ(messages[0].substr(messages[0].find("] ") + 2), c.message);
    }

    // The messages are level 1: under the default threshold 20 they are dropped.
    support::DebugCapture quiet;
    EXPECT_EQ(CStr("12a", 255).IsNum(), 0);
    EXPECT_EQ(CStr("-1", 255).IsHexNum(), 0);
    EXPECT_TRUE(quiet.Texts().empty());
}

TEST(StrUtf8, Detection) {
    const struct {
        const char* text;
        int result;
    } cases[] = {
        {"abc", 0},
        {"\xC3\xA4", 1},
        {"a\xC3", 0},         // a sequence cut off at the end is not counted
        {"\xC3\xA4\xC3", 1},  // ... nor refused
        {"\x80", 0},          // a continuation byte cannot lead
        // Refused bytes, also after a complete sequence: vertical tab, delete.
        {"\xC3\xA4\x0B", 0},
        {"\xC3\xA4\x7F", 0},
        {"\xC3\xA4\xFE", 0},
        {"\xC3\xA4\xFF", 0},
        {"\xC3z", 0},                 // a lead byte without its continuation
        {"\xE2\x82\xAC ok", 1},       // three bytes
        {"\xF8\x88\x80\x80\x80", 1},  // five-byte forms pass
        {"\xC0\xAF", 1},              // overlong forms pass
        {"\x07\x08\t\n\x0C\r\x1B \xC3\xA4", 1},
        {"", 0},
    };
    CStr s(nullptr, 255);
    for (const auto& c : cases) EXPECT_EQ(s.IsUtf8(c.text), c.result) << c.text;
    EXPECT_EQ(s.IsUtf8(nullptr), 0);
}

TEST(StrUtf8, ConversionSizes) {
    CStr s("\xC3\xA4", 19);  // a 20-byte buffer
    char* before = s.GetBuffer();
    EXPECT_EQ(s.Utf8ToAnsi(), before);
    EXPECT_EQ(Text(s), "\xE4");
    EXPECT_EQ(s.GetSize(), 18u);  // m_size 19: the bytes converted
    EXPECT_ALLOCATION(s.GetBuffer(), 20);
    EXPECT_KEPT(CStr, "plain", Utf8ToAnsi());
    EXPECT_REFUSED(CStr, nullptr, Utf8ToAnsi());
    EXPECT_REFUSED(CStr, nullptr, AnsiToUtf8());

    CStr a("\xE4", 0);
    a.AnsiToUtf8();
    EXPECT_EQ(Text(a), "\xC3\xA4");
    EXPECT_EQ(a.GetSize(), 3u);  // m_size 4
    EXPECT_ALLOCATION(a.GetBuffer(), 6);
    a.AnsiToUtf8();  // no test: a second call encodes again
    EXPECT_EQ(Text(a), "\xC3\x83\xC2\xA4");

    CStr euro("\x80\x80\x80", 0);
    euro.AnsiToUtf8();
    EXPECT_EQ(std::memcmp(euro.GetBuffer(), "\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\0\0", 11), 0);
    EXPECT_EQ(euro.GetSize(), 10u);  // m_size 11
    EXPECT_ALLOCATION(euro.GetBuffer(), 11);
}

TEST(StrUtf8, RoundTripLeavesAUsableObject) {
    CStr s("Gr\xFC\xDF \x80", 0);
    s.AnsiToUtf8();
    EXPECT_EQ(Text(s), "Gr\xC3\xBC\xC3\x9F \xE2\x82\xAC");
    s.Utf8ToAnsi();
    // The object stays usable with the reduced size.
    s.Add("!");
    s.Replace("\xDF", "ss", nullptr);
    EXPECT_EQ(Text(s), "Gr\xFCss \x80!");
}

}  // namespace
