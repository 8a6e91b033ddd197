// GetFileVersionInfoSizeA, GetFileVersionInfoA and VerQueryValueA on
// generated files: the answers the cleanup run and the file description rely
// on, the ANSI copies of Unicode values, and malformed files.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "platform/Windows.h"
#include "tests/support/PeWriter.h"
#include "tests/support/TempDrive.h"

namespace {

const char kCompany[] = "\\StringFileInfo\\040704b0\\CompanyName";
const char kTranslation[] = "\\VarFileInfo\\Translation";

class VersionFiles : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/version_test_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
    }
    void TearDown() override {
        for (const std::string& f : m_files) unlink(f.c_str());
        rmdir(m_dir.c_str());
    }
    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
        std::string path = m_dir + "/" + name;
        EXPECT_TRUE(fixtures::WriteBytes(path, bytes));
        m_files.push_back(path);
        return path;
    }

    std::string m_dir;
    std::vector<std::string> m_files;
};

// The whole sequence as the callers run it: size, a block of size + 1 bytes,
// the block.
struct Info {
    DWORD size = 0;
    std::vector<uint8_t> block;
    bool ok = false;
    explicit Info(const std::string& path) {
        DWORD handle = 1;
        size = GetFileVersionInfoSizeA(path.c_str(), &handle);
        EXPECT_EQ(handle, 0u);
        block.assign(size + 1, 0xCD);
        ok = GetFileVersionInfoA(path.c_str(), handle, size, block.data()) != FALSE;
    }
    bool Query(const char* path, void** value, UINT* length) {
        return VerQueryValueA(block.data(), path, value, length) != FALSE;
    }
    std::string Text(const char* path, UINT* length = nullptr) {
        void* value = nullptr;
        UINT len = 0;
        if (!Query(path, &value, &len)) return "<none>";
        if (length) *length = len;
        return static_cast<const char*>(value);
    }
};

}  // namespace

TEST_F(VersionFiles, Pe32AndPe32PlusAnswerWhatTheCallersAskFor) {
    for (bool plus : {false, true}) {
        const std::vector<uint8_t> block =
            fixtures::VersionBlock32(fixtures::CompanySpec("QZM GmbH"));
        Info info(Write(plus ? "plus.dll" : "pe32.dll", fixtures::Pe(block, plus)));
        ASSERT_TRUE(info.ok);
        EXPECT_EQ(GetLastError(), 0u);
        EXPECT_EQ(info.size, block.size() * 2 + 4);

        void* value = nullptr;
        UINT length = 0;
        ASSERT_TRUE(info.Query("\\", &value, &length));
        ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
        VS_FIXEDFILEINFO fixed;
        std::memcpy(&fixed, value, sizeof fixed);
        EXPECT_EQ(fixed.dwSignature, 0xFEEF04BDu);
        EXPECT_EQ(fixed.dwFileVersionMS, 0x00010002u);
        EXPECT_EQ(fixed.dwFileVersionLS, 0x00030004u);
        EXPECT_EQ(fixed.dwProductVersionMS, 0x00010000u);
        EXPECT_EQ(fixed.dwProductVersionLS, 0x00000001u);

        ASSERT_TRUE(info.Query(kTranslation, &value, &length));
        ASSERT_EQ(length, 4u);
        uint32_t translation;
        std::memcpy(&translation, value, 4);
        EXPECT_EQ(translation, 0x04b00407u);

        // Characters including the terminator, as wValueLength counts them.
        EXPECT_EQ(info.Text(kCompany, &length), "QZM GmbH");
        EXPECT_EQ(length, 9u);
        // German letters arrive as Windows-1252 bytes.
        EXPECT_EQ(info.Text("\\StringFileInfo\\040704b0\\LegalCopyright"),
                  "Copyright (C) M\xFC"
                  "ller");
        EXPECT_EQ(info.Text("\\StringFileInfo\\040704b0\\FileDescription"),
                  "Testbibliothek f\xFCr CAPI");
        // The copies live after the block; the block itself is unchanged.
        EXPECT_TRUE(std::equal(block.begin(), block.end(), info.block.begin()));
    }
}

