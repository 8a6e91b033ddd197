// Tests on the whole text: blanks, blank lines, comment lines and numbers.
#include "strings/Mbcs.h"
#include "strings/Str.h"

namespace {

bool IsAsciiLetterOrDigit(signed char ch) {
    return (ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z');
}

bool IsDecimalDigit(signed char ch) {
    return ch >= '0' && ch <= '9';
}

bool IsHexDigit(signed char ch) {
    return IsDecimalDigit(ch) || (ch >= 'a' && ch <= 'f') || (ch >= 'A' && ch <= 'F');
}

}  // namespace

int CStr::HasBlank() {
    return m_buffer && mbcs::FindChar(m_buffer, ' ') ? 1 : 0;
}

int CStr::IsEmptyLine() {
    if (!m_buffer) return 1;
    for (const char* p = m_buffer; *p; ++p)
        if (*p != '\t' && *p != '\r' && *p != '\n') return 0;
    return 1;
}

int CStr::IsComment() {
    if (!m_buffer) return 0;
    CStr line(m_buffer, 255);
    line.RemoveWhitespace();
    return line.GetAt(0) == ';' ? 1 : 0;
}

int CStr::IsHexNum() {
    if (GetLength() == 0) return 1;
    for (const char* p = m_buffer; *p; ++p) {
        signed char ch = static_cast<signed char>(*p);
        if (!IsAsciiLetterOrDigit(ch)) {
            if (m_log) m_log->TraceLevel(1, "[Client] CStr::IsHexNum - not expected char\n");
            return 0;
        }
        if (!IsHexDigit(ch)) {
            if (m_log) m_log->TraceLevel(1, "[Client] CStr::IsHexNum - wrong char\n");
            return 0;
        }
    }
    return 1;
}

int CStr::IsNum() {
    if (GetLength() == 0) return 1;
    for (const char* p = m_buffer; *p; ++p) {
        signed char ch = static_cast<signed char>(*p);
        if (!IsAsciiLetterOrDigit(ch)) {
            if (m_log) m_log->TraceLevel(1, "[Client] CStr::IsNum - not expected char\n");
            return 0;
        }
        if (!IsDecimalDigit(ch)) {
            if (m_log) m_log->TraceLevel(1, "[Client] CStr::IsNum - wrong char\n");
            return 0;
        }
    }
    return 1;
}
