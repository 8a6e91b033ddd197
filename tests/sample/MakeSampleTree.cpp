// Writes a sample Windows tree for the Linux tool:
//   <root>/windows/system32/CAPI2032.DLL   the maker's copy (CompanyName "QZM GmbH")
//   <root>/windows/system/capi20.dll       another maker's library
//   <root>/windows/system/capi.dll         the maker's copy, PE32+, name in lower case
// With --layout win9x or winnt the Windows directory and system directory
// follow those layouts instead.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "tests/support/PeWriter.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: purgelib_sample_tree ROOT [--layout xp|winnt|win9x]\n");
        return 2;
    }
    std::string root = argv[1];
    std::string layout = argc >= 4 && std::strcmp(argv[2], "--layout") == 0 ? argv[3] : "xp";
    std::string system32 = root + "/windows/system32", system = root + "/windows/system";
    if (layout == "winnt") {
        system32 = root + "/WINNT/system32";
        system = root + "/WINNT/system";
    } else if (layout == "win9x") {
        system32 = system = root + "/WINDOWS/SYSTEM";
    }
    std::filesystem::create_directories(system32);
    std::filesystem::create_directories(system);
    bool ok =
        fixtures::WriteBytes(system32 + "/CAPI2032.DLL", fixtures::DllWithCompany("QZM GmbH")) &&
        fixtures::WriteBytes(system + "/capi20.dll",
                             fixtures::DllWithCompany("Other Networks AG")) &&
        fixtures::WriteBytes(system + "/capi.dll", fixtures::DllWithCompany("qzm gmbh", true));
    if (!ok) {
        std::fprintf(stderr, "purgelib_sample_tree: cannot write below %s\n", root.c_str());
        return 1;
    }
    return 0;
}