TEST_F(VersionFiles, PathsIgnoreCaseAndExtraBackslashes) {
    Info info(Write("a.dll", fixtures::DllWithCompany("QZM GmbH")));
    ASSERT_TRUE(info.ok);
    EXPECT_EQ(info.Text("\\STRINGFILEINFO\\040704B0\\companyname"), "QZM GmbH");
    EXPECT_EQ(info.Text("StringFileInfo\\\\040704b0\\CompanyName\\"), "QZM GmbH");
    EXPECT_EQ(info.Text("/StringFileInfo/040704b0/CompanyName"), "<none>");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND));
    EXPECT_EQ(info.Text("\\StringFileInfo\\040704b0\\Company"), "<none>");
    EXPECT_EQ(info.Text("\\StringFileInfo\\040704b0\\CompanyNameX"), "<none>");
    for (const char* root : {"", "\\\\", static_cast<const char*>(nullptr)}) {
        void* value = nullptr;
        UINT length = 0;
        EXPECT_TRUE(info.Query(root, &value, &length));
        EXPECT_EQ(length, sizeof(VS_FIXEDFILEINFO));
    }
    // German letters in keys match their other case too.
    fixtures::VersionSpec spec;
    spec.tables.push_back({0x0407,
                           0x04b0,
                           {{"Gr\xFC\xDF"
                             "e",
                             "hallo"}}});
    Info german(Write("g.dll", fixtures::Pe(fixtures::VersionBlock32(spec))));
    EXPECT_EQ(german.Text("\\StringFileInfo\\040704B0\\GR\xDC\xDF"
                          "E"),
              "hallo");
}

TEST_F(VersionFiles, UnicodeValuesWithoutAnsiLetterBecomeQuestionMarks) {
    fixtures::VersionNode root = fixtures::VersionTree32(fixtures::CompanySpec("x"));
    fixtures::VersionNode& company = root.children[0].children[0].children[0];
    company.value = {'M', 0, 0xFC, 0, 'l', 0, 0x42, 0x30, 0xAC, 0x20, 0, 0};  // Mül, U+3042, €
    company.valueLength = 6;
    Info info(Write("u.dll", fixtures::Pe(fixtures::Encode32(root))));
    UINT length = 0;
    EXPECT_EQ(info.Text(kCompany, &length), "M\xFCl?\x80");
    EXPECT_EQ(length, 6u);
}

// Characters that are no letters of the ANSI code page but look like one are
// handed out as that letter, as Windows' best-fit table for 1252 has them; a
// key written in such letters is another key, since Windows compares keys in
// Unicode.
TEST_F(VersionFiles, LookAlikeLettersOfValuesBecomeTheirAnsiLetters) {
    fixtures::VersionNode root = fixtures::VersionTree32(fixtures::CompanySpec("x"));
    fixtures::VersionNode& company = root.children[0].children[0].children[0];
    // "QZM GmbH" in fullwidth Q, Z with caron, M, ideographic space, G, m, b
    // and H with circumflex; then a minus sign and "Co".
    const uint16_t text[] = {0xFF31, 0x017D, 0xFF2D, 0x3000, 0xFF27, 0xFF4D,
                             0xFF42, 0x0124, 0x2212, 'C',    'o',    0};
    company.value.clear();
    for (uint16_t unit : text) {
        company.value.push_back(static_cast<uint8_t>(unit));
        company.value.push_back(static_cast<uint8_t>(unit >> 8));
    }
    company.valueLength = static_cast<uint16_t>(sizeof text / sizeof text[0]);
    std::vector<uint8_t> block = fixtures::Encode32(root);
    Info info(Write("fw.dll", fixtures::Pe(block)));
    UINT length = 0;
    // Z with caron is a letter of the code page: it keeps its own byte.
    EXPECT_EQ(info.Text(kCompany, &length), "Q\x8EM GmbH-Co");
    EXPECT_EQ(length, 12u);

    // The key "CompanyName" with a fullwidth C.
    const uint8_t key[] = {'C', 0, 'o', 0, 'm', 0, 'p', 0, 'a', 0, 'n', 0, 'y', 0, 'N', 0};
    auto at = std::search(block.begin(), block.end(), std::begin(key), std::end(key));
    ASSERT_NE(at, block.end());
    at[0] = 0x23;
    at[1] = 0xFF;
    Info other(Write("fwkey.dll", fixtures::Pe(block)));
    ASSERT_TRUE(other.ok);
    EXPECT_EQ(other.Text(kCompany), "<none>");
}

