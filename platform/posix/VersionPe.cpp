// Locates the version resource of a PE32 or PE32+ image: the resource data
// directory, the section that holds it, and the three directory levels type,
// name and language down to the data entry.
#include <algorithm>
#include <cstring>

#include "platform/posix/VersionImage.h"

namespace posix {
namespace version {

namespace {

const uint16_t kRtVersion = 16;
const uint16_t kVsVersionInfo = 1;

// The new-style header: the signature "PE\0\0", the file header
// (IMAGE_FILE_HEADER) and the optional header (IMAGE_OPTIONAL_HEADER32 or 64).
// Field offsets count from the start of their own header.
const size_t kSignatureSize = 4;
const size_t kFileHeaderSize = 20;
const size_t kFileNumberOfSections = 2;       // 16 bits
const size_t kFileSizeOfOptionalHeader = 16;  // 16 bits
const size_t kOptionalMagic = 0;              // 16 bits, tells PE32 from PE32+

// PE32 and PE32+ differ in where NumberOfRvaAndSizes and the data directories
// lie in the optional header.
struct OptionalLayout {
    uint16_t magic;
    size_t numberOfRvaAndSizes;  // 32 bits
    size_t dataDirectories;      // the array of IMAGE_DATA_DIRECTORY
};
const OptionalLayout kOptionalLayouts[] = {
    {0x10B, 92, 96},    // PE32
    {0x20B, 108, 112},  // PE32+
};

// IMAGE_DATA_DIRECTORY: VirtualAddress (an RVA), Size; 32 bits each. The
// resource directory is the third of them.
const size_t kDataDirectorySize = 8;
const size_t kDataDirectoryRva = 0;
const size_t kDataDirectorySizeField = 4;
const uint32_t kResourceDirectoryIndex = 2;  // IMAGE_DIRECTORY_ENTRY_RESOURCE

// IMAGE_SECTION_HEADER, 40 bytes; the fields used, 32 bits each.
const size_t kSectionHeaderSize = 40;
const size_t kSectionVirtualSize = 8;
const size_t kSectionVirtualAddress = 12;
const size_t kSectionSizeOfRawData = 16;
const size_t kSectionPointerToRawData = 20;

// IMAGE_RESOURCE_DIRECTORY, 16 bytes, followed by its named entries, then its
// id entries; the two counts are 16 bits each.
const size_t kDirectorySize = 16;
const size_t kDirectoryNamedEntries = 12;
const size_t kDirectoryIdEntries = 14;

// IMAGE_RESOURCE_DIRECTORY_ENTRY: the name or id, then the offset of a
// subdirectory (with kIsDirectory set) or of a data entry; 32 bits each.
const size_t kEntrySize = 8;
const size_t kEntryName = 0;
const size_t kEntryOffset = 4;
const uint32_t kIsDirectory = 0x80000000u;

// IMAGE_RESOURCE_DATA_ENTRY, 16 bytes: the data's RVA and size (32 bits
// each), code page, reserved.
const size_t kDataEntrySize = 16;
const size_t kDataEntryRva = 0;
const size_t kDataEntrySizeField = 4;

// Section headers and directory entries are read this many at a time.
const uint32_t kSectionsPerRead = 16;
const uint32_t kEntriesPerRead = 32;

// The languages tried, in order, before the first entry of the language
// directory: neutral, U.S. English, neutral English. This is the order in
// which an English-locale system's loader finds a resource of a given type
// and name when no language is asked for.
const uint16_t kLanguages[] = {0x0000, 0x0409, 0x0009};

struct Section {
    uint32_t va = 0;
    uint32_t virtualSize = 0;
    uint32_t rawSize = 0;
    uint32_t rawOffset = 0;
};

struct Headers {
    uint64_t sectionTable = 0;
    uint16_t sectionCount = 0;
    uint32_t resourceRva = 0;
    uint32_t resourceSize = 0;
};

bool ReadHeaders(const ByteSource& image, uint64_t nt, Headers* h) {
    // The signature, the file header and the optional header's magic.
    uint8_t head[kSignatureSize + kFileHeaderSize + sizeof(uint16_t)];
    if (!image.Read(nt, head, sizeof head)) return false;
    if (std::memcmp(head, "PE\0\0", kSignatureSize) != 0) return false;
    const uint8_t* file = head + kSignatureSize;
    h->sectionCount = Get16(file + kFileNumberOfSections);
    const uint16_t optionalSize = Get16(file + kFileSizeOfOptionalHeader);
    const uint16_t magic = Get16(file + kFileHeaderSize + kOptionalMagic);
    const uint64_t opt = nt + kSignatureSize + kFileHeaderSize;
    const OptionalLayout* layout = nullptr;
    for (const OptionalLayout& known : kOptionalLayouts)
        if (known.magic == magic) layout = &known;
    if (!layout) return false;
    // The resource directory must lie inside the optional header and inside
    // the count of directories.
    const size_t resourceAt =
        layout->dataDirectories + kResourceDirectoryIndex * kDataDirectorySize;
    if (optionalSize < resourceAt + kDataDirectorySize) return false;
    uint8_t field[kDataDirectorySize];
    if (!image.Read(opt + layout->numberOfRvaAndSizes, field, sizeof(uint32_t))) return false;
    if (Get32(field) <= kResourceDirectoryIndex) return false;
    if (!image.Read(opt + resourceAt, field, kDataDirectorySize)) return false;
    h->resourceRva = Get32(field + kDataDirectoryRva);
    h->resourceSize = Get32(field + kDataDirectorySizeField);
    h->sectionTable = opt + optionalSize;
    return true;
}

// The section whose raw data covers rva, as the resource look-up of the
// version library places RVAs.
bool FindSection(const ByteSource& image, const Headers& h, uint32_t rva, Section* found) {
    uint8_t chunk[kSectionsPerRead * kSectionHeaderSize];
    for (uint32_t first = 0; first < h.sectionCount; first += kSectionsPerRead) {
        const uint32_t n = std::min<uint32_t>(kSectionsPerRead, h.sectionCount - first);
        if (!image.Read(h.sectionTable + uint64_t{first} * kSectionHeaderSize, chunk,
                        n * kSectionHeaderSize))
            return false;
        for (uint32_t i = 0; i < n; ++i) {
            const uint8_t* s = chunk + i * kSectionHeaderSize;
            Section sec;
            sec.virtualSize = Get32(s + kSectionVirtualSize);
            sec.va = Get32(s + kSectionVirtualAddress);
            sec.rawSize = Get32(s + kSectionSizeOfRawData);
            sec.rawOffset = Get32(s + kSectionPointerToRawData);
            if (rva >= sec.va && uint64_t{rva} < uint64_t{sec.va} + sec.rawSize) {
                *found = sec;
                return true;
            }
        }
    }
    return false;
}

bool InFile(const ByteSource& image, const Section& s) {
    return s.rawOffset <= image.Size() && s.rawSize <= image.Size() - s.rawOffset;
}

// The resource tree as a loader sees it: offsets count from the root
// directory; the section's raw bytes come from the file, and its remaining
// virtual size reads as zeros.
class ResourceView {
public:
    ResourceView(const ByteSource& image, const Section& s, uint32_t rootRva)
        : m_image(image),
          m_section(s),
          m_root(rootRva - s.va),
          m_end(std::max<uint64_t>(s.virtualSize, s.rawSize)) {}

