// The harness of the ported Wine tests: the bookkeeping behind the macros of
// include/wine/test.h, printed as Wine's own harness prints it, the lists of
// known differences, and the runner.
//
//   wine_conformance [--cwd DIR]... [--differences FILE]... TEST...
//
// TEST is info (Wine's dlls/version/tests/info.c) or file
// (dlls/kernel32/tests/file.c). Each test runs once from each current
// directory given, as Wine's harness runs its tests from a folder on drive C:
// and from the build folder seen through Z:. The native build prepares its own
// drive C: (native_machine.cpp) and, without --cwd, runs from C:\winetest and
// from a host folder seen through Z:.
//
// A differences file lists checks that are known to fail where this program
// runs (layer-differences.txt: our layer against Windows). One entry a line:
//
//   FILE:LINE [xCOUNT] [@DRIVE] [~MESSAGE PART] | what Windows expects | what we answer
//
// An entry matches the check at FILE:LINE, in passes whose current directory
// is on DRIVE (C or Z; any without @), whose message contains MESSAGE PART
// (starts with it when the part starts with ^; any message without ~). The
// first entry that matches a check takes it. Without a count, every matching check must fail; one
// that succeeds is a failure ("fixed: remove the line"), and so is an entry that no check of its
// test reached in a pass. With a count, exactly COUNT matching checks fail in each pass (others may
// succeed). The rest of the line is for the reader.
//
// Exit status 0 when every check passed (or failed as expected), 1 otherwise,
// 2 when the run could not start.
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "wine/test.h"

extern "C" {
int winetest_debug = 1;
int winetest_interactive = 0;
int winetest_on_windows = 0;
int winetest_on_wine = 0;
void func_info(void);
void func_file(void);
}

#ifndef _WIN32
// The native machine, in native_machine.cpp.
bool NativeSetUp(std::vector<std::string>* currentDirectories);
void NativeTearDown();
#endif

namespace {

struct Difference {
    std::string file;  // "file.c"
    int line = 0;
    long count = -1;  // -1: every matching check fails
    char drive = 0;   // 0: any
    std::string part;
    std::string where;  // "layer-differences.txt:12"
    long failed = 0;    // in this pass
    long succeeded = 0;
};

struct Counts {
    long successes = 0;
    long failures = 0;
    long todo = 0;         // failing checks inside an active todo block
    long differences = 0;  // listed checks that failed as listed
    long skipped = 0;
};

std::vector<Difference> g_differences;
Counts g_counts;
const char* g_file = "";
int g_line = 0;
unsigned g_todoLevel = 0;
bool g_todoLoop = false;
std::vector<std::string> g_context;
char g_drive = 0;

const char* BaseName(const char* path) {
    const char* base = path;
    for (const char* p = path; *p; ++p)
        if (*p == '/' || *p == '\\') base = p + 1;
    return base;
}

// The tests print with the Windows conventions: `long` is 32 bits wide there,
// so DWORD values go with %lu and %lx, and I64 marks a 64-bit value. The
// native build's DWORD is 32 bits wide and its long is not: drop the `l`, and
// read I64 as ll and I as z.
std::string NativeFormat(const char* format) {
    std::string out;
#ifdef _WIN32
    out = format;
#else
    const std::string spec(format);
    for (size_t i = 0; i < spec.size(); ++i) {
        out += spec[i];
        if (spec[i] != '%') continue;
        size_t j = i + 1;
        while (j < spec.size() && std::strchr("-+ #0123456789.*", spec[j])) out += spec[j++];
        if (spec.compare(j, 3, "I64") == 0) {
            out += "ll";
            j += 3;
        } else if (spec.compare(j, 2, "ll") == 0) {
            out += "ll";
            j += 2;
        } else if (j < spec.size() && spec[j] == 'l') {
            j += 1;
        } else if (j < spec.size() && spec[j] == 'I') {
            out += 'z';
            j += 1;
        }
        i = j - 1;
    }
#endif
    return out;
}

std::string Format(const char* format, va_list args) {
    const std::string spec = NativeFormat(format ? format : "");
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(nullptr, 0, spec.c_str(), copy);
    va_end(copy);
    if (n < 0) return spec;
    std::string text(static_cast<size_t>(n) + 1, '\0');
    std::vsnprintf(&text[0], text.size(), spec.c_str(), args);
    text.resize(static_cast<size_t>(n));
    return text;
}

void Print(const char* kind, const std::string& message) {
    std::string context;
    for (const std::string& c : g_context) context += c + ": ";
    std::printf("%s:%d: %s%s%s", BaseName(g_file), g_line, context.c_str(), kind, message.c_str());
    if (message.empty() || message.back() != '\n') std::printf("\n");
    std::fflush(stdout);
}

Difference* Listed(const std::string& message) {
    const char* file = BaseName(g_file);
    for (Difference& d : g_differences) {
        if (d.line != g_line || d.file != file) continue;
        if (d.drive && d.drive != g_drive) continue;
        if (!d.part.empty()) {
            const bool anchored = d.part[0] == '^';
            size_t at = message.find(anchored ? d.part.substr(1) : d.part);
            if (at == std::string::npos || (anchored && at != 0)) continue;
        }
        return &d;
    }
    return nullptr;
}

std::string Trim(const std::string& s) {
    size_t a = s.find_first_not_of(" \t\r");
    size_t b = s.find_last_not_of(" \t\r");
    return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

bool LoadDifferences(const char* path) {
    std::ifstream in(path);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", path);
        return false;
    }
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        std::string head = Trim(line.substr(0, line.find(" | ")));
        if (head.empty() || head[0] == '#') continue;
        Difference d;
        d.where = std::string(BaseName(path)) + ":" + std::to_string(number);
        size_t tilde = head.find(" ~");
        if (tilde != std::string::npos) {
            d.part = Trim(head.substr(tilde + 2));
            head = Trim(head.substr(0, tilde));
        }
        size_t pos = 0;
        bool good = true;
        while (pos < head.size() && good) {
            size_t end = head.find(' ', pos);
            if (end == std::string::npos) end = head.size();
            std::string word = head.substr(pos, end - pos);
            pos = head.find_first_not_of(' ', end);
            if (pos == std::string::npos) pos = head.size();
            if (d.line == 0) {
                size_t colon = word.rfind(':');
                d.file = word.substr(0, colon);
                d.line = colon == std::string::npos ? 0 : std::atoi(word.c_str() + colon + 1);
                good = d.line > 0;
            } else if (word.size() > 1 && word[0] == 'x') {
                d.count = std::atol(word.c_str() + 1);
                good = d.count > 0;
            } else if (word.size() == 2 && word[0] == '@') {
                d.drive = static_cast<char>(std::toupper(static_cast<unsigned char>(word[1])));
            } else {
                good = false;
            }
        }
        if (!good || d.line == 0) {
            std::fprintf(stderr, "%s: cannot read this entry: %s\n", d.where.c_str(), line.c_str());
            return false;
        }
        g_differences.push_back(d);
    }
    return true;
}