TEST_F(VersionFiles, OnlyTheFirstTranslationIsAsked) {
    fixtures::VersionSpec spec = fixtures::CompanySpec("QZM GmbH");
    spec.translations = {0x04b00409u, 0x04b00407u};
    Info info(Write("t.dll", fixtures::Pe(fixtures::VersionBlock32(spec))));
    void* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(info.Query(kTranslation, &value, &length));
    ASSERT_EQ(length, 8u);
    uint32_t first;
    std::memcpy(&first, value, 4);
    EXPECT_EQ(first, 0x04b00409u);
    char path[64];
    std::snprintf(path, sizeof path, "\\StringFileInfo\\%04x%04x\\%s", first & 0xFFFF, first >> 16,
                  "CompanyName");
    EXPECT_EQ(info.Text(path), "<none>");
}

TEST_F(VersionFiles, MissingPartsFailTheirLookUps) {
    fixtures::VersionSpec spec = fixtures::CompanySpec("QZM GmbH");
    spec.fixedInfo = false;
    Info noFixed(Write("nf.dll", fixtures::Pe(fixtures::VersionBlock32(spec))));
    ASSERT_TRUE(noFixed.ok);
    void* value = nullptr;
    UINT length = 7;
    EXPECT_FALSE(noFixed.Query("\\", &value, &length));
    EXPECT_EQ(value, nullptr);
    EXPECT_EQ(length, 0u);
    EXPECT_TRUE(noFixed.Query(kTranslation, &value, &length));

    spec = fixtures::CompanySpec("QZM GmbH");
    spec.translations.clear();
    Info noVar(Write("nv.dll", fixtures::Pe(fixtures::VersionBlock32(spec))));
    ASSERT_TRUE(noVar.ok);
    EXPECT_FALSE(noVar.Query(kTranslation, &value, &length));
    EXPECT_EQ(noVar.Text(kCompany), "QZM GmbH");
}

TEST_F(VersionFiles, NeFilesAnswerTheirAnsiBlock) {
    const std::vector<uint8_t> block = fixtures::VersionBlock16(fixtures::CompanySpec("QZM GmbH"));
    Info info(Write("old.dll", fixtures::Ne(block)));
    ASSERT_TRUE(info.ok);
    const DWORD resource = static_cast<DWORD>((block.size() + 15) / 16 * 16);
    EXPECT_EQ(info.size, (resource - 52) * 4);
    void* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(info.Query("\\", &value, &length));
    EXPECT_EQ(length, sizeof(VS_FIXEDFILEINFO));
    ASSERT_TRUE(info.Query(kTranslation, &value, &length));
    EXPECT_EQ(length, 4u);
    EXPECT_EQ(info.Text(kCompany, &length), "QZM GmbH");
    EXPECT_EQ(length, 9u);
    EXPECT_EQ(info.Text("\\stringfileinfo\\040704B0\\LEGALCOPYRIGHT"),
              "Copyright (C) M\xFC"
              "ller");
    // A 16-bit block in a PE file reads the same way.
    Info pe(Write("pe16.dll", fixtures::Pe(block)));
    EXPECT_EQ(pe.size, block.size() * 2 + 4);
    EXPECT_EQ(pe.Text(kCompany), "QZM GmbH");
}

