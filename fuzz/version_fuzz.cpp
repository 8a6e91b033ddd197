// libFuzzer target for the version-resource reader. The input is a whole
// file (an MZ image) or, when it does not start with "MZ", a version block as
// a resource would hold it. A file goes through the reader's in-memory entry,
// the code behind GetFileVersionInfoSizeA and GetFileVersionInfoA: the size
// answer, then the block in a buffer of exactly that size and once more in a
// shorter one. A bare block goes through the same copy-and-complete step as a
// resource found in a file. Then VerQueryValueA is asked the paths the system
// asks for, and every byte handed out is touched, so that the address
// sanitizer sees any read past the buffer.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "inspect/VersionValue.h"
#include "platform/Windows.h"
#include "platform/posix/VersionParse.h"

namespace version = posix::version;

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

void AskAll(const std::vector<uint8_t>& block) {
    Ask(block, "\\", false);
    Ask(block, "", false);
    Ask(block, "\\StringFileInfo", true);
    Ask(block, "\\VarFileInfo\\Translation", false);
    DWORD translation = 0;
    if (!inspect::FirstTranslation(block.data(), &translation)) return;
    void* value = nullptr;
    UINT length = 0;
    CStr path(nullptr, 255);
    for (const char* key : {"CompanyName", "FileDescription", "LegalCopyright"})
        if (inspect::QueryStringValue(block.data(), translation, key, &path, &value, &length))
            TouchText(value, length);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const version::MemorySource input(data, size);
    const bool file = size >= 2 && data[0] == 'M' && data[1] == 'Z';
    version::ResourceLocation bare;
    DWORD error = 0;
    size_t answer;
    if (file) {
        answer = version::VersionInfoSize(input, &error);
        if (answer == 0) return 0;
    } else {
        if (size < 6 || size > version::kMaxResourceSize) return 0;
        bare.size = bare.available = static_cast<uint32_t>(size);
        answer = version::InfoSize(bare);
    }
    // The size answered, and a caller's buffer shorter than it, chosen by the
    // input.
    const size_t shorter = answer * (size ? data[size - 1] : 0) / 256;
    for (size_t capacity : {answer, shorter}) {
        std::vector<uint8_t> block(capacity);
        const bool laidOut =
            file ? version::VersionInfo(input, block.data(), capacity, &error)
                 : version::CopyVersionBlock(input, bare, block.data(), capacity, &error);
        if (laidOut) AskAll(block);
    }
    return 0;
}
