// The run's record as text for people: one line per library (its Windows
// path, what was found, what was done) and one for the outcome. The same
// lines go to the Linux tool's stdout and to the log file of both tools.
// They are in the ANSI code page, like the record.
#pragma once

#include <string>
#include <vector>

#include "app/Report.h"

namespace report {

// What a system error code that a run meets means ("access denied"); empty
// for other codes.
std::string ErrorMeaning(DWORD code);
// "error 5, access denied": the code and, where known, its meaning.
std::string ErrorText(DWORD code);

// "C:\windows\system32\CAPI2032.DLL: the maker's by its company name
// "QZM GmbH"; deleted". Control characters of the texts (a company name can
// hold anything) show as '?', so the line stays one line.
std::string LibraryLine(const LibraryReport& library);

// "Outcome: updated", "Outcome: updated, restart needed" or "Outcome: not
// updated", with " (dry run, nothing was changed)" after a dry run.
std::string OutcomeLine(const RunReport& run);

// The library lines in the run's order, then the outcome line.
std::vector<std::string> ReportLines(const RunReport& run);

}  // namespace report
