// The text between UTF-8 and the ANSI code page.
#include <climits>
#include <cstdlib>
#include <cstring>

#include "platform/Windows.h"
#include "strings/Str.h"

namespace {

// The single bytes below 128 that text may hold: bell, backspace, tab, line
// feed, form feed, carriage return, escape and the printable characters.
bool IsAllowedSingleByte(unsigned char ch) {
    return ch == 7 || ch == 8 || ch == 9 || ch == 10 || ch == 12 || ch == 13 || ch == 27 ||
           (ch >= 32 && ch <= 126);
}

// Continuation bytes announced by a lead byte; -1 for a byte that cannot lead.
int ContinuationCount(unsigned char ch) {
    if ((ch & 0xE0) == 0xC0) return 1;
    if ((ch & 0xF0) == 0xE0) return 2;
    if ((ch & 0xF8) == 0xF0) return 3;
    if ((ch & 0xFC) == 0xF8) return 4;
    if ((ch & 0xFE) == 0xFC) return 5;
    return -1;
}

// The m_size bytes of the text (terminator and the bytes behind it included)
// as UTF-16, converted from `codePage`. Null when the conversion fails; *units
// receives the number of units.
WCHAR* ToWide(const char* buffer, unsigned size, UINT codePage, int* units) {
    *units = 0;
    if (size == 0 || size > INT_MAX / 2) return nullptr;
    char* bytes = static_cast<char*>(std::calloc(size, 1));
    WCHAR* wide = static_cast<WCHAR*>(std::calloc(size, sizeof(WCHAR)));
    if (bytes && wide) {
        std::memcpy(bytes, buffer, size);
        *units = MultiByteToWideChar(codePage, 0, bytes, static_cast<int>(size), wide,
                                     static_cast<int>(size));
    }
    std::free(bytes);
    if (*units <= 0) {
        std::free(wide);
        return nullptr;
    }
    return wide;
}

}  // namespace

int CStr::IsUtf8(const char* text) {
    if (!text) return 0;
    int sawSequence = 0;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p;) {
        unsigned char ch = *p++;
        if (ch < 0x80) {
            if (!IsAllowedSingleByte(ch)) return 0;
            continue;
        }
        int follow = ContinuationCount(ch);
        if (follow < 0) return 0;
        for (int i = 0; i < follow; ++i, ++p) {
            if (*p == 0) return sawSequence;  // cut off by the end: neither counted nor refused
            if ((*p & 0xC0) != 0x80) return 0;
        }
        sawSequence = 1;
    }
    return sawSequence;
}

char* CStr::Utf8ToAnsi() {
    if (!m_buffer) return nullptr;
    if (!IsUtf8(m_buffer)) return m_buffer;
    int units = 0;
    WCHAR* wide = ToWide(m_buffer, m_size, CP_UTF8, &units);
    if (!wide) return m_buffer;
    // The zero bytes behind the text are converted too, so the result is
    // terminated. A single-byte code page gives one byte per unit, so the
    // text fits where it was; a double-byte one may need a larger buffer.
    int need = WideCharToMultiByte(CP_ACP, 0, wide, units, nullptr, 0, nullptr, nullptr);
    if (need > 0 && static_cast<unsigned>(need) <= m_size) {
        int written = WideCharToMultiByte(CP_ACP, 0, wide, units, m_buffer,
                                          static_cast<int>(m_size), nullptr, nullptr);
        if (written > 0) m_size = static_cast<unsigned>(written);
    } else if (need > 0) {
        char* fresh = static_cast<char*>(std::calloc(static_cast<size_t>(need), 1));
        if (fresh &&
            WideCharToMultiByte(CP_ACP, 0, wide, units, fresh, need, nullptr, nullptr) == need) {
            FreeBuffer();
            m_buffer = fresh;
            m_size = static_cast<unsigned>(need);
        } else {
            std::free(fresh);
        }
    }
    std::free(wide);
    return m_buffer;
}

char* CStr::AnsiToUtf8() {
    if (!m_buffer) return nullptr;
    int units = 0;
    WCHAR* wide = ToWide(m_buffer, m_size, CP_ACP, &units);
    if (!wide) return m_buffer;
    // Room for two bytes a unit first; a text that needs more (three bytes for
    // many characters) gets a buffer of exactly its UTF-8 size instead.
    size_t doubled = 2 * static_cast<size_t>(units);
    int need = WideCharToMultiByte(CP_UTF8, 0, wide, units, nullptr, 0, nullptr, nullptr);
    size_t allocation =
        need > 0 && static_cast<size_t>(need) > doubled ? static_cast<size_t>(need) : doubled;
    char* fresh = need > 0 && allocation < 0xFFFFFFFFu
                      ? static_cast<char*>(std::calloc(allocation, 1))
                      : nullptr;
    if (fresh) {
        int written = WideCharToMultiByte(CP_UTF8, 0, wide, units, fresh,
                                          static_cast<int>(allocation), nullptr, nullptr);
        if (written > 0) {
            FreeBuffer();
            m_buffer = fresh;
            m_size = static_cast<unsigned>(written);
        } else {
            std::free(fresh);
        }
    }
    std::free(wide);
    return m_buffer;
}
