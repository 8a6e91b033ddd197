// Guard mode: names that collide in letter case, and the file removed is the
// file examined, also when another process swaps files at the worst moment.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "app/Cleanup.h"
#include "app/Report.h"
#include "platform/Windows.h"
#include "platform/posix/PosixPaths.h"
#include "tests/support/ForcedCalls.h"
#include "tests/support/TempDrive.h"

namespace fs = std::filesystem;

namespace {

const char kMaker[] = "MZ library of QZM GmbH";
const char kForeign[] = "MZ library of someone else";

bool Exchange(const std::string& a, const std::string& b) {
    return renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE) == 0;
}

mode_t ModeOf(const std::string& host) {
    struct stat st;
    return lstat(host.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// The names in a folder that are private folders of a deletion.
std::vector<std::string> PrivateFolders(const std::string& dir) {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(dir))
        if (entry.path().filename().string().rfind(".purgelib-", 0) == 0)
            found.push_back(entry.path().string());
    return found;
}

class Guarded : public ::testing::Test {
protected:
    void SetUp() override { posix::SetRemovalGuard(true); }
    void TearDown() override {
        posix::SetRemovalGuard(false);
        posix::ClearForced();
    }
    support::TempDrive drive;
};

TEST_F(Guarded, CaseTwinsWhereOneIsExpectedCannotBeResolved) {
    drive.WriteFile("windows/system/capi20.dll", kMaker);
    drive.WriteFile("windows/System/capi20.dll", kMaker);
    drive.WriteFile("windows/system32/capi.dll", kMaker);
    drive.WriteFile("windows/system32/CAPI.DLL", kMaker);
    drive.WriteFile("windows/system32/other.dll", kForeign);
    drive.WriteFile("windows/sys2", kForeign);  // a file beside the folder SYS2
    drive.WriteFile("windows/SYS2/x.dll", kForeign);
    const struct {
        const char* path;
        std::vector<std::string> collide;  // relative to the root; empty: resolves
    } cases[] = {
        {"C:\\windows\\system\\capi20.dll", {"windows/System", "windows/system"}},
        {"C:\\WINDOWS\\SYSTEM\\CAPI20.DLL", {"windows/System", "windows/system"}},
        {"C:\\windows\\system32\\capi.dll",
         {"windows/system32/CAPI.DLL", "windows/system32/capi.dll"}},
        {"C:\\windows\\system32\\Other.dll", {}},
        {"C:\\windows\\sys2\\x.dll", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        std::vector<std::string> hosts;
        for (const std::string& name : c.collide) hosts.push_back(drive.Host(name));
        posix::SetRemovalGuard(false);
        // Library callers keep the lookup: the exact name, else the first.
        EXPECT_EQ(GetFileAttributesA(c.path), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
        EXPECT_EQ(posix::CollidingEntries(c.path), hosts);
        posix::SetRemovalGuard(true);
        EXPECT_EQ(posix::CollidingEntries(c.path), hosts);
        if (hosts.empty()) {
            EXPECT_EQ(GetFileAttributesA(c.path), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
            continue;
        }
        EXPECT_EQ(GetFileAttributesA(c.path), INVALID_FILE_ATTRIBUTES);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANT_RESOLVE_FILENAME));
        EXPECT_EQ(posix::LastCollision(), hosts);
        EXPECT_EQ(CreateFileA(c.path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr),
                  INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANT_RESOLVE_FILENAME));
        EXPECT_FALSE(SetFileAttributesA(c.path, FILE_ATTRIBUTE_READONLY));
        EXPECT_FALSE(DeleteFileA(c.path));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANT_RESOLVE_FILENAME));
    }
    for (const char* kept : {"windows/system/capi20.dll", "windows/System/capi20.dll",
                             "windows/system32/capi.dll", "windows/system32/CAPI.DLL"}) {
        EXPECT_EQ(drive.ReadFile(kept), kMaker) << kept;
        EXPECT_EQ(ModeOf(drive.Host(kept)), 0644u) << kept;
    }
}

