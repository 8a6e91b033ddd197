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

}  // namespace

int HasMakerCompanyName(const char* path) {
    CPathStr file(path, kLocalSize);
    if (file.IsEmpty()) return 0;

    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(path, &handle);
    // One byte more than asked for: a file without version information gives
    // size 0, and the one-byte block then makes the next call fail.
    void* block = std::malloc(static_cast<size_t>(size) + 1);
    if (!block) return 0;
    int result = 0;
    DWORD translation = 0;
    // Only the first translation is asked for its company name.
    if (GetFileVersionInfoA(path, handle, size, block) &&
        inspect::FirstTranslation(block, &translation)) {
        CStr subBlock(nullptr, kLocalSize);
        void* value = nullptr;
        UINT length = 0;
        if (inspect::QueryStringValue(block, translation, "CompanyName", &subBlock, &value,
                                      &length)) {
            CStr company(static_cast<const char*>(value), kLocalSize);
            for (const char* const* name = MakerNames; *name; ++name) {
                if (company.IsEqual(*name, 0)) {
                    result = 1;
                    break;
                }
            }
        }
    }
    std::free(block);
    return result;
}

int HasMakerContent(const char* path) {
    CFileSearch search(path);
    int result = 0;
    for (const char* const* name = MakerNames; *name && !result; ++name)
        result = search.Search(*name, 1);
    return result;
}

int IsMakerFile(const char* path) {
    CPathStr file(path, kLocalSize);
    if (file.IsEmpty()) return 0;
    if (HasMakerCompanyName(path)) return 1;
    return HasMakerContent(path);
}
