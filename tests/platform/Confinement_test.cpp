// The drive root is a root: links and ".." on drive C: never lead outside it,
// with the kernel's lookup (openat2) and with the layer's own walk alike.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "platform/Windows.h"
#include "platform/posix/PosixPaths.h"
#include "platform/posix/RootWalk.h"
#include "tests/support/ForcedCalls.h"
#include "tests/support/TempDrive.h"

namespace fs = std::filesystem;

namespace {

// A folder outside the drive root with a read-only file that looks like a
// library; whatever the tests do on C:, it must stay as it is.
class Bait {
public:
    Bait() {
        char pattern[] = "/tmp/purgelib-bait-XXXXXX";
        m_dir = mkdtemp(pattern) ? pattern : "/tmp";
        fs::create_directories(m_dir + "/dir");
        std::ofstream(m_dir + "/x.dll") << "MZ bait";
        std::ofstream(m_dir + "/dir/y.dll") << "MZ bait y";
        chmod((m_dir + "/x.dll").c_str(), 0444);
        m_before = Listing();
    }
    ~Bait() { fs::remove_all(m_dir); }
    const std::string& Dir() const { return m_dir; }
    // Names with their modes and contents.
    std::map<std::string, std::string> Listing() const {
        std::map<std::string, std::string> listing;
        for (const auto& entry : fs::recursive_directory_iterator(m_dir)) {
            struct stat st;
            lstat(entry.path().c_str(), &st);
            std::string bytes;
            if (S_ISREG(st.st_mode)) {
                std::ifstream in(entry.path(), std::ios::binary);
                bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
            }
            listing[entry.path().string()] = std::to_string(st.st_mode) + ":" + bytes;
        }
        return listing;
    }
    bool Unchanged() const { return Listing() == m_before; }

private:
    std::string m_dir;
    std::map<std::string, std::string> m_before;
};

enum class Walk { kKernel, kOwn };

class Confinement : public ::testing::TestWithParam<Walk> {
protected:
    void SetUp() override {
        if (GetParam() == Walk::kOwn) posix::ForceFailure("openat2", ERROR_NOT_SUPPORTED);
        drive.WriteFile("windows/real.dll", "MZ real");
        drive.MakeDirs("windows/system32");
        Link(bait.Dir() + "/x.dll", "windows/system32/abs.dll");
        std::string up;
        for (int i = 0; i < 12; ++i) up += "../";
        Link(up + bait.Dir().substr(1) + "/x.dll", "windows/system32/rel.dll");
        Link(bait.Dir(), "windows/out");
        Link(up + bait.Dir().substr(1), "windows/outrel");
        Link("/windows/real.dll", "windows/in.dll");
        Link("loop.dll", "windows/loop.dll");
        Link("/proc/self/root" + bait.Dir() + "/x.dll", "windows/proc.dll");
        Link("../windows", "windows/sub");
    }
    void TearDown() override { posix::ClearForced(); }
    void Link(const std::string& target, const std::string& relative) {
        ASSERT_EQ(symlink(target.c_str(), drive.Host(relative).c_str()), 0) << relative;
    }

