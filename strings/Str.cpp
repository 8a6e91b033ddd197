// CStr: construction, setting, appending, formatting, searching, comparing.
#include "strings/Str.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "strings/Mbcs.h"

namespace {

bool IsBlank(char ch) {
    return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n';
}

}  // namespace

CStr::CStr(const char* text, unsigned size)
    : m_buffer(nullptr), m_size(0), m_errorCode(0), m_errorDetail(0), m_log(nullptr) {
    int opened = 0;
    m_log = CDebugFile::OpenForOwner(&opened, "CStr Konstruktor");
    if (m_log && !opened) {
        m_errorCode = CDebugFile::kOwnerOpenFailed;
        m_errorDetail = m_log->GetErrorCode();
    }
    if (text)
        Set(text, size);
    else
        Set("", 0);
}

CStr::~CStr() {
    FreeBuffer();
    if (m_log) {
        TraceStep("~CStr");
        delete m_log;
        m_log = nullptr;
    }
}

int CStr::Compare(const CComparable* otherObject, int mode) const {
    const CStr* other = static_cast<const CStr*>(otherObject);
    if (mode == 1) {
        if (!other) return GetLength() > 0 ? 1 : 0;
        int own = GetLength(), theirs = other->GetLength();
        return own < theirs ? -1 : (own > theirs ? 1 : 0);
    }
    if (!other || !other->GetBuffer()) return m_buffer ? 1 : 0;
    if (!m_buffer) return -1;
    return mbcs::CompareText(m_buffer, other->GetBuffer(), false);
}

char* CStr::Set(const char* text, unsigned size) {
    if (!text) {
        TraceStep("CStr::Set mit NULL-Stringpointer");
        if (m_buffer) {
            m_buffer[0] = '\0';
        } else if ((m_buffer = static_cast<char*>(std::calloc(20, 1))) != nullptr) {
            m_size = 20;
        }
        return m_buffer;
    }
    TraceStep("CStr::Set(%s)", text);
    size_t length = std::strlen(text);
    if (length >= 0xFFFFFFFEu) return m_buffer;
    unsigned n = size >= length ? size : static_cast<unsigned>(length) + 1;
    if (n >= GetSize() || GetSize() == 0) {
        if (n == 0xFFFFFFFFu) return m_buffer;
        // Copy before the old buffer goes: the text may lie inside it.
        char* fresh = static_cast<char*>(std::calloc(static_cast<size_t>(n) + 1, 1));
        if (!fresh) return m_buffer;
        std::memcpy(fresh, text, length + 1);
        FreeBuffer();
        m_buffer = fresh;
        m_size = n + 1;
        return m_buffer;
    }
    std::memmove(m_buffer, text, length + 1);
    return m_buffer;
}

char* CStr::SetN(const char* text, unsigned count) {
    if (!text) {
        if (m_buffer) {
            m_buffer[0] = '\0';
        } else if ((m_buffer = static_cast<char*>(std::calloc(20, 1))) != nullptr) {
            m_size = 20;
        }
        return m_buffer;
    }
    if (count == 0xFFFFFFFFu) return m_buffer;
    // Bytes to take: up to count, never past the terminator, and never half
    // of a double-byte character.
    size_t take = 0;
    while (take < count && text[take] != '\0') {
        size_t step = mbcs::CharLength(text + take);
        if (take + step > count) break;
        take += step;
    }
    if (count >= GetSize() || GetSize() == 0) {
        char* fresh = static_cast<char*>(std::calloc(static_cast<size_t>(count) + 1, 1));
        if (!fresh) return m_buffer;
        std::memcpy(fresh, text, take);
        FreeBuffer();
        m_buffer = fresh;
        m_size = count + 1;
        return m_buffer;
    }
    std::memmove(m_buffer, text, take);
    std::memset(m_buffer + take, 0, m_size - take);
    return m_buffer;
}

int CStr::Empty() {
    if (m_buffer) std::memset(m_buffer, 0, GetSize());
    return 1;
}

char CStr::GetAt(unsigned index) const {
    if (m_buffer && index <= GetSize()) return m_buffer[index];
    return 0;
}

CStr& CStr::operator=(const char* text) {
    Set(text, 0);
    return *this;
}

CStr& CStr::operator=(const CStr& other) {
    Set(other.GetBuffer(), 0);
    return *this;
}

CStr& CStr::operator+=(const char* text) {
    Add(text);
    return *this;
}

CStr& CStr::operator+=(const CStr& other) {
    Add(other.GetBuffer());
    return *this;
}

int CStr::operator==(const char* text) const {
    return IsEqual(text, 1);
}
int CStr::operator==(const CStr& other) const {
    return IsEqual(other.GetBuffer(), 1);
}
int CStr::operator!=(const char* text) const {
    return 1 - IsEqual(text, 1);
}
int CStr::operator!=(const CStr& other) const {
    return 1 - IsEqual(other.GetBuffer(), 1);
}

