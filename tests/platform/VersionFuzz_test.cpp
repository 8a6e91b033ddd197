// Inputs the fuzzer (fuzz/version_fuzz.cpp) found, replayed through the same
// entry of the reader at every buffer size up to the size answer: no answer
// may point outside the buffer, and every text answer must end inside it.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/Windows.h"
#include "platform/posix/VersionParse.h"
#include "tests/support/PeWriter.h"

namespace {

std::vector<uint8_t> FromHex(const char* hex) {
    std::vector<uint8_t> out;
    for (size_t i = 0; hex[i] && hex[i + 1]; i += 2) {
        unsigned v = 0;
        std::sscanf(hex + i, "%2x", &v);
        out.push_back(static_cast<uint8_t>(v));
    }
    return out;
}

void Check(const std::vector<uint8_t>& block, const char* path, bool text, size_t capacity) {
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block.data(), path, &value, &length)) return;
    const uint8_t* v = static_cast<const uint8_t*>(value);
    const uint8_t* end = block.data() + capacity;
    ASSERT_GE(v, block.data()) << path << " at " << capacity;
    ASSERT_LE(v, end) << path << " at " << capacity;
    ASSERT_LE(length, static_cast<size_t>(end - v)) << path << " at " << capacity;
    if (text) {
        ASSERT_NE(std::memchr(v, 0, static_cast<size_t>(end - v)), nullptr)
            << path << " at " << capacity;
    }
}

// Runs an image the way the fuzzer runs a file, through the reader's entry:
// the size answer, then the block at every buffer size up to it. A bare
// block (not starting with "MZ") is first put into a DLL as its resource.
void Replay(const std::vector<uint8_t>& input) {
    const bool file = input.size() >= 2 && input[0] == 'M' && input[1] == 'Z';
    const std::vector<uint8_t> image = file ? input : fixtures::Pe(input);
    const posix::version::MemorySource source(image.data(), image.size());
    DWORD error = 0;
    const size_t answer = posix::version::VersionInfoSize(source, &error);
    EXPECT_GT(answer, 0u) << "no version resource found";
    for (size_t capacity = 0; capacity <= answer; ++capacity) {
        std::vector<uint8_t> block(capacity);
        if (!posix::version::VersionInfo(source, block.data(), capacity, &error)) continue;
        Check(block, "\\", false, capacity);
        Check(block, "\\StringFileInfo", true, capacity);
        Check(block, "\\VarFileInfo\\Translation", false, capacity);
        for (const char* key : {"CompanyName", "FileDescription", "LegalCopyright", "ProductName"})
            Check(block, (std::string("\\StringFileInfo\\040704b0\\") + key).c_str(), true,
                  capacity);
    }
}

}  // namespace

// A 16-bit block cut so that the StringFileInfo key ends one byte before the
// cut: its empty value was placed on the next four-byte boundary, past the
// buffer, and read as a C string.
TEST(VersionFuzz, EmptyValueAtTheEndOfACutBlock) {
    Replay(
        FromHex("3801340056535f56455253494f4e5f494e464f00bd04effe00000100020001000400030000000100"
                "010000003f000000000000000400040002000000000000000000000000000000cc00000053747269"
                "6e6746696c65496e666f0000b80000fbcfcbcf37303442300000000019000900436f6d00616e794e"
                "616d6500515a4d0047006248206d00002c00180046696c653d65736372697074696f6e0054657374"
                "6269626c696f7468656b2066fc7220434150707972696768740000436f70797269676874202d0129"
                "204dfc6c6c6500000000001800080050726f647563744e616d650066697874757265002400000056"
                "617246696c65496e666f00140004005472616e736c6174696f6e000704b0042b"));
}

// The same discipline for the generated blocks, well-formed and malformed.
TEST(VersionFuzz, GeneratedBlocksAtEveryBufferSize) {
    const fixtures::VersionSpec spec = fixtures::CompanySpec("QZM GmbH");
    for (const auto& block :
         {fixtures::VersionBlock32(spec), fixtures::VersionBlock16(spec),
          fixtures::Block32ZeroLengthChild(), fixtures::Block16ZeroLengthChild(),
          fixtures::Block32ChildBeyondParent(), fixtures::Block16ChildBeyondParent(),
          fixtures::Block32UnterminatedStrings(), fixtures::Block16UnterminatedStrings()})
        Replay(block);
}
