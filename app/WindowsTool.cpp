// The Windows exe's work for a command line.
#include "app/WindowsTool.h"

#include <string>
#include <vector>

#include "app/Cleanup.h"
#include "app/ExitCodes.h"
#include "app/Report.h"
#include "app/ReportText.h"
#include "app/RunLog.h"
#include "platform/Windows.h"

namespace wintool {

const char* const kUsage =
    "Usage: purgelib.exe [/quiet] [/log FILE] [/?]\n"
    "\n"
    "Removes the maker's copies of CAPI2032.DLL, capi20.dll and capi.dll from this "
    "computer and shows the result in a box.\n"
    "\n"
    "/quiet, /q\tShow no box. The exit code tells the result:\n"
    "\t0\tupdated, no restart needed\n"
    "\t3010\tupdated; restart the computer to finish\n"
    "\t1603\tnot updated\n"
    "\t87\twrong switch, nothing done\n"
    "/log FILE\tWrite the report (one line per library and the outcome) and the traces "
    "to FILE. When another program holds FILE, the log goes to a numbered file beside "
    "it.\n"
    "/?\tShow this text.\n"
    "\n"
    "Switches begin with / or - and may be written in any letter case.";

namespace {

// A box the user must close, unless /quiet asked for none.
void Show(const WindowsOptions& options, const std::string& text, unsigned style) {
    if (!options.quiet) MessageBoxA(nullptr, text.c_str(), cleanup::kCaption, style);
}

}  // namespace

int Run(const WindowsOptions& options) {
    if (!options.error.empty()) {
        Show(options, options.error + "\n\n" + kUsage, kRefusalStyle);
        return options.quiet ? exitcode::kWindowsBadSwitch : 0;
    }
    if (options.usage) {
        Show(options, kUsage, kUsageStyle);
        return 0;
    }
    RunLog log;
    if (!options.logFile.empty() && !log.Open(options.logFile)) {
        Show(options,
             "The log file cannot be written: " + options.logFile + "\n\nNothing was done.",
             kRefusalStyle);
        return options.quiet ? exitcode::kWindowsBadSwitch : 0;
    }
    RunReport report;
    RunOptions run;
    run.showMessage = !options.quiet;
    run.report = &report;
    RunCleanup(run);
    if (!options.logFile.empty()) {
        log.WriteLines(report::ReportLines(report));
        log.Close();
    }
    return options.quiet ? exitcode::ForWindows(report.outcome) : 0;
}

int RunCommandLine(const char* commandLine, std::string (*fullPath)(const std::string&)) {
    std::vector<std::string> words = SplitWindowsCommandLine(commandLine, true);
    if (words.empty()) return RunCleanup();
    WindowsOptions options = ParseWindowsOptions(words);
    if (!options.logFile.empty() && fullPath) options.logFile = fullPath(options.logFile);
    return Run(options);
}

}  // namespace wintool
