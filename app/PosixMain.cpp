// The Linux tool: the same cleanup run on a mounted Windows volume or a Wine
// prefix. Its one argument is the folder that drive C: maps to.
#include <sys/stat.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/Cleanup.h"
#include "platform/Windows.h"
#include "platform/posix/PosixPaths.h"

namespace {

const char kUsage[] =
    "usage: purgelib [DRIVE_ROOT]\n"
    "\n"
    "Removes the maker's copies of CAPI2032.DLL, capi20.dll and capi.dll from the\n"
    "Windows installation whose drive C: is DRIVE_ROOT (a mounted Windows volume or a\n"
    "Wine prefix's drive_c; default $WINEPREFIX/drive_c, else $HOME/.wine/drive_c),\n"
    "and prints the result message: the caption, then the text.\n"
    "\n"
    "  --help     show this text\n"
    "  --version  show the version\n";

int Refuse(const std::string& why) {
    std::fprintf(stderr, "purgelib: %s\n", why.c_str());
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 2) return Refuse("too many arguments (try --help)");
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::puts("purgelib 1.4.0.0");
        return 0;
    }
    if (argc == 2 && argv[1][0] == '-') return Refuse(std::string("unknown option ") + argv[1]);

    // Everything is checked before anything is touched: a mistyped path must
    // not end in a message that reports a successful update.
    std::string root = argc == 2 ? argv[1] : posix::DriveRoot();
    struct stat st;
    if (stat(root.c_str(), &st) != 0) return Refuse("drive root '" + root + "' does not exist");
    if (!S_ISDIR(st.st_mode)) return Refuse("drive root '" + root + "' is not a folder");
    char absolute[PATH_MAX];
    if (!realpath(root.c_str(), absolute))
        return Refuse("drive root '" + root + "' cannot be read");
    posix::SetDriveRoot(absolute);
    // A tree nobody vouches for: ambiguous names and swapped files are refused.
    posix::SetRemovalGuard(true);

    // The Windows directory is the first of windows and winnt that is a folder.
    char windows[MAX_PATH] = {};
    GetWindowsDirectoryA(windows, sizeof windows);
    DWORD attributes = GetFileAttributesA(windows);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return Refuse("drive root '" + root + "' holds no Windows directory (windows or winnt)");

    return RunCleanup();
}
