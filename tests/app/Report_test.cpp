// The run's rules for what a library is and when it is handled, and the record
// it keeps of each library: one row per situation, with the platform's answers
// forced where the host cannot give them.
#include "app/Report.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/Cleanup.h"
#include "platform/Windows.h"
#include "tests/support/ForcedCalls.h"
#include "tests/support/PeWriter.h"
#include "tests/support/TempDrive.h"

namespace {

const char kSuccess[] =
    "Das System wurde erfolgreich aktualisiert.\n"
    "Sie m\xFCssen den Computer neu starten, damit die \xC4nderungen wirksam werden.";
const char kFailure[] = "Das System konnte nicht aktualisiert werden.";
const char kDryRun[] = "\nProbelauf: Es wurde nichts ge\xE4ndert.";

const char kLib1[] = "windows/system32/CAPI2032.DLL";
const char kLib2[] = "windows/system/capi20.dll";
const char kLib3[] = "windows/system/capi.dll";
const char kDirectory[] = "<dir>";  // a folder instead of a file

// ERROR_SEEK and ERROR_CANT_RESOLVE_FILENAME.
constexpr DWORD kSeek = 25;
constexpr DWORD kAmbiguous = 1921;
constexpr DWORD kDeviceAttribute = 0x40;

std::string Bytes(const std::vector<uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

std::string Filler(size_t count) {
    std::string out(count, 'a');
    for (size_t i = 0; i < count; ++i) out[i] = static_cast<char>('a' + (i * 7 + i / 26) % 26);
    return out;
}

const std::string kNoVersion = Bytes(fixtures::DllWithCompany(nullptr));
// A library without version resource: 300 filler bytes, then `text`.
std::string WithBytes(const std::string& text, size_t tail = 300) {
    return kNoVersion + Filler(300) + text + std::string(1, '\0') + Filler(tail);
}
const long long kTextAt = static_cast<long long>(kNoVersion.size()) + 300;

const char* FindingName(Finding finding) {
    switch (finding) {
        case Finding::kNotExamined:
            return "not examined";
        case Finding::kAbsent:
            return "absent";
        case Finding::kNotAFile:
            return "not a file";
        case Finding::kForeign:
            return "foreign";
        case Finding::kMakerByCompany:
            return "by company";
        case Finding::kMakerByContent:
            return "by content";
        case Finding::kCannotExamine:
            return "cannot examine";
    }
    return "?";
}

// One library's record in one line: "<finding> [details]; <action> [errors]".
std::string Describe(const LibraryReport& r) {
    std::ostringstream out;
    out << FindingName(r.finding);
    if (r.finding == Finding::kForeign) out << " \"" << r.company << "\"";
    if (r.finding == Finding::kMakerByCompany)
        out << " " << r.makerName << " \"" << r.company << "\"";
    if (r.finding == Finding::kMakerByContent) out << " " << r.makerName << " @" << r.offset;
    if (r.finding == Finding::kCannotExamine) out << " " << r.examineError;
    switch (r.action) {
        case Action::kNothing:
            out << "; nothing";
            break;
        case Action::kDeleted:
            out << "; deleted";
            break;
        case Action::kScheduled:
            out << "; scheduled " << r.deleteError;
            break;
        case Action::kWouldDelete:
            out << "; would delete";
            break;
        case Action::kFailed:
            out << "; failed " << r.deleteError << "/" << r.scheduleError;
            break;
    }
    return out.str();
}

std::string At(long long offset) {
    return std::to_string(offset);
}

struct Forced {
    const char* function;
    DWORD error;  // 0: the call succeeds
};

struct Case {
    const char* name;
    std::map<std::string, std::string> files;  // relative path -> bytes, or kDirectory
    std::vector<Forced> forced;
    bool dryRun;
    bool holdFirst;  // another process holds library 1 with share mode 0
    std::vector<std::string> records;
    Outcome outcome;
    std::string message;
};

class RunRecord : public ::testing::Test {
protected:
    void TearDown() override {
        posix::ClearForced();
        m_drive.reset();
    }

    // A new drive C: with the two system folders and `files`.
    support::TempDrive& Lay(const std::map<std::string, std::string>& files) {
        m_drive.reset();  // first: the old drive's end unmaps C:
        m_drive.reset(new support::TempDrive);
        m_drive->MakeDirs("windows/system32");
        m_drive->MakeDirs("windows/system");
        for (const auto& file : files) {
            if (file.second == kDirectory)
                m_drive->MakeDirs(file.first);
            else
                m_drive->WriteFile(file.first, file.second);
        }
        return *m_drive;
    }

    RunReport Run(bool dryRun, std::vector<support::ShownMessage>* shown = nullptr) {
        RunReport report;
        RunOptions options;
        options.dryRun = dryRun;
        options.report = &report;
        support::MessageCapture capture;
        EXPECT_EQ(RunCleanup(options), 0);
        if (shown) *shown = capture.Messages();
        return report;
    }

    std::unique_ptr<support::TempDrive> m_drive;
};

TEST_F(RunRecord, EveryFindingAndActionAndTheOutcome) {
    const std::string maker = Bytes(fixtures::DllWithCompany("QZM GmbH"));
    const std::string makerLower = Bytes(fixtures::DllWithCompany("qzm gmbh", true));
    const std::string foreign = Bytes(fixtures::DllWithCompany("Other Networks AG"));
    const std::string none = "absent; nothing", later = "not examined; nothing";
    const Case cases[] = {
        {"nothing present", {}, {}, false, false, {none, none, none}, Outcome::kUpdated, kSuccess},
        {"by company, foreign with and without a company name",
         {{kLib1, makerLower}, {kLib2, foreign}, {kLib3, WithBytes("qzm gmbh")}},
         {},
         false,
         false,
         {"by company QZM GmbH \"qzm gmbh\"; deleted", "foreign \"Other Networks AG\"; nothing",
          "foreign \"\"; nothing"},
         Outcome::kUpdated,
         kSuccess},
        {"by content, with the offset of the first hit; a folder in a library's place",
         {{kLib1, kDirectory}, {kLib2, WithBytes("[Id: QZM Korvik 2.1] QZM Korvik")}},
         {},
         false,
         false,
         {"not a file; nothing", "by content QZM Korvik @" + At(kTextAt + 5) + "; deleted", none},
         Outcome::kUpdated,
         kSuccess},
        {"scheduled for the restart",
         {{kLib1, maker}, {kLib3, maker}},
         {{"DeleteFileA", ERROR_ACCESS_DENIED}, {"MoveFileExA", 0}},
         false,
         false,
         {"by company QZM GmbH \"QZM GmbH\"; scheduled 5", none,
          "by company QZM GmbH \"QZM GmbH\"; scheduled 5"},
         Outcome::kUpdatedRestartNeeded,
         kSuccess},
        {"neither deleted nor scheduled: the later libraries are not examined",
         {{kLib1, maker}, {kLib2, maker}},
         {{"DeleteFileA", ERROR_ACCESS_DENIED}},
         false,
         false,
         {"by company QZM GmbH \"QZM GmbH\"; failed 5/50", later, later},
         Outcome::kNotUpdated,
         kFailure},
        {"dry run: the maker's would be deleted, as if every delete succeeded",
         {{kLib1, maker}, {kLib2, WithBytes("QZM GmbH")}, {kLib3, foreign}},
         {{"DeleteFileA", ERROR_ACCESS_DENIED}},
         true,
         false,
         {"by company QZM GmbH \"QZM GmbH\"; would delete",
          "by content QZM GmbH @" + At(kTextAt) + "; would delete",
          "foreign \"Other Networks AG\"; nothing"},
         Outcome::kUpdated,
         std::string(kSuccess) + kDryRun},
        {"dry run that cannot examine a library",
         {{kLib1, maker}},
         {{"CreateFileA", ERROR_ACCESS_DENIED}},
         true,
         false,
         {"cannot examine 5; nothing", later, later},
         Outcome::kNotUpdated,
         std::string(kFailure) + kDryRun},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Lay(c.files);
        for (const Forced& f : c.forced) {
            if (f.error)
                posix::ForceFailure(f.function, f.error);
            else
                posix::ForceSuccess(f.function);
        }
        std::vector<support::ShownMessage> shown;
        RunReport report = Run(c.dryRun, &shown);
        posix::ClearForced();
        std::vector<std::string> records;
        for (const LibraryReport& r : report.libraries) records.push_back(Describe(r));
        EXPECT_EQ(records, c.records);
        EXPECT_EQ(report.outcome, c.outcome);
        EXPECT_EQ(report.message, c.message);
        EXPECT_EQ(report.dryRun, c.dryRun);
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].text, c.message);
    }
}

