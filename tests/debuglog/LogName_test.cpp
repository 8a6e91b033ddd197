// A log name of the program's choosing (SetLogName): where the log lands,
// where its numbered files go when another program holds it, and when the
// name cannot be changed.
#include <gtest/gtest.h>

#include <string>

#include "debuglog/DebugFile.h"
#include "debuglog/LogState.h"
#include "platform/Windows.h"
#include "tests/debuglog/LogTestSupport.h"
#include "tests/support/TempDrive.h"

using debuglog::Shared;
using logtest::IsStamp;
using logtest::Lines;
using logtest::RunInChild;
using logtest::TempWindows;

namespace {

const char kNotice[] = "Eine weitere Instanz der Applikation wurde gefunden!";

// Opens the chosen log as a program does, writes one line, closes it; the
// name the shared log ended with.
std::string WriteOnce(const std::string& name, const char* line) {
    CDebugFile* log = new CDebugFile;
    log->Enable(1);
    EXPECT_EQ(CDebugFile::SetLogName(name.c_str()), 1);
    EXPECT_EQ(log->Open(name.c_str(), 1, 0), 1) << name;
    // A library object created now attaches to the same file.
    int opened = 0;
    CDebugFile* owner = CDebugFile::OpenForOwner(&opened);
    EXPECT_EQ(opened, 1);
    owner->WriteLine("%s", line);
    delete owner;
    std::string current = Shared().logName.load();
    delete log;
    return current;
}

}  // namespace

// Where the log and its first numbered file go, for a plain name and for
// names with a folder (Windows and host paths, either separator).
TEST(LogName, TheLogAndItsNumberedFileLieWhereTheNameSays) {
    TempWindows drive;
    drive.MakeDirs("logs");
    const std::string host = drive.Host("logs");
    const struct {
        std::string name;          // given to SetLogName and Open
        std::string file;          // where the log lands, relative to the drive root
        std::string numbered;      // the numbered file when the log is held
        std::string numberedName;  // the log name after the fallback
    } cases[] = {
        {"Lauf.log", "windows/Lauf.log", "windows/Lauf1.log", "Lauf1.log"},
        {"C:\\logs\\run.log", "logs/run.log", "logs/run1.log", "C:\\logs\\run1.log"},
        {"C:/logs/run.txt", "logs/run.txt", "logs/run1.log", "C:/logs/run1.log"},
        {"C:\\logs\\run", "logs/run", "logs/run1.log", "C:\\logs\\run1.log"},
        {host + "/host.log", "logs/host.log", "logs/host1.log", host + "/host1.log"},
    };
    for (const auto& c : cases) {
        RunInChild([&] {
            EXPECT_EQ(WriteOnce(c.name, "frei"), c.name);
            std::vector<std::string> lines = Lines(drive.ReadFile(c.file));
            ASSERT_GE(lines.size(), 5u) << c.name;
            EXPECT_TRUE(IsStamp(lines[0], "open")) << lines[0];
            EXPECT_EQ(lines[2], "frei");
            EXPECT_TRUE(IsStamp(lines[4], "close")) << lines[4];
        });
        // Held by another program: the log goes on in the numbered file,
        // which starts with the notice; the held file is not written.
        const std::string held = drive.ReadFile(c.file);
        {
            std::string onC = "C:\\" + c.file;
            for (char& ch : onC)
                if (ch == '/') ch = '\\';
            support::HeldFile holder(onC, GENERIC_READ, 0);
            ASSERT_TRUE(holder.Holding()) << c.name;
            RunInChild([&] {
                EXPECT_EQ(WriteOnce(c.name, "daneben"), c.numberedName);
                std::vector<std::string> lines = Lines(drive.ReadFile(c.numbered));
                ASSERT_GE(lines.size(), 6u) << c.numbered;
                EXPECT_TRUE(IsStamp(lines[0], "open")) << lines[0];
                EXPECT_TRUE(IsStamp(lines[2], kNotice)) << lines[2];
                EXPECT_EQ(lines[3], "daneben");
            });
        }
        EXPECT_EQ(drive.ReadFile(c.file), held) << c.name;
    }
}

TEST(LogName, RefusedNamesAndAnOpenLogKeepTheName) {
    TempWindows drive;
    RunInChild([&] {
        EXPECT_EQ(CDebugFile::SetLogName(nullptr), 0);
        EXPECT_EQ(CDebugFile::SetLogName(""), 0);
        EXPECT_EQ(CDebugFile::SetLogName(std::string(260, 'x').c_str()), 0);
        EXPECT_STREQ(Shared().logName.load(), "Debug.log");
        CDebugFile* log = logtest::OpenLog();
        EXPECT_EQ(CDebugFile::SetLogName("Other.log"), 0);
        EXPECT_STREQ(Shared().logName.load(), "Debug.log");
        delete log;
        EXPECT_EQ(CDebugFile::SetLogName("Other.log"), 1);
        EXPECT_STREQ(Shared().logName.load(), "Other.log");
    });
}