TEST_F(VersionFiles, FilesWithoutVersionInformation) {
    const std::vector<std::pair<const char*, std::vector<uint8_t>>> cases = {
        {"plain.dll", fixtures::DllWithCompany(nullptr)},
        {"text.txt", {'h', 'e', 'l', 'l', 'o'}},
        {"loop.dll", fixtures::PeSelfReferencingDirectory()},
        {"past.dll", fixtures::PeDataPastEnd(true)},
        {"cut.dll", fixtures::Truncated(fixtures::DllWithCompany("QZM GmbH"), 0x220)},
        {"ne.dll", fixtures::NeUnterminatedTable()},
    };
    for (const auto& c : cases) {
        std::string path = Write(c.first, c.second);
        DWORD handle = 5;
        SetLastError(0);
        EXPECT_EQ(GetFileVersionInfoSizeA(path.c_str(), &handle), 0u) << c.first;
        EXPECT_EQ(handle, 0u);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_DATA_NOT_FOUND)) << c.first;
        uint8_t block[64];
        EXPECT_FALSE(GetFileVersionInfoA(path.c_str(), 0, sizeof block, block)) << c.first;
    }
    EXPECT_EQ(GetFileVersionInfoSizeA((m_dir + "/missing.dll").c_str(), nullptr), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(GetFileVersionInfoSizeA("", nullptr), 0u);
    EXPECT_EQ(GetFileVersionInfoSizeA(nullptr, nullptr), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    void* value = &value;
    UINT length = 7;
    EXPECT_FALSE(VerQueryValueA(nullptr, "\\", &value, &length));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(value, &value);  // untouched, as on Windows
    EXPECT_EQ(length, 7u);
}

// As on Windows, a look-up that fails leaves the caller's pointer as it was
// and sets the length to 0, in every kind of block.
TEST_F(VersionFiles, FailedLookUpsLeaveTheCallersPointer) {
    fixtures::VersionSpec noFixedSpec = fixtures::CompanySpec("QZM GmbH");
    noFixedSpec.fixedInfo = false;
    const std::string pe = Write("a.dll", fixtures::DllWithCompany("QZM GmbH"));
    const std::string ne =
        Write("a.exe", fixtures::Ne(fixtures::VersionBlock16(fixtures::CompanySpec("QZM GmbH"))));
    const std::string noFixed =
        Write("nf.dll", fixtures::Pe(fixtures::VersionBlock32(noFixedSpec)));
    const std::pair<const std::string*, const char*> cases[] = {
        {&pe, "\\StringFileInfo\\040704b0\\CompanyNam"},
        {&pe, "String"},
        {&ne, "\\StringFileInfo\\040704b0\\Company"},
        {&noFixed, "\\"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.second);
        Info info(*c.first);
        ASSERT_TRUE(info.ok);
        void* value = &info;
        UINT length = 7;
        SetLastError(0);
        EXPECT_FALSE(info.Query(c.second, &value, &length));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND));
        EXPECT_EQ(value, static_cast<void*>(&info));
        EXPECT_EQ(length, 0u);
    }
}

// A block that its caller grew after GetFileVersionInfoA, by appending a node
// and raising the root's length: the new node's values are answered, the text
// in an ANSI copy behind the grown block (the caller's buffer holds twice its
// length plus four bytes, as the size answer's rule asks), and the old values
// still are.
TEST_F(VersionFiles, ValuesOfAGrownBlockAreAnswered) {
    Info info(Write("grow.dll", fixtures::DllWithCompany("QZM GmbH")));
    ASSERT_TRUE(info.ok);
    fixtures::VersionNode extra;
    extra.key = "Extra";
    extra.children.push_back(fixtures::TextNode32("Text", "B-)"));
    fixtures::VersionNode binary;
    binary.key = "Binary";
    binary.value = {0xEF, 0xBE, 0xAD, 0xDE};
    binary.valueLength = 4;
    extra.children.push_back(binary);
    const std::vector<uint8_t> node = fixtures::Encode32(extra);
    const size_t rootLength = info.block[0] | (info.block[1] << 8);
    ASSERT_EQ(rootLength % 4, 0u);
    std::vector<uint8_t> grown(info.block.begin(), info.block.begin() + rootLength);
    grown.insert(grown.end(), node.begin(), node.end());
    const size_t grownLength = grown.size();
    fixtures::Put16(grown, 0, static_cast<uint16_t>(grownLength));
    grown.resize(grownLength * 2 + 4, 0xCD);

    void* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(grown.data(), "Extra\\Binary", &value, &length));
    EXPECT_EQ(length, 4u);
    EXPECT_EQ(std::memcmp(value, "\xEF\xBE\xAD\xDE", 4), 0);
    ASSERT_TRUE(VerQueryValueA(grown.data(), "Extra\\Text", &value, &length));
    EXPECT_EQ(length, 4u);
    EXPECT_STREQ(static_cast<const char*>(value), "B-)");
    EXPECT_GE(static_cast<uint8_t*>(value), grown.data() + grownLength + 4);
    ASSERT_TRUE(VerQueryValueA(grown.data(), kCompany, &value, &length));
    EXPECT_STREQ(static_cast<const char*>(value), "QZM GmbH");
    EXPECT_LT(static_cast<uint8_t*>(value) + length, grown.data() + grown.size());
}

