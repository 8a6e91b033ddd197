// Prints one JSON report (the Linux tool's --json) built from hand-made
// records that hold every finding, action and outcome, and texts that need
// escaping and converting, for the schema check of the Linux tool's tests.
#include <cstdio>
#include <string>
#include <vector>

#include "app/ReportJson.h"

namespace {

LibraryReport Library(const char* path, Finding finding, Action action) {
    LibraryReport library;
    library.path = path;
    library.finding = finding;
    library.action = action;
    return library;
}

}  // namespace

int main() {
    const char* system32 = "C:\\windows\\system32\\CAPI2032.DLL";
    const char* capi20 = "C:\\windows\\system\\capi20.dll";
    const char* capi = "C:\\windows\\system\\capi.dll";
    std::vector<report::RootRun> roots(4);

    roots[0].root = "/mnt/\xC3\xBC \"quoted\"\\";
    roots[0].run.systemDirectory = "C:\\windows\\system32";
    roots[0].run.libraries = {Library(system32, Finding::kAbsent, Action::kNothing),
                              Library(capi20, Finding::kForeign, Action::kNothing),
                              Library(capi, Finding::kNotAFile, Action::kNothing)};
    roots[0].run.libraries[1].company = "M\xFCller \x80 GmbH\t\"x\"";
    roots[0].run.message = "Das System wurde erfolgreich aktualisiert.\nSie m\xFCssen ...";

    roots[1].root = "/mnt/\xFF\xFE latin-1";
    roots[1].run.libraries = {Library(system32, Finding::kMakerByCompany, Action::kDeleted),
                              Library(capi20, Finding::kMakerByContent, Action::kScheduled),
                              Library(capi, Finding::kMakerByCompany, Action::kFailed)};
    roots[1].run.libraries[0].company = "qzm gmbh";
    roots[1].run.libraries[0].makerName = "QZM GmbH";
    roots[1].run.libraries[1].makerName = "QZM Korvik";
    roots[1].run.libraries[1].offset = 4096;
    roots[1].run.libraries[1].deleteError = 32;
    roots[1].run.libraries[2].deleteError = 5;
    roots[1].run.libraries[2].scheduleError = 50;
    roots[1].run.outcome = Outcome::kNotUpdated;
    roots[1].exitCode = 1;

    roots[2].root = "/srv/dry";
    roots[2].run.dryRun = true;
    roots[2].run.libraries = {Library(system32, Finding::kMakerByContent, Action::kWouldDelete),
                              Library(capi20, Finding::kCannotExamine, Action::kNothing),
                              Library(capi, Finding::kNotExamined, Action::kNothing)};
    roots[2].run.libraries[0].offset = 0;
    roots[2].run.libraries[1].examineError = 1921;
    roots[2].run.libraries[1].detail = "capi20.dll, CAPI20.DLL";
    roots[2].run.outcome = Outcome::kNotUpdated;
    roots[2].exitCode = 1;

    roots[3].root = "/srv/restart";
    roots[3].run.outcome = Outcome::kUpdatedRestartNeeded;

    std::fputs(report::JsonDocument(roots, false, 1).c_str(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
