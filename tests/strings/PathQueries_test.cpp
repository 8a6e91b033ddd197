// CPathStr's directory queries on a real temporary tree that serves as C:.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/Windows.h"
#include "platform/posix/PosixPaths.h"
#include "strings/PathStr.h"
#include "tests/support/TempDrive.h"

namespace fs = std::filesystem;

namespace {

class PathQueries : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/purgelib-paths-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_root = pattern;
        fs::create_directories(m_root / "windows" / "system32" / "drivers");
        fs::create_directories(m_root / "files");
        fs::create_directories(m_root / "empty");
        std::ofstream(m_root / "windows" / "system32" / "capi.dll") << "x";
        std::ofstream(m_root / "files" / "a.txt") << "a";
        std::ofstream(m_root / "boot.ini") << "";
        posix::SetDriveRoot(m_root.c_str());
        m_saved = Current();
    }
    void TearDown() override {
        SetCurrentDirectoryA(m_saved.c_str());
        posix::SetDriveRoot(nullptr);
        fs::remove_all(m_root);
    }
    static std::string Current() {
        char buffer[1024];
        DWORD length = GetCurrentDirectoryA(sizeof buffer, buffer);
        return length > 0 && length < sizeof buffer ? std::string(buffer) : std::string("<fail>");
    }

    fs::path m_root;
    std::string m_saved;
};

TEST_F(PathQueries, DoesDirExistRestoresTheCurrentDirectory) {
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\windows"));
    support::DebugCapture capture(1);

    CPathStr dir("c:\\WINDOWS\\System32", 255);
    EXPECT_EQ(dir.DoesDirExist(), 1);
    EXPECT_EQ(Current(), "C:\\windows");
    EXPECT_EQ(capture.With("DoesDirExist 'c:\\WINDOWS\\System32'? Ja").size(), 1u);

    // Relative to the current directory, which is back in place for the next
    // relative query.
    CPathStr relative("system32\\drivers", 255);
    EXPECT_EQ(relative.DoesDirExist(), 1);
    EXPECT_EQ(relative.DoesDirExist(), 1);
    EXPECT_EQ(Current(), "C:\\windows");

    CPathStr missing("C:\\windows\\nothere", 255);
    EXPECT_EQ(missing.DoesDirExist(), 0);
    EXPECT_EQ(Current(), "C:\\windows");
    int detail = 0;
    EXPECT_EQ(missing.GetError(&detail), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(detail, 1024);
    EXPECT_EQ(capture.With("DoesDirExist 'C:\\windows\\nothere'? Nein").size(), 1u);

    // A success does not clear an earlier pair.
    missing.Set("C:\\files", 0);
    EXPECT_EQ(missing.DoesDirExist(), 1);
    EXPECT_EQ(missing.GetError(nullptr), ERROR_FILE_NOT_FOUND);

    CPathStr file("C:\\boot.ini", 255);
    EXPECT_EQ(file.DoesDirExist(), 0);
    EXPECT_EQ(file.GetError(&detail), ERROR_DIRECTORY);
    EXPECT_EQ(detail, 1024);
    EXPECT_EQ(Current(), "C:\\windows");
}

TEST_F(PathQueries, DoesDirExistWithoutText) {
    for (const char* text : {"", " \t"}) {
        CPathStr blank(text, 255);
        EXPECT_EQ(blank.DoesDirExist(), 0);
        int detail = 7;
        EXPECT_EQ(blank.GetError(&detail), 0);
        EXPECT_EQ(detail, 0);
    }
    CPathStr none("x", 255);
    none.FreeBuffer();
    EXPECT_EQ(none.DoesDirExist(), 0);
    EXPECT_EQ(none.GetError(nullptr), 0);
}

TEST_F(PathQueries, DoesDirExistRestoresALongCurrentDirectory) {
    // A current directory longer than the 255 characters of the usual buffer.
    std::string a(100, 'a'), b(100, 'b'), c(51, 'c');
    fs::create_directories(m_root / a / b / c);
    std::string longDir = "C:\\" + a + "\\" + b + "\\" + c;
    ASSERT_EQ(longDir.size(), 256u);
    ASSERT_TRUE(SetCurrentDirectoryA(longDir.c_str()));
    CPathStr dir("C:\\windows", 255);
    EXPECT_EQ(dir.DoesDirExist(), 1);
    EXPECT_EQ(Current(), longDir);
    CPathStr missing("C:\\nothere", 255);
    EXPECT_EQ(missing.DoesDirExist(), 0);
    EXPECT_EQ(Current(), longDir);
}

TEST_F(PathQueries, EntriesAndSubdirectories) {
    struct Case {
        const char* path;
        int hasSubDir;
        int notEmpty;
    };
    const Case cases[] = {
        {"C:\\windows", 1, 1},    // only a directory
        {"C:\\windows\\", 1, 1},  // with its backslash
        {"C:\\files", 0, 1},      // only a file
        {"C:\\empty", 0, 0},      // only "." and ".."
        {"C:\\windows\\system32", 1, 1},
        {"C:\\", 1, 1},          // a drive root lists no dots
        {"C:\\boot.ini", 0, 0},  // a file
        {"C:\\nothere", 0, 0},
        {"", 0, 0},
        {"  ", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        CPathStr path(c.path, 255);
        EXPECT_EQ(path.HasSubDir(), c.hasSubDir);
        EXPECT_EQ(path.IsNotEmptyDir(), c.notEmpty);
        EXPECT_EQ(path.GetError(nullptr), 0);
    }
    CPathStr none("x", 255);
    none.FreeBuffer();
    EXPECT_EQ(none.HasSubDir(), 0);
    EXPECT_EQ(none.IsNotEmptyDir(), 0);
}

TEST_F(PathQueries, SearchPatternLongerThanThePathLimitIsAnsweredSafely) {
    // Directories of 257 and 258 characters: "\*" still fits the 260-byte
    // pattern for the first, not for the second.
    std::string a(100, 'a'), b(100, 'b');
    for (size_t length : {257u, 258u}) {
        SCOPED_TRACE(length);
        std::string c(length - 205, 'c');
        fs::create_directories(m_root / a / b / c / "sub");
        std::string dir = "C:\\" + a + "\\" + b + "\\" + c;
        ASSERT_EQ(dir.size(), length);
        CPathStr path(dir.c_str(), 0);
        ASSERT_EQ(path.IsDir(), 16);
        int expected = length == 257 ? 1 : 0;
        EXPECT_EQ(path.HasSubDir(), expected);
        EXPECT_EQ(path.IsNotEmptyDir(), expected);
    }
}

TEST_F(PathQueries, IsNotEmptyDirTraces) {
    support::DebugCapture capture(1);
    CPathStr path("C:\\files", 255);
    path.IsNotEmptyDir();
    EXPECT_EQ(capture.With("CPathStr::IsNotEmptyDir").size(), 1u);
}

}  // namespace
