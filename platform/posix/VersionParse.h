// The version-resource reader behind GetFileVersionInfoSizeA,
// GetFileVersionInfoA and VerQueryValueA: locating the version resource in a
// PE32, PE32+ or 16-bit NE image, laying out the block handed to the caller,
// and walking VS_VERSIONINFO trees. Everything here works on bytes and treats
// them as hostile: every offset and length is checked before it is used.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/posix/WinTypes.h"

namespace posix {
namespace version {

// Random access to the bytes of an image (a file, or memory for tests and the
// fuzzer).
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual uint64_t Size() const = 0;
    // Reads up to n bytes at offset: the number read, fewer only where the
    // bytes end; -1 when the read fails (IoError then tells why).
    virtual long long ReadUpTo(uint64_t offset, void* out, size_t n) const = 0;
    // The error of the last read that failed; ERROR_SUCCESS while none did.
    virtual DWORD IoError() const { return ERROR_SUCCESS; }
    // Reads exactly n bytes at offset; false when they are not all there or
    // the read fails.
    bool Read(uint64_t offset, void* out, size_t n) const;
};

class MemorySource : public ByteSource {
public:
    MemorySource(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    uint64_t Size() const override { return m_size; }
    long long ReadUpTo(uint64_t offset, void* out, size_t n) const override;

private:
    const uint8_t* m_data;
    size_t m_size;
};

enum class ImageKind { kPe, kNe };

struct ResourceLocation {
    ImageKind kind = ImageKind::kPe;
    uint64_t offset = 0;     // file offset of the version block
    uint32_t size = 0;       // its size as the resource table gives it
    uint32_t available = 0;  // the part of it that the file holds
};

// A version resource larger than this is not believed. The block's own length
// is 16 bits, so real resources stay far below it.
constexpr uint32_t kMaxResourceSize = 1u << 20;

// Finds the version resource: type RT_VERSION (16), name VS_VERSION_INFO (1),
// and of its languages the neutral one, else U.S. English, else neutral
// English, else the first in the directory (the order an English-locale
// system's loader tries). NE files: the first RT_VERSION entry with id 1.
// False with *error set when there is none or the image is malformed.
bool FindVersionResource(const ByteSource& image, ResourceLocation* where, DWORD* error);

// The reader's entry: GetFileVersionInfoSizeA and GetFileVersionInfoA run
// these over the bytes of their file; tests and the fuzzer run them over
// bytes in memory.
//
// The size GetFileVersionInfoSizeA answers for the image (InfoSize of its
// version resource); 0 with *error set when it has none or a read fails.
DWORD VersionInfoSize(const ByteSource& image, DWORD* error);

// The block GetFileVersionInfoA writes into data[0, length): the version
// resource found in the image, copied and completed by CopyVersionBlock.
// False with *error set when there is no resource, a read fails, or not even
// the root's header fits (ERROR_INSUFFICIENT_BUFFER).
bool VersionInfo(const ByteSource& image, uint8_t* data, size_t length, DWORD* error);

// The second step of VersionInfo, for a resource at `where` in `image`: as
// much of it as fits into data[0, length) and as the image holds is copied,
// then the block is completed (FinishBlock). False with *error set as above.
bool CopyVersionBlock(const ByteSource& image, const ResourceLocation& where, uint8_t* data,
                      size_t length, DWORD* error);

// The size GetFileVersionInfoSizeA answers for a resource: for PE files twice
// the resource plus four bytes (room for the ANSI copies of the text values),
// for NE files (size - 52) * 4, as Windows answers; never less than size + 1.
DWORD InfoSize(const ResourceLocation& where);

// True for a 16-bit (ANSI) block: its key starts where a Unicode block has
// its type field, which is 0 or 1.
bool IsBlock16(const uint8_t* block);

// Completes a block of which the first `copied` bytes (the start of the
// resource) have been placed in block[0, capacity). Afterwards every length
// VerQueryValueA follows stays inside what was written:
//   - the root's wLength is cut to the bytes copied;
//   - a Unicode block gets the signature "FE2X" at its end and behind it as
//     many bytes as the block has, where VerQueryValueA puts the ANSI copies
//     of text values; when the capacity does not allow that, the root is cut
//     further so that it does;
//   - a 16-bit block is followed by a zero byte, so that an unterminated text
//     value still ends inside the buffer.
// False when not even a root header fits.
bool FinishBlock(uint8_t* block, size_t copied, size_t capacity);

// The byte range of a text or binary value found by a path look-up.
struct ValueRef {
    size_t offset = 0;  // from the start of the block
    size_t bytes = 0;   // cut to the node that holds it
    bool text = false;  // a Unicode text value (wType != 0 in a Unicode block)
    bool root = false;  // the path named the root, whose value is VS_FIXEDFILEINFO
};

// Follows a sub-block path ("\StringFileInfo\040704b0\CompanyName"):
// components separated by backslashes, empty components skipped, keys
// compared ignoring case (ASCII and Windows-1252 letters). The walk stays
// inside the root's wLength. An empty path names the root.
bool FindValue(const uint8_t* block, const char* path, ValueRef* value);

}  // namespace version
}  // namespace posix
