// CPathStr: construction and building paths.
#include "strings/PathStr.h"

#include <cstdlib>
#include <cstring>
#include <initializer_list>

CPathStr::CPathStr(const char* text, unsigned size) : CStr(text, size) {
    TraceStep("CPathStr Konstruktor");
    m_errorCode = 0;
    m_errorDetail = 0;
    m_driveCache = nullptr;
    m_pathCache = nullptr;
    m_nameCache = nullptr;
    m_cmdCache = nullptr;
}

CPathStr::~CPathStr() {
    for (CStr** cache : {&m_driveCache, &m_pathCache, &m_nameCache, &m_cmdCache}) {
        delete *cache;
        *cache = nullptr;
    }
}

char* CPathStr::AddCharIfMissing(char ch) {
    if (m_buffer) {
        int length = GetLength();
        char last = m_buffer[length > 0 ? length - 1 : 0];
        if (last != ch) {
            const char text[2] = {ch, '\0'};
            Add(text);
        }
    }
    Show(nullptr);
    return m_buffer;
}

char* CPathStr::AddBackslash() {
    return AddCharIfMissing('\\');
}

char* CPathStr::AddPath(const char* part) {
    if (!part) return m_buffer;
    if (part[0] == '\\') {
        Add(part);
        return m_buffer;
    }
    // A part inside the own buffer would be freed when AddBackslash replaces
    // the buffer: copy it first.
    char* copy = nullptr;
    if (m_buffer && part >= m_buffer && part < m_buffer + m_size) {
        size_t length = std::strlen(part);
        copy = static_cast<char*>(std::malloc(length + 1));
        if (!copy) return m_buffer;
        std::memcpy(copy, part, length + 1);
    }
    AddBackslash();
    Add(copy ? copy : part);
    std::free(copy);
    return m_buffer;
}

char* CPathStr::MakePath(const char* part) {
    TraceStep("CPathStr::MakePath");
    return AddPath(part);
}
