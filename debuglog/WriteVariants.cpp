// The further writes of CDebugFile: the file-only writes and the estimate
// that sizes their buffer, the explicit flush, and the rows of a fill
// character.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "debuglog/DebugFile.h"
#include "debuglog/LogState.h"

using debuglog::Shared;
using debuglog::SharedLock;

namespace {

// What the character after a "%" adds to the estimate, and whether it counts
// as a directive (which adds 15 more). The length of a string argument is
// added by the caller.
struct Addition {
    int bytes;
    bool counted;
};

Addition AdditionFor(char key) {
    switch (key) {
        case '#':
        case '-':
        case '0':
            return {255, true};
        case 'c':
            return {1, true};
        case 'd':
        case 'i':
        case 'l':
        case 'n':
        case 'o':
        case 'p':
        case 'u':
            return {4, true};
        case 'e':
        case 'f':
        case 'g':
            return {8, true};
        case 's':
            return {0, true};
        case 'x':
            return {10, true};
        default:
            return {0, false};
    }
}

enum class Size { Plain, Long, LongLong, Pointer, LongDouble };

// Skips one printf directive (p points after its "%") and takes its arguments
// from args, so that every later directive meets its own argument. Returns
// the position after the directive; *text receives the string argument of a
// "s" or "S" conversion (null otherwise), *wide tells whether it is wide.
const char* TakeDirective(const char* p, va_list* args, const void** text, bool* wide) {
    *text = nullptr;
    *wide = false;
    if (*p == '%') return p + 1;
    while (*p && std::strchr("-+ #0'", *p)) ++p;
    if (*p == '*') {
        (void)va_arg(*args, int);
        ++p;
    } else {
        while (*p >= '0' && *p <= '9') ++p;
    }
    if (*p == '.') {
        ++p;
        if (*p == '*') {
            (void)va_arg(*args, int);
            ++p;
        } else {
            while (*p >= '0' && *p <= '9') ++p;
        }
    }
    Size size = Size::Plain;
    for (;; ++p) {
        if (*p == 'h') continue;
        if (*p == 'l') {
            size = size == Size::Long ? Size::LongLong : Size::Long;
            continue;
        }
        if (*p == 'q' || *p == 'j') {
            size = Size::LongLong;
            continue;
        }
        if (*p == 'z' || *p == 't') {
            size = Size::Pointer;
            continue;
        }
        if (*p == 'L') {
            size = Size::LongDouble;
            continue;
        }
        if (*p == 'I') {  // the Windows forms I64, I32 and I
            if (p[1] == '6' && p[2] == '4') {
                size = Size::LongLong;
                p += 2;
            } else if (p[1] == '3' && p[2] == '2') {
                size = Size::Plain;
                p += 2;
            } else {
                size = Size::Pointer;
            }
            continue;
        }
        break;
    }
    char conversion = *p;
    if (!conversion) return p;
    switch (conversion) {
        case 'd':
        case 'i':
        case 'o':
        case 'u':
        case 'x':
        case 'X':
            if (size == Size::LongLong)
                (void)va_arg(*args, long long);
            else if (size == Size::Long)
                (void)va_arg(*args, long);
            else if (size == Size::Pointer)
                (void)va_arg(*args, size_t);
            else
                (void)va_arg(*args, int);
            break;
        case 'c':
        case 'C':
            (void)va_arg(*args, int);
            break;
        case 'e':
        case 'E':
        case 'f':
        case 'F':
        case 'g':
        case 'G':
        case 'a':
        case 'A':
            if (size == Size::LongDouble)
                (void)va_arg(*args, long double);
            else
                (void)va_arg(*args, double);
            break;
        case 's':
        case 'S':
            *wide = conversion == 'S' || size == Size::Long;
            *text = va_arg(*args, const void*);
            break;
        case 'p':
        case 'n':
            (void)va_arg(*args, void*);
            break;
        default:
            break;  // not a conversion that takes an argument
    }
    return p + 1;
}

}  // namespace