TEST_F(RunRecord, PathsAndDetails) {
    Lay({});
    posix::ForceFailure("CreateFileA", kAmbiguous);
    RunReport report = Run(false);
    ASSERT_EQ(report.libraries.size(), 3u);
    EXPECT_EQ(report.systemDirectory, "C:\\windows\\system32");
    EXPECT_EQ(report.libraries[0].path, "C:\\windows\\system32\\CAPI2032.DLL");
    EXPECT_EQ(report.libraries[1].path, "C:\\windows\\system\\capi20.dll");
    EXPECT_EQ(report.libraries[2].path, "C:\\windows\\system\\capi.dll");
    EXPECT_EQ(report.libraries[0].finding, Finding::kCannotExamine);
    EXPECT_FALSE(report.libraries[0].detail.empty());
}

// The rules of a library's place. Library 1 is the one looked at; a maker's
// capi20.dll after it shows whether the run went on.
TEST_F(RunRecord, TheRulesOfALibrarysPlace) {
    const std::string maker = Bytes(fixtures::DllWithCompany("QZM GmbH"));
    const std::string deleted = "by company QZM GmbH \"QZM GmbH\"; deleted";
    const std::string later = "not examined; nothing";
    struct Rule {
        const char* name;
        std::string first;  // bytes of library 1, or kDirectory
        std::vector<Forced> forced;
        DWORD attributes;  // forced answer of GetFileAttributesA, 0 for the real one
        bool hold;
        std::string record;
        bool goesOn;              // handled: capi20.dll is examined (and deleted)
        const char* detail = "";  // a word of the record's detail
    };
    const Rule rules[] = {
        // Not a file: someone else's, kept, handled.
        {"a folder", kDirectory, {}, 0, false, "not a file; nothing", true},
        {"a pipe, socket or device",
         maker,
         {{"CreateFileA", ERROR_ACCESS_DENIED}},
         kDeviceAttribute,
         false,
         "not a file; nothing",
         true},
        // Absent only when the lookup says it does not exist.
        {"path not found",
         maker,
         {{"CreateFileA", ERROR_PATH_NOT_FOUND}},
         0,
         false,
         "absent; nothing",
         true},
        // Cannot examine: not handled, the later ones are not examined.
        {"the lookup fails (ambiguous name)",
         maker,
         {{"CreateFileA", kAmbiguous}},
         0,
         false,
         "cannot examine 1921; nothing",
         false,
         "look it up"},
        {"the lookup fails (path too long)",
         maker,
         {{"CreateFileA", ERROR_FILENAME_EXCED_RANGE}},
         0,
         false,
         "cannot examine 206; nothing",
         false,
         "look it up"},
        {"it exists but cannot be opened",
         maker,
         {{"CreateFileA", ERROR_ACCESS_DENIED}},
         0,
         false,
         "cannot examine 5; nothing",
         false,
         "open it"},
        {"held without sharing by another process",
         maker,
         {},
         0,
         true,
         "cannot examine 32; nothing",
         false,
         "version resource"},
        {"the content search cannot open it",
         WithBytes("no name here"),
         {{"OpenFile", ERROR_SHARING_VIOLATION}},
         0,
         false,
         "cannot examine 32; nothing",
         false,
         "content search"},
        {"the content search cannot read it",
         WithBytes("no name here"),
         {{"_lread", ERROR_READ_FAULT}},
         0,
         false,
         "cannot examine 30; nothing",
         false,
         "content search"},
        {"the content search cannot move on after a full block",
         WithBytes("no name here", 60000),
         {{"_llseek", kSeek}},
         0,
         false,
         "cannot examine 25; nothing",
         false,
         "content search"},
        // Read to its end: a file shorter than a maker name, which cannot move
        // back after its one block, and a version read that finds nothing.
        {"a file shorter than a maker name", "MZ", {}, 0, false, "foreign \"\"; nothing", true},
        {"a hit decides even when the rest cannot be read",
         WithBytes("QZM Korvik", 60000),
         {{"_llseek", kSeek}},
         0,
         false,
         "by content QZM Korvik @" + At(kTextAt) + "; deleted",
         true},
    };
    for (const Rule& rule : rules) {
        SCOPED_TRACE(rule.name);
        support::TempDrive& drive = Lay({{kLib1, rule.first}, {kLib2, maker}});
        std::unique_ptr<support::HeldFile> hold;
        if (rule.hold) {
            hold.reset(
                new support::HeldFile("C:\\windows\\system32\\CAPI2032.DLL", GENERIC_READ, 0));
            ASSERT_TRUE(hold->Holding());
        }
        for (const Forced& f : rule.forced) posix::ForceFailure(f.function, f.error);
        if (rule.attributes) posix::ForceValue("GetFileAttributesA", rule.attributes);
        RunReport report = Run(false);
        posix::ClearForced();
        ASSERT_EQ(report.libraries.size(), 3u);
        EXPECT_EQ(Describe(report.libraries[0]), rule.record);
        EXPECT_EQ(report.outcome, rule.goesOn ? Outcome::kUpdated : Outcome::kNotUpdated);
        EXPECT_EQ(report.message, rule.goesOn ? kSuccess : kFailure);
        if (report.libraries[0].finding == Finding::kCannotExamine) {
            EXPECT_NE(report.libraries[0].detail.find(rule.detail), std::string::npos)
                << report.libraries[0].detail;
        }
        // The forced answers meet capi20.dll as well; whether it was looked
        // at is what counts.
        EXPECT_EQ(report.libraries[1].finding != Finding::kNotExamined, rule.goesOn);
        EXPECT_EQ(drive.Exists(kLib1), report.libraries[0].action != Action::kDeleted);
        if (!rule.goesOn) {
            EXPECT_TRUE(drive.Exists(kLib2));
        }
    }
}

