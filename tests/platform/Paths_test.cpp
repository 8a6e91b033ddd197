// Drive mapping, case-insensitive lookup and the Windows and system
// directories of the POSIX layer.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/Windows.h"
#include "platform/posix/PosixPaths.h"
#include "tests/support/TempDrive.h"

namespace {

std::string Resolve(const char* path, DWORD* error = nullptr) {
    posix::ResolvedPath resolved;
    DWORD code = 0;
    bool ok = posix::ResolvePath(path, &resolved, &code);
    if (error) *error = ok ? 0 : code;
    return ok ? resolved.host : std::string();
}

std::string SystemDirectory() {
    char buffer[MAX_PATH] = {};
    GetSystemDirectoryA(buffer, sizeof buffer);
    return buffer;
}

std::string WindowsDirectory() {
    char buffer[MAX_PATH] = {};
    GetWindowsDirectoryA(buffer, sizeof buffer);
    return buffer;
}

TEST(DriveMapping, DrivesMapToTheirHostFolders) {
    support::TempDrive drive;
    drive.MakeDirs("windows");
    EXPECT_EQ(Resolve("C:\\windows"), drive.Host("windows"));
    EXPECT_EQ(Resolve("c:/windows"), drive.Host("windows"));
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\windows"));
    EXPECT_EQ(Resolve("\\windows"), drive.Host("windows"));  // root of the current drive
    EXPECT_EQ(Resolve("Z:\\tmp"), "/tmp");
    EXPECT_EQ(Resolve(drive.Host("windows").c_str()), drive.Host("windows"));  // host path

    DWORD error = 0;
    EXPECT_EQ(Resolve("D:\\windows", &error), "");
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(Resolve("\\\\server\\share\\x", &error), "");
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(Resolve(std::string(300, 'a').c_str(), &error), "");
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));
}

TEST(DriveMapping, DefaultRootComesFromTheWinePrefix) {
    posix::SetDriveRoot(nullptr);
    const char* old = std::getenv("WINEPREFIX");
    std::string saved = old ? old : "";
    setenv("WINEPREFIX", "/srv/prefix", 1);
    EXPECT_EQ(posix::DriveRoot(), "/srv/prefix/drive_c");
    unsetenv("WINEPREFIX");
    EXPECT_EQ(posix::DriveRoot(), std::string(std::getenv("HOME")) + "/.wine/drive_c");
    if (old) setenv("WINEPREFIX", saved.c_str(), 1);
}

TEST(CaseInsensitiveLookup, EachComponentIsFoundInAnyLetterCase) {
    support::TempDrive drive;
    drive.WriteFile("Windows/System32/Capi2032.dll", "x");
    EXPECT_EQ(Resolve("C:\\WINDOWS\\system32\\CAPI2032.DLL"),
              drive.Host("Windows/System32/Capi2032.dll"));
    // A missing last component keeps the name as given; a missing folder fails.
    EXPECT_EQ(Resolve("C:\\windows\\SYSTEM32\\new.dll"), drive.Host("Windows/System32/new.dll"));
    DWORD error = 0;
    EXPECT_EQ(Resolve("C:\\windows\\nowhere\\x.dll", &error), "");
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    // ".." never climbs above the drive root.
    EXPECT_EQ(Resolve("C:\\..\\..\\windows"), drive.Host("Windows"));
}

TEST(CaseInsensitiveLookup, Windows1252NamesMatchUtf8NamesOnDisk) {
    support::TempDrive drive;
    drive.WriteFile(
        "\xC3\x9C"
        "bersicht.txt",
        "x");  // "Übersicht" in UTF-8 on disk
    EXPECT_EQ(Resolve("C:\\\xFC"
                      "bersicht.TXT"),
              drive.Host("\xC3\x9C"
                         "bersicht.txt"));
    EXPECT_EQ(GetFileAttributesA("C:\\\xDC"
                                 "BERSICHT.txt"),
              static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
}

TEST(CaseInsensitiveLookup, EntriesDifferingOnlyInCaseGiveTheExactOneElseTheFirstByName) {
    support::TempDrive drive;
    // Letter-case forms of "ab.dll" (written in an order unlike the name
    // order), two folders, and two Windows-1252 names, all differing only in
    // letter case.
    for (const char* name : {"aB.dll", "AB.DLL", "ab.dll", "Ab.Dll", "ab.DLL", "AB.dll"})
        drive.WriteFile(std::string("dir/") + name, name);
    drive.MakeDirs("twin/inner");
    drive.MakeDirs("TWIN/inner");
    drive.WriteFile("\xC3\xB6l.txt", "x");  // "öl.txt" in UTF-8 on disk
    drive.WriteFile("\xC3\x96l.txt", "x");  // "Öl.txt"
    const struct {
        const char* asked;
        const char* found;  // relative to the drive root
    } cases[] = {
        {"C:\\dir\\ab.dll", "dir/ab.dll"},  // the exact name first
        {"C:\\dir\\Ab.Dll", "dir/Ab.Dll"},
        {"C:\\dir\\aB.DLL", "dir/AB.DLL"},  // else the first in name order
        {"C:\\dir\\ab.Dll", "dir/AB.DLL"},
        {"C:\\twin\\inner", "twin/inner"},  // folders on the way alike
        {"C:\\Twin\\inner", "TWIN/inner"},
        {"C:\\\xF6l.txt", "\xC3\xB6l.txt"},
        {"C:\\\xF6L.TXT", "\xC3\x96l.txt"},
    };
    for (const auto& c : cases) EXPECT_EQ(Resolve(c.asked), drive.Host(c.found)) << c.asked;
}

TEST(SystemDirectories, FollowTheLayoutOnDisk) {
    {
        support::TempDrive drive;
        drive.MakeDirs("windows/system32");
        drive.MakeDirs("windows/system");
        EXPECT_EQ(WindowsDirectory(), "C:\\windows");
        EXPECT_EQ(SystemDirectory(), "C:\\windows\\system32");
    }
    {
        support::TempDrive drive;  // Windows 2000 layout in upper case
        drive.MakeDirs("WINNT/System32");
        EXPECT_EQ(WindowsDirectory(), "C:\\WINNT");
        EXPECT_EQ(SystemDirectory(), "C:\\WINNT\\System32");
    }
    {
        support::TempDrive drive;  // Windows 9x layout
        drive.MakeDirs("WINDOWS/SYSTEM");
        EXPECT_EQ(SystemDirectory(), "C:\\WINDOWS\\SYSTEM");
    }
}

TEST(SystemDirectories, ShortBufferGetsTheSizeNeeded) {
    support::TempDrive drive;
    drive.MakeDirs("windows/system32");
    char small[8] = "unused";
    EXPECT_EQ(GetSystemDirectoryA(small, sizeof small), 20u);  // "C:\windows\system32" + NUL
    EXPECT_STREQ(small, "unused");
    char exact[20];
    EXPECT_EQ(GetSystemDirectoryA(exact, sizeof exact), 19u);
    EXPECT_STREQ(exact, "C:\\windows\\system32");
}

}  // namespace