int CDebugFile::EstimateLength(const char* format, va_list args) {
    if (!format) return 0;
    va_list walk;
    va_copy(walk, args);
    long long total = static_cast<long long>(std::strlen(format)) + 3;
    long long directives = 0;
    for (const char* p = format; *p;) {
        if (*p != '%') {
            ++p;
            continue;
        }
        ++p;
        if (!*p) break;
        char key = *p >= 'A' && *p <= 'Z' ? static_cast<char>(*p - 'A' + 'a') : *p;
        Addition addition = AdditionFor(key);
        const void* text;
        bool wide;
        p = TakeDirective(p, &walk, &text, &wide);
        total += addition.bytes;
        if (key == 's' && text) {
            total += static_cast<long long>(wide ? std::wcslen(static_cast<const wchar_t*>(text))
                                                 : std::strlen(static_cast<const char*>(text)));
        }
        if (addition.counted) ++directives;
    }
    va_end(walk);
    total += 15 * directives + 10;
    return total > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(total);
}

int CDebugFile::TrimLineEnd(char* text) {
    if (!text) return 1;
    size_t end = std::strlen(text);
    while (end > 0 && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
    if (end == 0 || text[end - 1] != '\n') return 0;
    text[end] = '\0';
    return 1;
}

int CDebugFile::WriteFormatted(const char* format, va_list args, bool lineEnd,
                               const char* nullText) {
    {
        SharedLock guard;
        if (Shared().fileHandle == INVALID_HANDLE_VALUE) return 0;
    }
    if (!format) {
        WriteRaw(nullText, 1);
        return 0;
    }
    // The estimate can fall short of the text (a width before "s" counts
    // nothing), so the buffer is at least the measured text, its terminator
    // and room for the line end: nothing is cut and nothing overruns.
    size_t size = static_cast<size_t>(EstimateLength(format, args));
    va_list measure;
    va_copy(measure, args);
    int needed = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (needed < 0) return 0;
    size_t least = static_cast<size_t>(needed) + 3;
    if (size < least) size = least;
    char* buffer = static_cast<char*>(std::calloc(size, 1));
    if (!buffer) return 0;
    va_list copy;
    va_copy(copy, args);
    std::vsnprintf(buffer, size, format, copy);
    va_end(copy);
    if (lineEnd && !TrimLineEnd(buffer)) std::strcat(buffer, "\r\n");
    WriteRaw(buffer, 1);
    std::free(buffer);
    return 1;
}

int CDebugFile::WriteLevel(int level, const char* format, ...) {
    if (level < Shared().traceThreshold) return 1;
    va_list args;
    va_start(args, format);
    int result = WriteFormatted(format, args, false, "NULL");
    va_end(args);
    return result;
}

int CDebugFile::Write(const char* format, ...) {
    va_list args;
    va_start(args, format);
    int result = WriteFormatted(format, args, false, "NULL\r\n");
    va_end(args);
    return result;
}

int CDebugFile::WriteLine(const char* format, ...) {
    va_list args;
    va_start(args, format);
    int result = WriteFormatted(format, args, true, "NULL\r\n");
    va_end(args);
    return result;
}

int CDebugFile::WriteLineLevel(int level, const char* format, ...) {
    if (level < Shared().traceThreshold) return 1;
    va_list args;
    va_start(args, format);
    int result = WriteFormatted(format, args, true, "NULL\r\n");
    va_end(args);
    return result;
}

int CDebugFile::Flush() {
    debuglog::LogState& log = Shared();
    SharedLock guard;
    if (log.fileHandle == INVALID_HANDLE_VALUE) return 0;
    if (FlushFileBuffers(log.fileHandle)) return 1;
    log.stateCode = static_cast<int>(GetLastError());
    return 0;
}

namespace {

// count fill characters and a terminator, or null when there is no memory.
char* NewRow(char fill, unsigned count) {
    size_t size = static_cast<size_t>(count) + 1;
    char* row = static_cast<char*>(std::calloc(size, 1));
    if (row) std::memset(row, static_cast<unsigned char>(fill), count);
    return row;
}

}  // namespace

// The row is passed as text, not as the format, so that a fill of "%" shows
// as itself. An empty row (fill 0 or count 0) is traced as an empty format.
int CDebugFile::TraceRowLevel(int level, char fill, unsigned count) {
    char* row = NewRow(fill, count);
    if (!row)
        TraceLineLevel(level, "---");
    else if (!*row)
        TraceLineLevel(level, nullptr);
    else
        TraceLineLevel(level, "%s", row);
    std::free(row);
    return 1;
}

int CDebugFile::TraceRow(char fill, unsigned count) {
    SharedLock guard;
    char* row = NewRow(fill, count);
    if (!row)
        TraceLine("---");
    else if (!*row)
        TraceLine(nullptr);
    else
        TraceLine("%s", row);
    std::free(row);
    return 1;
}
