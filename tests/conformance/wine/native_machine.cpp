// The native machine of the ported Wine tests: a throwaway drive C: laid out
// as the tests expect of a Windows machine (the parts they look at), and the
// scaffolding of native/scaffold.h, built from the layer's declared calls and,
// for folders, from the host.
//
// Drive C: (a temporary host folder the layer maps C: to):
//   windows\win.ini
//   windows\system32\kernel32.dll, regsvr32.exe   PE files with a version block
//   windows\temp\                                 GetTempPathA's answer
//   winetest\                                     the current directory of the first pass
//   winetest\wine_conformance.exe                 the test program's stand-in: a PE file
//                                                 with the version resource the Windows
//                                                 build carries (Wine's version.rc)
// The second pass runs from a host folder outside the drive, seen through Z:.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "scaffold.h"
#include "tests/support/PeWriter.h"
#include "tests/support/TempDrive.h"
#include "version_resource.h"

namespace {

std::unique_ptr<support::TempDrive> g_drive;
std::string g_hostFolder;  // the current directory of the Z: pass
UINT g_tempCounter = 0;

const char kProgram[] = "C:\\winetest\\wine_conformance.exe";
constexpr bool kPe32Plus = sizeof(void*) == 8;

// The version resource of the Windows build, from Wine's version.rc.
fixtures::VersionSpec TestProgramSpec() {
    static const char* const kValues[][2] = {TEST_PROGRAM_VALUES};
    const uint32_t file[] = {TEST_PROGRAM_FILE_VERSION};
    const uint32_t product[] = {TEST_PROGRAM_PRODUCT_VERSION};
    const uint16_t table[] = {TEST_PROGRAM_TABLE};
    const uint16_t translation[] = {TEST_PROGRAM_TRANSLATION};
    fixtures::VersionSpec spec;
    spec.fileMS = file[0];
    spec.fileLS = file[1];
    spec.productMS = product[0];
    spec.productLS = product[1];
    fixtures::VersionStrings strings;
    strings.language = table[0];
    strings.codePage = table[1];
    for (const auto& value : kValues) strings.values.push_back({value[0], value[1]});
    spec.tables.push_back(strings);
    spec.translations.push_back(translation[0] | static_cast<uint32_t>(translation[1]) << 16);
    return spec;
}

// A system module of the drive: U.S. English, Unicode.
fixtures::VersionSpec SystemModuleSpec(const char* file) {
    fixtures::VersionSpec spec;
    spec.fileMS = 0x000A0000;
    spec.fileLS = 0x4A610000;
    fixtures::VersionStrings strings;
    strings.language = 0x0409;
    strings.codePage = 0x04B0;
    strings.values = {{"CompanyName", "purgelib test machine"},
                      {"FileDescription", "stand-in system module"},
                      {"FileVersion", "10.0.19041.0"},
                      {"OriginalFilename", file}};
    spec.tables.push_back(strings);
    spec.translations.push_back(0x04B00409u);
    return spec;
}

std::vector<uint8_t> PeWithVersion(const fixtures::VersionSpec& spec) {
    fixtures::Resource resource;
    resource.language = 0x0409;
    resource.data = fixtures::VersionBlock32(spec);
    return fixtures::PeWithResources({resource}, kPe32Plus);
}

bool Write(const std::string& relative, const std::vector<uint8_t>& bytes) {
    return fixtures::WriteBytes(g_drive->Host(relative), bytes);
}

// The host path of a Windows path on C: or Z: (relative ones against the
// layer's current directory). Each component is taken as it is on the host or
// else by a match without regard to letter case; the last need not exist.
bool HostPath(LPCSTR path, std::string* host) {
    if (!path || !*path) return false;
    char current[MAX_PATH];
    DWORD n = GetCurrentDirectoryA(MAX_PATH, current);
    if (n == 0 || n >= MAX_PATH) return false;
    std::string full = path;
    bool hasDrive =
        std::isalpha(static_cast<unsigned char>(full[0])) && full.size() > 1 && full[1] == ':';
    if (hasDrive && (full.size() == 2 || (full[2] != '\\' && full[2] != '/')))
        full = std::string(current) + "\\" + full.substr(2);  // "C:x": on the current drive
    else if (!hasDrive && (full[0] == '\\' || full[0] == '/'))
        full = std::string(current, 2) + full;
    else if (!hasDrive)
        full = std::string(current) + "\\" + full;
    char drive = static_cast<char>(std::toupper(static_cast<unsigned char>(full[0])));
    std::string result;
    if (drive == 'C')
        result = g_drive->Root();
    else if (drive != 'Z')
        return false;
    std::vector<std::string> parts;
    std::string part;
    for (size_t i = 2; i <= full.size(); ++i) {
        if (i == full.size() || full[i] == '\\' || full[i] == '/') {
            if (part == "..") {
                if (!parts.empty()) parts.pop_back();
            } else if (!part.empty() && part != ".") {
                parts.push_back(part);
            }
            part.clear();
        } else {
            part += full[i];
        }
    }
    for (const std::string& name : parts) {
        std::string exact = result + "/" + name;
        struct stat st;
        if (lstat(exact.c_str(), &st) != 0) {
            if (DIR* dir = opendir(result.empty() ? "/" : result.c_str())) {
                while (dirent* entry = readdir(dir)) {
                    if (scaffold_lstrcmpiA(entry->d_name, name.c_str()) == 0) {
                        exact = result + "/" + entry->d_name;
                        break;
                    }
                }
                closedir(dir);
            }
        }
        result = exact;
    }
    *host = result.empty() ? "/" : result;
    return true;
}

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

}  // namespace

