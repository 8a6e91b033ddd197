// The command lines of both tools: how a Windows command line splits into
// words, which switches and options are taken, and every refusal.
#include "app/Options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Words = std::vector<std::string>;

TEST(WindowsCommandLine, SplitsAsWindowsProgramsDo) {
    const struct {
        const char* line;
        Words words;
    } cases[] = {
        {"", {}},
        {"   \t ", {}},
        {"/quiet", {"/quiet"}},
        {"  /q\t/log  x.log ", {"/q", "/log", "x.log"}},
        {"/log \"C:\\Program Files\\run.log\"", {"/log", "C:\\Program Files\\run.log"}},
        {"/log C:\\logs\\", {"/log", "C:\\logs\\"}},        // lone backslashes stay
        {"\"C:\\logs\\\\\" next", {"C:\\logs\\", "next"}},  // 2n before a quote: n
        {"a\\\"b", {"a\"b"}},                               // 2n+1: n and a quote
        {"a\\\\\\\"b", {"a\\\"b"}},                         // three: one and a quote
        {"\"a b\"c\" d\"", {"a bc d"}},                     // quotes only group
        {"\"say \"\"hi\"\"\"", {"say \"hi\""}},             // "" inside quotes
        {"\"\"", {""}},                                     // an empty word
        {"\"open", {"open"}},                               // an unclosed quote
    };
    for (const auto& c : cases)
        EXPECT_EQ(SplitWindowsCommandLine(c.line, false), c.words) << c.line;
    EXPECT_EQ(SplitWindowsCommandLine(nullptr, false), Words{});
}

TEST(WindowsCommandLine, TheProgramsNameIsLeftOut) {
    const struct {
        const char* line;
        Words words;
    } cases[] = {
        {"purgelib.exe", {}},
        {"purgelib.exe /q", {"/q"}},
        {"\"C:\\Program Files\\purgelib.exe\" /log a", {"/log", "a"}},
        {"C:\\tools\\purgelib.exe\t-Q", {"-Q"}},
        // Backslashes before a quote in the name are part of the path.
        {"\"C:\\odd\\\"purgelib.exe /q", {"/q"}},
    };
    for (const auto& c : cases) EXPECT_EQ(SplitWindowsCommandLine(c.line, true), c.words) << c.line;
}

TEST(WindowsOptions, AcceptedSwitches) {
    const struct {
        Words words;
        bool quiet;
        bool usage;
        const char* log;
    } cases[] = {
        {{}, false, false, ""},
        {{"/quiet"}, true, false, ""},
        {{"/QUIET"}, true, false, ""},
        {{"-Quiet"}, true, false, ""},
        {{"/q"}, true, false, ""},
        {{"-Q"}, true, false, ""},
        {{"/?"}, false, true, ""},
        {{"-?", "/q"}, true, true, ""},
        {{"/log", "C:\\run.log"}, false, false, "C:\\run.log"},
        {{"-LOG", "-odd name.log", "/q"}, true, false, "-odd name.log"},
        {{"/q", "/quiet"}, true, false, ""},
    };
    for (const auto& c : cases) {
        WindowsOptions options = ParseWindowsOptions(c.words);
        EXPECT_EQ(options.error, "") << ::testing::PrintToString(c.words);
        EXPECT_EQ(options.quiet, c.quiet) << ::testing::PrintToString(c.words);
        EXPECT_EQ(options.usage, c.usage) << ::testing::PrintToString(c.words);
        EXPECT_EQ(options.logFile, c.log) << ::testing::PrintToString(c.words);
    }
}