// The checks of a pass against the entries of its test: counts, and entries
// that no check reached. Returns the number of failures.
long CheckDifferences(const char* test) {
    const std::string file = std::string(test) + ".c";
    long failures = 0;
    for (Difference& d : g_differences) {
        if (d.file != file || (d.drive && d.drive != g_drive)) continue;
        if (d.count >= 0 && d.failed != d.count) {
            std::printf(
                "%s:%d: listed in %s to fail %ld times, failed %ld times: %s\n", d.file.c_str(),
                d.line, d.where.c_str(), d.count, d.failed,
                d.failed < d.count ? "partly fixed? correct the count" : "correct the count");
            ++failures;
        } else if (d.count < 0 && d.failed == 0 && d.succeeded == 0) {
            std::printf("%s:%d: listed in %s, but no such check was reached: remove the line\n",
                        d.file.c_str(), d.line, d.where.c_str());
            ++failures;
        }
        d.failed = d.succeeded = 0;
    }
    return failures;
}

}  // namespace

extern "C" {

void winetest_set_location(const char* file, int line) {
    g_file = file;
    g_line = line;
}

int winetest_ok(int condition, const char* msg, ...) {
    va_list args;
    va_start(args, msg);
    std::string message = Format(msg, args);
    va_end(args);
    if (g_todoLevel) {
        if (condition) {
            Print("Test succeeded inside todo block: ", message);
            ++g_counts.failures;
            return 0;
        }
        if (winetest_debug > 0) Print("Test marked todo: ", message);
        ++g_counts.todo;
        return 1;
    }
    if (Difference* d = Listed(message)) {
        if (!condition) {
            ++d->failed;
            ++g_counts.differences;
            if (winetest_debug > 1) Print("Test failed as listed: ", message);
            return 1;
        }
        ++d->succeeded;
        if (d->count < 0) {
            Print(("Test succeeded, but " + d->where + " lists it as failing (fixed: remove " +
                   "that line): ")
                      .c_str(),
                  message);
            ++g_counts.failures;
            return 0;
        }
        ++g_counts.successes;
        return 1;
    }
    if (!condition) {
        Print("Test failed: ", message);
        ++g_counts.failures;
        return 0;
    }
    if (winetest_debug > 1) Print("Test succeeded: ", message);
    ++g_counts.successes;
    return 1;
}

void winetest_skip(const char* msg, ...) {
    va_list args;
    va_start(args, msg);
    std::string message = Format(msg, args);
    va_end(args);
    if (winetest_debug > 0) Print("Tests skipped: ", message);
    ++g_counts.skipped;
}

void winetest_win_skip(const char* msg, ...) {
    va_list args;
    va_start(args, msg);
    std::string message = Format(msg, args);
    va_end(args);
    if (winetest_on_windows) {
        if (winetest_debug > 0) Print("Tests skipped: ", message);
        ++g_counts.skipped;
        return;
    }
    Print("Test failed: ", message);
    ++g_counts.failures;
}

void winetest_trace(const char* msg, ...) {
    if (winetest_debug <= 0) return;
    va_list args;
    va_start(args, msg);
    std::string message = Format(msg, args);
    va_end(args);
    Print("", message);
}

void winetest_push_context(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    g_context.push_back(Format(fmt, args));
    va_end(args);
}

void winetest_pop_context(void) {
    if (!g_context.empty()) g_context.pop_back();
}

// todo blocks nest: one bit per level; a check is todo when any level is.
void winetest_start_todo(int is_todo) {
    g_todoLevel = (g_todoLevel << 1) | (is_todo ? 1u : 0u);
    g_todoLoop = true;
}

int winetest_loop_todo(void) {
    bool loop = g_todoLoop;
    g_todoLoop = false;
    return loop ? 1 : 0;
}

void winetest_end_todo(void) {
    g_todoLevel >>= 1;
}

}  // extern "C"

