// Replacing every occurrence of a pattern, and the operations built on it.
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "strings/Str.h"

namespace {

// A private copy of a text, so that a pattern or replacement that lies inside
// the object's own buffer stays intact while the buffer is rebuilt.
char* CopyOf(const char* text, size_t length) {
    char* copy = static_cast<char*>(std::malloc(length + 1));
    if (copy) std::memcpy(copy, text, length + 1);
    return copy;
}

}  // namespace

char* CStr::Expand(const char* pattern, const char* with, int caseSensitive, unsigned* count) {
    TraceStep("CStr::Expand");
    if (count) *count = 0;
    if (!m_buffer || !pattern || !with) return m_buffer;
    size_t patternLength = std::strlen(pattern);
    // An empty pattern would be found again and again at the same place: it
    // counts as no occurrence.
    if (patternLength == 0) return m_buffer;
    size_t withLength = std::strlen(with);

    char* ownPattern = CopyOf(pattern, patternLength);
    char* ownWith = CopyOf(with, withLength);
    if (!ownPattern || !ownWith) {
        std::free(ownPattern);
        std::free(ownWith);
        return m_buffer;
    }

    // Count the occurrences; each search starts behind the previous hit, so
    // occurrences never overlap.
    size_t hits = 0;
    for (char* at = m_buffer; (at = Find(at, ownPattern, caseSensitive)) != nullptr;
         at += patternLength)
        ++hits;

    size_t length = static_cast<size_t>(GetLength());
    char* result = nullptr;
    size_t resultSize = 0;
    if (hits > 0 && hits * patternLength <= length) {
        // Exactly the result and its terminator; it must fit the 32-bit size.
        unsigned long long wanted = static_cast<unsigned long long>(length - hits * patternLength) +
                                    static_cast<unsigned long long>(hits) * withLength + 1;
        if (withLength <= 0xFFFFFFFFu && wanted < 0xFFFFFFFFull) {
            resultSize = static_cast<size_t>(wanted);
            result = static_cast<char*>(std::calloc(resultSize, 1));
        }
    }
    if (result) {
        // The same search sequence again: the piece before each hit, then the
        // replacement; the replacement itself is never searched.
        size_t written = 0, done = 0;
        char* from = m_buffer;
        for (char* hit; done < hits && (hit = Find(from, ownPattern, caseSensitive)) != nullptr;
             ++done) {
            size_t piece = static_cast<size_t>(hit - from);
            if (written + piece + withLength >= resultSize) break;  // never past the result
            std::memcpy(result + written, from, piece);
            std::memcpy(result + written + piece, ownWith, withLength);
            written += piece + withLength;
            from = hit + patternLength;
        }
        size_t rest = std::strlen(from);
        if (written + rest >= resultSize) rest = resultSize - 1 - written;
        std::memcpy(result + written, from, rest);

        if (resultSize >= GetSize()) {
            FreeBuffer();
            m_buffer = result;
            m_size = static_cast<unsigned>(resultSize);
        } else {
            std::memset(m_buffer, 0, GetSize());
            std::memcpy(m_buffer, result, resultSize);
            std::free(result);
        }
        if (count) *count = static_cast<unsigned>(hits);
    }
    std::free(ownPattern);
    std::free(ownWith);
    return m_buffer;
}

char* CStr::Remove(const char* pattern) {
    return Expand(pattern, "", 0, nullptr);
}

char* CStr::Replace(const char* pattern, const char* with, unsigned* count) {
    return Expand(pattern, with, 0, count);
}

char* CStr::ReplaceCase(const char* pattern, const char* with, unsigned* count) {
    return Expand(pattern, with, 1, count);
}

char* CStr::ExpandTabs(unsigned width) {
    char* spaces = static_cast<char*>(std::malloc(static_cast<size_t>(width) + 1));
    if (!spaces) return m_buffer;
    std::memset(spaces, ' ', width);
    spaces[width] = '\0';
    Expand("\t", spaces, 0, nullptr);
    std::free(spaces);
    return m_buffer;
}

char* CStr::RemoveWhitespace() {
    for (const char* blank : {" ", "\t", "\r", "\n"}) Expand(blank, "", 0, nullptr);
    return m_buffer;
}
