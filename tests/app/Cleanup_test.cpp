// The cleanup run on generated Windows trees: what is removed, what stays,
// what is scheduled, and the message shown.
#include "app/Cleanup.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "app/Ownership.h"
#include "platform/Windows.h"
#include "tests/support/ForcedCalls.h"
#include "tests/support/PeWriter.h"
#include "tests/support/TempDrive.h"

namespace {

const char kSuccess[] =
    "Das System wurde erfolgreich aktualisiert.\n"
    "Sie m\xFCssen den Computer neu starten, damit die \xC4nderungen wirksam werden.";
const char kFailure[] = "Das System konnte nicht aktualisiert werden.";

class CleanupRun : public ::testing::Test {
protected:
    void SetUp() override {
        drive.MakeDirs("windows/system32");
        drive.MakeDirs("windows/system");
    }
    void TearDown() override { posix::ClearForced(); }

    void Put(const std::string& relative, const char* company, bool pe32plus = false) {
        drive.WriteFile(relative, fixtures::DllWithCompany(company, pe32plus));
    }
    // A library without version resource whose bytes carry `text`.
    void PutWithBytes(const std::string& relative, const std::string& text) {
        std::vector<uint8_t> image = fixtures::DllWithCompany(nullptr);
        const std::string filler(300, 'x');
        drive.WriteFile(relative, std::string(image.begin(), image.end()) + filler + text +
                                      std::string(1, '\0') + filler);
    }
    // Runs the cleanup and returns the one message it showed.
    support::ShownMessage Run() {
        support::MessageCapture capture;
        EXPECT_EQ(RunCleanup(), 0);
        std::vector<support::ShownMessage> shown = capture.Messages();
        EXPECT_EQ(shown.size(), 1u);
        return shown.empty() ? support::ShownMessage{} : shown[0];
    }

