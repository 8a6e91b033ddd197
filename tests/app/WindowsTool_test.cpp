// The Windows exe's switches, run on the POSIX layer: without switches the
// run of old; /quiet without a box and with the exit code of the outcome;
// refused command lines and /? that touch nothing; /log with the report and
// the traces, also when the file is held or cannot be written.
#include "app/WindowsTool.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/Cleanup.h"
#include "platform/Windows.h"
#include "tests/debuglog/LogTestSupport.h"
#include "tests/support/ForcedCalls.h"
#include "tests/support/PeWriter.h"
#include "tests/support/TempDrive.h"

namespace {

const char kSuccess[] =
    "Das System wurde erfolgreich aktualisiert.\n"
    "Sie m\xFCssen den Computer neu starten, damit die \xC4nderungen wirksam werden.";
const char kFailure[] = "Das System konnte nicht aktualisiert werden.";
const unsigned kRunStyle = MB_ICONINFORMATION | MB_SETFOREGROUND;

class WindowsTool : public ::testing::Test {
protected:
    void SetUp() override {
        drive.MakeDirs("windows/system32");
        drive.MakeDirs("windows/system");
        drive.MakeDirs("logs");
    }
    void TearDown() override { posix::ClearForced(); }

    void PutMaker() {
        drive.WriteFile("windows/system32/CAPI2032.DLL", fixtures::DllWithCompany("QZM GmbH"));
    }
    // Runs the exe's work for the switches and keeps the boxes it showed.
    int Run(const std::string& switches) {
        support::MessageCapture capture;
        int code = wintool::RunCommandLine(("purgelib.exe " + switches).c_str(), nullptr);
        boxes = capture.Messages();
        return code;
    }
    std::string LogPath(const std::string& name = "run.log") const {
        return drive.Host("logs/" + name);
    }

