// The POSIX layer's OpenFile/_lread/_llseek/_lclose, global memory and file
// times, as the searcher relies on them.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "platform/Windows.h"
#include "tests/inspect/SearchFixture.h"

namespace inspect_test {
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
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(GlobalLock(memory), first);
    EXPECT_EQ(std::vector<char>(first, first + 51000), std::vector<char>(51000, 0));
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

FILETIME FileTimeOf(int64_t unixSeconds, int64_t ticks = 0) {
    const uint64_t value =
        static_cast<uint64_t>(unixSeconds * 10000000 + 116444736000000000LL + ticks);
    return FILETIME{static_cast<DWORD>(value), static_cast<DWORD>(value >> 32)};
}

TEST(FileTimes, CalendarFieldsAgreeWithTheCLibraryFrom1601On) {
    // Every 997 hours and a few seconds from 1601 to 2400: leap days, century
    // years and week days included.
    for (int64_t t = -11644473600LL; t < 13574563200LL; t += 997 * 3600 + 7) {
        const time_t host = static_cast<time_t>(t);
        struct tm c;
        ASSERT_NE(gmtime_r(&host, &c), nullptr);
        FILETIME file = FileTimeOf(t, 1234567);
        SYSTEMTIME f;
        ASSERT_TRUE(FileTimeToSystemTime(&file, &f)) << t;
        ASSERT_EQ((std::vector<int>{f.wYear, f.wMonth, f.wDay, f.wDayOfWeek, f.wHour, f.wMinute,
                                    f.wSecond, f.wMilliseconds}),
                  (std::vector<int>{c.tm_year + 1900, c.tm_mon + 1, c.tm_mday, c.tm_wday, c.tm_hour,
                                    c.tm_min, c.tm_sec, 123}))
            << t;
    }
    FILETIME top = {0, 0x80000000u};
    SYSTEMTIME fields;
    EXPECT_FALSE(FileTimeToSystemTime(&top, &fields));
}

TEST(FileTimes, LocalTimeUsesThePresentOffsetAndTheFileItsLastWrite) {
    {
        TimeZone est("EST5");
        FILETIME utc = FileTimeOf(1138784707), local;
        ASSERT_TRUE(FileTimeToLocalFileTime(&utc, &local));
        EXPECT_EQ(local.dwLowDateTime, FileTimeOf(1138784707 - 5 * 3600).dwLowDateTime);
        EXPECT_EQ(local.dwHighDateTime, FileTimeOf(1138784707 - 5 * 3600).dwHighDateTime);
        FILETIME start = {0, 0};
        EXPECT_FALSE(FileTimeToLocalFileTime(&start, &local));  // before 1601
    }
    support::TempDrive drive;
    drive.WriteFile("t.bin", std::string("x"));
    struct timespec times[2] = {{1000000000, 500}, {1138784707, 123456789}};
    ASSERT_EQ(utimensat(AT_FDCWD, drive.Host("t.bin").c_str(), times, 0), 0);
    HANDLE file = CreateFileA("C:\\t.bin", GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    FILETIME access, write;
    ASSERT_TRUE(GetFileTime(file, nullptr, &access, &write));
    CloseHandle(file);
    EXPECT_EQ(write.dwLowDateTime, FileTimeOf(1138784707, 1234567).dwLowDateTime);
    EXPECT_EQ(access.dwLowDateTime, FileTimeOf(1000000000, 5).dwLowDateTime);
    EXPECT_FALSE(GetFileTime(nullptr, nullptr, nullptr, &write));
}

}  // namespace
}  // namespace inspect_test