// Examined once, then swapped with a foreign file (or its folder with
// another): every later call refuses, and nothing changes.
TEST_F(Guarded, ASwappedFileIsNeitherOpenedChangedNorRemoved) {
    const char* path = "C:\\windows\\system32\\CAPI2032.DLL";
    const struct {
        const char* what;
        bool swapFolder;
        bool (*call)(const char* path);
    } cases[] = {
        {"open", false,
         [](const char* p) {
             HANDLE h = CreateFileA(p, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
             return h != INVALID_HANDLE_VALUE && CloseHandle(h);
         }},
        {"attributes", false,
         [](const char* p) { return SetFileAttributesA(p, FILE_ATTRIBUTE_READONLY) != FALSE; }},
        {"delete", false, [](const char* p) { return DeleteFileA(p) != FALSE; }},
        {"delete in a swapped folder", true, [](const char* p) { return DeleteFileA(p) != FALSE; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        support::TempDrive drive;  // another root: nothing recorded from the case before
        drive.WriteFile("windows/system32/CAPI2032.DLL", kMaker);
        drive.WriteFile("windows/system32/foreign.dll", kForeign);
        drive.WriteFile("windows/other32/CAPI2032.DLL", kForeign);
        HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        CloseHandle(h);
        if (c.swapFolder)
            ASSERT_TRUE(Exchange(drive.Host("windows/system32"), drive.Host("windows/other32")));
        else
            ASSERT_TRUE(Exchange(drive.Host("windows/system32/CAPI2032.DLL"),
                                 drive.Host("windows/system32/foreign.dll")));
        EXPECT_FALSE(c.call(path));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_INVALID));
        EXPECT_EQ(drive.ReadFile("windows/system32/CAPI2032.DLL"), kForeign);
        EXPECT_EQ(ModeOf(drive.Host("windows/system32/CAPI2032.DLL")), 0644u);
        EXPECT_TRUE(PrivateFolders(drive.Host("windows/system32")).empty());
    }
}

TEST_F(Guarded, EachDriveRootIsExaminedAfresh) {
    // The same C:\ path under two roots names two files; the second is no swap
    // of the first.
    const char* path = "C:\\windows\\system\\capi20.dll";
    auto opens = [path] {
        HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        return h != INVALID_HANDLE_VALUE && CloseHandle(h);
    };
    drive.WriteFile("windows/system/capi20.dll", kForeign);
    EXPECT_TRUE(opens());
    support::TempDrive other;
    other.WriteFile("windows/system/capi20.dll", kMaker);
    EXPECT_TRUE(opens()) << GetLastError();
    EXPECT_TRUE(DeleteFileA(path)) << GetLastError();
}

TEST_F(Guarded, ASwapAtTheMomentOfRemovalPutsTheForeignFileBack) {
    drive.WriteFile("windows/system32/CAPI2032.DLL", kMaker);
    drive.WriteFile("windows/system32/foreign.dll", kForeign);
    const char* path = "C:\\windows\\system32\\CAPI2032.DLL";
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    int swaps = 0;
    posix::OnStep([&](const std::string& point) {
        if (point == "DeleteFileA:move" && Exchange(drive.Host("windows/system32/CAPI2032.DLL"),
                                                    drive.Host("windows/system32/foreign.dll")))
            ++swaps;
    });
    EXPECT_FALSE(DeleteFileA(path));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_INVALID));
    EXPECT_EQ(swaps, 1);
    EXPECT_EQ(drive.ReadFile("windows/system32/CAPI2032.DLL"), kForeign);
    EXPECT_EQ(drive.ReadFile("windows/system32/foreign.dll"), kMaker);
    EXPECT_TRUE(PrivateFolders(drive.Host("windows/system32")).empty());
}

TEST_F(Guarded, AFolderSwappedForALinkAtTheMomentOfRemovalLeadsNowhereElse) {
    char pattern[] = "/tmp/purgelib-bait-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    std::string bait = pattern;
    std::string baitFile = bait + "/CAPI2032.DLL";
    {
        FILE* f = fopen(baitFile.c_str(), "w");
        fputs(kMaker, f);
        fclose(f);
    }
    drive.WriteFile("windows/system32/CAPI2032.DLL", kMaker);
    posix::OnStep([&](const std::string& point) {
        if (point != "DeleteFileA:move") return;
        rename(drive.Host("windows/system32").c_str(), drive.Host("windows/away").c_str());
        symlink(bait.c_str(), drive.Host("windows/system32").c_str());
    });
    // The file examined is the one removed, wherever its folder went.
    EXPECT_TRUE(DeleteFileA("C:\\windows\\system32\\CAPI2032.DLL"));
    EXPECT_FALSE(drive.Exists("windows/away/CAPI2032.DLL"));
    EXPECT_TRUE(PrivateFolders(drive.Host("windows/away")).empty());
    struct stat st;
    EXPECT_EQ(stat(baitFile.c_str(), &st), 0);
    fs::remove_all(bait);
}

