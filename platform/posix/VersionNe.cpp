// Locates the version resource of a 16-bit NE image through its resource
// table: a shift count, then type entries (TYPEINFO) each followed by its
// name entries (NAMEINFO), ended by a type id of 0.
#include <algorithm>

#include "platform/posix/VersionImage.h"

namespace posix {
namespace version {

namespace {

const uint16_t kRtVersion = 0x8010;      // integer type 16
const uint16_t kVsVersionInfo = 0x8001;  // integer id 1
const size_t kNeHeaderSize = 64;
const size_t kTypeInfoSize = 8;
const size_t kNameInfoSize = 12;

}  // namespace

bool FindNeResource(const ByteSource& image, uint64_t neOffset, ResourceLocation* where) {
    uint8_t header[kNeHeaderSize];
    if (!image.Read(neOffset, header, sizeof header)) return false;
    if (header[0] != 'N' || header[1] != 'E') return false;
    // The resource table runs up to the resident-name table that follows it.
    const uint16_t tableStart = Get16(header + 36);
    const uint16_t tableEnd = Get16(header + 38);
    if (tableEnd <= tableStart) return false;
    const uint64_t table = neOffset + tableStart;
    const uint32_t tableSize = static_cast<uint32_t>(tableEnd - tableStart);

    uint8_t field[kNameInfoSize];
    if (tableSize < 2 || !image.Read(table, field, 2)) return false;
    const uint16_t shift = Get16(field);
    if (shift > 24) return false;

    // Every step moves forward by at least one type entry, and every read
    // stays inside the table, so a table without its end marker ends the walk.
    uint32_t pos = 2;
    while (pos + 2 <= tableSize) {
        if (!image.Read(table + pos, field, 2)) return false;
        const uint16_t type = Get16(field);
        if (type == 0) return false;
        if (pos + kTypeInfoSize > tableSize || !image.Read(table + pos, field, kTypeInfoSize))
            return false;
        const uint32_t count = Get16(field + 2);
        const uint32_t names = pos + kTypeInfoSize;
        if (type == kRtVersion) {
            for (uint32_t i = 0; i < count; ++i) {
                const uint32_t at = names + i * kNameInfoSize;
                if (at + kNameInfoSize > tableSize) return false;
                if (!image.Read(table + at, field, kNameInfoSize)) return false;
                if (Get16(field + 6) != kVsVersionInfo) continue;
                const uint64_t offset = uint64_t{Get16(field)} << shift;
                const uint64_t size = uint64_t{Get16(field + 2)} << shift;
                // Lengths count whole alignment units, and the last unit of a
                // file may have been cut short: the size is answered as it
                // stands, and what the file holds is read.
                if (offset >= image.Size() || size == 0 || size > kMaxResourceSize) return false;
                where->kind = ImageKind::kNe;
                where->offset = offset;
                where->size = static_cast<uint32_t>(size);
                where->available = static_cast<uint32_t>(std::min(size, image.Size() - offset));
                return true;
            }
            return false;
        }
        pos = names + count * static_cast<uint32_t>(kNameInfoSize);
    }
    return false;
}

}  // namespace version
}  // namespace posix
