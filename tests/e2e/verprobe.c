// Reads a file's version resource through the system's own version library and
// prints what it finds, one "key=value" line each; bytes outside printable ASCII
// are written as \xNN so that the output is exact.
//
//   verprobe <file>
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

static void PrintEscaped(const char* key, const char* value) {
    printf("%s=", key);
    for (const unsigned char* p = (const unsigned char*)value; *p; ++p) {
        if (*p >= 0x20 && *p < 0x7f && *p != '\\')
            putchar(*p);
        else
            printf("\\x%02X", *p);
    }
    putchar('\n');
}

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: verprobe <file>\n");
        return 2;
    }
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(argv[1], &handle);
    printf("size=%lu\n", (unsigned long)size);
    if (size == 0) {
        printf("error=size %lu\n", (unsigned long)GetLastError());
        return 1;
    }
    char* block = (char*)malloc(size);
    if (block == NULL) return 1;
    if (!GetFileVersionInfoA(argv[1], handle, size, block)) {
        printf("error=info %lu\n", (unsigned long)GetLastError());
        free(block);
        return 1;
    }

    VS_FIXEDFILEINFO* fixed = NULL;
    UINT length = 0;
    if (VerQueryValueA(block, "\\", (void**)&fixed, &length) && length >= sizeof(*fixed)) {
        printf("fixed.signature=%08lX\n", (unsigned long)fixed->dwSignature);
        printf("fixed.file=%lu.%lu.%lu.%lu\n", (unsigned long)HIWORD(fixed->dwFileVersionMS),
               (unsigned long)LOWORD(fixed->dwFileVersionMS),
               (unsigned long)HIWORD(fixed->dwFileVersionLS),
               (unsigned long)LOWORD(fixed->dwFileVersionLS));
        printf("fixed.product=%lu.%lu.%lu.%lu\n", (unsigned long)HIWORD(fixed->dwProductVersionMS),
               (unsigned long)LOWORD(fixed->dwProductVersionMS),
               (unsigned long)HIWORD(fixed->dwProductVersionLS),
               (unsigned long)LOWORD(fixed->dwProductVersionLS));
    }

    static const char* const keys[] = {
        "Comments",         "CompanyName", "FileDescription", "FileVersion",    "InternalName",
        "OriginalFilename", "ProductName", "ProductVersion",  "LegalCopyright", NULL};
    WORD* translations = NULL;
    if (!VerQueryValueA(block, "\\VarFileInfo\\Translation", (void**)&translations, &length)) {
        printf("error=translation\n");
        free(block);
        return 1;
    }
    UINT count = length / (2 * sizeof(WORD));
    for (UINT i = 0; i < count; ++i) {
        WORD language = translations[2 * i];
        WORD codePage = translations[2 * i + 1];
        printf("translation=%04x%04x\n", language, codePage);
        for (int k = 0; keys[k] != NULL; ++k) {
            char path[128];
            snprintf(path, sizeof(path), "\\StringFileInfo\\%04x%04x\\%s", language, codePage,
                     keys[k]);
            char* value = NULL;
            UINT valueLength = 0;
            if (VerQueryValueA(block, path, (void**)&value, &valueLength)) {
                char name[160];
                snprintf(name, sizeof(name), "string.%04x%04x.%s", language, codePage, keys[k]);
                PrintEscaped(name, value);
            }
        }
    }
    free(block);
    return 0;
}
