// Queries on the file system: is it a directory, does the file exist, can the
// directory be entered, does it hold entries or subdirectories; and the error
// pair they record.
#include <cstdlib>
#include <cstring>

#include "platform/Windows.h"
#include "strings/PathStr.h"

namespace {

// The error code of a file test on an empty path.
constexpr int kEmptyPath = 109;
// Where a failed query recorded its error (the detail of the error pair).
constexpr int kPlaceEmptyPath = 1022;
constexpr int kPlaceFileQuery = 1023;
constexpr int kPlaceEnterDirectory = 1024;

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

// The search pattern "<dir>\*" in a buffer of the system's path size. False
// when it does not fit: such a directory cannot be searched.
bool SearchPattern(const char* dir, char (&pattern)[MAX_PATH]) {
    size_t length = std::strlen(dir);
    bool separator = length > 0 && dir[length - 1] == '\\';
    size_t needed = length + (separator ? 0 : 1) + 1 + 1;
    if (needed > sizeof pattern) return false;
    std::memcpy(pattern, dir, length);
    if (!separator) pattern[length++] = '\\';
    pattern[length++] = '*';
    pattern[length] = '\0';
    return true;
}

bool IsDots(const char* name) {
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

// 1 when the directory holds an entry other than "." and ".." (with
// directoriesOnly, a directory); 0 when it holds none or cannot be searched.
int HasEntry(const char* dir, bool directoriesOnly) {
    char pattern[MAX_PATH];
    if (!SearchPattern(dir, pattern)) return 0;
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA(pattern, &entry);
    if (find == INVALID_HANDLE_VALUE) return 0;
    int found = 0;
    do {
        bool isDirectory = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (!IsDots(entry.cFileName) && (isDirectory || !directoriesOnly)) found = 1;
    } while (!found && FindNextFileA(find, &entry));
    FindClose(find);
    return found;
}

// The current directory, in `fixed` when it fits, else in an allocation that
// *extra receives (to be released by the caller). Null when it cannot be read.
const char* SaveCurrentDirectory(char (&fixed)[256], char** extra) {
    *extra = nullptr;
    DWORD length = GetCurrentDirectoryA(255, fixed);
    if (length == 0) return nullptr;
    if (length < 255) return fixed;
    // Longer than the usual buffer: length is the size needed.
    *extra = static_cast<char*>(std::malloc(length));
    if (!*extra) return nullptr;
    DWORD again = GetCurrentDirectoryA(length, *extra);
    if (again == 0 || again >= length) {
        std::free(*extra);
        *extra = nullptr;
        return nullptr;
    }
    return *extra;
}

}  // namespace

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

int CPathStr::DoesDirExist() {
    if (!m_buffer || IsEmpty()) return 0;
    char fixed[256];
    char* extra;
    const char* saved = SaveCurrentDirectory(fixed, &extra);
    Show(nullptr);
    int result = 0;
    // Without a saved directory the process's own could not be restored, so
    // it is not changed and the query fails.
    if (saved && SetCurrentDirectoryA(m_buffer)) {
        result = 1;
    } else {
        m_errorDetail = kPlaceEnterDirectory;
        m_errorCode = static_cast<int>(GetLastError());
    }
    TraceStep("DoesDirExist '%s'? %s", m_buffer, result ? "Ja" : "Nein");
    if (saved) SetCurrentDirectoryA(saved);
    std::free(extra);
    return result;
}

int CPathStr::HasSubDir() {
    if (IsEmpty() || !IsDir()) return 0;
    return HasEntry(m_buffer, true);
}

int CPathStr::IsNotEmptyDir() {
    TraceStep("CPathStr::IsNotEmptyDir");
    if (!IsDir()) return 0;
    return HasEntry(m_buffer, false);
}

int CPathStr::GetError(int* detail) {
    if (detail) *detail = m_errorDetail;
    return m_errorCode;
}
