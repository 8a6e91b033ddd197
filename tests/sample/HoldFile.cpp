// Holds a file the way another program on the machine would, for the Linux
// tool's tests: opens it through the POSIX layer without sharing (share mode
// 0), prints "held", and lets go when its stdin closes.
//
//   purgelib_hold_file HOST_PATH
#include <cstdio>
#include <string>

#include "platform/Windows.h"

int main(int argc, char** argv) {
    if (argc != 2 || argv[1][0] != '/') {
        std::fprintf(stderr, "usage: purgelib_hold_file HOST_PATH (an absolute path)\n");
        return 2;
    }
    HANDLE file = CreateFileA(argv[1], GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::printf("failed %lu\n", static_cast<unsigned long>(GetLastError()));
        return 1;
    }
    std::printf("held\n");
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    CloseHandle(file);
    return 0;
}
