// CFileSearch: the file size query and the file description report.
#include <cstdlib>
#include <cstring>

#include "inspect/FileSearch.h"
#include "inspect/VersionValue.h"
#include "platform/Windows.h"

namespace {

constexpr unsigned kLineSize = 255;

// The attribute letters in the order they are shown.
struct AttributeLetter {
    DWORD bit;
    const char* letter;
};
constexpr AttributeLetter kAttributeLetters[] = {
    {FILE_ATTRIBUTE_ARCHIVE, "a"},   {FILE_ATTRIBUTE_COMPRESSED, "c"}, {FILE_ATTRIBUTE_HIDDEN, "h"},
    {FILE_ATTRIBUTE_NORMAL, "n"},    {FILE_ATTRIBUTE_READONLY, "r"},   {FILE_ATTRIBUTE_SYSTEM, "s"},
    {FILE_ATTRIBUTE_TEMPORARY, "t"},
};

const char* const kStringKeys[] = {"CompanyName", "FileDescription", "LegalCopyright"};

// "hh:mm:ss dd.mm.yyyy" of the file's last write, in local time; false when
// the time cannot be read or converted.
bool FormatWriteTime(HANDLE file, CStr* line) {
    FILETIME written, local;
    SYSTEMTIME fields;
    if (!GetFileTime(file, nullptr, nullptr, &written) ||
        !FileTimeToLocalFileTime(&written, &local) || !FileTimeToSystemTime(&local, &fields))
        return false;
    line->sprintf("%02d:%02d:%02d %02d.%02d.%02d", fields.wHour, fields.wMinute, fields.wSecond,
                  fields.wDay, fields.wMonth, fields.wYear);
    return true;
}

void FormatVersion(CStr* line, DWORD mostSignificant, DWORD leastSignificant) {
    line->sprintf("%d.%d.%d.%d", HIWORD(mostSignificant), LOWORD(mostSignificant),
                  HIWORD(leastSignificant), LOWORD(leastSignificant));
}

}  // namespace

unsigned CFileSearch::QueryFileSize(const char* name) {
    if (!name) return 0;
    OFSTRUCT info;
    HFILE file = OpenFile(name, &info, OF_READ);
    if (file == HFILE_ERROR) return 0;
    // An HFILE is the file's handle, as GetFileSize takes it.
    const DWORD size = GetFileSize(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(file)), nullptr);
    _lclose(file);
    return size;
}

int CFileSearch::Describe() {
    if (m_fileName.IsEmpty()) {
        if (m_log) m_log->TraceLine("%s", "No Filename");
        return 0;
    }
    const char* name = m_fileName.GetBuffer();

    if (m_log) m_log->TraceLine("%s", "File date");
    {
        // Read access without sharing: a file open elsewhere gives no date.
        HANDLE file = CreateFileA(name, GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        CStr line("", kLineSize);
        const bool dated = file != INVALID_HANDLE_VALUE && FormatWriteTime(file, &line);
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
        if (m_log) m_log->TraceLine("%s", dated ? line.GetBuffer() : "not retrieved");
    }

    const DWORD attributes = GetFileAttributesA(name);
    if (m_log) m_log->TraceLine("%s", "Attributes");
    {
        CStr line("", kLineSize);
        for (const AttributeLetter& entry : kAttributeLetters)
            line.Add((attributes & entry.bit) ? entry.letter : "-");
        line.Addsprintf(" <%d>", static_cast<int>(attributes));
        if (m_log) m_log->TraceLine("%s", line.GetBuffer());
    }

    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(name, &handle);
    m_versionBlock = static_cast<char*>(std::malloc(static_cast<size_t>(size) + 1));
    if (!m_versionBlock) {
        if (m_log) {
            m_log->TraceLine("%s", "error");
            m_log->TraceLine("%s", "no mem");
        }
        return 0;
    }
    int result = 0;
    if (!GetFileVersionInfoA(name, handle, size, m_versionBlock)) {
        if (m_log) {
            m_log->TraceLine("%s", "GetFileVersionInfo");
            m_log->TraceLine("Size=%d", static_cast<int>(size));
        }
    } else {
        result = DescribeVersion();
    }
    std::free(m_versionBlock);
    m_versionBlock = nullptr;
    return result;
}

int CFileSearch::DescribeVersion() {
    void* value = nullptr;
    UINT length = 0;
    const bool fixed = VerQueryValueA(m_versionBlock, "\\", &value, &length) && value &&
                       length >= sizeof(VS_FIXEDFILEINFO);
    if (m_log) m_log->TraceLine("%s", "File Version");
    if (!fixed) {
        if (m_log) m_log->TraceLine("%s", "not available");
        return 0;
    }
    VS_FIXEDFILEINFO info;
    std::memcpy(&info, value, sizeof info);
    {
        CStr line("", kLineSize);
        FormatVersion(&line, info.dwFileVersionMS, info.dwFileVersionLS);
        if (m_log) m_log->TraceLine("%s", line.GetBuffer());
        if (m_log) m_log->TraceLine("%s", "Product Version");
        FormatVersion(&line, info.dwProductVersionMS, info.dwProductVersionLS);
        if (m_log) m_log->TraceLine("%s", line.GetBuffer());
    }

    DWORD translation;
    if (!inspect::FirstTranslation(m_versionBlock, &translation)) return 0;
    for (const char* key : kStringKeys) {
        CStr path("", kLineSize);
        if (!inspect::QueryStringValue(m_versionBlock, translation, key, &path, &value, &length))
            continue;
        // The value as far as its length says, up to its terminator.
        CStr text("", kLineSize);
        text.SetN(static_cast<const char*>(value), length);
        if (m_log) {
            m_log->TraceLine("%s", key);
            m_log->TraceLine("%s", text.GetBuffer());
        }
    }
    return 1;
}
