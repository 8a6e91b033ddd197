// Changed forms of a path: extension, escaped backslashes, the abbreviated
// display form, and the drive-root test.
#include <cstring>

#include "strings/Mbcs.h"
#include "strings/PathStr.h"

namespace {

// The one display buffer that GetShortForm shares between all paths.
constexpr size_t kShortFormSize = 255;
char g_shortForm[kShortFormSize];
// The longest form that fits it: maxLen characters, "..." and the terminator.
constexpr unsigned kLongestShortForm = kShortFormSize - 4;

// Bytes of the first `count` bytes of text that end on a character boundary.
size_t WholeCharacters(const char* text, size_t count) {
    size_t taken = 0;
    while (taken < count && text[taken] != '\0') {
        size_t step = mbcs::CharLength(text + taken);
        if (taken + step > count) break;
        taken += step;
    }
    return taken;
}

// The first character boundary at or after offset `from` of text.
size_t BoundaryFrom(const char* text, size_t from) {
    size_t at = 0;
    while (at < from && text[at] != '\0') at += mbcs::CharLength(text + at);
    return at;
}

}  // namespace

char* CPathStr::SetExtension(const char* ext) {
    if (!ext || !m_buffer) return nullptr;
    char* dot = const_cast<char*>(mbcs::FindLastChar(m_buffer, '.'));
    if (!dot) return nullptr;
    CStr extension(nullptr, 255);
    extension.sprintf(".%s", ext);  // formed before the text is cut: ext may lie in it
    *dot = '\0';
    Add(extension.GetBuffer());
    return m_buffer;
}

char* CPathStr::EscapeBackslashes() {
    Replace("\\", "\\\\", nullptr);
    return m_buffer;
}

const char* CPathStr::GetShortForm(unsigned maxLen) {
    size_t length = static_cast<size_t>(GetLength());
    if (length <= maxLen) return m_buffer;
    // A longer form would not fit the shared buffer: the form gets shorter.
    if (maxLen > kLongestShortForm) maxLen = kLongestShortForm;

    const char* slash = mbcs::FindLastChar(m_buffer, '\\');
    const char* name = slash ? slash + 1 : nullptr;
    size_t nameLength = name ? std::strlen(name) : 0;
    size_t tail = maxLen / 2 + maxLen % 2;
    if (name && tail <= nameLength) tail = nameLength;  // keep the name whole where possible

    std::memset(g_shortForm, 0, sizeof g_shortForm);
    if (tail > maxLen) {
        // The name alone is longer: its first maxLen characters. The own
        // text stays as it is.
        std::memcpy(g_shortForm, name, WholeCharacters(name, maxLen));
        return g_shortForm;
    }
    size_t head = maxLen - tail;
    if (head < 3 && tail > 3) {
        tail = tail + head - 3;
        head = 3;
    }
    size_t headBytes = WholeCharacters(m_buffer, head);
    std::memcpy(g_shortForm, m_buffer, headBytes);
    std::memcpy(g_shortForm + headBytes, "...", 3);
    size_t tailStart = BoundaryFrom(m_buffer, length - tail);
    std::memcpy(g_shortForm + headBytes + 3, m_buffer + tailStart, length - tailStart);
    return g_shortForm;
}

int CPathStr::IsDriveRoot() {
    if (IsEmpty()) return 0;
    const char* colon = mbcs::FindChar(m_buffer, ':');
    if (!colon) return 0;
    if (colon[1] == '\0') return 1;
    if (colon[1] == '\\' && colon[2] == '\0') return 1;
    return 0;
}
