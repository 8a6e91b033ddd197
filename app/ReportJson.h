// The run's record as one JSON document, for scripts (the Linux tool's
// --json). Its shape is described in the README ("The JSON report") and in
// docs/report.schema.json. The document is UTF-8: the record's texts are
// converted from the ANSI code page, host paths are taken as UTF-8 (a byte
// that is not valid UTF-8 becomes U+FFFD), and every string is escaped.
#pragma once

#include <string>
#include <vector>

#include "app/Report.h"

namespace report {

// One drive root's run.
struct RootRun {
    std::string root;  // the drive root's host path
    RunReport run;
    int exitCode = 0;  // this root's exit code
};

// The whole document, ending in a line feed.
std::string JsonDocument(const std::vector<RootRun>& roots, bool dryRun, int exitCode);

// A JSON string literal (with its quotes) of UTF-8 text.
std::string JsonString(const std::string& utf8);
// Text in the ANSI code page as UTF-8.
std::string AnsiToUtf8(const std::string& ansi);

}  // namespace report
