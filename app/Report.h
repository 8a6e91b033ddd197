// What one cleanup run found and did, library by library: the record the
// run fills when the caller hands it one (RunOptions below), and from which
// the tools print their report, write their log and choose their exit code.
// The run's own functions keep their results and traces; the record is kept
// alongside them.
#pragma once

#include <string>
#include <vector>

#include "platform/Windows.h"

// What was found in a library's place.
enum class Finding {
    kNotExamined,     // an earlier library was not handled, so this one was left alone
    kAbsent,          // the lookup says it does not exist
    kNotAFile,        // a folder, pipe, socket or device stands there: someone else's, kept
    kForeign,         // someone else's file (`company` holds its company name, if any)
    kMakerByCompany,  // the maker's by its company name (`makerName` is the entry that matched)
    kMakerByContent,  // the maker's by its bytes (`makerName`, `offset` of the first hit)
    kCannotExamine,   // it could not be looked up, opened or read far enough to decide
                      // whose it is (`examineError`, `detail`): not handled
};

// What was done with it.
enum class Action {
    kNothing,
    kDeleted,
    kScheduled,    // registered for deletion at the next restart (`deleteError` says why)
    kWouldDelete,  // dry run: the maker's, and nothing was changed
    kFailed,       // neither deleted nor scheduled (`deleteError`, `scheduleError`)
};

// The outcome of the whole run.
enum class Outcome {
    kUpdated,               // nothing of the maker's left, nothing waits for a restart
    kUpdatedRestartNeeded,  // at least one library is scheduled for deletion at restart
    kNotUpdated,            // a library was not handled: the failure text was shown
};

struct LibraryReport {
    std::string path;  // the library's Windows path (ANSI code page)
    Finding finding = Finding::kNotExamined;
    std::string company;     // the company name read from the version resource, if any
    std::string makerName;   // the maker name that identified the file
    long long offset = -1;   // the content stage's first hit, from the file's start
    DWORD examineError = 0;  // kCannotExamine: the system's error code
    std::string detail;      // more words for a human: which step failed (the run), the
                             // entries that collide (the tools may add them)
    Action action = Action::kNothing;
    DWORD deleteError = 0;    // kScheduled, kFailed: the error of the delete
    DWORD scheduleError = 0;  // kFailed: the error of the scheduling
};

struct RunReport {
    bool dryRun = false;
    std::string systemDirectory;           // as the system answered it
    std::vector<LibraryReport> libraries;  // the three libraries, in the run's order
    Outcome outcome = Outcome::kUpdated;
    std::string message;  // the text shown at the end (ANSI code page)
};

struct RunOptions {
    // Examine everything and change nothing, not even an attribute; the
    // maker's libraries are reported as kWouldDelete, the outcome is the one
    // of a real run in which every delete succeeds, and the message is the
    // real run's followed by the line cleanup::kDryRunLine.
    bool dryRun = false;
    // Show the message box at the end (the run without arguments does).
    bool showMessage = true;
    // Filled when given.
    RunReport* report = nullptr;
};

// The run with options. RunCleanup() is RunCleanup(RunOptions()). Returns 0.
int RunCleanup(const RunOptions& options);