// Each refusal names what is wrong; /quiet counts wherever it stands, so a
// refused command line with /quiet never shows a box.
TEST(WindowsOptions, Refusals) {
    const struct {
        Words words;
        const char* error;
        bool quiet;
    } cases[] = {
        {{"/x"}, "Unknown switch: /x", false},
        {{"/x", "/quiet"}, "Unknown switch: /x", true},
        {{"-q", "/quiet:yes"}, "Unknown switch: /quiet:yes", true},
        {{"/qq"}, "Unknown switch: /qq", false},
        {{"/"}, "Unknown switch: /", false},
        {{"-"}, "Unknown switch: -", false},
        {{"/help"}, "Unknown switch: /help", false},
        {{"run.log"}, "Unexpected argument: \"run.log\"", false},
        {{""}, "Unexpected argument: \"\"", false},
        {{"/log"}, "The switch /log needs a file name.", false},
        {{"/log", ""}, "The switch /log needs a file name.", false},
        {{"/log", "a", "-Log", "b", "/q"}, "The switch -Log is given twice.", true},
        {{"/y", "/z"}, "Unknown switch: /y", false},  // the first reason
    };
    for (const auto& c : cases) {
        WindowsOptions options = ParseWindowsOptions(c.words);
        EXPECT_EQ(options.error, c.error) << ::testing::PrintToString(c.words);
        EXPECT_EQ(options.quiet, c.quiet) << ::testing::PrintToString(c.words);
    }
}

TEST(LinuxOptions, AcceptedOptionsAndRoots) {
    LinuxOptions all = ParseLinuxOptions(
        {"-n", "/mnt/a", "--json", "--trace", "--log", "run.log", "/mnt/b", "--", "-x", "--json"});
    EXPECT_EQ(all.error, "");
    EXPECT_TRUE(all.dryRun && all.json && all.trace);
    EXPECT_FALSE(all.quiet || all.help || all.version);
    EXPECT_EQ(all.logFile, "run.log");
    EXPECT_EQ(all.roots, (Words{"/mnt/a", "/mnt/b", "-x", "--json"}));

    const struct {
        Words arguments;
        bool dryRun, quiet;
        const char* log;
        Words roots;
    } cases[] = {
        {{}, false, false, "", {}},
        {{"--dry-run"}, true, false, "", {}},
        {{"-nq"}, true, true, "", {}},
        {{"-qn", "-n"}, true, true, "", {}},
        {{"--quiet", "root"}, false, true, "", {"root"}},
        {{"--log=a.log", "r"}, false, false, "a.log", {"r"}},
        {{"--log", "--odd"}, false, false, "--odd", {}},  // the file name is taken as it is
        {{"-"}, false, false, "", {"-"}},                 // "-" alone is a root
        {{"--", "--"}, false, false, "", {"--"}},
        {{"--", "-n"}, false, false, "", {"-n"}},
    };
    for (const auto& c : cases) {
        LinuxOptions options = ParseLinuxOptions(c.arguments);
        std::string shown = ::testing::PrintToString(c.arguments);
        EXPECT_EQ(options.error, "") << shown;
        EXPECT_EQ(options.dryRun, c.dryRun) << shown;
        EXPECT_EQ(options.quiet, c.quiet) << shown;
        EXPECT_EQ(options.logFile, c.log) << shown;
        EXPECT_EQ(options.roots, c.roots) << shown;
    }
    EXPECT_TRUE(ParseLinuxOptions({"--help"}).help);
    EXPECT_TRUE(ParseLinuxOptions({"--version"}).version);
}

TEST(LinuxOptions, Refusals) {
    const struct {
        Words arguments;
        const char* error;
    } cases[] = {
        {{"-x"}, "unknown option -x"},
        {{"-nx"}, "unknown option -x"},
        {{"-h"}, "unknown option -h"},
        {{"--dry"}, "unknown option --dry"},  // no abbreviations
        {{"--Json"}, "unknown option --Json"},
        {{"---"}, "unknown option ---"},
        {{"--quiet=yes"}, "unknown option --quiet=yes"},
        {{"root", "--bogus"}, "unknown option --bogus"},
        {{"--log"}, "--log needs a file name"},
        {{"--log="}, "--log needs a file name"},
        {{"--log", ""}, "--log needs a file name"},
        {{"--log", "a", "--log=b"}, "--log is given twice"},
        {{"--json", "-q"}, "--json and --quiet exclude each other"},
        {{"--quiet", "--json"}, "--json and --quiet exclude each other"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseLinuxOptions(c.arguments).error, c.error)
            << ::testing::PrintToString(c.arguments);
}

}  // namespace
