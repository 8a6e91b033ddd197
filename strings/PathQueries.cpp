// Queries on the file system: can the directory be entered, does it hold
// entries or subdirectories; and the recorded error pair.
#include <cstdlib>
#include <cstring>

#include "platform/Windows.h"
#include "strings/PathStr.h"

namespace {

constexpr int kPlaceEnterDirectory = 1024;

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