    support::TempDrive drive;
    std::vector<support::ShownMessage> boxes;
};

TEST_F(WindowsTool, WithoutSwitchesItIsTheRunOfOld) {
    for (const char* line : {"purgelib.exe", "\"C:\\Program Files\\purgelib.exe\"  \t"}) {
        PutMaker();
        support::MessageCapture capture;
        EXPECT_EQ(wintool::RunCommandLine(line, nullptr), 0);
        std::vector<support::ShownMessage> shown = capture.Messages();
        ASSERT_EQ(shown.size(), 1u) << line;
        EXPECT_EQ(shown[0].text, kSuccess);
        EXPECT_EQ(shown[0].caption, cleanup::kCaption);
        EXPECT_EQ(shown[0].style, kRunStyle);
        EXPECT_FALSE(drive.Exists("windows/system32/CAPI2032.DLL"));
    }
}

// Every outcome: /quiet shows no box and tells it in the exit code; without
// /quiet the box is shown and the exit code stays 0.
TEST_F(WindowsTool, QuietTellsTheOutcomeInTheExitCode) {
    enum Schedule { kNotNeeded, kScheduled, kFails };
    const struct {
        const char* what;
        bool maker;
        Schedule schedule;  // the delete fails unless kNotNeeded
        int quietCode;
        const char* message;
    } cases[] = {
        {"nothing present", false, kNotNeeded, 0, kSuccess},
        {"deleted now", true, kNotNeeded, 0, kSuccess},
        {"scheduled for the restart", true, kScheduled, 3010, kSuccess},
        {"neither deleted nor scheduled", true, kFails, 1603, kFailure},
    };
    for (const auto& c : cases) {
        for (const char* switches : {"/quiet", "-Q", ""}) {
            bool quiet = *switches != '\0';
            if (c.maker) PutMaker();
            if (c.schedule != kNotNeeded) posix::ForceFailure("DeleteFileA", ERROR_ACCESS_DENIED);
            if (c.schedule == kScheduled) posix::ForceSuccess("MoveFileExA");
            if (c.schedule == kFails) posix::ForceFailure("MoveFileExA", ERROR_ACCESS_DENIED);
            EXPECT_EQ(Run(switches), quiet ? c.quietCode : 0) << c.what << " " << switches;
            posix::ClearForced();
            EXPECT_EQ(boxes.size(), quiet ? 0u : 1u) << c.what;
            if (!quiet && boxes.size() == 1) {
                EXPECT_EQ(boxes[0].text, c.message) << c.what;
            }
        }
    }
}

// A refused command line shows why (or, with /quiet, ends with 87), and /?
// shows the usage; neither touches anything.
TEST_F(WindowsTool, RefusedCommandLinesAndTheUsageTouchNothing) {
    const std::string usage = wintool::kUsage;
    const struct {
        const char* switches;
        int code;
        const char* reason;  // null: no box; "": the usage box
    } cases[] = {
        {"/x", 0, "Unknown switch: /x"},
        {"/quiet /x", 87, nullptr},
        {"/X -q", 87, nullptr},
        {"stray", 0, "Unexpected argument: \"stray\""},
        {"/log", 0, "The switch /log needs a file name."},
        {"/q /log", 87, nullptr},
        {"/?", 0, ""},
        {"-? /quiet", 0, nullptr},
        {"/? /x", 0, "Unknown switch: /x"},
    };
    PutMaker();
    for (const auto& c : cases) {
        EXPECT_EQ(Run(c.switches), c.code) << c.switches;
        EXPECT_TRUE(drive.Exists("windows/system32/CAPI2032.DLL")) << c.switches;
        EXPECT_EQ(boxes.size(), c.reason ? 1u : 0u) << c.switches;
        if (c.reason && boxes.size() == 1) {
            bool isUsage = !*c.reason;
            EXPECT_EQ(boxes[0].text, isUsage ? usage : std::string(c.reason) + "\n\n" + usage);
            EXPECT_EQ(boxes[0].caption, cleanup::kCaption);
            EXPECT_EQ(boxes[0].style, isUsage ? wintool::kUsageStyle : wintool::kRefusalStyle);
        }
    }
    EXPECT_NE(usage.find("3010"), std::string::npos);
    EXPECT_NE(usage.find("/log FILE"), std::string::npos);
}

// The log holds the "open" stamp and header, the run's traces, the report's
// lines (three libraries and the outcome) and the closing header and stamp;
// with and without /quiet.
TEST_F(WindowsTool, TheLogHoldsTheTracesAndTheReport) {
    for (const char* quiet : {"/q ", ""}) {
        PutMaker();
        std::vector<uint8_t> image = fixtures::DllWithCompany(nullptr);
        drive.WriteFile("windows/system/capi.dll",
                        std::string(image.begin(), image.end()) + "(C) QZM Korvik");
        const std::string offset = std::to_string(image.size() + 4);
        logtest::RunInChild([&] {
            support::DebugCapture debugger;  // the traces reach the debugger channel as well
            EXPECT_EQ(Run(std::string(quiet) + "/log \"" + LogPath() + "\""), 0);
            EXPECT_EQ(boxes.size(), *quiet ? 0u : 1u);
        });
        std::vector<std::string> lines = logtest::Lines(drive.ReadFile("logs/run.log"));
        ASSERT_GE(lines.size(), 8u);
        EXPECT_TRUE(logtest::IsStamp(lines[0], "open")) << lines[0];
        EXPECT_EQ(lines[1].rfind("LogFile from: ", 0), 0u) << lines[1];
        // The content search's traces come before the report.
        size_t report = lines.size() - 6;
        bool traced = false;
        for (size_t i = 2; i < report; ++i)
            traced = traced || lines[i].find("QZM Korvik") != std::string::npos;
        EXPECT_TRUE(traced) << drive.ReadFile("logs/run.log");
        EXPECT_EQ(
            std::vector<std::string>(lines.begin() + report, lines.begin() + report + 4),
            (std::vector<std::string>{
                "C:\\windows\\system32\\CAPI2032.DLL: the maker's by its company name "
                "\"QZM GmbH\"; deleted",
                "C:\\windows\\system\\capi20.dll: absent; nothing to do",
                "C:\\windows\\system\\capi.dll: the maker's by its content (\"QZM Korvik\" at "
                "offset " +
                    offset + "); deleted",
                "Outcome: updated"}));
        EXPECT_EQ(lines[report + 4], lines[1]);
        EXPECT_TRUE(logtest::IsStamp(lines[report + 5], "close")) << lines[report + 5];
        EXPECT_FALSE(drive.Exists("windows/system/capi.dll"));
    }
}

// Held by another program, the log goes on in run1.log beside it; the held
// file is left as it was.
TEST_F(WindowsTool, AHeldLogGoesOnInANumberedFile) {
    drive.WriteFile("logs/run.log", std::string("older run\r\n"));
    support::HeldFile holder(LogPath(), GENERIC_READ, 0);
    ASSERT_TRUE(holder.Holding());
    logtest::RunInChild([&] { EXPECT_EQ(Run("/quiet /log " + LogPath()), 0); });
    EXPECT_EQ(drive.ReadFile("logs/run.log"), "older run\r\n");
    std::vector<std::string> lines = logtest::Lines(drive.ReadFile("logs/run1.log"));
    ASSERT_GE(lines.size(), 9u);
    EXPECT_TRUE(logtest::IsStamp(lines[2], "Eine weitere Instanz der Applikation wurde gefunden!"))
        << lines[2];
    EXPECT_EQ(lines[lines.size() - 3], "Outcome: updated");
}

// A log that cannot be written refuses the run: nothing is touched.
TEST_F(WindowsTool, ALogThatCannotBeWrittenTouchesNothing) {
    PutMaker();
    const std::string missing = drive.Host("missing/run.log");
    for (const char* quiet : {"/quiet ", ""}) {
        logtest::RunInChild([&] {
            EXPECT_EQ(Run(quiet + ("/log " + missing)), *quiet ? 87 : 0);
            EXPECT_EQ(boxes.size(), *quiet ? 0u : 1u);
            if (!*quiet && boxes.size() == 1) {
                EXPECT_EQ(boxes[0].text,
                          "The log file cannot be written: " + missing + "\n\nNothing was done.");
                EXPECT_EQ(boxes[0].style, wintool::kRefusalStyle);
            }
        });
        EXPECT_TRUE(drive.Exists("windows/system32/CAPI2032.DLL"));
        EXPECT_FALSE(drive.Exists("missing"));
    }
}

}  // namespace
