// CPathStr: construction, building paths, and the directory and file
// existence tests.
#include "strings/PathStr.h"

#include <cstdlib>
#include <cstring>
#include <initializer_list>


namespace {

constexpr int kEmptyPath = 109;
constexpr int kPlaceFileQuery = 1023;
constexpr int kPlaceEmptyPath = 1022;

// Restores the process error mode when a query is done.
class CriticalErrorsQuiet {
public:
    CriticalErrorsQuiet() : m_previous(SetErrorMode(SEM_FAILCRITICALERRORS)) {}
    ~CriticalErrorsQuiet() { SetErrorMode(m_previous); }
    CriticalErrorsQuiet(const CriticalErrorsQuiet&) = delete;
    CriticalErrorsQuiet& operator=(const CriticalErrorsQuiet&) = delete;

private:
    UINT m_previous;
};

}  // namespace

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

int CPathStr::IsDir() {
    TraceStep("CPathStr::IsDir");
    if (!m_buffer) return 0;
    DWORD attributes;
    {
        CriticalErrorsQuiet quiet;
        attributes = GetFileAttributesA(m_buffer);
    }
    if (attributes == INVALID_FILE_ATTRIBUTES) return 0;
    return static_cast<int>(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

int CPathStr::DoesFileExist(int mode) {
    return DoesFileExist(nullptr, mode);
}

int CPathStr::DoesFileExist(const char* part, int mode) {
    if (!m_buffer) return 0;
    CPathStr probe(m_buffer, 255);
    m_errorCode = 0;
    if (part) probe.MakePath(part);
    if (probe.IsEmpty()) {
        m_errorCode = kEmptyPath;
        m_errorDetail = kPlaceEmptyPath;
        return 0;
    }
    if (probe.IsDir()) return 0;  // a directory is not a file

    // A test never creates or empties a file: the creating and truncating
    // modes are answered as an open of an existing file answers.
    DWORD creation = static_cast<DWORD>(mode);
    if (creation == CREATE_NEW || creation == CREATE_ALWAYS || creation == OPEN_ALWAYS ||
        creation == TRUNCATE_EXISTING)
        creation = OPEN_EXISTING;
    HANDLE file;
    {
        CriticalErrorsQuiet quiet;
        file =
            CreateFileA(probe.GetBuffer(), 0, 0, nullptr, creation, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    int result = 0;
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        result = 1;
    } else {
        m_errorDetail = kPlaceFileQuery;
        m_errorCode = static_cast<int>(GetLastError());
        // Present, but protected, in use or in the way.
        result = (m_errorCode == ERROR_ACCESS_DENIED || m_errorCode == ERROR_SHARING_VIOLATION ||
                  m_errorCode == ERROR_LOCK_VIOLATION || m_errorCode == ERROR_FILE_EXISTS)
                     ? 1
                     : 0;
    }
    TraceStep("DoesFileExist (Mode=%d)'%s'? %s", mode, m_buffer, result ? "Ja" : "Nein");
    return result;
}
