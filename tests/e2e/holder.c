// Holds a file the way another program on the machine would, until told to stop.
//
//   holder open <file> <stop-file>   open with share mode 0 (nobody else may open it)
//   holder read <file> <stop-file>   open sharing read access only (no delete, no write)
//   holder load <file> <stop-file>   LoadLibraryA, as a program that uses the DLL
//   holder delete <file>             try DeleteFileA once and print "deleted" or
//                                    "failed <error>" (what a held file answers)
//
// The holding modes print "held" once the file is held, or "failed <error>" when it
// could not be, on stdout, then wait until <stop-file> exists (at most two minutes)
// and let go.
#include <stdio.h>
#include <string.h>
#include <windows.h>

static int TryDelete(const char* file) {
    if (DeleteFileA(file)) {
        printf("deleted\n");
        return 0;
    }
    printf("failed %lu\n", (unsigned long)GetLastError());
    return 1;
}

int main(int argc, char** argv) {
    if (argc == 3 && strcmp(argv[1], "delete") == 0) return TryDelete(argv[2]);
    if (argc != 4) {
        fprintf(stderr, "usage: holder open|read|load <file> <stop-file> | delete <file>\n");
        return 2;
    }
    const char* mode = argv[1];
    const char* file = argv[2];
    const char* stop = argv[3];

    HANDLE handle = INVALID_HANDLE_VALUE;
    HMODULE module = NULL;
    if (strcmp(mode, "open") == 0 || strcmp(mode, "read") == 0) {
        DWORD share = strcmp(mode, "read") == 0 ? FILE_SHARE_READ : 0;
        handle = CreateFileA(file, GENERIC_READ, share, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                             NULL);
    } else if (strcmp(mode, "load") == 0) {
        module = LoadLibraryA(file);
    } else {
        fprintf(stderr, "holder: unknown mode %s\n", mode);
        return 2;
    }
    if (handle == INVALID_HANDLE_VALUE && module == NULL) {
        printf("failed %lu\n", (unsigned long)GetLastError());
        fflush(stdout);
        return 1;
    }
    printf("held\n");
    fflush(stdout);

    for (int waited = 0; waited < 1200; ++waited) {
        if (GetFileAttributesA(stop) != INVALID_FILE_ATTRIBUTES) break;
        Sleep(100);
    }
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    if (module != NULL) FreeLibrary(module);
    return 0;
}
