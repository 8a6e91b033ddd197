// Internals of the version-resource reader shared by its parts: little-endian
// field access and the two image formats' resource look-ups.
#pragma once

#include <cstdint>

#include "platform/posix/VersionParse.h"

namespace posix {
namespace version {

// The MS-DOS header that starts every image: 64 bytes, with the file offset
// of the new-style (PE or NE) header in its field e_lfanew.
constexpr size_t kDosHeaderSize = 64;
constexpr size_t kDosNewHeaderOffset = 0x3C;  // e_lfanew, 32 bits

inline uint16_t Get16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

inline uint32_t Get32(const uint8_t* p) {
    return static_cast<uint32_t>(Get16(p)) | (static_cast<uint32_t>(Get16(p + 2)) << 16);
}

// Finds the version resource of a PE image whose "PE\0\0" signature is at
// ntOffset. False when there is none or the image is malformed.
bool FindPeResource(const ByteSource& image, uint64_t ntOffset, ResourceLocation* where);

// The same for an NE image whose header is at neOffset.
bool FindNeResource(const ByteSource& image, uint64_t neOffset, ResourceLocation* where);

}  // namespace version
}  // namespace posix
