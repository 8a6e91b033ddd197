// The command lines of the two tools, read into plain values: the Windows
// exe's switches (`purgelib.exe [/quiet] [/log FILE] [/?]`) and the Linux
// tool's options (`purgelib [OPTIONS] [DRIVE_ROOT...]`). Nothing here touches
// the system; a refused command line carries its reason in `error`.
#pragma once

#include <string>
#include <vector>

// The tools' version, as --version and the JSON report give it.
constexpr const char* kToolVersion = "1.4.0.0";

// The words of a Windows command line, split as Windows programs split
// theirs: blanks and tabs separate words; double quotes group (and are
// dropped); 2n backslashes before a quote give n backslashes and the quote
// groups, 2n+1 give n backslashes and a literal quote; other backslashes are
// literal; inside quotes, "" gives one literal quote. When the line starts
// with the program's name (GetCommandLineA), that name is read by the simpler
// rule for it (up to the next blank, or between quotes, backslashes literal)
// and left out.
std::vector<std::string> SplitWindowsCommandLine(const char* line, bool withProgramName);

struct WindowsOptions {
    bool quiet = false;   // /quiet, /q: no box, the exit code tells
    bool usage = false;   // /?: show the usage
    std::string logFile;  // /log FILE; empty: no log
    std::string error;    // why the command line is refused; empty when accepted
};

// Switches start with '/' or '-' and are matched in any letter case.
WindowsOptions ParseWindowsOptions(const std::vector<std::string>& words);

struct LinuxOptions {
    bool dryRun = false;             // -n, --dry-run
    bool json = false;               // --json
    bool quiet = false;              // -q, --quiet
    bool trace = false;              // --trace
    bool help = false;               // --help
    bool version = false;            // --version
    std::string logFile;             // --log FILE, --log=FILE
    std::vector<std::string> roots;  // the drive roots, in the order given
    std::string error;               // why the command line is refused; empty when accepted
};

// Options and drive roots may come in any order; "--" ends the options (a
// root named "-x" is given as "-- -x"); short options may be bundled ("-nq").
// `arguments` are the words after the program's name.
LinuxOptions ParseLinuxOptions(const std::vector<std::string>& arguments);
