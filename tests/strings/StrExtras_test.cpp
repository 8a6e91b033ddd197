// CStr: replacement, trimming, case, line and number tests, code-page conversion.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "strings/Str.h"
#include "tests/strings/AllocationSize.h"
#include "tests/support/TempDrive.h"

namespace {

std::string Text(const CStr& s) {
    return s.GetBuffer() ? s.GetBuffer() : "<null>";
}

// ---- Expand and the operations built on it --------------------------------

TEST(StrExpand, GrowingReplacementGetsAnExactBuffer) {
    CStr s(nullptr, 255);
    s.Set("banana", 0);
    ASSERT_EQ(s.GetSize(), 7u);
    unsigned n = 99;
    char* result = s.Replace("a", "xyz", &n);
    EXPECT_EQ(Text(s), "bxyznxyznxyz");
    EXPECT_EQ(n, 3u);
    EXPECT_EQ(result, s.GetBuffer());
    EXPECT_EQ(s.GetSize(), 12u);
    EXPECT_ALLOCATION(s.GetBuffer(), 13);
}

TEST(StrExpand, ShrinkingReplacementKeepsTheAllocation) {
    CStr s(nullptr, 255);
    s.Set("banana", 0);
    char* before = s.GetBuffer();
    unsigned n = 99;
    s.Replace("A", "", &n);  // letter case does not matter
    EXPECT_EQ(Text(s), "bnn");
    EXPECT_EQ(n, 3u);
    EXPECT_EQ(s.GetBuffer(), before);
    EXPECT_EQ(s.GetSize(), 7u);
    // The old bytes behind the new text are cleared.
    EXPECT_EQ(std::memcmp(s.GetBuffer(), "bnn\0\0\0\0", 8), 0);

    CStr t(nullptr, 255);
    t.Set("banana", 0);
    n = 99;
    t.ReplaceCase("A", "", &n);
    EXPECT_EQ(Text(t), "banana");
    EXPECT_EQ(n, 0u);
}

TEST(StrExpand, OccurrencesDoNotOverlapAndReplacementsAreNotSearched) {
    CStr s("aaaa", 255);
    unsigned n = 0;
    s.Replace("aa", "a", &n);
    EXPECT_EQ(Text(s), "aa");
    EXPECT_EQ(n, 2u);

    CStr t("ab", 255);
    t.Replace("ab", "abab", &n);
    EXPECT_EQ(Text(t), "abab");
    EXPECT_EQ(n, 1u);

    CStr u("xAbyaBz", 255);
    u.Remove("ab");
    EXPECT_EQ(Text(u), "xyz");
}

TEST(StrExpand, UnusableArgumentsChangeNothingAndCountZero) {
    CStr s("abc", 255);
    char* before = s.GetBuffer();
    unsigned n = 7;
    EXPECT_EQ(s.Expand(nullptr, "x", 1, &n), before);
    EXPECT_EQ(n, 0u);
    n = 7;
    EXPECT_EQ(s.Expand("b", nullptr, 1, &n), before);
    EXPECT_EQ(n, 0u);
    // An empty pattern counts as no occurrence (it would match forever).
    n = 7;
    EXPECT_EQ(s.Expand("", "x", 1, &n), before);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(Text(s), "abc");
    // No occurrence at all.
    n = 7;
    s.Replace("q", "x", &n);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(Text(s), "abc");

    CStr none(nullptr, 255);
    none.FreeBuffer();
    n = 7;
    EXPECT_EQ(none.Expand("a", "b", 1, &n), nullptr);
    EXPECT_EQ(n, 0u);
}

TEST(StrExpand, PatternAndReplacementMayLieInTheOwnBuffer) {
    CStr s("abcabc", 255);
    s.Replace(s.GetBuffer() + 3, s.GetBuffer(), nullptr);  // "abc" by "abcabc"
    EXPECT_EQ(Text(s), "abcabcabcabc");
}

TEST(StrExpand, TabsAndWhitespace) {
    CStr s("a\tb", 255);
    s.ExpandTabs(4);
    EXPECT_EQ(Text(s), "a    b");
    CStr t("\ta\t\tb\t", 255);
    t.ExpandTabs(0);
    EXPECT_EQ(Text(t), "ab");

    CStr w(" a b\t\r\n", 255);
    w.RemoveWhitespace();
    EXPECT_EQ(Text(w), "ab");
}

// ---- Trimming ----------------------------------------------------------------

TEST(StrTrim, LeftRightAndFirst) {
    CStr s("  x ", 255);
    EXPECT_EQ(s.TrimLeft(), s.GetBuffer());
    EXPECT_EQ(Text(s), "x ");
    CStr blanks("   ", 255);
    blanks.TrimLeft();
    EXPECT_EQ(Text(blanks), "");
    CStr right(" x \t", 255);
    char* before = right.GetBuffer();
    EXPECT_EQ(right.TrimRight(), before);
    EXPECT_EQ(Text(right), " x");

    CStr zeros("0042", 255);
    zeros.RemoveFirst('0');
    EXPECT_EQ(Text(zeros), "42");
    CStr any("abc", 255);
    any.RemoveFirst(0);
    EXPECT_EQ(Text(any), "bc");
    any.RemoveFirst('x');
    EXPECT_EQ(Text(any), "bc");
    CStr empty("", 255);
    EXPECT_EQ(empty.RemoveFirst(0), empty.GetBuffer());
    EXPECT_EQ(Text(empty), "");
}

// ---- Case ----------------------------------------------------------------------

TEST(StrCase, UpperAndLowerFollowWindows1252) {
    CStr s(
        "Gr\xFC\xDF"
        "e, \xC4rger 9",
        255);
    EXPECT_EQ(s.MakeUpper(), s.GetBuffer());
    EXPECT_EQ(Text(s),
              "GR\xDC\xDF"
              "E, \xC4RGER 9");  // sharp s has no single-byte capital
    s.MakeLower();
    EXPECT_EQ(Text(s),
              "gr\xFC\xDF"
              "e, \xE4rger 9");
}

TEST(StrCase, NoBufferAnswersNull) {
    CStr s("x", 255);
    s.FreeBuffer();
    EXPECT_EQ(s.MakeUpper(), nullptr);
    EXPECT_EQ(s.MakeLower(), nullptr);
}

// ---- Line tests ----------------------------------------------------------------

TEST(StrLines, BlankEmptyLineAndComment) {
    EXPECT_EQ(CStr("a b", 255).HasBlank(), 1);
    EXPECT_EQ(CStr("a\tb", 255).HasBlank(), 0);

    EXPECT_EQ(CStr("\r\n", 255).IsEmptyLine(), 1);
    EXPECT_EQ(CStr(" ", 255).IsEmptyLine(), 0);
    EXPECT_EQ(CStr(" ", 255).IsEmpty(), 1);
    CStr none(nullptr, 255);
    none.FreeBuffer();
    EXPECT_EQ(none.IsEmptyLine(), 1);
    EXPECT_EQ(none.HasBlank(), 0);
    EXPECT_EQ(none.IsComment(), 0);

    EXPECT_EQ(CStr("  ; note", 255).IsComment(), 1);
    EXPECT_EQ(CStr("\t;", 255).IsComment(), 1);
    EXPECT_EQ(CStr("a;b", 255).IsComment(), 0);
    EXPECT_EQ(CStr("", 255).IsComment(), 0);
    EXPECT_EQ(CStr("   ", 255).IsComment(), 0);
}

// ---- Number tests and their messages -------------------------------------------

struct NumberCase {
    const char* text;
    bool hex;
    int result;
    const char* message;  // null: none
};

TEST(StrNumbers, ResultsAndMessages) {
    const NumberCase cases[] = {
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
    for (const NumberCase& c : cases) {
        SCOPED_TRACE(c.text);
        CStr s(c.text, 255);
        support::DebugCapture capture(1);  // let level-1 traces through
        EXPECT_EQ(c.hex ? s.IsHexNum() : s.IsNum(), c.result);
        std::vector<std::string> messages = capture.With("[Client]");
        if (!c.message) {
            EXPECT_TRUE(messages.empty());
            continue;
        }
        ASSERT_EQ(messages.size(), 1u);
        const std::string& got = messages[0];
        ASSERT_GE(got.size(), std::strlen(c.message));
        EXPECT_EQ(got.substr(got.size() - std::strlen(c.message)), c.message);
        EXPECT_EQ(got.rfind("[QZMPurgeLib,0x", 0), 0u);
        EXPECT_EQ(Text(s), c.text);  // the tests never change the text
    }
}

TEST(StrNumbers, MessagesAreLevelOneAndDroppedUnderTheThreshold) {
    CStr s("12a", 255);
    support::DebugCapture capture;  // the default threshold 20
    EXPECT_EQ(s.IsNum(), 0);
    EXPECT_EQ(s.IsHexNum(), 1);  // "12a" is hexadecimal
    CStr t("-1", 255);
    EXPECT_EQ(t.IsHexNum(), 0);
    EXPECT_TRUE(capture.Texts().empty());
}

// ---- UTF-8 -----------------------------------------------------------------------

TEST(StrUtf8, Detection) {
    struct Case {
        const char* text;
        int result;
    };
    const Case cases[] = {
        {"abc", 0},
        {"\xC3\xA4", 1},
        {"a\xC3", 0},         // a sequence cut off at the end is not counted
        {"\xC3\xA4\xC3", 1},  // ... nor refused
        {"\x80", 0},          // a continuation byte cannot lead
        {"a\x0B", 0},         // vertical tab
        {"\x7F", 0},          // delete
        {"\xFE", 0},
        {"\xFF", 0},
        {"\xC3"
         "a",
         0},                          // a lead byte without its continuation
        {"\xE2\x82\xAC ok", 1},       // three bytes
        {"\xF8\x88\x80\x80\x80", 1},  // five-byte forms pass
        {"\xC0\xAF", 1},              // overlong forms pass
        {"\x07\x08\t\n\x0C\r\x1B \xC3\xA4", 1},
        {"", 0},
    };
    CStr s(nullptr, 255);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(s.IsUtf8(c.text), c.result);
    }
    EXPECT_EQ(s.IsUtf8(nullptr), 0);
}

TEST(StrUtf8, Utf8ToAnsiKeepsTheAllocation) {
    CStr s(nullptr, 255);
    s.Set("\xC3\xA4", 19);
    ASSERT_EQ(s.GetSize(), 19u);
    char* before = s.GetBuffer();
    EXPECT_EQ(s.Utf8ToAnsi(), before);
    EXPECT_EQ(Text(s), "\xE4");
    EXPECT_EQ(s.GetSize(), 18u);  // m_size 19: the bytes converted
    EXPECT_ALLOCATION(s.GetBuffer(), 20);

    CStr plain("plain", 0);
    char* plainBuffer = plain.GetBuffer();
    unsigned size = plain.GetSize();
    EXPECT_EQ(plain.Utf8ToAnsi(), plainBuffer);
    EXPECT_EQ(plain.GetSize(), size);
    EXPECT_EQ(Text(plain), "plain");

    CStr none(nullptr, 255);
    none.FreeBuffer();
    EXPECT_EQ(none.Utf8ToAnsi(), nullptr);
    EXPECT_EQ(none.AnsiToUtf8(), nullptr);
}

TEST(StrUtf8, AnsiToUtf8Sizes) {
    CStr s(nullptr, 255);
    s.Set("\xE4", 0);
    ASSERT_EQ(s.GetSize(), 2u);
    s.AnsiToUtf8();
    EXPECT_EQ(Text(s), "\xC3\xA4");
    EXPECT_EQ(s.GetSize(), 3u);  // m_size 4
    EXPECT_ALLOCATION(s.GetBuffer(), 6);

    CStr euro(nullptr, 255);
    euro.Set("\x80\x80\x80", 0);
    ASSERT_EQ(euro.GetSize(), 4u);
    euro.AnsiToUtf8();
    EXPECT_EQ(std::memcmp(euro.GetBuffer(), "\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\0\0", 11), 0);
    EXPECT_EQ(euro.GetSize(), 10u);  // m_size 11
    EXPECT_ALLOCATION(euro.GetBuffer(), 11);

    // No test: a second call encodes again.
    s.AnsiToUtf8();
    EXPECT_EQ(Text(s), "\xC3\x83\xC2\xA4");
}

TEST(StrUtf8, RoundTripAndFurtherOperations) {
    CStr s(nullptr, 255);
    s.Set(
        "Gr\xFC\xDF"
        "e \x80",
        0);
    s.AnsiToUtf8();
    EXPECT_EQ(Text(s),
              "Gr\xC3\xBC\xC3\x9F"
              "e \xE2\x82\xAC");
    s.Utf8ToAnsi();
    EXPECT_EQ(Text(s),
              "Gr\xFC\xDF"
              "e \x80");
    // The object stays usable with the reduced size.
    s.Add("!");
    EXPECT_EQ(Text(s),
              "Gr\xFC\xDF"
              "e \x80!");
    s.Replace("\xDF", "ss", nullptr);
    EXPECT_EQ(Text(s), "Gr\xFCsse \x80!");
}

}  // namespace
