// Prints, for every file named on the command line (or one per line on
// standard input when there are none), what GetFileVersionInfoSizeA,
// GetFileVersionInfoA and VerQueryValueA answer, as one JSON object per line.
// Text values are printed as hex bytes (ANSI code page), so the comparison
// scripts see exactly what a caller gets.
//
// Built natively it shows the POSIX layer's reader; built with MinGW (the
// mingw presets) and run under Wine it shows Wine's version library, for the
// same comparison (run_wine_probe.py), and it is the probe with which the
// end-to-end tests read the exe's own version resource (tests/e2e).
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "inspect/VersionValue.h"
#include "platform/Windows.h"

namespace {

void PrintString(const std::string& s) {
    std::putchar('"');
    for (unsigned char c : s) {
        if (c == '"' || c == '\\')
            std::printf("\\%c", c);
        else if (c < 0x20 || c >= 0x7F)
            std::printf("\\u%04x", c);
        else
            std::putchar(c);
    }
    std::putchar('"');
}

void PrintHex(const void* p, size_t n) {
    const unsigned char* b = static_cast<const unsigned char*>(p);
    std::putchar('"');
    for (size_t i = 0; i < n; ++i) std::printf("%02x", b[i]);
    std::putchar('"');
}

// A text value up to its terminator, but never more than the length answered
// (plus nothing past the block when the length is 0).
std::string Text(const void* value, UINT length) {
    const char* s = static_cast<const char*>(value);
    size_t n = 0;
    while (n < length && s[n]) ++n;
    return std::string(s, n);
}

// Prints one answer: `ok` with the value and length a look-up gave, or the
// last error when it failed.
void Print(const char* key, BOOL ok, const void* value, UINT length, bool text, bool* first) {
    std::printf("%s", *first ? "" : ",");
    *first = false;
    PrintString(key);
    if (!ok) {
        std::printf(":{\"ok\":0,\"len\":%u,\"error\":%lu}", length,
                    static_cast<unsigned long>(GetLastError()));
        return;
    }
    std::printf(":{\"ok\":1,\"len\":%u,\"hex\":", length);
    if (text) {
        std::string s = Text(value, length);
        PrintHex(s.data(), s.size());
    } else {
        PrintHex(value, length);
    }
    std::printf("}");
}

void Query(const std::vector<unsigned char>& block, const char* key, const char* path,
           bool* first) {
    LPVOID value = nullptr;
    UINT length = 0;
    SetLastError(0);
    BOOL ok = VerQueryValueA(block.data(), path, &value, &length);
    Print(key, ok, value, length, false, first);
}

// The standard string values of the first translation, as the tool reads
// them (the description reports CompanyName, FileDescription and
// LegalCopyright; the end-to-end tests check the exe's own values).
void QueryStrings(const std::vector<unsigned char>& block, bool* first) {
    DWORD translation = 0;
    if (!inspect::FirstTranslation(block.data(), &translation)) return;
    CStr path(nullptr, 255);
    for (const char* key :
         {"CompanyName", "FileDescription", "LegalCopyright", "Comments", "FileVersion",
          "InternalName", "OriginalFilename", "ProductName", "ProductVersion"}) {
        void* value = nullptr;
        UINT length = 0;
        SetLastError(0);
        BOOL ok = inspect::QueryStringValue(block.data(), translation, key, &path, &value, &length);
        Print(key, ok, value, length, true, first);
    }
}

// Bytes kept free behind each block for Wine's over-long copies.
constexpr size_t kSlack = 65536;

void Dump(const std::string& file) {
    DWORD handle = 0;
    SetLastError(0);
    DWORD size = GetFileVersionInfoSizeA(file.c_str(), &handle);
    DWORD sizeError = GetLastError();
    std::printf("{\"file\":");
    PrintString(file);
    std::printf(",\"size\":%lu,\"size_error\":%lu", static_cast<unsigned long>(size),
                static_cast<unsigned long>(sizeError));
    if (size == 0) {
        std::printf("}\n");
        return;
    }
    // Room behind the block: Wine's version library writes the ANSI copies of
    // values that run past their node beyond the size it answered (see
    // README.md, value-cut-at-node), which must not land in the heap.
    std::vector<unsigned char> block(size + 1 + kSlack, 0);
    SetLastError(0);
    BOOL ok = GetFileVersionInfoA(file.c_str(), handle, size, block.data());
    std::printf(",\"info\":%d,\"info_error\":%lu", ok ? 1 : 0,
                static_cast<unsigned long>(GetLastError()));
    if (!ok) {
        std::printf("}\n");
        return;
    }
    std::printf(",\"q\":{");
    bool first = true;
    Query(block, "root", "\\", &first);
    Query(block, "root_empty", "", &first);
    Query(block, "translation", "\\VarFileInfo\\Translation", &first);
    Query(block, "translation_case", "varfileinfo\\\\TRANSLATION\\", &first);
    QueryStrings(block, &first);
    std::printf("}}\n");
}

}  // namespace

int main(int argc, char** argv) {
    // Each record reaches the output before the next file is read, so that a
    // reader that crashes on a file (Wine's, on some malformed ones) leaves
    // the records of the files before it.
    if (argc > 1) {
        for (int i = 1; i < argc; ++i) {
            Dump(argv[i]);
            std::fflush(stdout);
        }
    } else {
        std::string line;
        while (std::getline(std::cin, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.empty()) continue;
            Dump(line);
            std::fflush(stdout);
        }
    }
    return 0;
}