namespace {

struct Test {
    const char* name;
    void (*func)(void);
};

const Test kTests[] = {{"info", func_info}, {"file", func_file}};

int Usage() {
    std::fprintf(stderr,
                 "usage: wine_conformance [--cwd DIR]... [--differences FILE]... "
                 "info|file...\n");
    return 2;
}

const char* PlatformName() {
    if (winetest_on_wine) return "wine";
    if (winetest_on_windows) return "windows";
    return "the POSIX layer";
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> directories;
    std::vector<const Test*> tests;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--cwd" && i + 1 < argc) {
            directories.push_back(argv[++i]);
        } else if (arg == "--differences" && i + 1 < argc) {
            if (!LoadDifferences(argv[++i])) return 2;
        } else {
            const Test* found = nullptr;
            for (const Test& t : kTests)
                if (arg == t.name) found = &t;
            if (!found) return Usage();
            tests.push_back(found);
        }
    }
    if (tests.empty()) return Usage();
    if (const char* debug = std::getenv("WINETEST_DEBUG")) winetest_debug = std::atoi(debug);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);

#ifdef _WIN32
    // Wine's harness names the platform in WINETEST_PLATFORM; without it, Wine
    // is recognised by its own ntdll export.
    if (const char* platform = std::getenv("WINETEST_PLATFORM"))
        winetest_on_wine = std::strcmp(platform, "wine") == 0;
    else
        winetest_on_wine =
            GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
    winetest_on_windows = !winetest_on_wine;
    if (directories.empty()) directories.push_back("");
#else
    std::vector<std::string> prepared;
    if (!NativeSetUp(&prepared)) {
        std::fprintf(stderr, "could not prepare the native drive C:\n");
        return 2;
    }
    if (directories.empty()) directories = prepared;
#endif
    std::printf("platform: %s\n", PlatformName());

    long failures = 0;
    bool started = true;
    for (const std::string& directory : directories) {
        if (!directory.empty() && !SetCurrentDirectoryA(directory.c_str())) {
            std::fprintf(stderr, "cannot change to %s (error %u)\n", directory.c_str(),
                         static_cast<unsigned>(GetLastError()));
            started = false;
            break;
        }
        char current[MAX_PATH] = "";
        GetCurrentDirectoryA(MAX_PATH, current);
        g_drive = static_cast<char>(std::toupper(static_cast<unsigned char>(current[0])));
        for (const Test* test : tests) {
            g_counts = Counts();
            g_context.clear();
            test->func();
            long listed = CheckDifferences(test->name);
            const Counts& c = g_counts;
            long failed = c.failures + listed;
            std::printf(
                "%s (from %s): %ld tests executed (%ld marked as todo, %ld listed differences, "
                "%ld failures), %ld skipped.\n",
                test->name, current, c.successes + c.failures + c.todo + c.differences, c.todo,
                c.differences, failed, c.skipped);
            failures += failed;
            // Each test starts from the pass's directory, whatever the last one left.
            if (!directory.empty()) SetCurrentDirectoryA(directory.c_str());
        }
    }
#ifndef _WIN32
    NativeTearDown();
#endif
    if (!started) return 2;
    return failures ? 1 : 0;
}
