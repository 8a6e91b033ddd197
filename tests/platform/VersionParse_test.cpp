// The in-memory reader: finding the version resource in PE32, PE32+ and NE
// images, the language chosen, the size answer, and hostile images.
#include "platform/posix/VersionParse.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/PeWriter.h"

using posix::version::FindVersionResource;
using posix::version::ImageKind;
using posix::version::InfoSize;
using posix::version::MemorySource;
using posix::version::ResourceLocation;
using posix::version::VersionInfoSize;

namespace {

bool Find(const std::vector<uint8_t>& image, ResourceLocation* where, DWORD* error = nullptr) {
    MemorySource source(image.data(), image.size());
    DWORD e = 0;
    bool found = FindVersionResource(source, where, &e);
    if (error) *error = e;
    return found;
}

std::vector<uint8_t> Block(const char* company) {
    return fixtures::VersionBlock32(fixtures::CompanySpec(company));
}

fixtures::Resource Res(uint16_t type, uint16_t name, uint16_t language, const char* company) {
    fixtures::Resource r;
    r.type = type;
    r.name = name;
    r.language = language;
    r.data = Block(company);
    return r;
}

// Which of the blocks the reader picked, by its company name's first letter.
char PickedCompany(const std::vector<uint8_t>& image) {
    ResourceLocation where;
    if (!Find(image, &where)) return '-';
    std::vector<uint8_t> block(where.size * 2 + 4);
    std::copy_n(image.begin() + static_cast<long>(where.offset), where.size, block.begin());
    posix::version::ValueRef value;
    if (!posix::version::FinishBlock(block.data(), where.size, block.size()) ||
        !posix::version::FindValue(block.data(), "\\StringFileInfo\\040704b0\\CompanyName",
                                   &value) ||
        value.bytes < 2)
        return '?';
    return static_cast<char>(block[value.offset]);
}

}  // namespace

TEST(VersionParse, FindsTheBlockInPe32Pe32PlusAndNe) {
    const std::vector<uint8_t> block = Block("QZM GmbH");
    for (bool plus : {false, true}) {
        fixtures::Resource r;
        r.data = block;
        fixtures::PeLayout pe = fixtures::PeImage({r}, plus);
        ResourceLocation where;
        ASSERT_TRUE(Find(pe.bytes, &where)) << plus;
        EXPECT_EQ(where.kind, ImageKind::kPe);
        EXPECT_EQ(where.offset, pe.data);
        EXPECT_EQ(where.size, block.size());
        EXPECT_EQ(InfoSize(where), block.size() * 2 + 4);
    }
    const std::vector<uint8_t> block16 = fixtures::VersionBlock16(fixtures::CompanySpec("QZM"));
    fixtures::NeLayout ne = fixtures::NeImage(block16);
    ResourceLocation where;
    ASSERT_TRUE(Find(ne.bytes, &where));
    EXPECT_EQ(where.kind, ImageKind::kNe);
    EXPECT_EQ(where.offset, ne.data);
    // NE lengths count whole 16-byte units.
    EXPECT_EQ(where.size, (block16.size() + 15) / 16 * 16);
    EXPECT_EQ(InfoSize(where), (where.size - 52) * 4);
}

TEST(VersionParse, SizeAnswerIsNeverBelowTheResource) {
    ResourceLocation tiny;
    tiny.kind = ImageKind::kNe;
    tiny.size = 40;  // (40 - 52) * 4 would wrap around
    EXPECT_EQ(InfoSize(tiny), 41u);
}

TEST(VersionParse, ChoosesLanguageAndNameAsTheLoaderDoes) {
    // Neutral beats U.S. English beats the first entry; only name 1 counts.
    EXPECT_EQ(PickedCompany(fixtures::PeWithResources(
                  {Res(16, 1, 0x0407, "German"), Res(16, 1, 0x0409, "English")})),
              'E');
    EXPECT_EQ(PickedCompany(fixtures::PeWithResources(
                  {Res(16, 1, 0x0409, "English"), Res(16, 1, 0x0000, "Neutral")})),
              'N');
    EXPECT_EQ(PickedCompany(fixtures::PeWithResources(
                  {Res(16, 1, 0x040C, "French"), Res(16, 1, 0x0407, "German")})),
              'G');
    EXPECT_EQ(PickedCompany(fixtures::PeWithResources(
                  {Res(16, 2, 0x0409, "Two"), Res(16, 1, 0x0407, "One")})),
              'O');
    EXPECT_EQ(PickedCompany(fixtures::PeWithResources({Res(16, 2, 0x0409, "Two")})), '-');
    EXPECT_EQ(PickedCompany(fixtures::PeWithResources(
                  {Res(6, 1, 0x0409, "Strings"), Res(24, 1, 0x0409, "Manifest")})),
              '-');
}

