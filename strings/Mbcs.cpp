#include "strings/Mbcs.h"

#include <cstring>

#include "platform/AnsiCase.h"
#include "platform/Windows.h"

namespace mbcs {
namespace {

bool AnsiIs1252() {
    static const bool is1252 = GetACP() == 1252;
    return is1252;
}

// The unit of the character at p (lead byte high) and its length.
unsigned Unit(const char* p, size_t* length, bool ignoreCase) {
    *length = CharLength(p);
    unsigned char first = static_cast<unsigned char>(p[0]);
    if (*length == 2) return (static_cast<unsigned>(first) << 8) | static_cast<unsigned char>(p[1]);
    return ignoreCase ? ToLower(first) : first;
}

}  // namespace

bool IsLead(unsigned char ch) {
    return ch >= 0x80 && IsDBCSLeadByte(ch) != 0;
}

size_t CharLength(const char* p) {
    return (IsLead(static_cast<unsigned char>(p[0])) && p[1] != '\0') ? 2 : 1;
}

const char* FindSub(const char* text, const char* pattern) {
    size_t length = std::strlen(pattern);
    for (const char* p = text;; p += CharLength(p)) {
        if (std::strncmp(p, pattern, length) == 0) return p;
        if (*p == '\0') return nullptr;
    }
}

const char* FindChar(const char* text, char ch) {
    for (const char* p = text; *p; p += CharLength(p))
        if (*p == ch) return p;
    return nullptr;
}

const char* FindLastChar(const char* text, char ch) {
    const char* last = nullptr;
    for (const char* p = text; *p; p += CharLength(p))
        if (*p == ch) last = p;
    return last;
}

unsigned char ToLower(unsigned char ch) {
    if (AnsiIs1252()) return LowerWindows1252(ch);
    return (ch >= 'A' && ch <= 'Z') ? static_cast<unsigned char>(ch + 0x20) : ch;
}

unsigned char ToUpper(unsigned char ch) {
    if (AnsiIs1252()) return UpperWindows1252(ch);
    return (ch >= 'a' && ch <= 'z') ? static_cast<unsigned char>(ch - 0x20) : ch;
}

void LowerInPlace(char* text) {
    for (char* p = text; *p; p += CharLength(p))
        if (CharLength(p) == 1) *p = static_cast<char>(ToLower(static_cast<unsigned char>(*p)));
}

void UpperInPlace(char* text) {
    for (char* p = text; *p; p += CharLength(p))
        if (CharLength(p) == 1) *p = static_cast<char>(ToUpper(static_cast<unsigned char>(*p)));
}

int CompareText(const char* a, const char* b, bool ignoreCase) {
    for (;;) {
        size_t la, lb;
        unsigned ua = Unit(a, &la, ignoreCase);
        unsigned ub = Unit(b, &lb, ignoreCase);
        if (ua != ub) return ua < ub ? -1 : 1;
        if (ua == 0) return 0;
        a += la;
        b += lb;
    }
}

}  // namespace mbcs
