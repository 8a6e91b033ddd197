// libFuzzer target for the version-resource reader. The input is a whole
// file (an MZ image) or, when it does not start with "MZ", a version block as
// a resource would hold it. It runs what GetFileVersionInfoSizeA,
// GetFileVersionInfoA and VerQueryValueA do, in memory: find the resource,
// lay out the block in a buffer of exactly the answered size (and once more in
// a shorter one), then ask the paths the system asks for and touch every byte
// handed out, so the address sanitizer sees any read past the buffer.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "inspect/VersionValue.h"
#include "platform/Windows.h"
#include "platform/posix/VersionParse.h"

using posix::version::ResourceLocation;

namespace {

volatile uint8_t g_sink;

void Touch(const void* p, size_t n) {
    const uint8_t* b = static_cast<const uint8_t*>(p);
    uint8_t x = 0;
    for (size_t i = 0; i < n; ++i) x ^= b[i];
    g_sink = x;
}

void TouchText(const void* value, UINT length) {
    Touch(value, length);
    Touch(value, std::strlen(static_cast<const char*>(value)) + 1);
}

void Ask(const std::vector<uint8_t>& block, const char* path, bool text) {
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block.data(), path, &value, &length)) return;
    if (text)
        TouchText(value, length);
    else
        Touch(value, length);
}

void Query(const uint8_t* resource, size_t available, size_t capacity) {
    std::vector<uint8_t> block(capacity);
    const size_t copy = available < capacity ? available : capacity;
    if (copy) std::memcpy(block.data(), resource, copy);
    if (!posix::version::FinishBlock(block.data(), copy, capacity)) return;
    Ask(block, "\\", false);
    Ask(block, "", false);
    Ask(block, "\\StringFileInfo", true);
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &value, &length)) return;
    Touch(value, length);
    DWORD translation = 0;
    if (!inspect::FirstTranslation(block.data(), &translation)) return;
    for (const char* key : {"CompanyName", "FileDescription", "LegalCopyright"})
        if (inspect::QueryStringValue(block.data(), translation, key, &value, &length))
            TouchText(value, length);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ResourceLocation where;
    if (size >= 2 && data[0] == 'M' && data[1] == 'Z') {
        posix::version::MemorySource image(data, size);
        DWORD error = 0;
        if (!posix::version::FindVersionResource(image, &where, &error)) return 0;
    } else {
        if (size < 6 || size > posix::version::kMaxResourceSize) return 0;
        where.size = where.available = static_cast<uint32_t>(size);
    }
    const uint8_t* resource = data + where.offset;
    const size_t answer = posix::version::InfoSize(where);
    Query(resource, where.available, answer);
    // A caller's buffer shorter than the answer, chosen by the input.
    const size_t shorter = answer * (size ? data[size - 1] : 0) / 256;
    Query(resource, where.available, shorter);
    return 0;
}
