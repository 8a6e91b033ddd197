// CreateFileA modes, attributes, deletion, error codes and the share modes
// between handles and between processes; OpenFile/_lread/_llseek/_lclose on
// top of them.
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "platform/Windows.h"
#include "platform/posix/PosixPaths.h"
#include "tests/support/ForcedCalls.h"
#include "tests/support/TempDrive.h"

namespace {

HANDLE Open(const char* path, DWORD access, DWORD share, DWORD creation) {
    return CreateFileA(path, access, share, nullptr, creation, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The names a search finds, in its order.
std::vector<std::string> List(const char* pattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(pattern, &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do names.push_back(data.cFileName);
    while (FindNextFileA(find, &data));
    FindClose(find);
    return names;
}

class Files : public ::testing::Test {
protected:
    void SetUp() override { drive.WriteFile("windows/system32/capi2032.dll", "MZ library"); }
    support::TempDrive drive;
    const char* dll = "C:\\WINDOWS\\SYSTEM32\\CAPI2032.DLL";
};

TEST_F(Files, CreationModesAnswerAsWindowsDoes) {
    HANDLE h = Open(dll, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_FALSE(CloseHandle(h));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

    EXPECT_EQ(Open("C:\\windows\\missing.dll", GENERIC_READ, 0, OPEN_EXISTING),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(Open("C:\\nowhere\\missing.dll", GENERIC_READ, 0, OPEN_EXISTING),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(Open(dll, GENERIC_READ, 0, CREATE_NEW), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
    EXPECT_EQ(Open(dll, GENERIC_READ, 0, 0), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    h = Open(dll, GENERIC_WRITE, 0, CREATE_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    CloseHandle(h);
    EXPECT_EQ(drive.ReadFile("windows/system32/capi2032.dll"), "");  // emptied

    h = Open("C:\\windows\\fresh.log", GENERIC_WRITE, 0, CREATE_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    CloseHandle(h);
    EXPECT_TRUE(drive.Exists("windows/fresh.log"));
}

TEST_F(Files, DirectoriesAreNotOpenedOrDeletedAsFiles) {
    EXPECT_EQ(Open("C:\\windows\\system32", GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(DeleteFileA("C:\\windows\\system32"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(GetFileAttributesA("C:\\windows\\system32"),
              static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
}

TEST_F(Files, ReadOnlyFileRefusesWritesAndDeletionUntilItsAttributesAreCleared) {
    ASSERT_TRUE(SetFileAttributesA(dll, FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(GetFileAttributesA(dll),
              static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(Open(dll, GENERIC_WRITE, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(DeleteFileA(dll));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

    ASSERT_TRUE(SetFileAttributesA(dll, FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(GetFileAttributesA(dll), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_TRUE(DeleteFileA(dll));
    EXPECT_FALSE(drive.Exists("windows/system32/capi2032.dll"));
    EXPECT_EQ(GetFileAttributesA(dll), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(DeleteFileA(dll));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(Files, DeleteAtRestartIsNotSupportedHere) {
    EXPECT_FALSE(MoveFileExA(dll, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
    EXPECT_TRUE(drive.Exists("windows/system32/capi2032.dll"));
}

TEST_F(Files, ForcedResultsReplaceTheCall) {
    posix::ForceFailure("DeleteFileA", ERROR_ACCESS_DENIED);
    posix::ForceSuccess("MoveFileExA");
    EXPECT_FALSE(DeleteFileA(dll));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(MoveFileExA(dll, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
    EXPECT_EQ(posix::ForcedMoves(), std::vector<std::string>{dll});
    posix::ClearForced();
    EXPECT_TRUE(DeleteFileA(dll));
}

TEST_F(Files, ShareModesBetweenHandles) {
    HANDLE reader = Open(dll, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    HANDLE second = Open(dll, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    EXPECT_NE(second, INVALID_HANDLE_VALUE);  // both share reading
    EXPECT_EQ(Open(dll, GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(Open(dll, GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);  // wants it alone
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_FALSE(DeleteFileA(dll));  // nobody shares deletion
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    CloseHandle(reader);
    CloseHandle(second);

    // With delete shared, deletion goes through.
    reader = Open(dll, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, OPEN_EXISTING);
    EXPECT_TRUE(DeleteFileA(dll));
    CloseHandle(reader);
}

TEST_F(Files, ExclusiveOpenInAnotherProcessBlocksDeleteAndOpen) {
    {
        support::HeldFile holder(dll, GENERIC_READ, 0);
        ASSERT_TRUE(holder.Holding());
        EXPECT_FALSE(DeleteFileA(dll));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        EXPECT_EQ(Open(dll, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING),
                  INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        // An open without read, write or delete rights is not subject to sharing.
        HANDLE query = Open(dll, 0, 0, OPEN_EXISTING);
        EXPECT_NE(query, INVALID_HANDLE_VALUE);
        CloseHandle(query);
        // A refused CREATE_ALWAYS empties nothing.
        EXPECT_EQ(Open(dll, GENERIC_WRITE, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
        EXPECT_EQ(drive.ReadFile("windows/system32/capi2032.dll"), "MZ library");
    }
    EXPECT_TRUE(DeleteFileA(dll));  // the holder has gone
}

TEST_F(Files, ReadFileReadsUpToTheEnd) {
    HANDLE h = Open(dll, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    char buffer[64] = {};
    DWORD read = 0;
    ASSERT_TRUE(ReadFile(h, buffer, sizeof buffer, &read, nullptr));
    EXPECT_EQ(read, 10u);
    EXPECT_STREQ(buffer, "MZ library");
    ASSERT_TRUE(ReadFile(h, buffer, sizeof buffer, &read, nullptr));
    EXPECT_EQ(read, 0u);
    CloseHandle(h);
    EXPECT_FALSE(ReadFile(h, buffer, sizeof buffer, &read, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

// The share-mode check counts the specific rights as Windows does:
// FILE_READ_DATA and FILE_EXECUTE as reading, FILE_WRITE_DATA and
// FILE_APPEND_DATA as writing; other rights are not subject to sharing.
TEST_F(Files, ShareModesCountTheSpecificRights) {
    const DWORD all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    struct Case {
        DWORD access1, share1, access2, share2;
        bool second;  // the second open succeeds
    };
    const Case cases[] = {
        {FILE_READ_DATA, 0, GENERIC_READ, all, false},
        {GENERIC_READ, all & ~FILE_SHARE_READ, FILE_READ_DATA, all, false},
        {FILE_EXECUTE, FILE_SHARE_WRITE, FILE_READ_DATA, all, false},
        {GENERIC_EXECUTE, FILE_SHARE_READ, FILE_READ_DATA, FILE_SHARE_READ, true},
        {FILE_WRITE_DATA, FILE_SHARE_READ, FILE_APPEND_DATA, all, false},
        {FILE_APPEND_DATA, FILE_SHARE_READ, FILE_READ_DATA, FILE_SHARE_READ, false},
        {FILE_APPEND_DATA, all, GENERIC_WRITE, all, true},
        {FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, 0, GENERIC_READ | GENERIC_WRITE, all, true},
        {GENERIC_READ | GENERIC_WRITE, all, FILE_READ_EA | FILE_WRITE_EA, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << std::hex << c.access1 << "/" << c.share1 << " then "
                                          << c.access2 << "/" << c.share2);
        HANDLE first = Open(dll, c.access1, c.share1, OPEN_EXISTING);
        ASSERT_NE(first, INVALID_HANDLE_VALUE);
        SetLastError(0);
        HANDLE second = Open(dll, c.access2, c.share2, OPEN_EXISTING);
        EXPECT_EQ(second != INVALID_HANDLE_VALUE, c.second);
        EXPECT_EQ(GetLastError(), c.second ? 0u : static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        if (second != INVALID_HANDLE_VALUE) CloseHandle(second);
        CloseHandle(first);
    }
}

// What a handle may do follows the rights it was opened with: FILE_READ_DATA
// (or GENERIC_READ) to read, FILE_WRITE_DATA or FILE_APPEND_DATA (or
// GENERIC_WRITE) to write; a handle with FILE_APPEND_DATA alone writes at the
// end. Other calls fail with ERROR_ACCESS_DENIED and move nothing.
TEST_F(Files, HandlesReadAndWriteAsTheirRightsAllow) {
    struct Case {
        DWORD access;
        bool read, write;
        const char* after;  // the file after writing "ab" at its start
    };
    const Case cases[] = {
        {GENERIC_READ | GENERIC_WRITE, true, true, "ab library"},
        {GENERIC_WRITE, false, true, "ab library"},
        {GENERIC_READ, true, false, "MZ library"},
        {FILE_READ_DATA | FILE_WRITE_DATA, true, true, "ab library"},
        {FILE_WRITE_DATA, false, true, "ab library"},
        {FILE_READ_DATA, true, false, "MZ library"},
        {FILE_APPEND_DATA, false, true, "MZ libraryab"},
        {FILE_READ_DATA | FILE_APPEND_DATA, true, true, "MZ libraryab"},
        {0, false, false, "MZ library"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << std::hex << c.access);
        drive.WriteFile("windows/system32/capi2032.dll", "MZ library");
        HANDLE h = Open(dll, c.access, 0, OPEN_EXISTING);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        char buffer[16] = {};
        DWORD done = 99;
        SetLastError(0);
        EXPECT_EQ(ReadFile(h, buffer, 2, &done, nullptr) != FALSE, c.read);
        EXPECT_EQ(done, c.read ? 2u : 0u);
        if (!c.read) {
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
        }
        EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_BEGIN), 0u);
        done = 99;
        EXPECT_EQ(WriteFile(h, "ab", 2, &done, nullptr) != FALSE, c.write);
        EXPECT_EQ(done, c.write ? 2u : 0u);
        if (!c.write) {
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
        }
        CloseHandle(h);
        EXPECT_EQ(drive.ReadFile("windows/system32/capi2032.dll"), c.after);
    }
}

TEST_F(Files, NullBuffersWithALengthFailAsOnWindows) {
    HANDLE h = Open(dll, GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD done = 99;
    EXPECT_FALSE(WriteFile(h, nullptr, 10, &done, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_USER_BUFFER));
    EXPECT_EQ(done, 0u);
    EXPECT_FALSE(ReadFile(h, nullptr, 10, &done, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOACCESS));
    SetLastError(1234);
    EXPECT_TRUE(WriteFile(h, nullptr, 0, &done, nullptr));
    EXPECT_TRUE(ReadFile(h, nullptr, 0, &done, nullptr));
    EXPECT_EQ(GetLastError(), 1234u);
    CloseHandle(h);
    EXPECT_EQ(drive.ReadFile("windows/system32/capi2032.dll"), "MZ library");
}

// CREATE_ALWAYS gives an existing file a new, empty content whatever access
// the handle asks for (not when the file is read-only); TRUNCATE_EXISTING
// wants GENERIC_WRITE and refuses anything else before it looks at the file.
TEST_F(Files, NewContentAndTruncationAnswerAsOnWindows) {
    struct Case {
        DWORD access, creation;
        bool readOnly;
        DWORD error;        // ERROR_SUCCESS: opened
        const char* after;  // the file afterwards
    };
    const Case cases[] = {
        {GENERIC_READ, CREATE_ALWAYS, false, ERROR_SUCCESS, ""},
        {0, CREATE_ALWAYS, false, ERROR_SUCCESS, ""},
        {0, CREATE_ALWAYS, true, ERROR_ACCESS_DENIED, "MZ library"},
        {GENERIC_READ, TRUNCATE_EXISTING, false, ERROR_INVALID_PARAMETER, "MZ library"},
        {FILE_WRITE_DATA, TRUNCATE_EXISTING, false, ERROR_INVALID_PARAMETER, "MZ library"},
        {GENERIC_WRITE, TRUNCATE_EXISTING, false, ERROR_SUCCESS, ""},
        {GENERIC_WRITE, TRUNCATE_EXISTING, true, ERROR_ACCESS_DENIED, "MZ library"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << std::hex << c.access << " " << c.creation);
        drive.WriteFile("windows/system32/capi2032.dll", "MZ library");
        ASSERT_TRUE(SetFileAttributesA(dll, c.readOnly ? FILE_ATTRIBUTE_READONLY : 0));
        SetLastError(0xDEAD);
        HANDLE h = Open(dll, c.access, 0, c.creation);
        if (c.error == ERROR_SUCCESS) {
            ASSERT_NE(h, INVALID_HANDLE_VALUE);
            EXPECT_EQ(GetLastError(), c.creation == CREATE_ALWAYS
                                          ? static_cast<DWORD>(ERROR_ALREADY_EXISTS)
                                          : static_cast<DWORD>(ERROR_SUCCESS));
            CloseHandle(h);
        } else {
            EXPECT_EQ(h, INVALID_HANDLE_VALUE);
            EXPECT_EQ(GetLastError(), c.error);
        }
        SetFileAttributesA(dll, FILE_ATTRIBUTE_NORMAL);
        EXPECT_EQ(drive.ReadFile("windows/system32/capi2032.dll"), c.after);
    }
    // The parameter check comes first: a folder answers it too.
    EXPECT_EQ(Open("C:\\windows", GENERIC_READ, 0, TRUNCATE_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(Open("C:\\windows", GENERIC_WRITE, 0, TRUNCATE_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

// FILE_FLAG_DELETE_ON_CLOSE asks for DELETE too, and deletes the file when
// the process's last handle on it closes; a read-only file refuses it.
TEST_F(Files, DeleteOnCloseDeletesAtTheLastClose) {
    const char* temp = "C:\\windows\\temp.bin";
    HANDLE h = CreateFileA(temp, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                           FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(drive.Exists("windows/temp.bin"));
    EXPECT_EQ(Open(temp, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING),
              INVALID_HANDLE_VALUE);  // the flagged handle holds DELETE without sharing it
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    CloseHandle(h);
    EXPECT_FALSE(drive.Exists("windows/temp.bin"));

    h = CreateFileA(temp, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                    FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    HANDLE reader = Open(temp, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         OPEN_EXISTING);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    EXPECT_TRUE(drive.Exists("windows/temp.bin"));  // the reader still has it open
    CloseHandle(reader);
    EXPECT_FALSE(drive.Exists("windows/temp.bin"));

    // In guard mode the deletion goes through the private folder, and leaves
    // nothing beside the file.
    posix::SetRemovalGuard(true);
    h = CreateFileA(temp, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE,
                    nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    posix::SetRemovalGuard(false);
    EXPECT_FALSE(drive.Exists("windows/temp.bin"));
    EXPECT_EQ(List("C:\\windows\\*"), (std::vector<std::string>{".", "..", "system32"}));

    ASSERT_TRUE(SetFileAttributesA(dll, FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(CreateFileA(dll, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                          nullptr, OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    SetFileAttributesA(dll, FILE_ATTRIBUTE_NORMAL);
    EXPECT_TRUE(drive.Exists("windows/system32/capi2032.dll"));
}

// MoveFileExA as Windows answers it: a move onto itself succeeds, one that
// changes the letter case only renames (files and folders), and a new name
// with wildcard characters is refused.
TEST_F(Files, MovesOntoTheSameNameAndInvalidNames) {
    const char* same = "C:\\windows\\system32\\capi2032.dll";  // as the name is on disk
    EXPECT_TRUE(MoveFileExA(same, same, 0));
    EXPECT_TRUE(MoveFileExA(dll, same, MOVEFILE_REPLACE_EXISTING));
    EXPECT_TRUE(drive.Exists("windows/system32/capi2032.dll"));
    EXPECT_TRUE(MoveFileExA(dll, "C:\\windows\\system32\\Capi2032.Dll", 0));
    EXPECT_TRUE(drive.Exists("windows/system32/Capi2032.Dll"));
    EXPECT_FALSE(drive.Exists("windows/system32/capi2032.dll"));
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(dll, &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_STREQ(data.cFileName, "Capi2032.Dll");
    FindClose(find);

    drive.MakeDirs("windows/Old");
    EXPECT_TRUE(MoveFileExA("C:\\windows\\old", "C:\\windows\\OLD", 0));
    EXPECT_TRUE(drive.Exists("windows/OLD"));
    EXPECT_FALSE(drive.Exists("windows/Old"));

    for (const char* bad : {"w*.dll", "w?.dll", "w<.dll", "w>.dll", "w\".dll", "w|.dll"}) {
        SCOPED_TRACE(bad);
        const std::string target = std::string("C:\\windows\\") + bad;
        SetLastError(0);
        EXPECT_FALSE(MoveFileExA(dll, target.c_str(), MOVEFILE_REPLACE_EXISTING));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_NAME));
    }
    EXPECT_TRUE(drive.Exists("windows/system32/Capi2032.Dll"));
}

// MOVEFILE_REPLACE_EXISTING replaces neither a folder nor a read-only file nor
// a file that a handle holds open (sharing every right, in this process or in
// another); a folder does replace a file, and the replacement takes the name
// as the caller spelt it.
TEST_F(Files, ReplacingMovesAnswerAsOnWindows) {
    const char* target = "C:\\windows\\TARGET.DLL";
    const DWORD all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    drive.WriteFile("windows/target.dll", "target");
    drive.MakeDirs("windows/folder");
    drive.MakeDirs("windows/other");

    ASSERT_TRUE(SetFileAttributesA(target, FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(MoveFileExA(dll, target, MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    ASSERT_TRUE(SetFileAttributesA(target, FILE_ATTRIBUTE_NORMAL));

    HANDLE open = Open(target, GENERIC_READ, all, OPEN_EXISTING);
    ASSERT_NE(open, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(MoveFileExA(dll, target, MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    CloseHandle(open);
    {
        support::HeldFile holder(target, 0, all);
        ASSERT_TRUE(holder.Holding());
        EXPECT_FALSE(MoveFileExA(dll, target, MOVEFILE_REPLACE_EXISTING));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    }
    EXPECT_FALSE(MoveFileExA(dll, "C:\\windows\\folder", MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(
        MoveFileExA("C:\\windows\\other", "C:\\windows\\folder", MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(drive.ReadFile("windows/target.dll"), "target");

    EXPECT_TRUE(MoveFileExA(dll, target, MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(drive.ReadFile("windows/TARGET.DLL"), "MZ library");
    EXPECT_FALSE(drive.Exists("windows/target.dll"));
    EXPECT_FALSE(drive.Exists("windows/system32/capi2032.dll"));

    EXPECT_TRUE(MoveFileExA("C:\\windows\\folder", target, MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(GetFileAttributesA(target), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_FALSE(drive.Exists("windows/folder"));
}

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

TEST(Errors, LastErrorIsPerThread) {
    SetLastError(1234);
    DWORD seen = 0;
    std::thread([&] { seen = GetLastError(); }).join();
    EXPECT_EQ(seen, 0u);
    EXPECT_EQ(GetLastError(), 1234u);
}

// Calls that meet EACCES from the host, as an unprivileged user sees them on
// the drive that RefusedHostAccessIsAccessDenied lays out. Each answers
// whether the call succeeded.
bool ReadSecret() {
    HANDLE h = Open("C:\\secret.dll", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    return h != INVALID_HANDLE_VALUE && CloseHandle(h);
}
bool OpenSecret() {
    OFSTRUCT info;
    HFILE file = OpenFile("C:\\secret.dll", &info, OF_READ);
    return file != HFILE_ERROR && _lclose(file) == 0;
}
bool CreateInSealed() {
    HANDLE h = Open("C:\\sealed\\new.dll", GENERIC_WRITE, 0, CREATE_NEW);
    return h != INVALID_HANDLE_VALUE && CloseHandle(h);
}
bool DeleteFromSealed() {
    return DeleteFileA("C:\\sealed\\kept.dll");
}
bool MoveOutOfSealed() {
    return MoveFileExA("C:\\sealed\\kept.dll", "C:\\sealed\\moved.dll", 0);
}
bool AttributesInClosed() {
    return GetFileAttributesA("C:\\closed\\inside.dll") != INVALID_FILE_ATTRIBUTES;
}
bool AttributesInUnlisted() {  // the case-insensitive lookup needs the listing
    return GetFileAttributesA("C:\\unlisted\\INSIDE.DLL") != INVALID_FILE_ATTRIBUTES;
}
bool GuardedAttributesInUnlisted() {  // guard mode needs the listing for any name
    posix::SetRemovalGuard(true);
    bool found = GetFileAttributesA("C:\\unlisted\\inside.dll") != INVALID_FILE_ATTRIBUTES;
    posix::SetRemovalGuard(false);
    return found;
}
bool GuardedDeleteFromSealed() {
    posix::SetRemovalGuard(true);
    bool deleted = DeleteFileA("C:\\sealed\\kept.dll");
    posix::SetRemovalGuard(false);
    return deleted;
}
bool EnterClosed() {
    return SetCurrentDirectoryA("C:\\closed");
}
bool ListClosed() {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA("C:\\closed\\*", &data);
    return find != INVALID_HANDLE_VALUE && FindClose(find);
}

const struct {
    const char* what;
    bool (*call)();
} kRefusedCalls[] = {
    {"CreateFileA reads a file without read rights", ReadSecret},
    {"OpenFile reads a file without read rights", OpenSecret},
    {"CreateFileA creates in a folder without write rights", CreateInSealed},
    {"DeleteFileA deletes from a folder without write rights", DeleteFromSealed},
    {"MoveFileExA renames in a folder without write rights", MoveOutOfSealed},
    {"GetFileAttributesA looks into a folder without search rights", AttributesInClosed},
    {"GetFileAttributesA looks for a name in any case in a folder it cannot list",
     AttributesInUnlisted},
    {"GetFileAttributesA in guard mode in a folder it cannot list", GuardedAttributesInUnlisted},
    {"DeleteFileA in guard mode deletes from a folder without write rights",
     GuardedDeleteFromSealed},
    {"SetCurrentDirectoryA enters a folder without search rights", EnterClosed},
    {"FindFirstFileA lists a folder without read rights", ListClosed},
};

constexpr DWORD kSucceeded = 0xFFFFFFFFu;
constexpr int kStillPrivileged = 77;

struct RefusedRun {
    int pipe;
    std::string secret;  // host path of C:\secret.dll
};

// In a child process: drops root's rights for those of "nobody", then sends
// each call's error code (or kSucceeded) through the pipe.
int CallWithoutRights(void* context) {
    const RefusedRun* run = static_cast<const RefusedRun*>(context);
    const uid_t nobody = 65534;
    if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setresgid(nobody, nobody, nobody) != 0 ||
                           setresuid(nobody, nobody, nobody) != 0))
        return kStillPrivileged;
    if (access(run->secret.c_str(), R_OK) == 0) return kStillPrivileged;
    for (const auto& c : kRefusedCalls) {
        const DWORD code = c.call() ? kSucceeded : GetLastError();
        if (write(run->pipe, &code, sizeof code) != static_cast<ssize_t>(sizeof code)) return 1;
    }
    return 0;
}

TEST(Errors, RefusedHostAccessIsAccessDenied) {
    support::TempDrive drive;
    drive.WriteFile("secret.dll", "MZ");
    drive.WriteFile("sealed/kept.dll", "MZ");
    drive.WriteFile("closed/inside.dll", "MZ");
    drive.WriteFile("unlisted/inside.dll", "MZ");
    ASSERT_EQ(chmod(drive.Root().c_str(), 0755), 0);
    ASSERT_EQ(chmod(drive.Host("unlisted").c_str(), 0111), 0);
    ASSERT_EQ(chmod(drive.Host("secret.dll").c_str(), 0), 0);
    ASSERT_EQ(chmod(drive.Host("sealed").c_str(), 0555), 0);
    ASSERT_EQ(chmod(drive.Host("closed").c_str(), 0), 0);

    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    RefusedRun run{fds[1], drive.Host("secret.dll")};
    const int status = support::RunInChild(CallWithoutRights, &run);
    close(fds[1]);
    std::vector<DWORD> codes;
    DWORD code;
    while (read(fds[0], &code, sizeof code) == static_cast<ssize_t>(sizeof code))
        codes.push_back(code);
    close(fds[0]);
    if (status == kStillPrivileged)
        GTEST_SKIP() << "cannot drop privileges: the tests run with rights that ignore file "
                        "modes and cannot take those of the user nobody (65534)";
    ASSERT_EQ(status, 0);
    ASSERT_EQ(codes.size(), std::size(kRefusedCalls));
    for (size_t i = 0; i < codes.size(); ++i)
        EXPECT_EQ(codes[i], static_cast<DWORD>(ERROR_ACCESS_DENIED)) << kRefusedCalls[i].what;
    EXPECT_TRUE(drive.Exists("sealed/kept.dll"));
}

// A pipe, a socket or a device in a file's place is someone else's: it
// answers FILE_ATTRIBUTE_DEVICE, and no call opens, changes or removes it, or
// waits on it (an open of a pipe without a writer would wait for ever).
TEST(SpecialFiles, AreNeitherOpenedNorChangedNorRemoved) {
    support::TempDrive drive;
    drive.MakeDirs("windows/system32");
    std::vector<std::string> names = {"fifo.dll", "sock.dll", "link.dll"};
    ASSERT_EQ(mkfifo(drive.Host("windows/system32/fifo.dll").c_str(), 0644), 0);
    int sock = socket(AF_UNIX, SOCK_STREAM, 0);
    struct sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    std::string socketPath = drive.Host("windows/system32/sock.dll");
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
    ASSERT_EQ(bind(sock, reinterpret_cast<struct sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(
        symlink("/windows/system32/fifo.dll", drive.Host("windows/system32/link.dll").c_str()), 0);
    if (geteuid() == 0 &&
        mknod(drive.Host("windows/system32/null.dll").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0)
        names.push_back("null.dll");
    alarm(30);  // a call that waits ends the test program
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        std::string path = "C:\\windows\\system32\\" + name;
        EXPECT_EQ(GetFileAttributesA(path.c_str()), static_cast<DWORD>(FILE_ATTRIBUTE_DEVICE));
        for (DWORD access : {0u, GENERIC_READ, GENERIC_WRITE}) {
            EXPECT_EQ(Open(path.c_str(), access, FILE_SHARE_READ, OPEN_EXISTING),
                      INVALID_HANDLE_VALUE);
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
        }
        OFSTRUCT info;
        EXPECT_EQ(OpenFile(path.c_str(), &info, OF_READ), HFILE_ERROR);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
        DWORD handle = 0;
        EXPECT_EQ(GetFileVersionInfoSizeA(path.c_str(), &handle), 0u);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
        EXPECT_FALSE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
        EXPECT_FALSE(DeleteFileA(path.c_str()));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
        EXPECT_TRUE(drive.Exists("windows/system32/" + name));
    }
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA("C:\\windows\\system32\\fifo.dll", &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_EQ(data.dwFileAttributes, static_cast<DWORD>(FILE_ATTRIBUTE_DEVICE));
    FindClose(find);
    alarm(0);
    close(sock);
}

}  // namespace
