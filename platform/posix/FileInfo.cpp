// GetFileTime, FileTimeToLocalFileTime and FileTimeToSystemTime.
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <ctime>

#include "platform/posix/PosixErrors.h"
#include "platform/posix/PosixFiles.h"
#include "platform/posix/WinErrors.h"
#include "platform/posix/WinFileInfo.h"

namespace {

// 100-nanosecond intervals from 1601-01-01 to 1970-01-01.
constexpr uint64_t kEpochDifference = 116444736000000000ull;
constexpr uint64_t kTicksPerSecond = 10000000ull;
constexpr uint64_t kTopBit = 1ull << 63;

uint64_t Ticks(const FILETIME& time) {
    return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

FILETIME FromTicks(uint64_t ticks) {
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFFu);
    time.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return time;
}

// A host time as a file time; times before 1601 become 1601-01-01.
FILETIME FromTimespec(const struct timespec& host) {
    const int64_t sinceEpoch = static_cast<int64_t>(host.tv_sec) * 10000000 + host.tv_nsec / 100;
    const int64_t ticks = sinceEpoch + static_cast<int64_t>(kEpochDifference);
    return FromTicks(ticks < 0 ? 0 : static_cast<uint64_t>(ticks));
}

// The birth time where the file system keeps one.
bool BirthTime(int fd, struct timespec* birth) {
#if defined(STATX_BTIME)
    struct statx info;
    if (statx(fd, "", AT_EMPTY_PATH, STATX_BTIME, &info) == 0 && (info.stx_mask & STATX_BTIME)) {
        birth->tv_sec = info.stx_btime.tv_sec;
        birth->tv_nsec = info.stx_btime.tv_nsec;
        return true;
    }
#else
    (void)fd;
    (void)birth;
#endif
    return false;
}

// The local time zone's present offset from UTC, in seconds.
long PresentOffset() {
    const time_t now = time(nullptr);
    struct tm local;
    if (!localtime_r(&now, &local)) return 0;
    return local.tm_gmtoff;
}

}  // namespace

BOOL GetFileTime(HANDLE file, LPFILETIME creation, LPFILETIME lastAccess, LPFILETIME lastWrite) {
    const int fd = posix::HandleDescriptor(file);
    if (fd < 0) return FALSE;
    struct stat st;
    if (fstat(fd, &st) != 0) {
        posix::SetLastErrorFromErrno(errno);
        return FALSE;
    }
    if (creation) {
        struct timespec birth;
        *creation = FromTimespec(BirthTime(fd, &birth) ? birth : st.st_mtim);
    }
    if (lastAccess) *lastAccess = FromTimespec(st.st_atim);
    if (lastWrite) *lastWrite = FromTimespec(st.st_mtim);
    return TRUE;
}

BOOL FileTimeToLocalFileTime(const FILETIME* fileTime, LPFILETIME localTime) {
    if (!fileTime || !localTime) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const uint64_t ticks = Ticks(*fileTime);
    const int64_t shift =
        static_cast<int64_t>(PresentOffset()) * static_cast<int64_t>(kTicksPerSecond);
    // Results that leave the range of a file time are refused.
    if ((shift < 0 && ticks < static_cast<uint64_t>(-shift)) ||
        (shift > 0 && ticks > UINT64_MAX - static_cast<uint64_t>(shift))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *localTime = FromTicks(ticks + static_cast<uint64_t>(shift));
    return TRUE;
}

BOOL FileTimeToSystemTime(const FILETIME* fileTime, LPSYSTEMTIME systemTime) {
    if (!fileTime || !systemTime || (Ticks(*fileTime) & kTopBit)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const uint64_t ticks = Ticks(*fileTime);
    const uint64_t seconds = ticks / kTicksPerSecond;
    const uint64_t days = seconds / 86400;  // since Monday, 1601-01-01
    const uint64_t rest = seconds % 86400;

    // Civil date from a day count, with March as the first month of the year
    // so that the leap day comes last; 1600-03-01 starts the count here.
    const uint64_t fromMarch1600 = days + 306;
    const uint64_t era = fromMarch1600 / 146097;
    const uint64_t dayOfEra = fromMarch1600 % 146097;
    const uint64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const uint64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const uint64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
    const uint64_t day = dayOfYear - (153 * shiftedMonth + 2) / 5 + 1;
    const uint64_t month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;
    const uint64_t year = 1600 + era * 400 + yearOfEra + (month <= 2 ? 1 : 0);

    systemTime->wYear = static_cast<WORD>(year);
    systemTime->wMonth = static_cast<WORD>(month);
    systemTime->wDayOfWeek = static_cast<WORD>((days + 1) % 7);
    systemTime->wDay = static_cast<WORD>(day);
    systemTime->wHour = static_cast<WORD>(rest / 3600);
    systemTime->wMinute = static_cast<WORD>(rest / 60 % 60);
    systemTime->wSecond = static_cast<WORD>(rest % 60);
    systemTime->wMilliseconds = static_cast<WORD>(ticks / 10000 % 1000);
    return TRUE;
}
