// The current directory and directory enumeration of the POSIX layer, on a
// real temporary tree that serves as drive C:.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/Windows.h"
#include "platform/posix/PosixDirectories.h"
#include "platform/posix/PosixPaths.h"

namespace fs = std::filesystem;

namespace {

class Directories : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/purgelib-dirs-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_root = pattern;
        fs::create_directories(m_root / "WINDOWS" / "System32" / "Sub");
        fs::create_directories(m_root / "empty");
        Write(m_root / "WINDOWS" / "System32" / "CAPI.DLL", "12345");
        Write(m_root / "WINDOWS" / "System32" / "capi20.dll", "");
        Write(m_root / "WINDOWS" / "System32" / "readme.TXT", "");
        Write(m_root / "boot.ini", "");
        posix::SetDriveRoot(m_root.c_str());
        char saved[MAX_PATH];
        ASSERT_GT(GetCurrentDirectoryA(sizeof saved, saved), 0u);
        m_saved = saved;
    }
    void TearDown() override {
        SetCurrentDirectoryA(m_saved.c_str());
        posix::SetDriveRoot(nullptr);
        fs::remove_all(m_root);
    }
    static void Write(const fs::path& path, const char* text) { std::ofstream(path) << text; }
    static std::string Current() {
        char buffer[MAX_PATH];
        DWORD length = GetCurrentDirectoryA(sizeof buffer, buffer);
        return length > 0 && length < sizeof buffer ? std::string(buffer) : std::string("<fail>");
    }
    // The names of a search, in the order given.
    static std::vector<std::string> List(const char* pattern) {
        std::vector<std::string> names;
        WIN32_FIND_DATAA data;
        HANDLE find = FindFirstFileA(pattern, &data);
        if (find == INVALID_HANDLE_VALUE) return names;
        do names.push_back(data.cFileName);
        while (FindNextFileA(find, &data));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
        EXPECT_TRUE(FindClose(find));
        return names;
    }

    fs::path m_root;
    std::string m_saved;
};

using Names = std::vector<std::string>;

