// The report as text: the line for every finding and action, the outcome
// line, and lines that stay lines whatever a version resource holds.
#include "app/ReportText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const char kPath[] = "C:\\windows\\system32\\CAPI2032.DLL";

LibraryReport Library(Finding finding, Action action) {
    LibraryReport library;
    library.path = kPath;
    library.finding = finding;
    library.action = action;
    return library;
}

TEST(ReportText, OneLinePerFindingAndAction) {
    std::vector<std::pair<LibraryReport, std::string>> cases;
    auto add = [&cases](LibraryReport library, const std::string& expected) {
        cases.emplace_back(library, std::string(kPath) + ": " + expected);
    };
    add(Library(Finding::kNotExamined, Action::kNothing),
        "not examined, an earlier library was not handled; left alone");
    add(Library(Finding::kAbsent, Action::kNothing), "absent; nothing to do");
    add(Library(Finding::kNotAFile, Action::kNothing),
        "not a file (a folder, pipe, socket or device), someone else's; kept");

    LibraryReport foreign = Library(Finding::kForeign, Action::kNothing);
    add(foreign, "someone else's (no company name); kept");
    foreign.company = "Talvo Systems AG";
    add(foreign, "someone else's (company name \"Talvo Systems AG\"); kept");

    // By company name: the name as the file has it, else the table's entry.
    LibraryReport byCompany = Library(Finding::kMakerByCompany, Action::kDeleted);
    byCompany.makerName = "QZM GmbH";
    add(byCompany, "the maker's by its company name \"QZM GmbH\"; deleted");
    byCompany.company = "qzm gmbh";
    add(byCompany, "the maker's by its company name \"qzm gmbh\"; deleted");

    LibraryReport byContent = Library(Finding::kMakerByContent, Action::kWouldDelete);
    byContent.makerName = "QZM Korvik";
    byContent.offset = 4711;
    add(byContent,
        "the maker's by its content (\"QZM Korvik\" at offset 4711); would be deleted (dry run)");

    LibraryReport scheduled = byCompany;
    scheduled.action = Action::kScheduled;
    scheduled.deleteError = ERROR_SHARING_VIOLATION;
    add(scheduled,
        "the maker's by its company name \"qzm gmbh\"; scheduled for deletion at restart "
        "(delete: error 32, sharing violation)");

    LibraryReport failed = byContent;
    failed.action = Action::kFailed;
    failed.deleteError = ERROR_ACCESS_DENIED;
    failed.scheduleError = ERROR_NOT_SUPPORTED;
    add(failed,
        "the maker's by its content (\"QZM Korvik\" at offset 4711); not removed "
        "(delete: error 5, access denied; scheduling: error 50, not supported)");

    LibraryReport unreadable = Library(Finding::kCannotExamine, Action::kNothing);
    unreadable.examineError = ERROR_SHARING_VIOLATION;
    add(unreadable, "cannot be examined (error 32, sharing violation); left alone, not handled");
    unreadable.examineError = 1921;
    unreadable.detail = "capi.dll, CAPI.DLL";
    add(unreadable,
        "cannot be examined (error 1921, ambiguous name) [capi.dll, CAPI.DLL]; left alone, "
        "not handled");
    unreadable.examineError = 4242;
    unreadable.detail.clear();
    add(unreadable, "cannot be examined (error 4242); left alone, not handled");

    for (const auto& c : cases) EXPECT_EQ(report::LibraryLine(c.first), c.second);
}

// A company name, maker name or detail may hold any byte: control characters
// show as '?' and the line stays one line; other bytes (Windows-1252
// letters) stay.
TEST(ReportText, TextsFromTheFileCannotBreakTheLine) {
    LibraryReport library = Library(Finding::kForeign, Action::kNothing);
    library.company = "Evil\nC:\\windows\\system32\\CAPI2032.DLL: absent\r\t\x7F M\xFCller";
    library.detail = "a\nb";
    EXPECT_EQ(report::LibraryLine(library),
              std::string(kPath) +
                  ": someone else's (company name \"Evil?C:\\windows\\system32\\CAPI2032.DLL: "
                  "absent??? M\xFCller\") [a?b]; kept");
}

TEST(ReportText, OutcomeLineAndTheWholeReport) {
    RunReport run;
    const struct {
        Outcome outcome;
        bool dryRun;
        const char* line;
    } cases[] = {
        {Outcome::kUpdated, false, "Outcome: updated"},
        {Outcome::kUpdatedRestartNeeded, false, "Outcome: updated, restart needed"},
        {Outcome::kNotUpdated, false, "Outcome: not updated"},
        {Outcome::kUpdated, true, "Outcome: updated (dry run, nothing was changed)"},
        {Outcome::kNotUpdated, true, "Outcome: not updated (dry run, nothing was changed)"},
    };
    for (const auto& c : cases) {
        run.outcome = c.outcome;
        run.dryRun = c.dryRun;
        EXPECT_EQ(report::OutcomeLine(run), c.line);
    }

    run = RunReport();
    run.libraries.push_back(Library(Finding::kAbsent, Action::kNothing));
    run.libraries.push_back(Library(Finding::kNotExamined, Action::kNothing));
    run.libraries[1].path = "C:\\windows\\system\\capi20.dll";
    EXPECT_EQ(report::ReportLines(run),
              (std::vector<std::string>{
                  std::string(kPath) + ": absent; nothing to do",
                  "C:\\windows\\system\\capi20.dll: not examined, an earlier library was not "
                  "handled; left alone",
                  "Outcome: updated"}));
}

TEST(ReportText, ErrorTexts) {
    EXPECT_EQ(report::ErrorText(0), "no error code");
    EXPECT_EQ(report::ErrorText(ERROR_ACCESS_DENIED), "error 5, access denied");
    EXPECT_EQ(report::ErrorText(ERROR_FILENAME_EXCED_RANGE), "error 206, name too long");
    EXPECT_EQ(report::ErrorText(1006), "error 1006, the file was replaced meanwhile");
    EXPECT_EQ(report::ErrorText(123456), "error 123456");
}

}  // namespace
