// Conversions between Windows-1252, UTF-8 and UTF-16, with Windows' answers
// for short buffers, invalid input and characters outside the code page.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/Windows.h"
#include "platform/posix/PosixCodePage.h"

namespace {

std::vector<WCHAR> ToWide(UINT codePage, const std::string& text, DWORD flags = 0) {
    int n = MultiByteToWideChar(codePage, flags, text.data(), static_cast<int>(text.size()),
                                nullptr, 0);
    std::vector<WCHAR> wide(static_cast<size_t>(n > 0 ? n : 0));
    if (n > 0)
        MultiByteToWideChar(codePage, flags, text.data(), static_cast<int>(text.size()),
                            wide.data(), n);
    return wide;
}

std::string FromWide(UINT codePage, const std::vector<WCHAR>& wide, BOOL* usedDefault = nullptr) {
    int n = WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                nullptr, usedDefault);
    std::string text(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), &text[0], n,
                            nullptr, usedDefault);
    return text;
}

TEST(CodePage, Windows1252RoundTripsThroughUtf16AndUtf8) {
    std::string ansi = "M\xFCller \x80 \x8A\x9F \xC4";  // ü € Š Ÿ Ä
    std::vector<WCHAR> wide = ToWide(CP_ACP, ansi);
    EXPECT_EQ(wide, (std::vector<WCHAR>{'M', 0xFC, 'l', 'l', 'e', 'r', ' ', 0x20AC, ' ', 0x160,
                                        0x178, ' ', 0xC4}));
    EXPECT_EQ(FromWide(1252, wide), ansi);
    std::string utf8 = FromWide(CP_UTF8, wide);
    EXPECT_EQ(utf8, "M\xC3\xBCller \xE2\x82\xAC \xC5\xA0\xC5\xB8 \xC3\x84");
    EXPECT_EQ(ToWide(CP_UTF8, utf8), wide);
}

TEST(CodePage, EveryByteRoundTripsThroughUtf16AndHostNames) {
    // Outside 0x80..0x9F a byte is the code point of the same value (U+00A0,
    // the no-break space, included); every byte comes back unchanged.
    for (int b = 1; b < 256; ++b) {
        const std::string ansi(1, static_cast<char>(b));
        const std::vector<WCHAR> wide = ToWide(CP_ACP, ansi);
        ASSERT_EQ(wide.size(), 1u) << b;
        if (b < 0x80 || b >= 0xA0) {
            EXPECT_EQ(wide[0], b) << b;
        }
        BOOL usedDefault = TRUE;
        EXPECT_EQ(FromWide(CP_ACP, wide, &usedDefault), ansi) << b;
        EXPECT_FALSE(usedDefault) << b;
        // A host name (UTF-8) and the Windows name the layer makes of it.
        EXPECT_EQ(posix::HostNameToAnsi(posix::AnsiToUtf8Text(ansi.data(), 1)), ansi) << b;
    }
}

TEST(CodePage, CharactersOutsideTheCodePageBecomeTheDefault) {
    BOOL usedDefault = FALSE;
    EXPECT_EQ(FromWide(CP_ACP, {'a', 0x4E2D, 0xD83D, 0xDE00, 'b'}, &usedDefault), "a??b");
    EXPECT_TRUE(usedDefault);
    EXPECT_EQ(FromWide(CP_UTF8, {0xD83D, 0xDE00}), "\xF0\x9F\x98\x80");  // a surrogate pair
    EXPECT_EQ(FromWide(CP_UTF8, {0xDE00, 'x'}), "\xEF\xBF\xBDx");        // a lone one
}