TEST_F(VersionFiles, MalformedTreesEndTheirWalkSafely) {
    for (bool wide : {true, false}) {
        SCOPED_TRACE(wide ? "Unicode" : "16-bit");
        Info zero(Write("zero.dll", fixtures::Pe(wide ? fixtures::Block32ZeroLengthChild()
                                                      : fixtures::Block16ZeroLengthChild())));
        ASSERT_TRUE(zero.ok);
        EXPECT_EQ(zero.Text(kCompany), "<none>");  // behind the child of length 0
        void* value = nullptr;
        UINT length = 0;
        EXPECT_TRUE(zero.Query(kTranslation, &value, &length));

        // A child longer than its parent is cut at the parent's end: its own
        // value is still there, the siblings it swallowed are not.
        Info beyond(Write("beyond.dll", fixtures::Pe(wide ? fixtures::Block32ChildBeyondParent()
                                                          : fixtures::Block16ChildBeyondParent())));
        ASSERT_TRUE(beyond.ok);
        EXPECT_EQ(beyond.Text(kCompany), "QZM GmbH");
        EXPECT_EQ(beyond.Text("\\StringFileInfo\\040704b0\\FileDescription"), "<none>");
        EXPECT_TRUE(beyond.Query(kTranslation, &value, &length));

        // A value longer than its node is cut at the node; a key without
        // terminator matches nothing.
        Info open(Write("open.dll", fixtures::Pe(wide ? fixtures::Block32UnterminatedStrings()
                                                      : fixtures::Block16UnterminatedStrings())));
        ASSERT_TRUE(open.ok);
        UINT companyLength = 0;
        EXPECT_EQ(open.Text(kCompany, &companyLength).substr(0, 8), "QZM GmbH");
        EXPECT_EQ(companyLength, 8u);
        EXPECT_EQ(open.Text("\\StringFileInfo\\040704b0\\ProductVersion"), "<none>");
        EXPECT_EQ(open.Text("\\StringFileInfo\\040704b0\\FileDescription"),
                  "Testbibliothek f\xFCr CAPI");
    }
}

TEST_F(VersionFiles, AResourceSizePastTheEndReadsWhatTheFileHolds) {
    const std::vector<uint8_t> image = fixtures::PeDataSizePastEnd();
    Info info(Write("long.dll", image));
    ASSERT_TRUE(info.ok);
    EXPECT_EQ(info.size, image.size() * 2 + 4);
    EXPECT_EQ(info.Text(kCompany), "QZM GmbH");
}

// A buffer shorter than the size answer: whatever is asked afterwards, no
// byte past the buffer is written (and, under ASan, none read).
TEST_F(VersionFiles, ShortBuffersAreNeverOverrun) {
    for (bool ne : {false, true}) {
        const std::string path =
            Write(ne ? "short.exe" : "short.dll",
                  ne ? fixtures::Ne(fixtures::VersionBlock16(fixtures::CompanySpec("QZM GmbH")))
                     : fixtures::DllWithCompany("QZM GmbH"));
        const DWORD size = GetFileVersionInfoSizeA(path.c_str(), nullptr);
        ASSERT_GT(size, 0u);
        for (DWORD length = 0; length <= size; ++length) {
            std::vector<uint8_t> buffer(length + 32, 0xAA);
            if (!GetFileVersionInfoA(path.c_str(), 0, length, buffer.data())) {
                EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
                EXPECT_LT(length, 16u);
                continue;
            }
            // Once in the buffer with its guard bytes, once in a copy of
            // exactly the given length for the address sanitizer.
            std::vector<uint8_t> exact(buffer.begin(), buffer.begin() + length);
            for (uint8_t* block : {buffer.data(), exact.data()}) {
                for (const char* q :
                     {"\\", kTranslation, kCompany, "\\StringFileInfo\\040704b0\\ProductName",
                      "\\StringFileInfo\\040704b0\\LegalCopyright"}) {
                    void* value = nullptr;
                    UINT len = 0;
                    if (VerQueryValueA(block, q, &value, &len)) {
                        const uint8_t* v = static_cast<const uint8_t*>(value);
                        ASSERT_GE(v, block);
                        ASSERT_LE(v + len, block + length) << length << " " << q;
                    }
                }
            }
            EXPECT_EQ(std::count(buffer.begin() + length, buffer.end(), 0xAA), 32) << length;
        }
    }
}

TEST_F(VersionFiles, AFileHeldOpenBySomeoneElseIsStillRead) {
    const std::string path = Write("held.dll", fixtures::DllWithCompany("QZM GmbH"));
    HANDLE holder =
        CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    Info info(path);
    EXPECT_TRUE(info.ok);
    EXPECT_EQ(info.Text(kCompany), "QZM GmbH");
    CloseHandle(holder);
}

