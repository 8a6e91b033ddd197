// Letter case of Windows-1252 bytes: ASCII and the Latin letters of the code
// page (0xC0-0xDE and 0xE0-0xFE without the multiplication and division signs,
// and the pairs Š/š, Œ/œ, Ž/ž, Ÿ/ÿ, where ÿ 0xFF pairs with Ÿ 0x9F). ß (0xDF)
// has no single-byte upper case. The one case table of the code base: string
// comparisons, path look-ups, name patterns and version-resource keys all
// fold with it.
#pragma once

#include <string>

inline unsigned char LowerWindows1252(unsigned char ch) {
    if (ch >= 'A' && ch <= 'Z') return static_cast<unsigned char>(ch + 0x20);
    if (ch >= 0xC0 && ch <= 0xDE && ch != 0xD7) return static_cast<unsigned char>(ch + 0x20);
    switch (ch) {
        case 0x8A:
            return 0x9A;
        case 0x8C:
            return 0x9C;
        case 0x8E:
            return 0x9E;
        case 0x9F:
            return 0xFF;
        default:
            return ch;
    }
}

inline unsigned char UpperWindows1252(unsigned char ch) {
    if (ch >= 'a' && ch <= 'z') return static_cast<unsigned char>(ch - 0x20);
    if (ch >= 0xE0 && ch <= 0xFE && ch != 0xF7) return static_cast<unsigned char>(ch - 0x20);
    switch (ch) {
        case 0x9A:
            return 0x8A;
        case 0x9C:
            return 0x8C;
        case 0x9E:
            return 0x8E;
        case 0xFF:
            return 0x9F;
        default:
            return ch;
    }
}

// Whether two Windows-1252 characters are the same letter when letter case
// is ignored.
inline bool SameLetter(char a, char b) {
    return LowerWindows1252(static_cast<unsigned char>(a)) ==
           LowerWindows1252(static_cast<unsigned char>(b));
}

// Whether two Windows-1252 texts are equal when letter case is ignored.
inline bool EqualFolded(const char* a, size_t aLength, const char* b, size_t bLength) {
    if (aLength != bLength) return false;
    for (size_t i = 0; i < aLength; ++i)
        if (!SameLetter(a[i], b[i])) return false;
    return true;
}

inline bool EqualFolded(const std::string& a, const std::string& b) {
    return EqualFolded(a.data(), a.size(), b.data(), b.size());
}