    uint64_t Size() const { return m_end - m_root; }

    bool Read(uint64_t offset, void* out, size_t n) const {
        if (offset > Size() || n > Size() - offset) return false;
        uint64_t at = m_root + offset;
        uint8_t* dst = static_cast<uint8_t*>(out);
        if (at < m_section.rawSize) {
            size_t fromFile = static_cast<size_t>(std::min<uint64_t>(n, m_section.rawSize - at));
            if (!m_image.Read(uint64_t{m_section.rawOffset} + at, dst, fromFile)) return false;
            dst += fromFile;
            n -= fromFile;
        }
        std::memset(dst, 0, n);
        return true;
    }

private:
    const ByteSource& m_image;
    Section m_section;
    uint64_t m_root;
    uint64_t m_end;
};

enum class Lookup { kFound, kMissing, kBad };

// Walks the entries of the directory at dir. With byId, finds the id entry
// equal to id; otherwise the first entry. wantDirectory selects the kind of
// entry that counts: a match of the other kind is passed over, as the loader
// does. *target receives the entry's offset without the directory bit.
Lookup FindEntry(const ResourceView& view, uint32_t dir, bool byId, uint16_t id, bool wantDirectory,
                 uint32_t* target) {
    uint8_t header[kDirectorySize];
    if (!view.Read(dir, header, sizeof header)) return Lookup::kBad;
    const uint32_t named = Get16(header + kDirectoryNamedEntries);
    const uint32_t count = named + Get16(header + kDirectoryIdEntries);
    const uint64_t entries = uint64_t{dir} + kDirectorySize;
    if (entries + uint64_t{count} * kEntrySize > view.Size()) return Lookup::kBad;
    uint8_t chunk[kEntriesPerRead * kEntrySize];
    for (uint32_t first = byId ? named : 0; first < count; first += kEntriesPerRead) {
        const uint32_t n = std::min<uint32_t>(kEntriesPerRead, count - first);
        if (!view.Read(entries + uint64_t{first} * kEntrySize, chunk, n * kEntrySize))
            return Lookup::kBad;
        for (uint32_t i = 0; i < n; ++i) {
            const uint8_t* e = chunk + i * kEntrySize;
            const uint32_t name = Get32(e + kEntryName);
            const uint32_t offset = Get32(e + kEntryOffset);
            if (byId && name != id) continue;
            if (((offset & kIsDirectory) != 0) != wantDirectory) continue;
            *target = offset & ~kIsDirectory;
            return Lookup::kFound;
        }
    }
    return Lookup::kMissing;
}

// Descends from the directory at dir to the subdirectory of the given id.
// A subdirectory that is the root or dir itself would make the tree a loop.
bool Descend(const ResourceView& view, uint32_t dir, uint16_t id, uint32_t* sub) {
    if (FindEntry(view, dir, true, id, true, sub) != Lookup::kFound) return false;
    return *sub != 0 && *sub != dir;
}

bool FindDataEntry(const ResourceView& view, uint32_t* entry) {
    uint32_t types = 0, names = 0;
    if (!Descend(view, 0, kRtVersion, &types)) return false;
    if (!Descend(view, types, kVsVersionInfo, &names) || names == types) return false;
    for (uint16_t language : kLanguages) {
        Lookup found = FindEntry(view, names, true, language, false, entry);
        if (found == Lookup::kFound) return true;
        if (found == Lookup::kBad) return false;
    }
    return FindEntry(view, names, false, 0, false, entry) == Lookup::kFound;
}

}  // namespace

bool FindPeResource(const ByteSource& image, uint64_t ntOffset, ResourceLocation* where) {
    Headers h;
    if (!ReadHeaders(image, ntOffset, &h)) return false;
    if (h.resourceRva == 0 || h.resourceSize == 0) return false;
    // The sections involved must be whole in the file, as the loader wants
    // them; a file cut inside them has no usable resources.
    Section rsrc;
    if (!FindSection(image, h, h.resourceRva, &rsrc) || !InFile(image, rsrc)) return false;
    ResourceView view(image, rsrc, h.resourceRva);
    uint32_t entryOffset = 0;
    if (!FindDataEntry(view, &entryOffset)) return false;
    uint8_t entry[kDataEntrySize];
    if (!view.Read(entryOffset, entry, sizeof entry)) return false;
    const uint32_t dataRva = Get32(entry + kDataEntryRva);
    const uint32_t size = Get32(entry + kDataEntrySizeField);
    Section data;
    if (!FindSection(image, h, dataRva, &data) || !InFile(image, data)) return false;
    const uint64_t offset = uint64_t{dataRva} - data.va + data.rawOffset;
    // A size running past the end of the file is answered as it stands, and
    // the bytes the file holds are read, as Windows' version library does.
    if (size > kMaxResourceSize || offset >= image.Size()) return false;
    where->kind = ImageKind::kPe;
    where->offset = offset;
    where->size = size;
    where->available = static_cast<uint32_t>(std::min<uint64_t>(size, image.Size() - offset));
    return true;
}

}  // namespace version
}  // namespace posix
