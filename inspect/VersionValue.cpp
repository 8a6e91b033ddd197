// String values of the first translation of a version-information block.
#include "inspect/VersionValue.h"

#include <cstring>

namespace inspect {

bool FirstTranslation(const void* block, DWORD* translation) {
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block, "\\VarFileInfo\\Translation", &value, &length) || !value ||
        length < sizeof(DWORD))
        return false;
    // Four bytes per entry, not necessarily aligned.
    std::memcpy(translation, value, sizeof(DWORD));
    return true;
}

bool QueryStringValue(const void* block, DWORD translation, const char* key, CStr* path,
                      void** value, UINT* length) {
    *value = nullptr;
    if (!key || !path) return false;
    path->sprintf("\\StringFileInfo\\%04x%04x\\%s", LOWORD(translation), HIWORD(translation), key);
    if (!path->GetBuffer()) return false;
    return VerQueryValueA(block, path->GetBuffer(), value, length) && *value;
}

}  // namespace inspect
