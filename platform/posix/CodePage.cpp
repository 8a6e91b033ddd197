// Windows-1252 (the ANSI code page here) and UTF-8 to and from UTF-16.
#include <cstring>
#include <string>

#include "platform/posix/BestFit1252.h"
#include "platform/posix/PosixCodePage.h"
#include "platform/posix/WinCodePage.h"
#include "platform/posix/WinErrors.h"

namespace {

// Unicode of the bytes 0x80..0x9F in Windows-1252. The five holes map to the
// C1 control of the same value, as Windows' own table does.
const WCHAR kHigh1252[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                             0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                             0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                             0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

WCHAR AnsiToUnicode(unsigned char ch) {
    return (ch >= 0x80 && ch < 0xA0) ? kHigh1252[ch - 0x80] : static_cast<WCHAR>(ch);
}

// -1 when the code point has no Windows-1252 byte.
int UnicodeToAnsi(unsigned cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
    for (int i = 0; i < 32; ++i)
        if (kHigh1252[i] == cp) return 0x80 + i;
    return -1;
}

// The byte Windows writes for a unit that is no character of the code page:
// its best-fit look-alike (BestFit1252.h), or -1 when there is none either.
int BestFitByte(unsigned unit) {
    size_t low = 0;
    size_t high = sizeof posix::kBestFit1252 / sizeof posix::kBestFit1252[0];
    while (low < high) {
        const size_t middle = low + (high - low) / 2;
        if (posix::kBestFit1252[middle].unit == unit) return posix::kBestFit1252[middle].byte;
        if (posix::kBestFit1252[middle].unit < unit)
            low = middle + 1;
        else
            high = middle;
    }
    return -1;
}

bool IsAnsiPage(UINT cp) {
    return cp == CP_ACP || cp == 1252 || cp == CP_OEMCP;
}

// Decodes one UTF-8 sequence at s[0..n). Returns its length, or 0 when it is
// malformed (then *cp is U+FFFD and one byte is to be skipped).
size_t DecodeUtf8(const unsigned char* s, size_t n, unsigned* cp) {
    unsigned c = s[0];
    size_t len;
    unsigned min;
    if (c < 0x80) {
        *cp = c;
        return 1;
    }
    if (c >= 0xC2 && c <= 0xDF) {
        len = 2;
        min = 0x80;
        c &= 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        len = 3;
        min = 0x800;
        c &= 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4;
        min = 0x10000;
        c &= 0x07;
    } else {
        *cp = 0xFFFD;
        return 0;
    }
    if (len > n) {
        *cp = 0xFFFD;
        return 0;
    }
    for (size_t i = 1; i < len; ++i) {
        if ((s[i] & 0xC0) != 0x80) {
            *cp = 0xFFFD;
            return 0;
        }
        c = (c << 6) | (s[i] & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        *cp = 0xFFFD;
        return 0;
    }
    *cp = c;
    return len;
}

// Hands the UTF-8 bytes of one code point (at most U+10FFFF) to put.
template <typename Put>
void EncodeUtf8(unsigned cp, Put put) {
    if (cp < 0x80) {
        put(static_cast<unsigned char>(cp));
    } else if (cp < 0x800) {
        put(static_cast<unsigned char>(0xC0 | (cp >> 6)));
        put(static_cast<unsigned char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        put(static_cast<unsigned char>(0xE0 | (cp >> 12)));
        put(static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F)));
        put(static_cast<unsigned char>(0x80 | (cp & 0x3F)));
    } else {
        put(static_cast<unsigned char>(0xF0 | (cp >> 18)));
        put(static_cast<unsigned char>(0x80 | ((cp >> 12) & 0x3F)));
        put(static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F)));
        put(static_cast<unsigned char>(0x80 | (cp & 0x3F)));
    }
}

// Stores one UTF-16 unit in out when there is room; always counts it.
struct WideSink {
    LPWSTR out;
    int size;
    int count = 0;
    bool overflow = false;
    void Put(WCHAR w) {
        if (size > 0) {
            if (count < size)
                out[count] = w;
            else
                overflow = true;
        }
        ++count;
    }
};

struct ByteSink {
    LPSTR out;
    int size;
    int count = 0;
    bool overflow = false;
    void Put(unsigned char b) {
        if (size > 0) {
            if (count < size)
                out[count] = static_cast<char>(b);
            else
                overflow = true;
        }
        ++count;
    }
};

}  // namespace

