// Building command lines and finding an option with its quoted value.
#include <cstring>

#include "strings/Mbcs.h"
#include "strings/PathStr.h"

char* CPathStr::MakeCmdLine(const char* args, int quoteArgs) {
    if (!args) return m_buffer;
    CStr line(nullptr, 255);
    line.Add("\"");
    line.Add(m_buffer);  // nothing without a buffer
    line.Add("\" ");
    if (quoteArgs) line.Add("\"");
    line.Add(args);
    if (quoteArgs) line.Add("\"");
    return Set(line.GetBuffer(), 0);
}

char* CPathStr::AddCmdArg(const char* arg, int quote) {
    if (!arg) return m_buffer;
    // Copied first: the blank may move the buffer that arg lies in.
    CStr argument(arg, 0);
    AddCharIfMissing(' ');
    if (quote) Add("\"");
    Add(argument.GetBuffer());
    if (quote) Add("\"");
    return m_buffer;
}

int CPathStr::FindCmdOption(const char* option, char* value, int valueSize) {
    if (!option) return 0;
    CPathStr line(m_buffer, 255);
    const char* found = line.FindInStr(option, 0);
    if (!found) return 0;
    if (!value || valueSize <= 0) return 1;

    // A value is taken only when a quoted text follows the option directly or
    // after white space.
    const char* afterOption = found + std::strlen(option);
    const char* open = mbcs::FindChar(found, '"');
    if (!open || open < afterOption) return 1;
    const char* close = mbcs::FindChar(open + 1, '"');
    if (!close) return 1;
    CStr between(nullptr, 255);
    between.SetN(afterOption, static_cast<unsigned>(open - afterOption));
    if (!between.IsEmpty()) return 1;

    std::memset(value, 0, static_cast<size_t>(valueSize));
    size_t limit = static_cast<size_t>(valueSize) - 1;
    size_t taken = 0;
    for (const char* p = open + 1; p < close;) {
        size_t step = mbcs::CharLength(p);
        if (taken + step > limit) break;  // never half of a double-byte character
        taken += step;
        p += step;
    }
    std::memcpy(value, open + 1, taken);
    return 1;
}
