// CPathStr's directory queries on a real temporary tree that serves as C:.
#include <gtest/gtest.h>

#include <iterator>
#include <string>

#include "platform/Windows.h"
#include "tests/strings/StringChecks.h"
#include "tests/support/TempDrive.h"

namespace {

class PathQueries : public ::testing::Test {
protected:
    void SetUp() override {
        m_drive.MakeDirs("windows/system32/drivers");
        m_drive.MakeDirs("empty");
        m_drive.WriteFile("files/a.txt", "a");
        m_drive.WriteFile("boot.ini", "");
        m_saved = Current();
    }
    void TearDown() override { SetCurrentDirectoryA(m_saved.c_str()); }
    static std::string Current() {
        char buffer[1024];
        DWORD length = GetCurrentDirectoryA(sizeof buffer, buffer);
        return length > 0 && length < sizeof buffer ? std::string(buffer) : std::string("<fail>");
    }

    support::TempDrive m_drive;
    std::string m_saved;
};

TEST_F(PathQueries, DoesDirExistRestoresTheCurrentDirectory) {
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\windows"));
    support::DebugCapture capture(1);

    CPathStr dir("c:\\WINDOWS\\System32", 255);
    EXPECT_EQ(dir.DoesDirExist(), 1);
    EXPECT_EQ(capture.With("DoesDirExist 'c:\\WINDOWS\\System32'? Ja").size(), 1u);
    // Relative to the current directory, which is back in place afterwards.
    EXPECT_EQ(CPathStr("system32\\drivers", 255).DoesDirExist(), 1);
    EXPECT_EQ(Current(), "C:\\windows");

    CPathStr missing("C:\\windows\\nothere", 255);
    EXPECT_EQ(missing.DoesDirExist(), 0);
    EXPECT_EQ(Current(), "C:\\windows");
    int detail = 0;
    EXPECT_EQ(missing.GetError(&detail), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(detail, 1024);
    EXPECT_EQ(capture.With("DoesDirExist 'C:\\windows\\nothere'? Nein").size(), 1u);
    missing.Set("C:\\files", 0);
    EXPECT_EQ(missing.DoesDirExist(), 1);
    EXPECT_EQ(missing.GetError(nullptr), ERROR_FILE_NOT_FOUND);  // a success clears nothing

    CPathStr file("C:\\boot.ini", 255);
    EXPECT_EQ(file.DoesDirExist(), 0);
    EXPECT_EQ(file.GetError(&detail), ERROR_DIRECTORY);
    EXPECT_EQ(detail, 1024);
    EXPECT_EQ(Current(), "C:\\windows");

    // Without a text there is nothing to enter and no error to record.
    for (const char* blank : {"", " \t", static_cast<const char*>(nullptr)}) {
        Made<CPathStr> none(blank);
        EXPECT_EQ(none.DoesDirExist(), 0);
        detail = 7;
        EXPECT_EQ(none.GetError(&detail), 0);
        EXPECT_EQ(detail, 0);
    }
}

TEST_F(PathQueries, DoesDirExistRestoresALongCurrentDirectory) {
    // A current directory longer than the 255 characters of the usual buffer.
    std::string a(100, 'a'), b(100, 'b'), c(51, 'c');
    m_drive.MakeDirs(a + "/" + b + "/" + c);
    std::string longDir = "C:\\" + a + "\\" + b + "\\" + c;
    ASSERT_EQ(longDir.size(), 256u);
    ASSERT_TRUE(SetCurrentDirectoryA(longDir.c_str()));
    EXPECT_EQ(CPathStr("C:\\windows", 255).DoesDirExist(), 1);
    EXPECT_EQ(Current(), longDir);
    EXPECT_EQ(CPathStr("C:\\nothere", 255).DoesDirExist(), 0);
    EXPECT_EQ(Current(), longDir);
}

TEST_F(PathQueries, EntriesAndSubdirectories) {
    const struct {
        const char* path;
        int hasSubDir;
        int notEmpty;
    } cases[] = {
        {"C:\\windows", 1, 1},    // only a directory
        {"C:\\windows\\", 1, 1},  // with its backslash
        {"C:\\files", 0, 1},      // only a file
        {"C:\\empty", 0, 0},      // only "." and ".."
        {"C:\\", 1, 1},           // a drive root lists no dots
        {"C:\\boot.ini", 0, 0},   // a file
        {"C:\\nothere", 0, 0},   {"", 0, 0}, {"  ", 0, 0}, {nullptr, 0, 0},
    };
    support::DebugCapture capture(1);
    for (const auto& c : cases) {
        SCOPED_TRACE(Text(c.path));
        Made<CPathStr> path(c.path);
        EXPECT_EQ(path.HasSubDir(), c.hasSubDir);
        EXPECT_EQ(path.IsNotEmptyDir(), c.notEmpty);
        EXPECT_EQ(path.GetError(nullptr), 0);
    }
    EXPECT_EQ(capture.With("CPathStr::IsNotEmptyDir").size(), std::size(cases));
}

TEST_F(PathQueries, SearchPatternLongerThanThePathLimitIsAnsweredSafely) {
    // Directories of 257 and 258 characters: "\*" still fits the 260-byte
    // pattern for the first, not for the second.
    std::string a(100, 'a'), b(100, 'b');
    for (size_t length : {257u, 258u}) {
        SCOPED_TRACE(length);
        std::string c(length - 205, 'c');
        m_drive.MakeDirs(a + "/" + b + "/" + c + "/sub");
        std::string dir = "C:\\" + a + "\\" + b + "\\" + c;
        ASSERT_EQ(dir.size(), length);
        CPathStr path(dir.c_str(), 0);
        ASSERT_EQ(path.IsDir(), 16);
        int expected = length == 257 ? 1 : 0;
        EXPECT_EQ(path.HasSubDir(), expected);
        EXPECT_EQ(path.IsNotEmptyDir(), expected);
    }
}

}  // namespace