TEST_F(Guarded, AFileWithOtherNamesKeepsItsAttributes) {
    char pattern[] = "/tmp/purgelib-bait-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    std::string outside = std::string(pattern) + "/x.dll";
    {
        FILE* f = fopen(outside.c_str(), "w");
        fputs(kMaker, f);
        fclose(f);
    }
    ASSERT_EQ(chmod(outside.c_str(), 0444), 0);
    drive.MakeDirs("windows/system32");
    ASSERT_EQ(link(outside.c_str(), drive.Host("windows/system32/CAPI2032.DLL").c_str()), 0);
    const char* path = "C:\\windows\\system32\\CAPI2032.DLL";
    EXPECT_FALSE(SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(DeleteFileA(path));
    EXPECT_EQ(ModeOf(outside), 0444u);
    // Outside guard mode the call does what it is asked.
    posix::SetRemovalGuard(false);
    EXPECT_TRUE(SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(ModeOf(outside), 0644u);
    fs::remove_all(pattern);
}

// The run itself, held at the call that moves the library away for removal
// while another process swaps it with a foreign file.
TEST_F(Guarded, TheRunHeldAtTheRemovalWhileTheLibraryIsSwappedKeepsTheForeignFile) {
    drive.WriteFile("windows/system32/CAPI2032.DLL", kMaker);
    drive.WriteFile("windows/system32/foreign.dll", kForeign);
    drive.MakeDirs("windows/system");
    posix::OnStep([&](const std::string& point) {
        if (point == "DeleteFileA:move")
            Exchange(drive.Host("windows/system32/CAPI2032.DLL"),
                     drive.Host("windows/system32/foreign.dll"));
    });
    RunReport report;
    RunOptions options;
    options.showMessage = false;
    options.report = &report;
    RunCleanup(options);
    EXPECT_EQ(report.outcome, Outcome::kNotUpdated);
    EXPECT_EQ(drive.ReadFile("windows/system32/CAPI2032.DLL"), kForeign);
    EXPECT_EQ(drive.ReadFile("windows/system32/foreign.dll"), kMaker);
    EXPECT_TRUE(PrivateFolders(drive.Host("windows/system32")).empty());
}

// Another thread exchanges the library and a foreign file as fast as it can
// while the library is examined and removed, 200 times: the foreign file is
// never removed, and a removed file is always the maker's.
TEST_F(Guarded, RaceThreadsExchangingTheLibraryNeverCostTheForeignFile) {
    constexpr int kTries = 200;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    int removed = 0, refused = 0;
    for (int i = 0; i < kTries && std::chrono::steady_clock::now() < deadline; ++i) {
        std::string dir = "race/" + std::to_string(i);
        drive.WriteFile(dir + "/lib.dll", kMaker);
        drive.WriteFile(dir + "/other.dll", kForeign);
        std::string a = drive.Host(dir + "/lib.dll"), b = drive.Host(dir + "/other.dll");
        std::atomic<bool> stop{false};
        std::thread swapper([&] {
            while (!stop.load()) Exchange(a, b);
        });
        std::string path = "C:\\race\\" + std::to_string(i) + "\\lib.dll";
        bool deleted = false;
        HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            char bytes[64] = {};
            DWORD got = 0;
            bool maker = ReadFile(h, bytes, sizeof bytes - 1, &got, nullptr) &&
                         std::string(bytes, got) == kMaker;
            CloseHandle(h);
            if (maker) {
                SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                deleted = DeleteFileA(path.c_str()) != FALSE;
            }
        }
        stop = true;
        swapper.join();
        std::vector<std::string> left;
        for (const auto& entry : fs::directory_iterator(drive.Host(dir)))
            left.push_back(drive.ReadFile(dir + "/" + entry.path().filename().string()));
        ASSERT_EQ(std::count(left.begin(), left.end(), kForeign), 1) << "try " << i;
        ASSERT_EQ(left.size(), deleted ? 1u : 2u) << "try " << i;
        (deleted ? removed : refused)++;
    }
    EXPECT_GE(removed + refused, 1);
    std::printf("race: %d removed the maker's file, %d refused\n", removed, refused);
}

}  // namespace