// Neither deleted nor scheduled: the attributes cleared for the delete are put
// back, so a read-only maker file stays read-only.
TEST_F(RunRecord, NothingHalfDone) {
    support::TempDrive& drive = Lay({{kLib1, Bytes(fixtures::DllWithCompany("QZM GmbH"))}});
    const std::string host = drive.Host(kLib1);
    ASSERT_EQ(chmod(host.c_str(), 0444), 0);
    posix::ForceFailure("DeleteFileA", ERROR_ACCESS_DENIED);
    RunReport report = Run(false);
    EXPECT_EQ(Describe(report.libraries[0]), "by company QZM GmbH \"QZM GmbH\"; failed 5/50");
    struct stat st;
    ASSERT_EQ(stat(host.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0444u);

    // Scheduled: the file goes at the restart, its attributes stay cleared.
    posix::ForceSuccess("MoveFileExA");
    report = Run(false);
    EXPECT_EQ(report.libraries[0].action, Action::kScheduled);
    ASSERT_EQ(stat(host.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
}

// Names, types, modes and contents of every entry below the drive root.
std::map<std::string, std::string> Listing(const std::string& root) {
    std::map<std::string, std::string> listing;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        struct stat st;
        if (lstat(entry.path().c_str(), &st) != 0) continue;
        std::string what = std::to_string(st.st_mode);
        if (S_ISREG(st.st_mode)) {
            std::ifstream in(entry.path(), std::ios::binary);
            std::ostringstream bytes;
            bytes << in.rdbuf();
            what += ":" + bytes.str();
        }
        listing[entry.path().string().substr(root.size())] = what;
    }
    return listing;
}

TEST_F(RunRecord, ADryRunLeavesTheTreeAsItWas) {
    support::TempDrive& drive = Lay({{kLib1, Bytes(fixtures::DllWithCompany("QZM Korvik"))},
                                     {kLib2, WithBytes("QZM GmbH")},
                                     {kLib3, Bytes(fixtures::DllWithCompany("qzm-gmbh"))}});
    ASSERT_EQ(chmod(drive.Host(kLib1).c_str(), 0444), 0);
    ASSERT_EQ(chmod(drive.Host(kLib3).c_str(), 0400), 0);
    const auto before = Listing(drive.Root());
    RunReport report = Run(true);
    EXPECT_EQ(Listing(drive.Root()), before);
    for (const LibraryReport& library : report.libraries)
        EXPECT_EQ(library.action, Action::kWouldDelete) << library.path;
    EXPECT_EQ(report.outcome, Outcome::kUpdated);

    // The real run then removes all three.
    report = Run(false);
    for (const LibraryReport& library : report.libraries)
        EXPECT_EQ(library.action, Action::kDeleted) << library.path;
}

// Asking for the record changes nothing the run does: the same traces (the
// library's own at every level included) and the same message box.
TEST_F(RunRecord, ARecordedRunIsTheRunWithoutOne) {
    auto lay = [&] {
        Lay({{kLib1, WithBytes("[QZM GmbH]")},
             {kLib2, Bytes(fixtures::DllWithCompany("Other Networks AG"))},
             {kLib3, Bytes(fixtures::DllWithCompany("QZM GmbH"))}});
    };
    std::vector<std::string> traces[2];
    std::vector<support::ShownMessage> shown[2];
    for (int recorded = 0; recorded < 2; ++recorded) {
        lay();
        support::DebugCapture capture(1);
        support::MessageCapture messages;
        if (recorded) {
            RunReport report;
            RunOptions options;
            options.report = &report;
            RunCleanup(options);
        } else {
            RunCleanup();
        }
        traces[recorded] = capture.Lines();
        shown[recorded] = messages.Messages();
    }
    EXPECT_FALSE(traces[0].empty());
    EXPECT_EQ(traces[0], traces[1]);
    ASSERT_EQ(shown[0].size(), 1u);
    ASSERT_EQ(shown[1].size(), 1u);
    EXPECT_EQ(shown[0][0].text, shown[1][0].text);
}

}  // namespace
