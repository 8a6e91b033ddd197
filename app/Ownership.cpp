// The ownership test: the company-name stage and the content stage.
#include "app/Ownership.h"

#include <cstdlib>

#include "inspect/FileSearch.h"
#include "inspect/VersionValue.h"
#include "platform/Windows.h"
#include "strings/PathStr.h"

const char* const MakerNames[] = {"QZM Korvik", "QZM GmbH", "QZM-GmbH", nullptr};

namespace {

constexpr unsigned kLocalSize = 255;

// Error codes the platform layer does not name.
constexpr DWORD kIoDevice = 1117;  // ERROR_IO_DEVICE
constexpr DWORD kCrc = 23;         // ERROR_CRC: the medium could not be read

}  // namespace

namespace ownership {

bool IsAccessError(DWORD error) {
    switch (error) {
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_NOT_READY:
        case ERROR_READ_FAULT:
        case ERROR_FILENAME_EXCED_RANGE:
        case kCrc:
        case ERROR_FILE_INVALID:  // the file was replaced meanwhile
        case kIoDevice:
        case ERROR_CANT_RESOLVE_FILENAME:  // an ambiguous name
            return true;
        default:
            return false;
    }
}

int HasMakerCompanyName(const char* path, Facts* facts) {
    CPathStr file(path, kLocalSize);
    if (file.IsEmpty()) return 0;

    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(path, &handle);
    const DWORD sizeError = size == 0 ? GetLastError() : NO_ERROR;
    // One byte more than asked for: a file without version information gives
    // size 0, and the one-byte block then makes the next call fail.
    void* block = std::malloc(static_cast<size_t>(size) + 1);
    if (!block) return 0;
    int result = 0;
    DWORD translation = 0;
    // Only the first translation is asked for its company name.
    const BOOL read = GetFileVersionInfoA(path, handle, size, block);
    const DWORD readError = read ? NO_ERROR : GetLastError();
    if (read && inspect::FirstTranslation(block, &translation)) {
        CStr subBlock(nullptr, kLocalSize);
        void* value = nullptr;
        UINT length = 0;
        if (inspect::QueryStringValue(block, translation, "CompanyName", &subBlock, &value,
                                      &length)) {
            CStr company(static_cast<const char*>(value), kLocalSize);
            if (facts) {
                facts->hasCompany = true;
                facts->company = company.GetBuffer() ? company.GetBuffer() : "";
            }
            for (const char* const* name = MakerNames; *name; ++name) {
                if (company.IsEqual(*name, 0)) {
                    result = 1;
                    if (facts) facts->companyMatch = *name;
                    break;
                }
            }
        }
    }
    std::free(block);
    if (facts && !read) {
        // The size call tells why there is no block; the block call only
        // speaks for itself when the size call succeeded.
        const DWORD error = size == 0 ? sizeError : readError;
        if (IsAccessError(error)) facts->versionError = error;
    }
    return result;
}

int HasMakerContent(const char* path, Facts* facts) {
    CFileSearch search(path);
    int result = 0;
    for (const char* const* name = MakerNames; *name && !result; ++name) {
        result = search.Search(*name, 1);
        if (!facts) continue;
        if (result) {
            facts->contentMatch = *name;
            facts->offset = search.GetFirstHitOffset();
        } else if (search.GetReadError() != NO_ERROR && facts->contentError == NO_ERROR) {
            facts->contentError = search.GetReadError();
        }
    }
    return result;
}

int IsMakerFile(const char* path, Facts* facts) {
    CPathStr file(path, kLocalSize);
    if (file.IsEmpty()) return 0;
    if (HasMakerCompanyName(path, facts)) return 1;
    return HasMakerContent(path, facts);
}

}  // namespace ownership

int HasMakerCompanyName(const char* path) {
    return ownership::HasMakerCompanyName(path, nullptr);
}

int HasMakerContent(const char* path) {
    return ownership::HasMakerContent(path, nullptr);
}

int IsMakerFile(const char* path) {
    return ownership::IsMakerFile(path, nullptr);
}
