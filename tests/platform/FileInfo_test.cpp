// File times: calendar fields, the conversion to local time and the times of
// an open file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "platform/Windows.h"
#include "tests/support/TempDrive.h"
#include "tests/support/TimeZone.h"

namespace {

using support::TimeZone;

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