bool NativeSetUp(std::vector<std::string>* currentDirectories) {
    g_drive = std::make_unique<support::TempDrive>();
    if (g_drive->Root() == "/tmp") return false;
    g_drive->MakeDirs("windows/system32");
    g_drive->MakeDirs("windows/temp");
    g_drive->MakeDirs("winetest");
    g_drive->WriteFile("windows/win.ini", std::string("[windows]\r\n"));
    if (!Write("windows/system32/kernel32.dll", PeWithVersion(SystemModuleSpec("kernel32.dll"))) ||
        !Write("windows/system32/regsvr32.exe", PeWithVersion(SystemModuleSpec("regsvr32.exe"))) ||
        !Write("winetest/wine_conformance.exe", PeWithVersion(TestProgramSpec())))
        return false;

    char pattern[] = "/tmp/purgelib-wine-cwd-XXXXXX";
    if (!mkdtemp(pattern)) return false;
    g_hostFolder = pattern;
    std::string zPath = "Z:" + g_hostFolder;
    for (char& c : zPath)
        if (c == '/') c = '\\';
    g_tempCounter = static_cast<UINT>(getpid() ^ std::time(nullptr)) & 0xFFFFu;
    currentDirectories->push_back("C:\\winetest");
    currentDirectories->push_back(zPath);
    return true;
}

void NativeTearDown() {
    if (!g_hostFolder.empty()) {
        std::error_code ignored;
        for (auto& entry : std::filesystem::recursive_directory_iterator(g_hostFolder, ignored))
            chmod(entry.path().c_str(), 0755);
        std::filesystem::remove_all(g_hostFolder, ignored);
    }
    g_drive.reset();
}

extern "C" {

// --- Memory and strings ---------------------------------------------------

HANDLE scaffold_GetProcessHeap(void) {
    static int heap;
    return &heap;
}

LPVOID scaffold_HeapAlloc(HANDLE, DWORD flags, SIZE_T bytes) {
    return (flags & HEAP_ZERO_MEMORY) ? std::calloc(1, bytes ? bytes : 1)
                                      : std::malloc(bytes ? bytes : 1);
}

BOOL scaffold_HeapFree(HANDLE, DWORD, LPVOID block) {
    std::free(block);
    return TRUE;
}

// Fixed blocks only (LPTR): the handle is the block's address.
HLOCAL scaffold_LocalAlloc(UINT, SIZE_T bytes) {
    return std::calloc(1, bytes ? bytes : 1);
}

LPVOID scaffold_LocalLock(HLOCAL block) {
    return block;
}

HLOCAL scaffold_LocalFree(HLOCAL block) {
    std::free(block);
    return nullptr;
}

int scaffold_lstrlenA(LPCSTR text) {
    return text ? static_cast<int>(std::strlen(text)) : 0;
}

LPSTR scaffold_lstrcpyA(LPSTR to, LPCSTR from) {
    return std::strcpy(to, from);
}

LPSTR scaffold_lstrcatA(LPSTR to, LPCSTR from) {
    return std::strcat(to, from);
}

int scaffold_lstrcmpA(LPCSTR a, LPCSTR b) {
    return std::strcmp(a, b);
}

int scaffold_lstrcmpiA(LPCSTR a, LPCSTR b) {
    for (;; ++a, ++b) {
        int ca = std::tolower(static_cast<unsigned char>(*a));
        int cb = std::tolower(static_cast<unsigned char>(*b));
        if (ca != cb || !ca) return ca - cb;
    }
}

// --- Temporary files and folders -----------------------------------------

DWORD scaffold_GetTempPathA(DWORD size, LPSTR buffer) {
    static const char kTemp[] = "C:\\windows\\temp\\";
    const DWORD length = sizeof kTemp - 1;
    if (size <= length) return length + 1;
    std::memcpy(buffer, kTemp, sizeof kTemp);
    return length;
}

UINT scaffold_GetTempFileNameA(LPCSTR path, LPCSTR prefix, UINT unique, LPSTR name) {
    std::string base = path;
    if (!base.empty() && base.back() != '\\') base += '\\';
    base += std::string(prefix).substr(0, 3);
    char number[16];
    if (unique) {
        std::snprintf(number, sizeof number, "%X.tmp", unique & 0xFFFFu);
        std::strcpy(name, (base + number).c_str());
        return unique;
    }
    for (int tries = 0; tries < 0x10000; ++tries) {
        UINT n = (++g_tempCounter) & 0xFFFFu;
        if (!n) continue;
        std::snprintf(number, sizeof number, "%X.tmp", n);
        std::string candidate = base + number;
        HANDLE file = CreateFileA(candidate.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            std::strcpy(name, candidate.c_str());
            return n;
        }
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) return 0;
    }
    return 0;
}

