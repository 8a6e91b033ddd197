// The sub-block paths of string values in the first translation of a version
// block, as the tool's own look-ups build them. Header-only: the benchmark,
// the fuzzer and the Windows-built conformance probe use it as well.
#pragma once

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/Windows.h"

namespace fixtures {

// The string values the description reports, in its order.
constexpr const char* kDescribedKeys[] = {"CompanyName", "FileDescription", "LegalCopyright"};

// "\StringFileInfo\<lang><codepage>\<key>" for each of kDescribedKeys, in
// that order; none when the block has no translation table of at least one entry.
inline std::vector<std::string> FirstTranslationPaths(const void* block) {
    std::vector<std::string> paths;
    LPVOID value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block, "\\VarFileInfo\\Translation", &value, &length) || length < 4)
        return paths;
    DWORD translation;
    std::memcpy(&translation, value, 4);
    for (const char* key : kDescribedKeys) {
        char path[80];
        std::snprintf(path, sizeof path, "\\StringFileInfo\\%04x%04x\\%s",
                      static_cast<unsigned>(translation & 0xFFFF),
                      static_cast<unsigned>(translation >> 16), key);
        paths.push_back(path);
    }
    return paths;
}

}  // namespace fixtures
