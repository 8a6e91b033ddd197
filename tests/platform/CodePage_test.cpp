// Conversions between Windows-1252, UTF-8 and UTF-16, with Windows' answers
// for short buffers and invalid input.
#include <gtest/gtest.h>

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