    support::TempDrive drive;
};

TEST_F(CleanupRun, NothingPresentShowsTheSuccessText) {
    support::ShownMessage shown = Run();
    EXPECT_EQ(shown.text, kSuccess);
    EXPECT_EQ(shown.caption, "Velkorant Installationbereiniger");
    EXPECT_EQ(shown.style, static_cast<unsigned>(MB_ICONINFORMATION | MB_SETFOREGROUND));
}

TEST_F(CleanupRun, MakerCopiesInAnyLetterCaseGoFromBothDirectories) {
    Put("windows/system32/capi2032.dll", "QZM GmbH");
    Put("windows/system/CAPI20.DLL", "qzm gmbh", true);
    drive.WriteFile("windows/system/Capi.dll",
                    fixtures::Ne(fixtures::VersionBlock16(fixtures::CompanySpec("QZM Korvik"))));
    EXPECT_EQ(Run().text, kSuccess);
    EXPECT_FALSE(drive.Exists("windows/system32/capi2032.dll"));
    EXPECT_FALSE(drive.Exists("windows/system/CAPI20.DLL"));
    EXPECT_FALSE(drive.Exists("windows/system/Capi.dll"));
}

TEST_F(CleanupRun, OtherMakersLibrariesStay) {
    Put("windows/system32/CAPI2032.DLL", "Other Networks AG");
    Put("windows/system/capi20.dll", "QZM GmbH Korvik");  // not the whole name
    Put("windows/system/capi.dll", nullptr);              // no version information
    EXPECT_EQ(Run().text, kSuccess);
    EXPECT_TRUE(drive.Exists("windows/system32/CAPI2032.DLL"));
    EXPECT_TRUE(drive.Exists("windows/system/capi20.dll"));
    EXPECT_TRUE(drive.Exists("windows/system/capi.dll"));
}

// Without a company name the bytes decide. A library whose bytes cannot be
// read (held without sharing elsewhere) cannot be decided: it is not taken
// for the maker's, nor for someone else's, so the run fails there and the
// library after it is not examined.
TEST_F(CleanupRun, LibrariesAreRemovedByTheirBytesAndOneThatCannotBeReadFailsTheRun) {
    PutWithBytes("windows/system32/CAPI2032.DLL", "QZM GmbH");
    PutWithBytes("windows/system/capi20.dll", "[Id: QZM Korvik 2.1]");
    PutWithBytes("windows/system/capi.dll", "QZM-GmbH");
    support::HeldFile holder("C:\\windows\\system\\capi20.dll", GENERIC_READ, 0);
    ASSERT_TRUE(holder.Holding());
    EXPECT_EQ(Run().text, kFailure);
    EXPECT_FALSE(drive.Exists("windows/system32/CAPI2032.DLL"));
    EXPECT_TRUE(drive.Exists("windows/system/capi20.dll"));
    EXPECT_TRUE(drive.Exists("windows/system/capi.dll"));
}

TEST_F(CleanupRun, OnlyTheFirstTranslationCounts) {
    fixtures::VersionSpec spec;
    spec.tables.push_back({0x0409, 0x04b0, {{"FileDescription", "CAPI"}}});
    spec.tables.push_back({0x0407, 0x04b0, {{"CompanyName", "QZM GmbH"}}});
    spec.translations = {0x04b00409, 0x04b00407};
    drive.WriteFile("windows/system32/CAPI2032.DLL", fixtures::Pe(fixtures::VersionBlock32(spec)));
    EXPECT_EQ(HasMakerCompanyName("C:\\windows\\system32\\CAPI2032.DLL"), 0);
    Run();
    EXPECT_TRUE(drive.Exists("windows/system32/CAPI2032.DLL"));
}

TEST_F(CleanupRun, ReadOnlyMakerLibraryIsRemoved) {
    Put("windows/system32/CAPI2032.DLL", "QZM-GmbH");
    chmod(drive.Host("windows/system32/CAPI2032.DLL").c_str(), 0444);
    EXPECT_EQ(Run().text, kSuccess);
    EXPECT_FALSE(drive.Exists("windows/system32/CAPI2032.DLL"));
}

TEST_F(CleanupRun, DirectoryWithALibrarysNameIsLeftAlone) {
    drive.MakeDirs("windows/system32/CAPI2032.DLL");
    EXPECT_EQ(RemoveLibrary("C:\\windows\\system32\\CAPI2032.DLL"), 1);
    EXPECT_EQ(Run().text, kSuccess);
    EXPECT_TRUE(drive.Exists("windows/system32/CAPI2032.DLL"));
}

TEST_F(CleanupRun, UndeletableLibraryIsScheduledAndTheRunGoesOn) {
    Put("windows/system/capi20.dll", "QZM GmbH");
    Put("windows/system/capi.dll", "QZM Korvik");
    posix::ForceFailure("DeleteFileA", ERROR_ACCESS_DENIED);
    posix::ForceSuccess("MoveFileExA");
    EXPECT_EQ(Run().text, kSuccess);
    EXPECT_EQ(posix::ForcedMoves(), (std::vector<std::string>{"C:\\windows\\system\\capi20.dll",
                                                              "C:\\windows\\system\\capi.dll"}));
}

TEST_F(CleanupRun, WhenSchedulingFailsTooTheLaterLibrariesAreNotExamined) {
    Put("windows/system32/CAPI2032.DLL", "QZM GmbH");
    Put("windows/system/capi20.dll", "QZM GmbH");
    posix::ForceFailure("DeleteFileA", ERROR_ACCESS_DENIED);  // scheduling fails on its own here
    support::DebugCapture traces(1);  // level-1 traces show what was examined
    support::ShownMessage shown = Run();
    EXPECT_EQ(shown.text, kFailure);
    EXPECT_EQ(RemoveLibrary("C:\\windows\\system32\\CAPI2032.DLL"), 0);
    for (const std::string& line : traces.Lines())
        EXPECT_EQ(line.find("capi20.dll"), std::string::npos) << line;
    EXPECT_TRUE(drive.Exists("windows/system/capi20.dll"));
}

// The rule holds for the third library too: a maker's capi.dll after a
// failed CAPI2032.DLL stays, and not even its path is looked at.
TEST_F(CleanupRun, AfterAFailureTheThirdLibraryIsNotExaminedEither) {
    Put("windows/system32/CAPI2032.DLL", "QZM GmbH");
    Put("windows/system/capi.dll", "QZM GmbH");
    posix::ForceFailure("DeleteFileA", ERROR_ACCESS_DENIED);
    posix::ForceFailure("MoveFileExA", ERROR_ACCESS_DENIED);
    support::DebugCapture traces(1);  // level-1 traces show what was examined
    EXPECT_EQ(Run().text, kFailure);
    EXPECT_FALSE(traces.With("CAPI2032.DLL").empty());
    EXPECT_EQ(traces.With("capi.dll"), std::vector<std::string>{});
    EXPECT_TRUE(drive.Exists("windows/system/capi.dll"));
}

TEST_F(CleanupRun, FileHeldExclusivelyElsewhereCountsAsPresent) {
    Put("windows/system32/CAPI2032.DLL", "Other Networks AG");
    support::HeldFile holder("C:\\windows\\system32\\CAPI2032.DLL", GENERIC_READ, 0);
    ASSERT_TRUE(holder.Holding());
    // Present, and tested: its version resource and bytes cannot be read now,
    // so whose it is cannot be decided. It stays, and it is not handled.
    support::DebugCapture traces(1);
    EXPECT_EQ(RemoveLibrary("C:\\windows\\system32\\CAPI2032.DLL"), 0);
    EXPECT_FALSE(
        traces.With("DoesFileExist (Mode=3)'C:\\windows\\system32\\CAPI2032.DLL'? Ja").empty());
    EXPECT_TRUE(drive.Exists("windows/system32/CAPI2032.DLL"));
}

TEST_F(CleanupRun, MalformedLibrariesAreNotTheMakers) {
    drive.WriteFile("windows/system32/CAPI2032.DLL",
                    fixtures::Truncated(fixtures::DllWithCompany("QZM GmbH"), 300));
    drive.WriteFile("windows/system/capi20.dll", fixtures::PeSelfReferencingDirectory());
    drive.WriteFile("windows/system/capi.dll", std::string("not a library at all"));
    EXPECT_EQ(Run().text, kSuccess);
    EXPECT_TRUE(drive.Exists("windows/system32/CAPI2032.DLL"));
    EXPECT_TRUE(drive.Exists("windows/system/capi20.dll"));
    EXPECT_TRUE(drive.Exists("windows/system/capi.dll"));
}

TEST(CleanupPaths, EmptyPathsAreRefused) {
    EXPECT_EQ(RemoveLibrary(""), 0);
    EXPECT_EQ(RemoveLibrary(" \t\r\n"), 0);
    EXPECT_EQ(RemoveLibrary(nullptr), 0);
    EXPECT_EQ(IsMakerFile(""), 0);
    EXPECT_EQ(HasMakerCompanyName(nullptr), 0);
}

TEST(CleanupLayouts, Windows2000Layout) {
    support::TempDrive drive;
    drive.WriteFile("WINNT/system32/CAPI2032.DLL", fixtures::DllWithCompany("QZM GmbH"));
    drive.WriteFile("WINNT/system/capi20.dll", fixtures::DllWithCompany("QZM GmbH"));
    drive.WriteFile("WINNT/system/capi.dll", fixtures::DllWithCompany("QZM GmbH"));
    support::MessageCapture capture;
    RunCleanup();
    EXPECT_FALSE(drive.Exists("WINNT/system32/CAPI2032.DLL"));
    EXPECT_FALSE(drive.Exists("WINNT/system/capi20.dll"));
    EXPECT_FALSE(drive.Exists("WINNT/system/capi.dll"));
}

TEST(CleanupLayouts, Windows9xLayoutKeepsAllThreeInOneDirectory) {
    support::TempDrive drive;
    drive.WriteFile("WINDOWS/SYSTEM/CAPI2032.DLL", fixtures::DllWithCompany("QZM GmbH"));
    drive.WriteFile("WINDOWS/SYSTEM/CAPI20.DLL", fixtures::DllWithCompany("QZM GmbH"));
    drive.WriteFile("WINDOWS/SYSTEM/CAPI.DLL", fixtures::DllWithCompany("QZM GmbH"));
    support::MessageCapture capture;
    RunCleanup();
    EXPECT_FALSE(drive.Exists("WINDOWS/SYSTEM/CAPI2032.DLL"));
    EXPECT_FALSE(drive.Exists("WINDOWS/SYSTEM/CAPI20.DLL"));
    EXPECT_FALSE(drive.Exists("WINDOWS/SYSTEM/CAPI.DLL"));
}

}  // namespace
