// String values of the first translation of a version-information block.
#include "inspect/VersionValue.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace inspect {

namespace {

const char kTranslationPath[] = "\\VarFileInfo\\Translation";
const char kStringPathFormat[] = "\\StringFileInfo\\%04x%04x\\%s";

}  // namespace

bool FirstTranslation(const void* block, DWORD* translation) {
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block, kTranslationPath, &value, &length) || !value ||
        length < sizeof(DWORD))
        return false;
    // Four bytes per entry, not necessarily aligned.
    std::memcpy(translation, value, sizeof(DWORD));
    return true;
}

bool QueryStringValue(const void* block, DWORD translation, const char* key, void** value,
                      UINT* length) {
    *value = nullptr;
    if (!key) return false;
    const unsigned language = LOWORD(translation);
    const unsigned codePage = HIWORD(translation);
    // The path is measured first: a short one fits here, a longer key gets a
    // buffer of its own.
    char fixed[64];
    const int needed =
        std::snprintf(fixed, sizeof fixed, kStringPathFormat, language, codePage, key);
    if (needed < 0) return false;
    char* path = fixed;
    if (static_cast<size_t>(needed) >= sizeof fixed) {
        path = static_cast<char*>(std::malloc(static_cast<size_t>(needed) + 1));
        if (!path) return false;
        std::snprintf(path, static_cast<size_t>(needed) + 1, kStringPathFormat, language, codePage,
                      key);
    }
    const bool found = VerQueryValueA(block, path, value, length) && *value;
    if (path != fixed) std::free(path);
    return found;
}

}  // namespace inspect
