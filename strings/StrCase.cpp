// Letter case of the whole text, in place, by the rules of the ANSI code page.
#include "platform/Windows.h"
#include "strings/Mbcs.h"
#include "strings/Str.h"

namespace {

// Case of the letters that double-byte code pages carry as double-byte
// characters: full-width Latin, Greek and Cyrillic.
WCHAR CaseOfWide(WCHAR ch, bool upper) {
    struct Range {
        WCHAR upperFirst, upperLast, lowerFirst;
    };
    static const Range kRanges[] = {{0xFF21, 0xFF3A, 0xFF41},
                                    {0x0391, 0x03A1, 0x03B1},
                                    {0x03A3, 0x03A9, 0x03C3},
                                    {0x0410, 0x042F, 0x0430},
                                    {0x0400, 0x040F, 0x0450}};
    for (const Range& r : kRanges) {
        WCHAR lowerLast = static_cast<WCHAR>(r.lowerFirst + (r.upperLast - r.upperFirst));
        if (upper && ch >= r.lowerFirst && ch <= lowerLast)
            return static_cast<WCHAR>(ch - r.lowerFirst + r.upperFirst);
        if (!upper && ch >= r.upperFirst && ch <= r.upperLast)
            return static_cast<WCHAR>(ch - r.upperFirst + r.lowerFirst);
    }
    return ch;
}

// Changes the case of the double-byte character at p through the system's
// conversion of that character. False when the system cannot map it to one
// UTF-16 unit and back to two bytes.
bool MapDoubleByte(char* p, bool upper) {
    WCHAR wide = 0;
    if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, p, 2, &wide, 1) != 1) return false;
    WCHAR mapped = CaseOfWide(wide, upper);
    if (mapped == wide) return true;
    char bytes[2];
    BOOL usedDefault = FALSE;
    if (WideCharToMultiByte(CP_ACP, 0, &mapped, 1, bytes, 2, nullptr, &usedDefault) != 2 ||
        usedDefault)
        return false;
    p[0] = bytes[0];
    p[1] = bytes[1];
    return true;
}

// Null when a double-byte character cannot be mapped; the characters before
// it are converted already.
char* ChangeCase(char* text, bool upper) {
    if (!text) return nullptr;
    for (char* p = text; *p; p += mbcs::CharLength(p)) {
        if (mbcs::CharLength(p) == 2) {
            if (!MapDoubleByte(p, upper)) return nullptr;
            continue;
        }
        unsigned char ch = static_cast<unsigned char>(*p);
        *p = static_cast<char>(upper ? mbcs::ToUpper(ch) : mbcs::ToLower(ch));
    }
    return text;
}

}  // namespace

char* CStr::MakeUpper() {
    return ChangeCase(m_buffer, true);
}

char* CStr::MakeLower() {
    return ChangeCase(m_buffer, false);
}
