// The POSIX layer's OpenFile/_lread/_llseek/_lclose and global memory, as the
// searcher relies on them.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/Windows.h"
#include "tests/support/TempDrive.h"

namespace {

TEST(LegacyFiles, ReadMoveAndCloseAsTheWin32CallsDo) {
    support::TempDrive drive;
    drive.WriteFile("data/ten.bin", std::string("0123456789"));
    OFSTRUCT info;
    HFILE file = OpenFile("C:\\Data\\TEN.BIN", &info, OF_READ);
    ASSERT_NE(file, HFILE_ERROR);
    EXPECT_STREQ(info.szPathName, "C:\\Data\\TEN.BIN");

    char buffer[16] = {};
    EXPECT_EQ(_lread(file, buffer, 4), 4u);
    EXPECT_EQ(_llseek(file, -3, 1), 1);
    // A move before the start fails and leaves the position alone.
    EXPECT_EQ(_llseek(file, -2, 1), HFILE_ERROR);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NEGATIVE_SEEK));
    EXPECT_EQ(_lread(file, buffer, sizeof buffer), 9u);
    EXPECT_EQ(std::string(buffer, 9), "123456789");
    EXPECT_EQ(_lread(file, buffer, sizeof buffer), 0u);
    EXPECT_EQ(_llseek(file, -2, 2), 8);
    EXPECT_EQ(_lclose(file), 0);
    EXPECT_EQ(_lclose(file), HFILE_ERROR);
    EXPECT_EQ(_lread(file, buffer, 1), static_cast<UINT>(HFILE_ERROR));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(LegacyFiles, OpenFileFailsAsCreateFileDoes) {
    support::TempDrive drive;
    drive.WriteFile("data/f.bin", std::string("x"));
    OFSTRUCT info;
    EXPECT_EQ(OpenFile("C:\\data\\none.bin", &info, OF_READ), HFILE_ERROR);
    EXPECT_EQ(info.nErrCode, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(OpenFile("C:\\data\\f.bin", &info, 0x1000 /* OF_CREATE */), HFILE_ERROR);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));

    // Compatibility mode shares reading and writing, but not with a holder
    // that shares nothing.
    HFILE first = OpenFile("C:\\data\\f.bin", &info, OF_READ);
    HFILE second = OpenFile("C:\\data\\f.bin", &info, OF_READ);
    EXPECT_NE(first, HFILE_ERROR);
    EXPECT_NE(second, HFILE_ERROR);
    EXPECT_NE(first, second);
    _lclose(first);
    _lclose(second);
    HANDLE exclusive = CreateFileA("C:\\data\\f.bin", GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(exclusive, INVALID_HANDLE_VALUE);
    EXPECT_EQ(OpenFile("C:\\data\\f.bin", &info, OF_READ), HFILE_ERROR);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    CloseHandle(exclusive);
}

TEST(GlobalMemory, MovableZeroFilledBlocksWithALockCount) {
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 51000);
    ASSERT_NE(memory, nullptr);
    char* first = static_cast<char*>(GlobalLock(memory));
    char* second = static_cast<char*>(GlobalLock(memory));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    char zeros[51000] = {};
    EXPECT_EQ(std::memcmp(first, zeros, sizeof zeros), 0);
    EXPECT_TRUE(GlobalUnlock(memory));  // still locked once
    EXPECT_FALSE(GlobalUnlock(memory));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(NO_ERROR));
    EXPECT_FALSE(GlobalUnlock(memory));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_LOCKED));
    EXPECT_EQ(GlobalFree(memory), nullptr);
    // A freed or foreign handle is refused, not used.
    EXPECT_EQ(GlobalFree(memory), memory);
    EXPECT_EQ(GlobalLock(memory), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

}  // namespace
