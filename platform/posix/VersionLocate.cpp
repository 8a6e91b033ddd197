// Finds the version resource of an image: the MS-DOS header leads to a PE or
// NE header; the resource found must at least hold the header of a block.
#include <cstring>

#include "platform/posix/VersionImage.h"

namespace posix {
namespace version {

bool ByteSource::Read(uint64_t offset, void* out, size_t n) const {
    const uint64_t size = Size();
    if (offset > size || n > size - offset) return false;
    const long long got = ReadUpTo(offset, out, n);
    return got >= 0 && static_cast<uint64_t>(got) == n;
}

long long MemorySource::ReadUpTo(uint64_t offset, void* out, size_t n) const {
    if (offset >= m_size) return 0;
    if (n > m_size - offset) n = static_cast<size_t>(m_size - offset);
    if (n) std::memcpy(out, m_data + offset, n);
    return static_cast<long long>(n);
}

namespace {

// The header of a version block's node: wLength, wValueLength and, in a
// Unicode block only, wType, 16 bits each.
const size_t kNodeHeaderSize16 = 4;
const size_t kNodeHeaderSize32 = 6;

// sizeof(VS_FIXEDFILEINFO), which the size answer for NE files takes off.
const uint64_t kFixedInfoSize = 52;

// FindVersionResource, with the error of a failed read in place of the
// general answer.
bool Locate(const ByteSource& image, ResourceLocation* where, DWORD* error) {
    if (FindVersionResource(image, where, error)) return true;
    if (image.IoError() != ERROR_SUCCESS) *error = image.IoError();
    return false;
}

// The block's root must announce a length that covers its own header.
bool RootLooksValid(const ByteSource& image, const ResourceLocation& where) {
    uint8_t head[kNodeHeaderSize32];
    if (where.available < sizeof head || !image.Read(where.offset, head, sizeof head)) return false;
    const size_t header = IsBlock16(head) ? kNodeHeaderSize16 : kNodeHeaderSize32;
    return Get16(head) > header;
}

}  // namespace

bool FindVersionResource(const ByteSource& image, ResourceLocation* where, DWORD* error) {
    *error = ERROR_RESOURCE_DATA_NOT_FOUND;
    uint8_t dos[kDosHeaderSize];
    if (!image.Read(0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z') return false;
    const uint32_t next = Get32(dos + kDosNewHeaderOffset);
    uint8_t magic[2];
    if (!image.Read(next, magic, sizeof magic)) return false;
    bool found = false;
    if (magic[0] == 'P' && magic[1] == 'E')
        found = FindPeResource(image, next, where);
    else if (magic[0] == 'N' && magic[1] == 'E')
        found = FindNeResource(image, next, where);
    if (!found || !RootLooksValid(image, *where)) return false;
    *error = ERROR_SUCCESS;
    return true;
}

DWORD InfoSize(const ResourceLocation& where) {
    const uint64_t size = where.size;
    uint64_t answer;
    if (where.kind == ImageKind::kPe) {
        answer = size * 2 + 4;
    } else {
        // Windows answers (size - sizeof(VS_FIXEDFILEINFO)) * 4 for NE files.
        answer = size > kFixedInfoSize ? (size - kFixedInfoSize) * 4 : 0;
    }
    if (answer < size + 1) answer = size + 1;
    return static_cast<DWORD>(answer);
}

DWORD VersionInfoSize(const ByteSource& image, DWORD* error) {
    ResourceLocation where;
    if (!Locate(image, &where, error)) return 0;
    return InfoSize(where);
}

bool VersionInfo(const ByteSource& image, uint8_t* data, size_t length, DWORD* error) {
    ResourceLocation where;
    if (!Locate(image, &where, error)) return false;
    return CopyVersionBlock(image, where, data, length, error);
}

bool CopyVersionBlock(const ByteSource& image, const ResourceLocation& where, uint8_t* data,
                      size_t length, DWORD* error) {
    const size_t copy = where.available < length ? where.available : length;
    const long long got = image.ReadUpTo(where.offset, data, copy);
    if (got < 0) {
        *error = image.IoError() != ERROR_SUCCESS ? image.IoError() : ERROR_READ_FAULT;
        return false;
    }
    if (!FinishBlock(data, static_cast<size_t>(got), length)) {
        *error = ERROR_INSUFFICIENT_BUFFER;
        return false;
    }
    *error = ERROR_SUCCESS;
    return true;
}

}  // namespace version
}  // namespace posix