// Runs first in this file, before any test sets a current directory.
TEST_F(Directories, UntilSetTheHostWorkingDirectoryIsSeenThroughTheDrives) {
    if (posix::CurrentDirectoryIsSet()) GTEST_SKIP() << "a current directory was set earlier";
    char hostCwd[4096];
    ASSERT_NE(getcwd(hostCwd, sizeof hostCwd), nullptr);
    std::string expected = std::string("Z:") + hostCwd;
    for (char& ch : expected)
        if (ch == '/') ch = '\\';
    EXPECT_EQ(Current(), expected);
    // Below the drive root the working directory is on C:, and relative
    // paths still resolve against it.
    ASSERT_EQ(chdir((m_root / "WINDOWS" / "System32").c_str()), 0);
    EXPECT_EQ(Current(), "C:\\WINDOWS\\System32");
    EXPECT_EQ(GetFileAttributesA("capi.dll"), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(GetFileAttributesA("\\boot.ini"), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_FALSE(posix::CurrentDirectoryIsSet());
    ASSERT_EQ(chdir(hostCwd), 0);
}

TEST_F(Directories, CurrentDirectoryIsKeptInWindowsForm) {
    ASSERT_TRUE(SetCurrentDirectoryA("c:\\windows\\SYSTEM32"));
    EXPECT_EQ(Current(), "C:\\windows\\SYSTEM32");  // as given, found without regard to case
    ASSERT_TRUE(SetCurrentDirectoryA(".."));
    EXPECT_EQ(Current(), "C:\\windows");
    ASSERT_TRUE(SetCurrentDirectoryA("System32\\sub\\..\\.\\"));
    EXPECT_EQ(Current(), "C:\\windows\\System32");
    ASSERT_TRUE(SetCurrentDirectoryA("\\"));
    EXPECT_EQ(Current(), "C:\\");
    ASSERT_TRUE(SetCurrentDirectoryA(".."));  // never above the root
    EXPECT_EQ(Current(), "C:\\");
    ASSERT_TRUE(SetCurrentDirectoryA(m_root.c_str()));  // a host path is on Z:
    std::string host = m_root.string();
    for (char& ch : host)
        if (ch == '/') ch = '\\';
    EXPECT_EQ(Current(), "Z:" + host);
}

TEST_F(Directories, RelativePathsResolveAgainstTheCurrentDirectory) {
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\Windows\\System32"));
    EXPECT_EQ(GetFileAttributesA("capi.dll"), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(GetFileAttributesA("Sub"), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(GetFileAttributesA("..\\system32\\README.txt"),
              static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(GetFileAttributesA("C:capi20.dll"), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(GetFileAttributesA("\\boot.ini"), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(GetFileAttributesA("boot.ini"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    HANDLE file = CreateFileA("CAPI.dll", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    char bytes[8] = {};
    DWORD read = 0;
    EXPECT_TRUE(ReadFile(file, bytes, sizeof bytes, &read, nullptr));
    EXPECT_EQ(std::string(bytes, read), "12345");
    CloseHandle(file);
    // A drive other than the current one: "Z:x" starts at Z:'s root.
    EXPECT_EQ(GetFileAttributesA("Z:tmp"), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
}

TEST_F(Directories, CurrentDirectoryBufferSizes) {
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\windows"));
    const DWORD length = 10;  // C:\windows
    EXPECT_EQ(GetCurrentDirectoryA(0, nullptr), length + 1);
    char buffer[16];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(GetCurrentDirectoryA(length, buffer), length + 1);  // no room for the terminator
    EXPECT_EQ(buffer[0], 'x');
    EXPECT_EQ(GetCurrentDirectoryA(length + 1, buffer), length);
    EXPECT_STREQ(buffer, "C:\\windows");
}

TEST_F(Directories, FailedChangesKeepTheCurrentDirectory) {
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\windows"));
    struct Case {
        const char* path;
        DWORD error;
    };
    std::string tooLong = "C:\\" + std::string(300, 'a');
    const Case cases[] = {
        {"C:\\nothere", ERROR_FILE_NOT_FOUND},
        {"C:\\nothere\\deeper", ERROR_PATH_NOT_FOUND},
        {"C:\\boot.ini", ERROR_DIRECTORY},
        {"D:\\", ERROR_PATH_NOT_FOUND},
        {"\\\\server\\share", ERROR_PATH_NOT_FOUND},
        {tooLong.c_str(), ERROR_FILENAME_EXCED_RANGE},
        {"", ERROR_INVALID_PARAMETER},
        {nullptr, ERROR_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path ? c.path : "(null)");
        SetLastError(0);
        EXPECT_FALSE(SetCurrentDirectoryA(c.path));
        EXPECT_EQ(GetLastError(), c.error);
        EXPECT_EQ(Current(), "C:\\windows");
    }
}

TEST_F(Directories, SearchListsDotsSortedNamesAndAttributes) {
    EXPECT_EQ(List("C:\\windows\\system32\\*"),
              (Names{".", "..", "CAPI.DLL", "capi20.dll", "readme.TXT", "Sub"}));
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA("c:\\WINDOWS\\System32\\capi.dll", &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_STREQ(data.cFileName, "CAPI.DLL");  // the name on disk
    EXPECT_EQ(data.dwFileAttributes, static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(data.nFileSizeLow, 5u);
    EXPECT_EQ(data.nFileSizeHigh, 0u);
    EXPECT_GT(data.ftLastWriteTime.dwHighDateTime, 0u);
    EXPECT_FALSE(FindNextFileA(find, &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    EXPECT_TRUE(FindClose(find));
    EXPECT_FALSE(FindClose(find));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

    find = FindFirstFileA("C:\\windows\\*", &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_STREQ(data.cFileName, ".");
    EXPECT_EQ(data.dwFileAttributes, static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    FindClose(find);
}

TEST_F(Directories, WildcardsIgnoreLetterCase) {
    EXPECT_EQ(List("C:\\windows\\system32\\*.DLL"), (Names{"CAPI.DLL", "capi20.dll"}));
    EXPECT_EQ(List("C:\\windows\\system32\\C?PI.*"), (Names{"CAPI.DLL"}));
    EXPECT_EQ(List("C:\\windows\\system32\\*.*"),
              (Names{".", "..", "CAPI.DLL", "capi20.dll", "readme.TXT", "Sub"}));
    EXPECT_EQ(List("C:\\windows\\system32\\*i*"), (Names{"CAPI.DLL", "capi20.dll"}));
    EXPECT_EQ(List("C:\\windows\\system32\\s?b"), (Names{"Sub"}));
}

// The patterns as Windows matches them (PosixNamePattern.h): '*', '?' and '.'
// become the DOS wildcards '<', '>' and '"' where Windows turns them into
// those, a final '.' asks for names without an extension, trailing dots and
// spaces go, and names that are no 8.3 names match through their short alias
// too (so "*.htm" finds "x.html", as on Windows).
TEST_F(Directories, WildcardsMatchAsOnWindows) {
    for (const char* name : {"a", "ab", "a.b", "a.b.c", ".hidden", "x.html", "abc.txt"})
        Write(m_root / "empty" / name, "");
    const Names all = {".", "..", ".hidden", "a", "a.b", "a.b.c", "ab", "abc.txt", "x.html"};
    struct Case {
        const char* pattern;
        Names names;
    };
    const Case cases[] = {
        {"*", all},
        {"*.*", all},
        {"*. ", all},
        {"*.", {".", "..", ".hidden", "a", "ab"}},
        {"a*.", {"a", "ab"}},
        {"a.*", {"a", "a.b", "a.b.c"}},
        {"a?", {"a", "ab"}},
        {"?.?", {".", "..", "a", "a.b"}},
        {"*.b.", {"a.b"}},
        {"<.c", {"a.b.c"}},
        {"a\"b", {"a.b"}},
        {"*.htm", {"x.html"}},
        {"*.HTML", {"x.html"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pattern);
        EXPECT_EQ(List(("C:\\empty\\" + std::string(c.pattern)).c_str()), c.names);
    }
}

TEST_F(Directories, RootsListNoDotsAndEmptyFoldersOnlyDots) {
    EXPECT_EQ(List("C:\\*"), (Names{"boot.ini", "empty", "WINDOWS"}));
    EXPECT_EQ(List("C:\\empty\\*"), (Names{".", ".."}));
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\windows\\system32\\sub"));
    EXPECT_EQ(List("*"), (Names{".", ".."}));
    EXPECT_EQ(List("..\\*.txt"), (Names{"readme.TXT"}));
}

TEST_F(Directories, FailedSearches) {
    struct Case {
        const char* pattern;
        DWORD error;
    };
    const Case cases[] = {
        {"C:\\windows\\system32\\*.exe", ERROR_FILE_NOT_FOUND},
        {"C:\\empty\\x*", ERROR_FILE_NOT_FOUND},
        {"C:\\missing\\*", ERROR_PATH_NOT_FOUND},
        {"C:\\windows\\", ERROR_FILE_NOT_FOUND},
        {"C:\\boot.ini\\*", ERROR_DIRECTORY},
        {"D:\\*", ERROR_PATH_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pattern);
        WIN32_FIND_DATAA data;
        SetLastError(0);
        EXPECT_EQ(FindFirstFileA(c.pattern, &data), INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), c.error);
    }
    WIN32_FIND_DATAA data;
    EXPECT_EQ(FindFirstFileA(nullptr, &data), INVALID_HANDLE_VALUE);
    EXPECT_FALSE(FindNextFileA(INVALID_HANDLE_VALUE, &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

}  // namespace
