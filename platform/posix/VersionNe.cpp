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

// The NE header (IMAGE_OS2_HEADER), 64 bytes. Its table offsets (16 bits)
// count from the header's start; the resource table runs up to the
// resident-name table that follows it.
const size_t kNeHeaderSize = 64;
const size_t kNeResourceTable = 0x24;      // ne_rsrctab
const size_t kNeResidentNameTable = 0x26;  // ne_restab

// The resource table starts with the alignment shift count (16 bits): offsets
// and lengths of resources count units of 1 << shift bytes. A larger shift
// than this is not believed.
const size_t kShiftCountSize = 2;
const uint16_t kMaxShift = 24;

// TYPEINFO, 8 bytes: the type id (0 ends the table), the number of NAMEINFO
// entries that follow it, reserved. 16-bit fields.
const size_t kTypeInfoSize = 8;
const size_t kTypeId = 0;
const size_t kTypeResourceCount = 2;

// NAMEINFO, 12 bytes: offset and length in alignment units, flags, id,
// handle, usage. 16-bit fields.
const size_t kNameInfoSize = 12;
const size_t kNameOffset = 0;
const size_t kNameLength = 2;
const size_t kNameId = 6;

}  // namespace

bool FindNeResource(const ByteSource& image, uint64_t neOffset, ResourceLocation* where) {
    uint8_t header[kNeHeaderSize];
    if (!image.Read(neOffset, header, sizeof header)) return false;
    if (header[0] != 'N' || header[1] != 'E') return false;
    const uint16_t tableStart = Get16(header + kNeResourceTable);
    const uint16_t tableEnd = Get16(header + kNeResidentNameTable);
    if (tableEnd <= tableStart) return false;
    const uint64_t table = neOffset + tableStart;
    const uint32_t tableSize = static_cast<uint32_t>(tableEnd - tableStart);

    uint8_t field[kNameInfoSize];
    if (tableSize < kShiftCountSize || !image.Read(table, field, kShiftCountSize)) return false;
    const uint16_t shift = Get16(field);
    if (shift > kMaxShift) return false;

    // Every step moves forward by at least one type entry, and every read
    // stays inside the table, so a table without its end marker ends the walk.
    uint32_t pos = kShiftCountSize;
    while (pos + sizeof(uint16_t) <= tableSize) {
        if (!image.Read(table + pos + kTypeId, field, sizeof(uint16_t))) return false;
        const uint16_t type = Get16(field);
        if (type == 0) return false;
        if (pos + kTypeInfoSize > tableSize || !image.Read(table + pos, field, kTypeInfoSize))
            return false;
        const uint32_t count = Get16(field + kTypeResourceCount);
        const uint32_t names = pos + kTypeInfoSize;
        if (type == kRtVersion) {
            for (uint32_t i = 0; i < count; ++i) {
                const uint32_t at = names + i * kNameInfoSize;
                if (at + kNameInfoSize > tableSize) return false;
                if (!image.Read(table + at, field, kNameInfoSize)) return false;
                if (Get16(field + kNameId) != kVsVersionInfo) continue;
                const uint64_t offset = uint64_t{Get16(field + kNameOffset)} << shift;
                const uint64_t size = uint64_t{Get16(field + kNameLength)} << shift;
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