    Bait bait;
    support::TempDrive drive;
};

TEST_P(Confinement, TheWalkIsTheOneAskedFor) {
    EXPECT_EQ(posix::KernelResolvesInRoot(), GetParam() == Walk::kKernel);
}

TEST_P(Confinement, LinksAndDotsResolveInsideTheRoot) {
    constexpr DWORD kAbsent = INVALID_FILE_ATTRIBUTES;
    const struct {
        const char* path;
        DWORD attributes;
        DWORD error;  // when absent
    } cases[] = {
        {"C:\\windows\\system32\\abs.dll", kAbsent, ERROR_FILE_NOT_FOUND},
        {"C:\\windows\\system32\\rel.dll", kAbsent, ERROR_FILE_NOT_FOUND},
        {"C:\\windows\\out\\y.dll", kAbsent, ERROR_PATH_NOT_FOUND},
        {"C:\\windows\\outrel\\dir\\y.dll", kAbsent, ERROR_PATH_NOT_FOUND},
        {"C:\\windows\\proc.dll", kAbsent, ERROR_FILE_NOT_FOUND},
        {"C:\\windows\\loop.dll", kAbsent, ERROR_CANT_RESOLVE_FILENAME},
        {"C:\\windows\\in.dll", FILE_ATTRIBUTE_ARCHIVE, 0},
        {"C:\\windows\\sub\\sub\\real.dll", FILE_ATTRIBUTE_ARCHIVE, 0},
        {"C:\\..\\..\\windows\\real.dll", FILE_ATTRIBUTE_ARCHIVE, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        SetLastError(0);
        EXPECT_EQ(GetFileAttributesA(c.path), c.attributes);
        if (c.attributes == kAbsent) {
            EXPECT_EQ(GetLastError(), c.error);
            // Nothing reaches the bait: no open, no attribute change, no delete.
            EXPECT_EQ(CreateFileA(c.path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr),
                      INVALID_HANDLE_VALUE);
            EXPECT_FALSE(SetFileAttributesA(c.path, FILE_ATTRIBUTE_NORMAL));
            EXPECT_FALSE(DeleteFileA(c.path));
        }
    }
    // A link inside the root leads to its target there.
    HANDLE in = CreateFileA("C:\\windows\\in.dll", GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(in, INVALID_HANDLE_VALUE);
    char bytes[16] = {};
    DWORD got = 0;
    EXPECT_TRUE(ReadFile(in, bytes, sizeof bytes, &got, nullptr));
    EXPECT_EQ(std::string(bytes, got), "MZ real");
    CloseHandle(in);
    // A search through a link to outside finds nothing there either.
    WIN32_FIND_DATAA data;
    EXPECT_EQ(FindFirstFileA("C:\\windows\\out\\*", &data), INVALID_HANDLE_VALUE);
    EXPECT_TRUE(bait.Unchanged());
}

TEST_P(Confinement, OpenInRootFollowsTheRulesOfARoot) {
    posix::Fd root(open(drive.Root().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    ASSERT_TRUE(root.Valid());
    struct stat real;
    ASSERT_EQ(stat(drive.Host("windows/real.dll").c_str(), &real), 0);
    for (const char* path : {"windows/in.dll", "/windows/in.dll", "../../windows/real.dll",
                             "windows/sub/../windows/real.dll", "windows/sub/sub/in.dll"}) {
        posix::Fd fd(posix::OpenInRoot(root.Get(), path, O_RDONLY));
        struct stat st;
        ASSERT_TRUE(fd.Valid()) << path;
        ASSERT_EQ(fstat(fd.Get(), &st), 0);
        EXPECT_EQ(st.st_ino, real.st_ino) << path;
    }
    posix::Fd loop(posix::OpenInRoot(root.Get(), "windows/loop.dll", O_PATH));
    EXPECT_FALSE(loop.Valid());
    EXPECT_EQ(errno, ELOOP);
    posix::Fd out(posix::OpenInRoot(root.Get(), "windows/out/y.dll", O_RDONLY));
    EXPECT_FALSE(out.Valid());
}

INSTANTIATE_TEST_SUITE_P(BothWalks, Confinement, ::testing::Values(Walk::kKernel, Walk::kOwn),
                         [](const ::testing::TestParamInfo<Walk>& info) {
                             return info.param == Walk::kKernel ? "Kernel" : "Own";
                         });

// A host path longer than the host's limit for a path: the layer walks it one
// folder at a time, so it is found and removed like any other.
TEST(LongHostPaths, AFileBeyondTheHostPathLimitIsReached) {
    support::TempDrive drive;
    // Nested folders up to just below PATH_MAX for the drive root itself.
    std::string root = drive.Root();
    const std::string step(200, 'd');
    while (root.size() < 3990) {
        root += "/" + step.substr(0, std::min<size_t>(step.size(), 3990 - root.size()));
        ASSERT_EQ(mkdir(root.c_str(), 0755), 0);
    }
    ASSERT_EQ(mkdir((root + "/windows").c_str(), 0755), 0);
    posix::Fd windows(open((root + "/windows").c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    ASSERT_TRUE(windows.Valid());
    ASSERT_EQ(mkdirat(windows.Get(), "system32", 0755), 0);
    const std::string name(200, 'c');
    std::string relative = "system32/" + name + ".dll";
    posix::Fd file(openat(windows.Get(), relative.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644));
    ASSERT_TRUE(file.Valid());
    ASSERT_GT(root.size() + std::strlen("/windows/") + relative.size(),
              static_cast<size_t>(PATH_MAX));

    posix::SetDriveRoot(root.c_str());
    std::string path = "C:\\windows\\system32\\" + name + ".dll";
    EXPECT_EQ(GetFileAttributesA(path.c_str()), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_TRUE(DeleteFileA(path.c_str()));
    struct stat st;
    EXPECT_NE(fstatat(windows.Get(), relative.c_str(), &st, 0), 0);
    ASSERT_EQ(unlinkat(windows.Get(), "system32", AT_REMOVEDIR), 0);
}

}  // namespace