BOOL scaffold_CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES) {
    std::string host;
    if (!HostPath(path, &host)) return Fail(ERROR_PATH_NOT_FOUND);
    if (mkdir(host.c_str(), 0777) != 0)
        return Fail(errno == EEXIST ? ERROR_ALREADY_EXISTS : ERROR_PATH_NOT_FOUND);
    return TRUE;
}

BOOL scaffold_RemoveDirectoryA(LPCSTR path) {
    std::string host;
    if (!HostPath(path, &host)) return Fail(ERROR_PATH_NOT_FOUND);
    if (rmdir(host.c_str()) != 0)
        return Fail(errno == ENOENT      ? ERROR_FILE_NOT_FOUND
                    : errno == ENOTDIR   ? ERROR_DIRECTORY
                    : errno == ENOTEMPTY ? ERROR_DIR_NOT_EMPTY
                                         : ERROR_ACCESS_DENIED);
    return TRUE;
}

// --- File calls built from the declared ones -----------------------------

HFILE scaffold__lcreat(LPCSTR path, int attributes) {
    const DWORD kept =
        static_cast<DWORD>(attributes) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    HANDLE file =
        CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    CREATE_ALWAYS, kept, nullptr);
    if (file == INVALID_HANDLE_VALUE) return HFILE_ERROR;
    CloseHandle(file);
    OFSTRUCT info;
    HFILE result = OpenFile(path, &info, OF_READWRITE);
    if (result != HFILE_ERROR && (attributes & FILE_ATTRIBUTE_READONLY)) {
        DWORD now = GetFileAttributesA(path);
        if (now != INVALID_FILE_ATTRIBUTES) SetFileAttributesA(path, now | FILE_ATTRIBUTE_READONLY);
    }
    return result;
}

HFILE scaffold__lopen(LPCSTR path, int style) {
    OFSTRUCT info;
    return OpenFile(path, &info, static_cast<UINT>(style));
}

LONG scaffold__hwrite(HFILE file, LPCSTR buffer, LONG count) {
    if (count <= 0) return 0;
    DWORD written = 0;
    if (!WriteFile(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(file)), buffer,
                   static_cast<DWORD>(count), &written, nullptr))
        return HFILE_ERROR;
    return static_cast<LONG>(written);
}

UINT scaffold__lwrite(HFILE file, LPCSTR buffer, UINT count) {
    return static_cast<UINT>(scaffold__hwrite(file, buffer, static_cast<LONG>(count)));
}

LONG scaffold__hread(HFILE file, LPVOID buffer, LONG count) {
    return static_cast<LONG>(_lread(file, buffer, static_cast<UINT>(count)));
}

// --- The test program's own file -----------------------------------------

DWORD scaffold_GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size) {
    if (module) return GetModuleFileNameA(module, buffer, size);
    const DWORD length = sizeof kProgram - 1;
    if (size == 0) return 0;
    if (size <= length) {
        std::memcpy(buffer, kProgram, size - 1);
        buffer[size - 1] = '\0';
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    std::memcpy(buffer, kProgram, sizeof kProgram);
    return length;
}

}  // extern "C"
