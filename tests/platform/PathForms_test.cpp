// The forms of a Windows path the layer knows: prefixes, separators, names
// Windows refuses, DOS devices, trailing separators, dots and spaces; and the
// layout lookups that take only an entry of the right kind.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "platform/Windows.h"
#include "platform/posix/PosixPaths.h"
#include "strings/PathStr.h"
#include "tests/support/TempDrive.h"

namespace {

constexpr DWORD kAbsent = INVALID_FILE_ATTRIBUTES;

class PathForms : public ::testing::Test {
protected:
    void SetUp() override {
        drive.WriteFile("windows/file.dll", "MZ");
        drive.MakeDirs("windows/sub");
    }
    support::TempDrive drive;
};

TEST_F(PathForms, AttributesAndErrorsAsWindowsGivesThem) {
    const std::string host = drive.Host("windows");
    const std::string longName(200, '\xFC');  // 400 bytes in UTF-8: more than a host name holds
    const struct {
        std::string path;
        DWORD attributes;
        DWORD error;  // when absent
    } cases[] = {
        {"\\\\?\\C:\\windows\\file.dll", FILE_ATTRIBUTE_ARCHIVE, 0},
        {"\\\\.\\C:\\windows\\file.dll", FILE_ATTRIBUTE_ARCHIVE, 0},
        {"//?/c:/windows/file.dll", FILE_ATTRIBUTE_ARCHIVE, 0},
        {"\\\\?\\C:", FILE_ATTRIBUTE_DIRECTORY, 0},  // the volume
        {"\\\\?\\UNC\\server\\share\\x", kAbsent, ERROR_PATH_NOT_FOUND},
        {"\\\\server\\share\\x", kAbsent, ERROR_PATH_NOT_FOUND},
        {host + "\\file.dll", FILE_ATTRIBUTE_ARCHIVE, 0},  // a host path with '\'
        {host + "\\sub/..\\file.dll", FILE_ATTRIBUTE_ARCHIVE, 0},
        {"c:c:\\windows", kAbsent, ERROR_INVALID_NAME},
        {"C:\\windows\\*.*", kAbsent, ERROR_INVALID_NAME},
        {"C:\\win?ows\\file.dll", kAbsent, ERROR_INVALID_NAME},
        {"C:\\windows\\a|b", kAbsent, ERROR_INVALID_NAME},
        {"C:\\windows\\", FILE_ATTRIBUTE_DIRECTORY, 0},
        {"C:\\windows\\file.dll\\", kAbsent, ERROR_DIRECTORY},  // a file is not a folder
        {"C:\\missing\\", kAbsent, ERROR_PATH_NOT_FOUND},
        {"C:\\windows\\missing.dll\\", kAbsent, ERROR_PATH_NOT_FOUND},
        {"C:\\windows\\file.dll. .", FILE_ATTRIBUTE_ARCHIVE, 0},  // trailing dots and spaces go
        {"C:\\windows.\\file.dll", FILE_ATTRIBUTE_ARCHIVE, 0},
        {"C:\\windows\\" + longName, kAbsent, ERROR_FILENAME_EXCED_RANGE},
        {"nul", FILE_ATTRIBUTE_ARCHIVE, 0},  // DOS devices, in any existing folder
        {"C:\\windows\\NUL.txt", FILE_ATTRIBUTE_ARCHIVE, 0},
        {"C:\\windows\\lpt1", FILE_ATTRIBUTE_ARCHIVE, 0},
        {"\\\\.\\nul", FILE_ATTRIBUTE_ARCHIVE, 0},
        {"C:\\missing\\nul", kAbsent, ERROR_PATH_NOT_FOUND},
        {"C:\\windows\\nul\\x", kAbsent, ERROR_PATH_NOT_FOUND},  // only a file name is a device
        {"C:\\windows\\null.dll", kAbsent, ERROR_FILE_NOT_FOUND},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        SetLastError(0);
        EXPECT_EQ(GetFileAttributesA(c.path.c_str()), c.attributes);
        if (c.attributes == kAbsent) {
            EXPECT_EQ(GetLastError(), c.error);
        }
    }
}

TEST_F(PathForms, DevicesOpenAsWindowsOpensThemWithoutHardware) {
    HANDLE nul = CreateFileA("C:\\windows\\nul.log", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(nul, INVALID_HANDLE_VALUE);
    DWORD done = 0;
    EXPECT_TRUE(WriteFile(nul, "12345", 5, &done, nullptr));
    EXPECT_EQ(done, 5u);
    char byte;
    EXPECT_TRUE(ReadFile(nul, &byte, 1, &done, nullptr));
    EXPECT_EQ(done, 0u);
    CloseHandle(nul);
    EXPECT_FALSE(drive.Exists("windows/nul.log"));

    const struct {
        const char* path;
        DWORD error;
    } refused[] = {
        {"com1", ERROR_FILE_NOT_FOUND},     {"C:\\windows\\LPT9.dll", ERROR_FILE_NOT_FOUND},
        {"\\\\?\\C:", ERROR_ACCESS_DENIED},  // the volume is not opened here
        {"\\\\.\\C:", ERROR_ACCESS_DENIED}, {"\\\\.\\PhysicalDrive0", ERROR_FILE_NOT_FOUND},
        {"c:\\*.*", ERROR_INVALID_NAME},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(CreateFileA(c.path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr),
                  INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), c.error);
    }
    EXPECT_FALSE(DeleteFileA("nul"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(SetFileAttributesA("C:\\windows\\con", FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

    // A search for a device finds it alone.
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA("C:\\nul", &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_STREQ(data.cFileName, "nul");
    EXPECT_EQ(data.dwFileAttributes, static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(data.nFileSizeLow, 0u);
    EXPECT_FALSE(FindNextFileA(find, &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    EXPECT_TRUE(FindClose(find));
}

TEST_F(PathForms, SearchesEndingInASeparator) {
    WIN32_FIND_DATAA data;
    const struct {
        const char* pattern;
        DWORD error;
    } cases[] = {
        {"C:\\missing\\", ERROR_PATH_NOT_FOUND},
        {"C:\\windows\\", ERROR_FILE_NOT_FOUND},
        {"C:\\nul\\*", ERROR_PATH_NOT_FOUND},
        {"C:\\windows\\file.dll\\*", ERROR_DIRECTORY},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pattern);
        EXPECT_EQ(FindFirstFileA(c.pattern, &data), INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), c.error);
    }
}

TEST_F(PathForms, PathStringsWorkOnHostPaths) {
    CPathStr folder(drive.Host("windows").c_str(), 255);
    EXPECT_TRUE(folder.HasSubDir());
    EXPECT_TRUE(folder.IsNotEmptyDir());
    folder.AddPath("file.dll");  // "/tmp/...\file.dll"
    EXPECT_TRUE(folder.DoesFileExist(OPEN_EXISTING));
    CPathStr empty(drive.Host("windows/sub").c_str(), 255);
    EXPECT_FALSE(empty.IsNotEmptyDir());
}

// Which entry a folder component takes, and the Windows and system
// directories, on layouts where names of other kinds stand in the way.
TEST(FolderLookup, OnlyAFolderMatchesAFolderComponent) {
    const struct {
        const char* what;
        const char* files;    // ';'-separated, relative to the root
        const char* folders;  // likewise
        const char* links;    // "name>target;..."
        const char* windows;
        const char* system;
    } cases[] = {
        {"a file windows beside a winnt folder", "windows", "winnt/system32", "", "C:\\winnt",
         "C:\\winnt\\system32"},
        {"a dangling windows link beside a Windows folder", "", "Windows/system32",
         "windows>nowhere", "C:\\Windows", "C:\\Windows\\system32"},
        {"a file system32 beside a System32 folder", "windows/system32", "windows/System32", "",
         "C:\\windows", "C:\\windows\\System32"},
        {"system only (Windows 9x)", "", "WINDOWS/SYSTEM", "", "C:\\WINDOWS",
         "C:\\WINDOWS\\SYSTEM"},
        {"system32 a link inside the root", "", "windows/sys64", "windows/system32>/windows/sys64",
         "C:\\windows", "C:\\windows\\system32"},
        {"system32 a link to outside the root", "", "windows/system", "windows/system32>/tmp",
         "C:\\windows", "C:\\windows\\system"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        support::TempDrive drive;
        auto each = [](const char* list, auto&& fn) {
            std::string all = list;
            size_t start = 0;
            while (start < all.size()) {
                size_t end = all.find(';', start);
                if (end == std::string::npos) end = all.size();
                fn(all.substr(start, end - start));
                start = end + 1;
            }
        };
        each(c.folders, [&](const std::string& f) { drive.MakeDirs(f); });
        each(c.files, [&](const std::string& f) { drive.WriteFile(f, "x"); });
        each(c.links, [&](const std::string& l) {
            size_t arrow = l.find('>');
            ASSERT_EQ(symlink(l.substr(arrow + 1).c_str(), drive.Host(l.substr(0, arrow)).c_str()),
                      0);
        });
        char buffer[MAX_PATH] = {};
        GetWindowsDirectoryA(buffer, sizeof buffer);
        EXPECT_STREQ(buffer, c.windows);
        GetSystemDirectoryA(buffer, sizeof buffer);
        EXPECT_STREQ(buffer, c.system);
        EXPECT_EQ(GetFileAttributesA(c.system), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    }
}

}  // namespace