// Characters outside the code page that Windows' best-fit table for 1252
// maps to a look-alike (values as c_1252.nls has them): that byte, and no
// default. Where the table has no byte, or its byte is the default '?', the
// default character is used and reported.
TEST(CodePage, BestFitCharactersBecomeTheirLookAlikes) {
    struct Case {
        WCHAR unit;
        unsigned char byte;  // without WC_NO_BEST_FIT_CHARS; 0: the default character
    };
    const Case cases[] = {
        {0x0124, 'H'},   // LATIN CAPITAL LETTER H WITH CIRCUMFLEX
        {0x0101, 'a'},   // LATIN SMALL LETTER A WITH MACRON
        {0x0110, 0xD0},  // LATIN CAPITAL LETTER D WITH STROKE: ETH
        {0xFF21, 'A'},   // FULLWIDTH LATIN CAPITAL LETTER A
        {0xFF4D, 'm'},   // FULLWIDTH LATIN SMALL LETTER M
        {0x2010, '-'},   // HYPHEN
        {0x2011, '-'},   // NON-BREAKING HYPHEN
        {0x2212, '-'},   // MINUS SIGN
        {0x3000, ' '},   // IDEOGRAPHIC SPACE
        {0x2002, ' '},   // EN SPACE
        {0x2248, 0x98},  // ALMOST EQUAL TO: SMALL TILDE
        {0x212A, 'K'},   // KELVIN SIGN
        {0x0300, '`'},   // COMBINING GRAVE ACCENT
        {0x4E2D, 0},     // a CJK ideograph: no look-alike
        {0x0391, 0},     // GREEK CAPITAL LETTER ALPHA: none in the table
        {0xFF1F, 0},     // FULLWIDTH QUESTION MARK: the table's '?' is the default
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.unit);
        BOOL usedDefault = TRUE;
        EXPECT_EQ(FromWide(CP_ACP, {c.unit}, &usedDefault),
                  std::string(1, static_cast<char>(c.byte ? c.byte : '?')));
        EXPECT_EQ(usedDefault, c.byte == 0);

        // Without the best-fit table every one of them is the default.
        char byte = 0;
        usedDefault = FALSE;
        EXPECT_EQ(WideCharToMultiByte(1252, WC_NO_BEST_FIT_CHARS, &c.unit, 1, &byte, 1, "#",
                                      &usedDefault),
                  1);
        EXPECT_EQ(byte, '#');
        EXPECT_TRUE(usedDefault);
    }
    // UTF-8 has bytes for every character: the flag changes nothing there.
    const WCHAR hat = 0x0124;
    char utf8[4] = {};
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, WC_NO_BEST_FIT_CHARS, &hat, 1, utf8, sizeof utf8,
                                  nullptr, nullptr),
              2);
    EXPECT_STREQ(utf8, "\xC4\xA4");
}

// Every UTF-16 unit converts as the code-page table that Wine installs (in
// Windows' NLS format) says: its own byte, its best-fit byte, or the default.
TEST(CodePage, EveryUnitConvertsAsTheWindowsTableSays) {
    std::ifstream in("/usr/share/wine/nls/c_1252.nls", std::ios::binary);
    if (!in) GTEST_SKIP() << "no /usr/share/wine/nls/c_1252.nls (Wine is not installed)";
    const std::vector<unsigned char> nls((std::istreambuf_iterator<char>(in)),
                                         std::istreambuf_iterator<char>());
    auto word = [&nls](size_t index) {
        return static_cast<unsigned>(nls[2 * index] | (nls[2 * index + 1] << 8));
    };
    ASSERT_GT(nls.size(), 64u);
    const size_t header = word(0);
    const size_t byteTable = header + 1;                       // 256 units
    const size_t unitTable = 2 * (header + word(header) + 1);  // 65536 bytes
    ASSERT_EQ(word(1), 1252u);
    ASSERT_GE(nls.size(), unitTable + 0x10000);
    for (unsigned unit = 0; unit < 0x10000; ++unit) {
        const unsigned char mapped = nls[unitTable + unit];
        const bool own = word(byteTable + mapped) == unit;
        const bool none = !own && mapped == '?';
        const WCHAR wide = static_cast<WCHAR>(unit);
        char byte = 0;
        BOOL usedDefault = FALSE;
        ASSERT_EQ(WideCharToMultiByte(CP_ACP, 0, &wide, 1, &byte, 1, nullptr, &usedDefault), 1);
        EXPECT_EQ(static_cast<unsigned char>(byte), mapped) << std::hex << unit;
        EXPECT_EQ(usedDefault != FALSE, none) << std::hex << unit;
        usedDefault = FALSE;
        ASSERT_EQ(WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, &wide, 1, &byte, 1, nullptr,
                                      &usedDefault),
                  1);
        EXPECT_EQ(static_cast<unsigned char>(byte), own ? mapped : '?') << std::hex << unit;
        EXPECT_EQ(usedDefault != FALSE, !own) << std::hex << unit;
    }
}

TEST(CodePage, InvalidUtf8AndShortBuffersAnswerAsWindowsDoes) {
    EXPECT_EQ(ToWide(CP_UTF8,
                     "a\xC0\xAF"
                     "b"),
              (std::vector<WCHAR>{'a', 0xFFFD, 0xFFFD, 'b'}));
    EXPECT_TRUE(ToWide(CP_UTF8, "a\xFF", MB_ERR_INVALID_CHARS).empty());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));

    WCHAR small[2];
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", -1, small, 2), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    WCHAR fits[4];
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", -1, fits, 4), 4);  // with the terminator
    EXPECT_EQ(fits[3], 0);
    EXPECT_EQ(MultiByteToWideChar(437, 0, "abc", -1, fits, 4), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

}  // namespace
