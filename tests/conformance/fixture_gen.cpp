// Writes the generated version-resource fixtures (valid and malformed) into
// a folder, for comparing our reader with Wine's version library and with
// pefile. With --blocks it writes the bare version blocks instead (seeds for
// the fuzzer).
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/PeWriter.h"

using namespace fixtures;

namespace {

Resource Res(uint16_t name, uint16_t language, const char* company) {
    Resource r;
    r.name = name;
    r.language = language;
    r.data = VersionBlock32(CompanySpec(company));
    return r;
}

std::vector<uint8_t> Block16(const char* company) {
    return VersionBlock16(CompanySpec(company));
}

template <typename Add>
void AddImages(Add add) {
    add("pe32_company.dll", DllWithCompany("QZM GmbH"));
    add("pe64_company.dll", DllWithCompany("QZM GmbH", true));
    add("ne_company.exe", Ne(Block16("QZM GmbH")));
    add("pe_block16.dll", Pe(Block16("QZM GmbH")));
    add("no_resource.dll", DllWithCompany(nullptr));
    add("text.txt", {'h', 'e', 'l', 'l', 'o', '\n'});

    VersionSpec spec = CompanySpec("QZM GmbH");
    spec.fixedInfo = false;
    add("no_fixed.dll", Pe(VersionBlock32(spec)));
    add("ne_no_fixed.exe", Ne(VersionBlock16(spec)));
    spec = CompanySpec("QZM GmbH");
    spec.translations.clear();
    add("no_var.dll", Pe(VersionBlock32(spec)));
    spec = CompanySpec("QZM GmbH");
    spec.translations = {0x04b00409u, 0x04b00407u};
    add("two_translations.dll", Pe(VersionBlock32(spec)));
    add("empty_company.dll", DllWithCompany(""));

    VersionNode root = VersionTree32(CompanySpec("x"));
    VersionNode& company = root.children[0].children[0].children[0];
    company.value = {'M', 0, 0xFC, 0, 'l', 0, 0x42, 0x30, 0xAC, 0x20, 0, 0};
    company.valueLength = 6;
    add("unicode_value.dll", Pe(Encode32(root)));
    company.valueLength = 0;
    add("zero_value_length.dll", Pe(Encode32(root)));

    add("lang_de_en.dll", PeWithResources({Res(1, 0x0407, "German"), Res(1, 0x0409, "English")}));
    add("lang_fr_de.dll", PeWithResources({Res(1, 0x040C, "French"), Res(1, 0x0407, "German")}));
    add("lang_neutral.dll",
        PeWithResources({Res(1, 0x0409, "English"), Res(1, 0x0000, "Neutral")}));
    add("name2_only.dll", PeWithResources({Res(2, 0x0409, "Two")}));
    add("name1_and_2.dll", PeWithResources({Res(2, 0x0409, "Two"), Res(1, 0x0407, "One")}));

    add("self_ref.dll", PeSelfReferencingDirectory());
    add("name_loop.dll", PeNameDirectoryLoop(true));
    add("data_past_end.dll", PeDataPastEnd());
    add("data_size_past_end.dll", PeDataSizePastEnd());
    add("dir_outside.dll", PeResourceDirOutsideSections());
    add("huge_count.dll", PeHugeEntryCount());
    add("header_past_end.dll", PeHeaderPastEnd());
    add("ne_table_past_end.exe", NeTablePastEnd());
    add("ne_unterminated.exe", NeUnterminatedTable());
    add("zero_child32.dll", Pe(Block32ZeroLengthChild()));
    add("zero_child16.exe", Ne(Block16ZeroLengthChild()));
    add("beyond32.dll", Pe(Block32ChildBeyondParent()));
    add("beyond16.exe", Ne(Block16ChildBeyondParent()));
    add("unterminated32.dll", Pe(Block32UnterminatedStrings()));
    add("unterminated16.exe", Ne(Block16UnterminatedStrings()));
    const std::vector<uint8_t> full = DllWithCompany("QZM GmbH");
    for (size_t cut : {0x40, 0x1A0, 0x220, 0x260, 0x300})
        add("cut_" + std::to_string(cut) + ".dll", Truncated(full, cut));

    const NeLayout ne = NeImage(Block16("QZM GmbH"));
    add("ne_cut_block.exe", Truncated(ne.bytes, ne.data + 40));
    add("ne_cut_before_block.exe", Truncated(ne.bytes, ne.data - 2));
}

}  // namespace

int main(int argc, char** argv) {
    const bool blocks = argc == 3 && std::string(argv[1]) == "--blocks";
    if (argc != 2 && !blocks) {
        std::fprintf(stderr, "usage: %s [--blocks] <folder>\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[argc - 1];
    std::vector<std::pair<std::string, std::vector<uint8_t>>> files;
    auto add = [&](const std::string& name, std::vector<uint8_t> bytes) {
        files.emplace_back(name, std::move(bytes));
    };
    if (blocks) {
        VersionSpec two = CompanySpec("QZM GmbH");
        two.translations.push_back(0x04b00409u);
        add("block32.bin", VersionBlock32(two));
        add("block16.bin", Block16("QZM GmbH"));
        add("zero_child32.bin", Block32ZeroLengthChild());
        add("zero_child16.bin", Block16ZeroLengthChild());
        add("beyond32.bin", Block32ChildBeyondParent());
        add("beyond16.bin", Block16ChildBeyondParent());
        add("unterminated32.bin", Block32UnterminatedStrings());
        add("unterminated16.bin", Block16UnterminatedStrings());
    } else {
        AddImages(add);
    }

    bool ok = true;
    for (const auto& f : files) {
        if (!WriteBytes(dir + "/" + f.first, f.second)) {
            std::fprintf(stderr, "cannot write %s/%s\n", dir.c_str(), f.first.c_str());
            ok = false;
        }
    }
    return ok ? 0 : 1;
}
