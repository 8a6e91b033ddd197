// The Windows exe's work for a command line: the run without switches
// exactly as it always was (one box, exit code 0); /quiet without any box
// and with an exit code that tells the outcome; /log FILE with the report and
// the traces in FILE; /? with the usage in a box; a refused command line with
// a box saying why (or, with /quiet, exit code 87), nothing touched. Written
// against the Win32 API only, so the Linux tests run it on the POSIX layer.
#pragma once

#include "app/Options.h"
#include "platform/Windows.h"

namespace wintool {

// The usage shown by /?.
extern const char* const kUsage;
// The box styles of the usage and of a refused command line.
constexpr unsigned kUsageStyle = MB_ICONINFORMATION | MB_SETFOREGROUND;
constexpr unsigned kRefusalStyle = MB_ICONWARNING | MB_SETFOREGROUND;

// Runs what `options` ask for and returns the process's exit code. A log
// file name must already name its folder (WinMain makes it a full path).
int Run(const WindowsOptions& options);

// Run for the switches of the program's command line (GetCommandLineA, with
// the program's name first); `fullPath` turns the log file's name into a
// full path. Without switches it is RunCleanup() itself.
int RunCommandLine(const char* commandLine, std::string (*fullPath)(const std::string&));

}  // namespace wintool
