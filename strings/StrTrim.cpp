// Cutting leading and trailing characters.
#include <cstdlib>
#include <cstring>

#include "strings/Str.h"

namespace {

bool IsSpaceOrTab(char ch) {
    return ch == ' ' || ch == '\t';
}

// Sets the text from `skip` characters on, through a temporary copy, so that
// Set never reads from the buffer it may replace.
char* SetFrom(CStr* self, size_t skip) {
    const char* text = self->GetBuffer();
    size_t length = static_cast<size_t>(self->GetLength());
    char* rest = static_cast<char*>(std::malloc(length + 1));
    if (!rest) return self->GetBuffer();
    std::memcpy(rest, text + skip, length - skip + 1);
    self->Set(rest, 0);
    std::free(rest);
    return self->GetBuffer();
}

}  // namespace

char* CStr::TrimLeft() {
    int length = GetLength();
    if (length == 0) return m_buffer;
    size_t blanks = 0;
    while (IsSpaceOrTab(m_buffer[blanks])) ++blanks;
    if (blanks == 0) return m_buffer;
    return SetFrom(this, blanks);
}

char* CStr::TrimRight() {
    int length = GetLength();
    while (length > 0 && IsSpaceOrTab(m_buffer[length - 1])) m_buffer[--length] = '\0';
    return m_buffer;
}

char* CStr::RemoveFirst(char ch) {
    int length = GetLength();
    if (length == 0) return m_buffer;
    size_t leading = 1;
    if (ch != '\0') {
        if (m_buffer[0] != ch) return m_buffer;
        while (m_buffer[leading] == ch) ++leading;
    }
    return SetFrom(this, leading);
}