namespace {

// The CompanyName that the version functions read for `name`; "<none>" when
// they find no file or no version information (*error then says why).
std::string CompanyOf(const char* name, DWORD* error) {
    *error = ERROR_SUCCESS;
    const DWORD size = GetFileVersionInfoSizeA(name, nullptr);
    if (size == 0) {
        *error = GetLastError();
        return "<none>";
    }
    std::vector<uint8_t> block(size);
    void* value = nullptr;
    UINT length = 0;
    if (!GetFileVersionInfoA(name, 0, size, block.data()) ||
        !VerQueryValueA(block.data(), kCompany, &value, &length)) {
        *error = GetLastError();
        return "<none>";
    }
    return static_cast<const char*>(value);
}

}  // namespace

// A bare module name is looked for where the loader looks for it: the
// program's folder, the system folder, the 16-bit system folder, the Windows
// folder, the current directory, with ".dll" added to a name without an
// extension. The first file found counts when it is a PE image; otherwise,
// and for a name with a folder, the name is read as given.
TEST(VersionSearch, BareModuleNamesAreFoundAsTheLoaderFindsThem) {
    support::TempDrive drive;
    char saved[MAX_PATH];
    ASSERT_GT(GetCurrentDirectoryA(sizeof saved, saved), 0u);
    struct Placed {
        std::string path;
        const char* company;
        bool ne;
    };
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    ASSERT_GT(n, 0);
    std::string programFolder(self, static_cast<size_t>(n));
    programFolder.resize(programFolder.find_last_of('/'));
    const std::string inProgram = "purgelib_search_" + std::to_string(getpid()) + ".dll";
    const std::vector<Placed> files = {
        {"windows/system32/" + inProgram, "system32", false},
        {"windows/system32/one.dll", "system32", false},
        {"windows/system/one.dll", "system", false},
        {"windows/one.dll", "windows", false},
        {"work/one.dll", "current", false},
        {"windows/system/two.dll", "system", false},
        {"windows/two.dll", "windows", false},
        {"windows/three.dll", "windows", false},
        {"work/three.dll", "current", false},
        {"work/four.dll", "current", false},
        {"windows/system32/five.dll", "system32", true},
        {"work/five.dll", "current", false},
        {"windows/system32/six.dll", "system32", true},
        {"work/sub/seven.dll", "sub", false},
    };
    for (const Placed& f : files) {
        drive.MakeDirs(f.path.substr(0, f.path.find_last_of('/')));
        const std::vector<uint8_t> image =
            f.ne ? fixtures::Ne(fixtures::VersionBlock16(fixtures::CompanySpec(f.company)))
                 : fixtures::DllWithCompany(f.company);
        ASSERT_TRUE(fixtures::WriteBytes(drive.Host(f.path), image));
    }
    // The program's folder is the test's build folder; where it cannot be
    // written, the first place of the order goes untested.
    const std::string programFile = programFolder + "/" + inProgram;
    const bool inProgramFolder =
        fixtures::WriteBytes(programFile, fixtures::DllWithCompany("program"));
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\work"));

    struct Case {
        std::string name;
        const char* company;
        DWORD error;
    };
    const Case cases[] = {
        {inProgram, inProgramFolder ? "program" : "system32", ERROR_SUCCESS},
        {"one.dll", "system32", ERROR_SUCCESS},
        {"ONE", "system32", ERROR_SUCCESS},  // ".dll" added
        {"two.dll", "system", ERROR_SUCCESS},
        {"three.dll", "windows", ERROR_SUCCESS},
        {"four.dll", "current", ERROR_SUCCESS},
        {"five.dll", "current", ERROR_SUCCESS},  // an NE file is no module for the loader
        {"six.dll", "<none>", ERROR_FILE_NOT_FOUND},
        {"seven.dll", "<none>", ERROR_FILE_NOT_FOUND},
        {"sub\\seven.dll", "sub", ERROR_SUCCESS},  // a folder: as given
        {".\\one.dll", "current", ERROR_SUCCESS},
        {"C:one.dll", "current", ERROR_SUCCESS},
        {"missing.dll", "<none>", ERROR_FILE_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DWORD error = 0;
        EXPECT_EQ(CompanyOf(c.name.c_str(), &error), c.company);
        EXPECT_EQ(error, c.error);
    }
    unlink(programFile.c_str());
    SetCurrentDirectoryA(saved);
}
