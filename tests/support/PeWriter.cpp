// Writes the version blocks, PE and NE files of the test fixtures.
#include "tests/support/PeWriter.h"

#include <cstdio>
#include <map>

namespace fixtures {

namespace {

// Unicode of the Windows-1252 bytes 0x80..0x9F.
const uint16_t kHigh1252[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

uint16_t Unicode(char ch) {
    unsigned char b = static_cast<unsigned char>(ch);
    return (b >= 0x80 && b < 0xA0) ? kHigh1252[b - 0x80] : b;
}

void Append16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void Append32(std::vector<uint8_t>& out, uint32_t v) {
    Append16(out, static_cast<uint16_t>(v));
    Append16(out, static_cast<uint16_t>(v >> 16));
}

// Pads to a multiple of four bytes counted from start.
void Pad4(std::vector<uint8_t>& out, size_t start) {
    while ((out.size() - start) % 4 != 0) out.push_back(0);
}

std::vector<uint8_t> Utf16(const std::string& text, bool terminate) {
    std::vector<uint8_t> out;
    for (char ch : text) Append16(out, Unicode(ch));
    if (terminate) Append16(out, 0);
    return out;
}

std::vector<uint8_t> FixedInfo(const VersionSpec& spec) {
    std::vector<uint8_t> out;
    const uint32_t fields[13] = {
        0xFEEF04BDu, 0x00010000u, spec.fileMS, spec.fileLS, spec.productMS, spec.productLS,
        0x3Fu,       0u,
        0x00040004u,  // VOS_NT_WINDOWS32
        2u,           // VFT_DLL
        0u,          0u,          0u};
    for (uint32_t f : fields) Append32(out, f);
    return out;
}

std::string TableKey(const VersionStrings& table) {
    char key[16];
    std::snprintf(key, sizeof key, "%04X%04X", table.language, table.codePage);
    return key;
}

VersionNode Tree(const VersionSpec& spec, bool wide) {
    VersionNode root;
    root.key = "VS_VERSION_INFO";
    if (spec.fixedInfo) {
        root.value = FixedInfo(spec);
        root.valueLength = static_cast<uint16_t>(root.value.size());
    }
    if (!spec.tables.empty()) {
        VersionNode info;
        info.key = "StringFileInfo";
        info.type = 1;
        for (const VersionStrings& table : spec.tables) {
            VersionNode t;
            t.key = TableKey(table);
            t.type = 1;
            for (const auto& kv : table.values)
                t.children.push_back(wide ? TextNode32(kv.first, kv.second)
                                          : TextNode16(kv.first, kv.second));
            info.children.push_back(t);
        }
        root.children.push_back(info);
    }
    if (!spec.translations.empty()) {
        VersionNode var;
        var.key = "Translation";
        for (uint32_t t : spec.translations) Append32(var.value, t);
        var.valueLength = static_cast<uint16_t>(var.value.size());
        VersionNode info;
        info.key = "VarFileInfo";
        info.type = 1;
        info.children.push_back(var);
        root.children.push_back(info);
    }
    return root;
}

std::vector<uint8_t> Encode(const VersionNode& node, bool wide) {
    std::vector<uint8_t> out(wide ? 6 : 4, 0);
    if (wide) {
        std::vector<uint8_t> key = Utf16(node.key, node.terminateKey);
        out.insert(out.end(), key.begin(), key.end());
    } else {
        for (char ch : node.key) out.push_back(static_cast<uint8_t>(ch));
        if (node.terminateKey) out.push_back(0);
    }
    if (node.terminateKey) Pad4(out, 0);
    out.insert(out.end(), node.value.begin(), node.value.end());
    for (const VersionNode& child : node.children) {
        Pad4(out, 0);
        std::vector<uint8_t> bytes = Encode(child, wide);
        out.insert(out.end(), bytes.begin(), bytes.end());
    }
    uint16_t length = node.lengthOverride >= 0 ? static_cast<uint16_t>(node.lengthOverride)
                                               : static_cast<uint16_t>(out.size());
    Put16(out, 0, length);
    Put16(out, 2, node.valueLength);
    if (wide) Put16(out, 4, node.type);
    return out;
}

uint32_t Align(uint32_t v, uint32_t a) {
    return (v + a - 1) / a * a;
}

using LanguageMap = std::map<uint16_t, const std::vector<uint8_t>*>;
using NameMap = std::map<uint16_t, LanguageMap>;
using TypeMap = std::map<uint16_t, NameMap>;

// Lays out a resource section at the given RVA: all directories, then the
// data entries, then the data. Records the path to the first resource.
std::vector<uint8_t> ResourceSection(const TypeMap& types, uint32_t rva, PeLayout* layout,
                                     size_t fileOffset) {
    auto dirSize = [](size_t entries) { return static_cast<uint32_t>(16 + 8 * entries); };
    uint32_t offset = dirSize(types.size());
    std::map<uint16_t, uint32_t> typeDir;
    std::map<std::pair<uint16_t, uint16_t>, uint32_t> nameDir;
    for (const auto& t : types) {
        typeDir[t.first] = offset;
        offset += dirSize(t.second.size());
    }
    for (const auto& t : types)
        for (const auto& n : t.second) {
            nameDir[{t.first, n.first}] = offset;
            offset += dirSize(n.second.size());
        }
    uint32_t dataEntries = offset;
    size_t count = 0;
    for (const auto& t : types)
        for (const auto& n : t.second) count += n.second.size();
    uint32_t dataOffset = Align(dataEntries + static_cast<uint32_t>(16 * count), 8);

    std::vector<uint8_t> out(dataOffset, 0);
    auto writeDir = [&](uint32_t at, size_t ids) {
        Put16(out, at + 14, static_cast<uint16_t>(ids));
    };
    writeDir(0, types.size());
    size_t typeIndex = 0, dataIndex = 0;
    bool first = true;
    for (const auto& t : types) {
        uint32_t typeEntry = 16 + 8 * static_cast<uint32_t>(typeIndex++);
        Put32(out, typeEntry, t.first);
        Put32(out, typeEntry + 4, 0x80000000u | typeDir[t.first]);
        writeDir(typeDir[t.first], t.second.size());
        size_t nameIndex = 0;
        for (const auto& n : t.second) {
            uint32_t nameEntry = typeDir[t.first] + 16 + 8 * static_cast<uint32_t>(nameIndex++);
            uint32_t langDir = nameDir[{t.first, n.first}];
            Put32(out, nameEntry, n.first);
            Put32(out, nameEntry + 4, 0x80000000u | langDir);
            writeDir(langDir, n.second.size());
            size_t langIndex = 0;
            for (const auto& l : n.second) {
                uint32_t langEntry = langDir + 16 + 8 * static_cast<uint32_t>(langIndex++);
                uint32_t entry = dataEntries + 16 * static_cast<uint32_t>(dataIndex++);
                Put32(out, langEntry, l.first);
                Put32(out, langEntry + 4, entry);
                uint32_t at = static_cast<uint32_t>(out.size());
                Put32(out, entry, rva + at);
                Put32(out, entry + 4, static_cast<uint32_t>(l.second->size()));
                if (first) {
                    layout->typeEntry = fileOffset + typeEntry;
                    layout->nameEntry = fileOffset + nameEntry;
                    layout->languageEntry = fileOffset + langEntry;
                    layout->dataEntry = fileOffset + entry;
                    layout->data = fileOffset + at;
                    first = false;
                }
                out.insert(out.end(), l.second->begin(), l.second->end());
                while (out.size() % 8 != 0) out.push_back(0);
            }
        }
    }
    return out;
}

}  // namespace

void Put16(std::vector<uint8_t>& bytes, size_t offset, uint16_t value) {
    if (bytes.size() < offset + 2) bytes.resize(offset + 2, 0);
    bytes[offset] = static_cast<uint8_t>(value);
    bytes[offset + 1] = static_cast<uint8_t>(value >> 8);
}

void Put32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value) {
    Put16(bytes, offset, static_cast<uint16_t>(value));
    Put16(bytes, offset + 2, static_cast<uint16_t>(value >> 16));
}

VersionNode TextNode32(const std::string& key, const std::string& text) {
    VersionNode node;
    node.key = key;
    node.type = 1;
    node.value = Utf16(text, true);
    node.valueLength = static_cast<uint16_t>(text.size() + 1);
    return node;
}

VersionNode TextNode16(const std::string& key, const std::string& text) {
    VersionNode node;
    node.key = key;
    node.type = 1;
    node.value.assign(text.begin(), text.end());
    node.value.push_back(0);
    node.valueLength = static_cast<uint16_t>(node.value.size());
    return node;
}

VersionNode VersionTree32(const VersionSpec& spec) {
    return Tree(spec, true);
}
VersionNode VersionTree16(const VersionSpec& spec) {
    return Tree(spec, false);
}
std::vector<uint8_t> Encode32(const VersionNode& root) {
    return Encode(root, true);
}
std::vector<uint8_t> Encode16(const VersionNode& root) {
    return Encode(root, false);
}
std::vector<uint8_t> VersionBlock32(const VersionSpec& spec) {
    return Encode32(VersionTree32(spec));
}
std::vector<uint8_t> VersionBlock16(const VersionSpec& spec) {
    return Encode16(VersionTree16(spec));
}

PeLayout PeImage(const std::vector<Resource>& resources, bool pe32plus) {
    const uint32_t kSectionRva = 0x1000, kFileAlign = 0x200, kSectionAlign = 0x1000;
    const size_t kPeOffset = 0x80;
    PeLayout layout;
    std::vector<uint8_t>& b = layout.bytes;
    b.assign(kFileAlign, 0);
    b[0] = 'M';
    b[1] = 'Z';
    Put16(b, 0x02, 0x90);  // bytes on the last page
    Put16(b, 0x04, 3);     // pages
    Put16(b, 0x08, 4);     // header paragraphs
    Put32(b, 0x3C, static_cast<uint32_t>(kPeOffset));
    b[kPeOffset] = 'P';
    b[kPeOffset + 1] = 'E';

    TypeMap types;
    for (const Resource& r : resources) types[r.type][r.name][r.language] = &r.data;
    layout.resourceDir = kFileAlign;
    layout.resourceRva = kSectionRva;
    std::vector<uint8_t> section;
    if (!types.empty()) section = ResourceSection(types, kSectionRva, &layout, kFileAlign);
    uint32_t virtualSize = section.empty() ? 0x10 : static_cast<uint32_t>(section.size());
    section.resize(Align(virtualSize, kFileAlign), 0);

    const size_t file = kPeOffset + 4;
    const uint16_t optionalSize = pe32plus ? 240 : 224;
    Put16(b, file, pe32plus ? 0x8664 : 0x014C);
    Put16(b, file + 2, 1);  // sections
    Put16(b, file + 16, optionalSize);
    Put16(b, file + 18, pe32plus ? 0x2022 : 0x2102);  // DLL, executable image

    const size_t opt = file + 20;
    layout.optionalHeader = opt;
    Put16(b, opt, pe32plus ? 0x20B : 0x10B);
    b[opt + 2] = 2;  // linker version
    b[opt + 3] = 30;
    Put32(b, opt + 8, static_cast<uint32_t>(section.size()));  // initialised data
    Put32(b, opt + 20, kSectionRva);                           // base of code
    if (pe32plus) {
        Put32(b, opt + 24, 0x80000000u);  // image base 0x180000000
        Put32(b, opt + 28, 0x1u);
    } else {
        Put32(b, opt + 24, kSectionRva);  // base of data
        Put32(b, opt + 28, 0x10000000u);  // image base
    }
    Put32(b, opt + 32, kSectionAlign);
    Put32(b, opt + 36, kFileAlign);
    Put16(b, opt + 40, pe32plus ? 5 : 4);  // OS version
    Put16(b, opt + 48, pe32plus ? 5 : 4);  // subsystem version
    Put16(b, opt + 50, pe32plus ? 2 : 0);
    Put32(b, opt + 56, kSectionRva + Align(virtualSize, kSectionAlign));  // size of image
    Put32(b, opt + 60, kFileAlign);                                       // size of headers
    Put16(b, opt + 68, 2);                                                // GUI subsystem
    size_t sizes = opt + 72;
    for (int i = 0; i < 4; ++i) {  // stack and heap reserve and commit
        uint32_t v = (i % 2 == 0) ? 0x100000u : 0x1000u;
        Put32(b, sizes, v);
        sizes += pe32plus ? 8 : 4;
    }
    Put32(b, sizes + 4, 16);  // number of data directories
    const size_t dirs = sizes + 8;
    if (!types.empty()) {
        Put32(b, dirs + 16, kSectionRva);  // resource directory
        Put32(b, dirs + 20, virtualSize);
    }

    const size_t sec = opt + optionalSize;
    layout.sectionHeader = sec;
    const char* name = types.empty() ? ".data" : ".rsrc";
    for (size_t i = 0; name[i]; ++i) b[sec + i] = static_cast<uint8_t>(name[i]);
    Put32(b, sec + 8, virtualSize);
    Put32(b, sec + 12, kSectionRva);
    Put32(b, sec + 16, static_cast<uint32_t>(section.size()));
    Put32(b, sec + 20, kFileAlign);
    Put32(b, sec + 36, 0x40000040u);  // initialised data, readable
    b.insert(b.end(), section.begin(), section.end());
    return layout;
}

std::vector<uint8_t> PeWithResources(const std::vector<Resource>& resources, bool pe32plus) {
    return PeImage(resources, pe32plus).bytes;
}

std::vector<uint8_t> Pe(const std::vector<uint8_t>& versionBlock, bool pe32plus) {
    if (versionBlock.empty()) return PeWithResources({}, pe32plus);
    Resource r;
    r.data = versionBlock;
    return PeWithResources({r}, pe32plus);
}

NeLayout NeImage(const std::vector<uint8_t>& block) {
    const size_t kNe = 0x40;
    const uint16_t kShift = 4;
    NeLayout layout;
    std::vector<uint8_t>& b = layout.bytes;
    b.assign(kNe + 0x40, 0);
    b[0] = 'M';
    b[1] = 'Z';
    Put16(b, 0x08, 4);
    Put16(b, 0x18, 0x40);  // relocation table offset: a new-style executable
    Put32(b, 0x3C, static_cast<uint32_t>(kNe));
    layout.header = kNe;

    // Resource table: shift count, one type with one name, end of types, no names.
    std::vector<uint8_t> table;
    Append16(table, kShift);
    Append16(table, 0x8010);  // RT_VERSION
    Append16(table, 1);
    Append32(table, 0);
    size_t nameInfo = table.size();
    for (int i = 0; i < 6; ++i) Append16(table, 0);  // filled in below
    Append16(table, 0);
    table.push_back(0);
    const uint16_t rsrc = 0x40;
    const uint16_t restab = static_cast<uint16_t>(rsrc + table.size());
    layout.resourceTable = kNe + rsrc;
    layout.nameInfo = kNe + rsrc + nameInfo;

    std::vector<uint8_t> tail;  // resident names, module references, imports, entries
    const char module[] = "FIXTURE";
    tail.push_back(sizeof module - 1);
    tail.insert(tail.end(), module, module + sizeof module - 1);
    Append16(tail, 0);
    tail.push_back(0);
    const uint16_t modtab = static_cast<uint16_t>(restab + tail.size());
    tail.push_back(0);  // imported names: the empty first entry
    const uint16_t enttab = static_cast<uint16_t>(modtab + 1);
    Append16(tail, 0);  // entry table: no bundles
    const uint32_t nrestab = static_cast<uint32_t>(kNe + enttab + 2);
    const char description[] = "fixture";
    tail.push_back(sizeof description - 1);
    tail.insert(tail.end(), description, description + sizeof description - 1);
    Append16(tail, 0);
    tail.push_back(0);
    const uint16_t nrestabSize = static_cast<uint16_t>(sizeof description - 1 + 4);

    const size_t h = kNe;
    b[h] = 'N';
    b[h + 1] = 'E';
    b[h + 2] = 5;
    b[h + 3] = 10;
    Put16(b, h + 4, enttab);
    Put16(b, h + 6, 2);
    Put16(b, h + 12, 0x8001);  // library, single data
    Put16(b, h + 32, nrestabSize);
    Put16(b, h + 34, rsrc);  // segment table: empty
    Put16(b, h + 36, rsrc);
    Put16(b, h + 38, restab);
    Put16(b, h + 40, modtab);
    Put16(b, h + 42, modtab);
    Put32(b, h + 44, nrestab);
    Put16(b, h + 50, kShift);
    Put16(b, h + 52, 1);  // resource segments
    b[h + 54] = 2;        // Windows
    Put16(b, h + 62, 0x030A);

    b.insert(b.end(), table.begin(), table.end());
    b.insert(b.end(), tail.begin(), tail.end());
    const size_t unit = size_t{1} << kShift;
    while (b.size() % unit != 0) b.push_back(0);
    layout.data = b.size();
    b.insert(b.end(), block.begin(), block.end());
    while (b.size() % unit != 0) b.push_back(0);
    size_t units = (b.size() - layout.data) / unit;
    Put16(b, layout.nameInfo, static_cast<uint16_t>(layout.data / unit));
    Put16(b, layout.nameInfo + 2, static_cast<uint16_t>(units));
    Put16(b, layout.nameInfo + 4, 0x0C50);  // moveable, pure, preload
    Put16(b, layout.nameInfo + 6, 0x8001);  // VS_VERSION_INFO
    return layout;
}

std::vector<uint8_t> Ne(const std::vector<uint8_t>& block) {
    return NeImage(block).bytes;
}

VersionSpec CompanySpec(const char* company) {
    VersionSpec spec;
    VersionStrings table;
    table.values = {{"CompanyName", company ? company : ""},
                    {"FileDescription", "Testbibliothek f\xFCr CAPI"},
                    {"FileVersion", "1, 2, 3, 4"},
                    {"LegalCopyright", "Copyright (C) M\xFCller"},
                    {"ProductName", "fixture"}};
    spec.tables.push_back(table);
    spec.translations.push_back(0x04b00407u);
    return spec;
}

std::vector<uint8_t> DllWithCompany(const char* company, bool pe32plus) {
    if (!company) return Pe({}, pe32plus);
    return Pe(VersionBlock32(CompanySpec(company)), pe32plus);
}

bool WriteBytes(const std::string& hostPath, const std::vector<uint8_t>& bytes) {
    std::FILE* f = std::fopen(hostPath.c_str(), "wb");
    if (!f) return false;
    bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (std::fclose(f) != 0) ok = false;
    return ok;
}

std::vector<uint8_t> Truncated(std::vector<uint8_t> bytes, size_t length) {
    if (length < bytes.size()) bytes.resize(length);
    return bytes;
}

namespace {

PeLayout CompanyImage(bool pe32plus) {
    Resource r;
    r.data = VersionBlock32(CompanySpec("QZM GmbH"));
    return PeImage({r}, pe32plus);
}

}  // namespace

std::vector<uint8_t> PeSelfReferencingDirectory(bool pe32plus) {
    PeLayout l = CompanyImage(pe32plus);
    Put32(l.bytes, l.typeEntry + 4, 0x80000000u);  // back to the root
    return l.bytes;
}

std::vector<uint8_t> PeNameDirectoryLoop(bool pe32plus) {
    PeLayout l = CompanyImage(pe32plus);
    // The name entry is the first entry of the type's directory.
    uint32_t typeDir = static_cast<uint32_t>(l.nameEntry - 16 - l.resourceDir);
    Put32(l.bytes, l.nameEntry + 4, 0x80000000u | typeDir);
    return l.bytes;
}

std::vector<uint8_t> PeDataPastEnd(bool pe32plus) {
    PeLayout l = CompanyImage(pe32plus);
    // The section claims far more raw data than the file has, and the data
    // entry points into that missing part.
    Put32(l.bytes, l.sectionHeader + 16, 0x40000);
    Put32(l.bytes, l.dataEntry, l.resourceRva + 0x30000);
    return l.bytes;
}

std::vector<uint8_t> PeDataSizePastEnd(bool pe32plus) {
    PeLayout l = CompanyImage(pe32plus);
    Put32(l.bytes, l.dataEntry + 4, static_cast<uint32_t>(l.bytes.size()));
    return l.bytes;
}

std::vector<uint8_t> PeResourceDirOutsideSections(bool pe32plus) {
    PeLayout l = CompanyImage(pe32plus);
    size_t dirs = l.optionalHeader + (pe32plus ? 112 : 96);
    Put32(l.bytes, dirs + 16, 0x5000);
    return l.bytes;
}

std::vector<uint8_t> PeHugeEntryCount(bool pe32plus) {
    PeLayout l = CompanyImage(pe32plus);
    Put16(l.bytes, l.resourceDir + 14, 0xFFFF);
    return l.bytes;
}

std::vector<uint8_t> PeHeaderPastEnd() {
    std::vector<uint8_t> b = DllWithCompany("QZM GmbH");
    Put32(b, 0x3C, 0x7FFFFFF0u);
    return b;
}

std::vector<uint8_t> NeTablePastEnd() {
    NeLayout l = NeImage(VersionBlock16(CompanySpec("QZM GmbH")));
    Put16(l.bytes, l.header + 36, 0xFF00);
    Put16(l.bytes, l.header + 38, 0xFFF0);
    return l.bytes;
}

std::vector<uint8_t> NeUnterminatedTable() {
    NeLayout l = NeImage(VersionBlock16(CompanySpec("QZM GmbH")));
    // Replace the version type by another one and the end marker by a type
    // whose name entries run past the table.
    Put16(l.bytes, l.resourceTable + 2, 0x8006);
    Put16(l.bytes, l.nameInfo + 12, 0x8010);
    return l.bytes;
}

namespace {

VersionNode& CompanyTable(VersionNode& root) {
    return root.children[0].children[0];
}

std::vector<uint8_t> ZeroLengthChild(bool wide) {
    VersionSpec spec = CompanySpec("QZM GmbH");
    VersionNode root = wide ? VersionTree32(spec) : VersionTree16(spec);
    VersionNode broken = wide ? TextNode32("Broken", "x") : TextNode16("Broken", "x");
    broken.lengthOverride = 0;
    auto& strings = CompanyTable(root).children;
    strings.insert(strings.begin(), broken);
    return wide ? Encode32(root) : Encode16(root);
}

std::vector<uint8_t> ChildBeyondParent(bool wide) {
    VersionSpec spec = CompanySpec("QZM GmbH");
    VersionNode root = wide ? VersionTree32(spec) : VersionTree16(spec);
    CompanyTable(root).children[0].lengthOverride = 0xFFF0;
    return wide ? Encode32(root) : Encode16(root);
}

std::vector<uint8_t> UnterminatedStrings(bool wide) {
    VersionSpec spec = CompanySpec("QZM GmbH");
    VersionNode root = wide ? VersionTree32(spec) : VersionTree16(spec);
    auto& strings = CompanyTable(root).children;
    VersionNode& company = strings[0];
    const std::string text = "QZM GmbH";
    if (wide) {
        company.value.resize(company.value.size() - 2);  // drop the terminator
    } else {
        company.value.assign(text.begin(), text.end());
    }
    company.valueLength = 200;
    VersionNode last;
    last.key = "ProductVersion";
    last.type = 1;
    last.terminateKey = false;
    strings.push_back(last);
    return wide ? Encode32(root) : Encode16(root);
}

}  // namespace

std::vector<uint8_t> Block32ZeroLengthChild() {
    return ZeroLengthChild(true);
}
std::vector<uint8_t> Block16ZeroLengthChild() {
    return ZeroLengthChild(false);
}
std::vector<uint8_t> Block32ChildBeyondParent() {
    return ChildBeyondParent(true);
}
std::vector<uint8_t> Block16ChildBeyondParent() {
    return ChildBeyondParent(false);
}
std::vector<uint8_t> Block32UnterminatedStrings() {
    return UnterminatedStrings(true);
}
std::vector<uint8_t> Block16UnterminatedStrings() {
    return UnterminatedStrings(false);
}

}  // namespace fixtures