TEST(VersionParse, MalformedImagesHaveNoVersionResource) {
    const std::vector<std::pair<const char*, std::vector<uint8_t>>> cases = {
        {"no resources", fixtures::DllWithCompany(nullptr)},
        {"self-referencing root", fixtures::PeSelfReferencingDirectory()},
        {"self-referencing root, PE32+", fixtures::PeSelfReferencingDirectory(true)},
        {"name directory loop", fixtures::PeNameDirectoryLoop()},
        {"data past the end", fixtures::PeDataPastEnd()},
        {"directory outside sections", fixtures::PeResourceDirOutsideSections()},
        {"huge entry count", fixtures::PeHugeEntryCount()},
        {"header past the end", fixtures::PeHeaderPastEnd()},
        {"NE table past the end", fixtures::NeTablePastEnd()},
        {"NE table without end", fixtures::NeUnterminatedTable()},
        {"empty file", {}},
        {"text", {'M', 'Z', ' ', 'h', 'e', 'l', 'l', 'o'}},
    };
    for (const auto& c : cases) {
        ResourceLocation where;
        DWORD error = 0;
        EXPECT_FALSE(Find(c.second, &where, &error)) << c.first;
        EXPECT_EQ(error, static_cast<DWORD>(ERROR_RESOURCE_DATA_NOT_FOUND)) << c.first;
    }
}

// A size that runs past the end of the file is answered as it stands; only
// the bytes the file holds are read.
TEST(VersionParse, SizePastTheEndIsCutToTheFile) {
    for (bool plus : {false, true}) {
        const std::vector<uint8_t> image = fixtures::PeDataSizePastEnd(plus);
        ResourceLocation where;
        ASSERT_TRUE(Find(image, &where));
        EXPECT_EQ(where.size, image.size());
        EXPECT_EQ(where.available, image.size() - where.offset);
        EXPECT_EQ(InfoSize(where), image.size() * 2 + 4);
    }
}

// Every prefix of a valid image either still holds the whole resource or has
// none; never a location outside the bytes.
TEST(VersionParse, EveryTruncationIsHandled) {
    const std::vector<std::vector<uint8_t>> images = {
        fixtures::DllWithCompany("QZM GmbH"), fixtures::DllWithCompany("QZM GmbH", true),
        fixtures::Ne(fixtures::VersionBlock16(fixtures::CompanySpec("QZM GmbH")))};
    for (const auto& image : images) {
        for (size_t n = 0; n <= image.size(); ++n) {
            std::vector<uint8_t> cut = fixtures::Truncated(image, n);
            ResourceLocation where;
            if (Find(cut, &where)) {
                EXPECT_LE(where.offset + where.available, n);
                EXPECT_LE(where.available, where.size);
            }
        }
    }
}

// A version root whose wLength covers no more than its own header (6 bytes in
// a Unicode block, 4 in a 16-bit one) is no version information; one byte
// more is.
TEST(VersionParse, ARootNoLongerThanItsHeaderIsRejected) {
    const fixtures::VersionSpec spec = fixtures::CompanySpec("QZM GmbH");
    struct Case {
        const char* name;
        bool wide;
        bool ne;
        uint16_t header;
    };
    for (const Case& c : {Case{"Unicode block in a PE file", true, false, 6},
                          Case{"16-bit block in a PE file", false, false, 4},
                          Case{"16-bit block in an NE file", false, true, 4}}) {
        for (uint16_t length : {c.header, static_cast<uint16_t>(c.header + 1)}) {
            std::vector<uint8_t> block =
                c.wide ? fixtures::VersionBlock32(spec) : fixtures::VersionBlock16(spec);
            fixtures::Put16(block, 0, length);
            const std::vector<uint8_t> image = c.ne ? fixtures::Ne(block) : fixtures::Pe(block);
            MemorySource source(image.data(), image.size());
            DWORD error = 0;
            const DWORD size = VersionInfoSize(source, &error);
            if (length == c.header) {
                EXPECT_EQ(size, 0u) << c.name;
                EXPECT_EQ(error, static_cast<DWORD>(ERROR_RESOURCE_DATA_NOT_FOUND)) << c.name;
            } else {
                EXPECT_GT(size, 0u) << c.name << ", wLength " << length;
            }
        }
    }
}

// The NAMEINFO of the version resource must lie wholly inside the resource
// table, which ends where the resident-name table (ne_restab) begins: an
// entry ending exactly at the table's end is read, one running a byte past
// it is not.
TEST(VersionParse, AnNeNameEntryPastTheResourceTableIsRejected) {
    const fixtures::NeLayout ne =
        fixtures::NeImage(fixtures::VersionBlock16(fixtures::CompanySpec("QZM GmbH")));
    const size_t kResidentNameTable = 0x26;
    const size_t entryEnd = ne.nameInfo + 12 - ne.header;
    for (size_t shortBy : {0, 1}) {
        std::vector<uint8_t> image = ne.bytes;
        fixtures::Put16(image, ne.header + kResidentNameTable,
                        static_cast<uint16_t>(entryEnd - shortBy));
        ResourceLocation where;
        DWORD error = 0;
        EXPECT_EQ(Find(image, &where, &error), shortBy == 0) << "table short by " << shortBy;
        if (shortBy == 0) {
            EXPECT_EQ(where.offset, ne.data);
        }
    }
}