char* CStr::Add(const char* text) {
    if (!text) {
        TraceStep("CStr::Add eines NULL-Stringpointers");
        return m_buffer;
    }
    TraceStep("CStr::Add");
    size_t own = static_cast<size_t>(GetLength());
    size_t added = std::strlen(text);
    size_t needed = own + added + 1;
    if (needed >= 0xFFFFFFFFu) return m_buffer;
    if (needed >= GetSize()) {
        // Exactly the size needed, no headroom. Both texts are copied before
        // the old buffer goes, so text may lie inside it.
        char* fresh = static_cast<char*>(std::malloc(needed));
        if (!fresh) return m_buffer;
        if (m_buffer) std::memcpy(fresh, m_buffer, own);
        std::memcpy(fresh + own, text, added + 1);
        FreeBuffer();
        m_buffer = fresh;
        m_size = static_cast<unsigned>(needed);
        return m_buffer;
    }
    std::memmove(m_buffer + own, text, added + 1);
    return m_buffer;
}

char* CStr::GetBuffer() const {
    return m_buffer;
}

int CStr::StrLen(const char* text) const {
    return text ? static_cast<int>(std::strlen(text)) : 0;
}

int CStr::GetLength() const {
    return m_buffer ? static_cast<int>(std::strlen(m_buffer)) : 0;
}

unsigned CStr::GetSize() const {
    return m_size ? m_size - 1 : 0;
}

int CStr::IsEmpty() const {
    if (!m_buffer) return 1;
    for (const char* p = m_buffer; *p; ++p)
        if (!IsBlank(*p)) return 0;
    return 1;
}

char* CStr::Find(const char* text, const char* pattern, int caseSensitive) {
    if (!text || !*text || !pattern) {
        TraceStep(
            "CStr::Find mit fehlerhafter Parameter\xFC"
            "bergabe");
        return nullptr;
    }
    TraceStep("CStr::Find von %s", pattern);
    if (caseSensitive) return const_cast<char*>(mbcs::FindSub(text, pattern));

    size_t textLength = std::strlen(text), patternLength = std::strlen(pattern);
    char* lowerText = static_cast<char*>(std::calloc(textLength + 1, 1));
    char* lowerPattern = static_cast<char*>(std::calloc(patternLength + 1, 1));
    char* result = nullptr;
    if (lowerText && lowerPattern) {
        std::memcpy(lowerText, text, textLength);
        std::memcpy(lowerPattern, pattern, patternLength);
        mbcs::LowerInPlace(lowerText);
        mbcs::LowerInPlace(lowerPattern);
        if (const char* hit = mbcs::FindSub(lowerText, lowerPattern))
            result = const_cast<char*>(text) + (hit - lowerText);
    }
    std::free(lowerText);
    std::free(lowerPattern);
    return result;
}

char* CStr::FindInStr(const char* pattern, int caseSensitive) {
    if (!m_buffer || !pattern) return nullptr;
    return Find(m_buffer, pattern, caseSensitive);
}

int CStr::IsEqual(const char* text, int caseSensitive) const {
    if (!m_buffer || !text) return 0;
    return mbcs::CompareText(m_buffer, text, caseSensitive == 0) == 0 ? 1 : 0;
}

char* CStr::RemoveLast(char ch, int repeat) {
    int length = GetLength();
    while (length > 0) {
        if (ch != '\0' && m_buffer[length - 1] != ch) break;
        m_buffer[--length] = '\0';
        if (ch == '\0' || !repeat) break;
    }
    return m_buffer;
}

int CStr::Show(const char* text) {
    if (!m_log) return 0;
    if (text)
        TraceStep("CStr::Show(extern):%s", text);
    else
        TraceStep("CStr::Show(interner buffer):%s", m_buffer ? m_buffer : "");
    return 1;
}

char* CStr::FormatInto(int add, const char* format, va_list args) {
    size_t n = std::strlen(format);
    size_t scratchSize = n + n / 10;
    if (scratchSize < 800) scratchSize = 800;
    // Measure first, so that a result longer than the usual scratch is never
    // cut or written past its end.
    va_list measure;
    va_copy(measure, args);
    int needed = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (needed < 0) return m_buffer;
    if (static_cast<size_t>(needed) + 1 > scratchSize)
        scratchSize = static_cast<size_t>(needed) + 1;
    char* scratch = static_cast<char*>(std::calloc(scratchSize, 1));
    if (!scratch) return m_buffer;
    std::vsnprintf(scratch, scratchSize, format, args);
    if (add)
        Add(scratch);
    else
        Set(scratch, 0);
    std::free(scratch);
    return m_buffer;
}

char* CStr::sprintf(const char* format, ...) {
    if (!format) return m_buffer;
    TraceStep("CStr:sprintf");
    va_list args;
    va_start(args, format);
    FormatInto(0, format, args);
    va_end(args);
    return m_buffer;
}

char* CStr::Addsprintf(const char* format, ...) {
    if (!format) return m_buffer;
    TraceStep("CStr:Addsprintf");
    va_list args;
    va_start(args, format);
    FormatInto(1, format, args);
    va_end(args);
    return m_buffer;
}

int CStr::FreeBuffer() {
    if (m_buffer) {
        std::free(m_buffer);
        m_buffer = nullptr;
        m_size = 0;
    }
    return 1;
}