UINT GetACP() {
    return 1252;
}

BOOL IsDBCSLeadByte(BYTE) {
    return FALSE;
}

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int textLength, LPWSTR wide,
                        int wideSize) {
    if (!text || textLength == 0 || wideSize < 0 || (wideSize > 0 && !wide)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    size_t n = textLength < 0 ? std::strlen(text) + 1 : static_cast<size_t>(textLength);
    const unsigned char* s = reinterpret_cast<const unsigned char*>(text);
    WideSink sink{wide, wideSize};
    if (IsAnsiPage(codePage)) {
        for (size_t i = 0; i < n; ++i) sink.Put(AnsiToUnicode(s[i]));
    } else if (codePage == CP_UTF8) {
        for (size_t i = 0; i < n;) {
            unsigned cp;
            size_t len = DecodeUtf8(s + i, n - i, &cp);
            if (len == 0) {
                if (flags & MB_ERR_INVALID_CHARS) {
                    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
                    return 0;
                }
                len = 1;
            }
            if (cp >= 0x10000) {
                cp -= 0x10000;
                sink.Put(static_cast<WCHAR>(0xD800 + (cp >> 10)));
                sink.Put(static_cast<WCHAR>(0xDC00 + (cp & 0x3FF)));
            } else {
                sink.Put(static_cast<WCHAR>(cp));
            }
            i += len;
        }
    } else {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (sink.overflow) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    return sink.count;
}

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int wideLength, LPSTR text,
                        int textSize, LPCSTR defaultChar, LPBOOL usedDefault) {
    if (!wide || wideLength == 0 || textSize < 0 || (textSize > 0 && !text)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    size_t n = static_cast<size_t>(wideLength);
    if (wideLength < 0) {
        n = 0;
        while (wide[n]) ++n;
        ++n;
    }
    if (usedDefault) *usedDefault = FALSE;
    ByteSink sink{text, textSize};
    if (IsAnsiPage(codePage)) {
        unsigned char fallback = defaultChar ? static_cast<unsigned char>(*defaultChar) : '?';
        for (size_t i = 0; i < n; ++i) {
            unsigned cp = wide[i];
            // A surrogate pair is one character and gets one default byte.
            if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < n && wide[i + 1] >= 0xDC00 &&
                wide[i + 1] <= 0xDFFF)
                ++i;
            int b = UnicodeToAnsi(cp);
            // A best-fit byte is no default: *usedDefault stays as it is.
            if (b < 0 && !(flags & WC_NO_BEST_FIT_CHARS)) b = BestFitByte(cp);
            if (b < 0) {
                if (usedDefault) *usedDefault = TRUE;
                b = fallback;
            }
            sink.Put(static_cast<unsigned char>(b));
        }
    } else if (codePage == CP_UTF8) {
        if (defaultChar || usedDefault) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
        }
        for (size_t i = 0; i < n; ++i) {
            unsigned cp = wide[i];
            if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < n && wide[i + 1] >= 0xDC00 &&
                wide[i + 1] <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (wide[i + 1] - 0xDC00);
                ++i;
            } else if (cp >= 0xD800 && cp <= 0xDFFF) {
                cp = 0xFFFD;  // a lone surrogate
            }
            EncodeUtf8(cp, [&sink](unsigned char b) { sink.Put(b); });
        }
    } else {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (sink.overflow) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    return sink.count;
}

namespace posix {

std::string AnsiToUtf8Text(const char* text, size_t length) {
    std::string out;
    out.reserve(length);
    for (size_t i = 0; i < length; ++i) {
        EncodeUtf8(AnsiToUnicode(static_cast<unsigned char>(text[i])),
                   [&out](unsigned char b) { out += static_cast<char>(b); });
    }
    return out;
}

std::string HostNameToAnsi(const std::string& hostName) {
    std::string out;
    const unsigned char* s = reinterpret_cast<const unsigned char*>(hostName.data());
    size_t n = hostName.size();
    for (size_t i = 0; i < n;) {
        unsigned cp;
        size_t len = DecodeUtf8(s + i, n - i, &cp);
        if (len == 0) len = 1;
        int b = UnicodeToAnsi(cp);
        out += static_cast<char>(b < 0 ? '?' : b);
        i += len;
    }
    return out;
}

}  // namespace posix
