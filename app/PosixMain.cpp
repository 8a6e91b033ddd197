// The Linux tool: the same cleanup run on mounted Windows volumes or Wine
// prefixes, one drive root after another, with a report of what was found
// and done, a dry run, a JSON document for scripts and a log file.
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/Cleanup.h"
#include "app/ExitCodes.h"
#include "app/Options.h"
#include "app/Report.h"
#include "app/ReportJson.h"
#include "app/ReportText.h"
#include "app/RunLog.h"
#include "platform/Windows.h"
#include "platform/posix/PosixCodePage.h"
#include "platform/posix/PosixPaths.h"
#include "platform/posix/Sinks.h"

namespace {

const char kUsage[] =
    "usage: purgelib [OPTIONS] [DRIVE_ROOT...]\n"
    "\n"
    "Removes the maker's copies of CAPI2032.DLL, capi20.dll and capi.dll from the\n"
    "Windows installation whose drive C: is DRIVE_ROOT (a mounted Windows volume or a\n"
    "Wine prefix's drive_c; default $WINEPREFIX/drive_c, else $HOME/.wine/drive_c).\n"
    "For each drive root in turn it prints the report (one line per library: its C:\\\n"
    "path, what was found, what was done, then the outcome), and then the result\n"
    "message: the caption, then the text. Every drive root is checked before anything\n"
    "is touched.\n"
    "\n"
    "  -n, --dry-run   examine everything, change nothing; report what would be deleted\n"
    "      --json      print the report as one JSON document instead (see the README)\n"
    "  -q, --quiet     print nothing on stdout; the exit code tells (not with --json)\n"
    "      --trace     print the library's traces on stderr\n"
    "      --log FILE  write the report and the traces to FILE (written anew; when\n"
    "                  another program holds FILE, to a numbered file beside it)\n"
    "      --help      show this text\n"
    "      --version   show the version\n"
    "      --          end of options (a drive root named -x is given as -- -x)\n"
    "\n"
    "Exit codes (with several drive roots, the highest of them):\n"
    "  0  updated: nothing of the maker's is left\n"
    "  1  not updated: a maker's library stays, or one could not be examined\n"
    "  2  refused: bad usage or a bad drive root; nothing was touched\n"
    "  3  the report, message or log could not be written\n";

// stdout, written with write(2) so that every failure is seen: a full
// device, a closed descriptor, a reader that went away (SIGPIPE is ignored,
// so that is EPIPE). After the first failure nothing more is written.
class Output {
public:
    bool Write(const std::string& text) {
        const char* p = text.data();
        size_t left = text.size();
        while (!m_failed && left > 0) {
            ssize_t n = write(STDOUT_FILENO, p, left);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                m_failed = true;
                break;
            }
            p += n;
            left -= static_cast<size_t>(n);
        }
        return !m_failed;
    }
    // Closes stdout; a file system that reports a write error only then is
    // seen here as well. False when anything failed.
    bool Finish() {
        if (close(STDOUT_FILENO) != 0 && errno != EINTR) m_failed = true;
        return !m_failed;
    }
    bool Failed() const { return m_failed; }

private:
    bool m_failed = false;
};

// A standard descriptor the caller closed is taken by /dev/null opened for
// reading, so no file the run opens can become "stdout", and every write to
// it fails as the closed one would.
void HoldClosedStandardDescriptors() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        int held = open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (held < 0) continue;
        if (held != fd) {
            dup2(held, fd);
            close(held);
        }
    }
}

int Refuse(const std::string& why) {
    std::string line = "purgelib: " + why + "\n";
    if (write(STDERR_FILENO, line.data(), line.size()) < 0) {
        // Nowhere left to say it; the exit code tells.
    }
    return exitcode::kLinuxRefused;
}

// The library's traces on stderr only with --trace.
void ListenToTraces(bool on) {
    posix::SetDebugListener(on);
}

// For a library that failed on names that differ only in letter case, the
// entries that collide, after what the run noted: "...; colliding entries:
// C:\windows\system\CAPI.DLL, C:\windows\system\capi.dll".
void AddCollisions(const std::string& root, RunReport* run) {
    for (LibraryReport& library : run->libraries) {
        // The guarded layer's answer for a name that more than one entry
        // matches when letter case is ignored.
        if (library.examineError != ERROR_CANT_RESOLVE_FILENAME &&
            library.deleteError != ERROR_CANT_RESOLVE_FILENAME)
            continue;
        std::string names;
        for (const std::string& host : posix::CollidingEntries(library.path.c_str())) {
            std::string onC =
                host.compare(0, root.size(), root) == 0 ? host.substr(root.size()) : host;
            std::replace(onC.begin(), onC.end(), '/', '\\');
            names += (names.empty() ? "C:" : ", C:") + posix::HostNameToAnsi(onC);
        }
        if (names.empty()) continue;
        if (!library.detail.empty()) library.detail += "; ";
        library.detail += "colliding entries: " + names;
    }
}

// Checks a drive root as the tool needs it and gives its absolute path.
// Empty `why` when it is fine.
std::string CheckRoot(const std::string& root, std::string* absolute) {
    struct stat st;
    if (stat(root.c_str(), &st) != 0) return "drive root '" + root + "' does not exist";
    if (!S_ISDIR(st.st_mode)) return "drive root '" + root + "' is not a folder";
    char resolved[PATH_MAX];
    if (!realpath(root.c_str(), resolved)) return "drive root '" + root + "' cannot be read";
    *absolute = resolved;
    posix::SetDriveRoot(resolved);
    // The Windows directory is the first of windows and winnt that is a folder.
    char windows[MAX_PATH] = {};
    GetWindowsDirectoryA(windows, sizeof windows);
    DWORD attributes = GetFileAttributesA(windows);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return "drive root '" + root + "' holds no Windows directory (windows or winnt)";
    return std::string();
}

// The log file's name as an absolute host path (the library's log would put a
// plain name into the Windows directory of the drive); empty when the current
// folder is unknown.
std::string AbsoluteHostPath(const std::string& name) {
    if (!name.empty() && name[0] == '/') return name;
    char cwd[PATH_MAX];
    if (!getcwd(cwd, sizeof cwd)) return std::string();
    std::string dir = cwd;
    return dir + (dir.back() == '/' ? "" : "/") + name;
}

// One drive root's report and message as stdout shows them.
std::string RootText(const report::RootRun& root) {
    std::string text = "Drive root: " + root.root + "\n";
    for (const std::string& line : report::ReportLines(root.run))
        text += report::AnsiToUtf8(line) + "\n";
    text += "\n" + report::AnsiToUtf8(cleanup::kCaption) + "\n" +
            report::AnsiToUtf8(root.run.message) + "\n";
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    HoldClosedStandardDescriptors();
    signal(SIGPIPE, SIG_IGN);
    Output out;

    LinuxOptions options = ParseLinuxOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!options.error.empty()) return Refuse(options.error + " (try --help)");
    if (options.help || options.version) {
        out.Write(options.help ? kUsage : std::string("purgelib ") + kToolVersion + "\n");
        return out.Finish() ? 0 : exitcode::kLinuxOutputFailed;
    }

    // Every root is checked before anything is touched: a mistyped path must
    // not end in a message that reports a successful update.
    // A tree nobody vouches for: names that differ only in letter case are
    // refused, and the file removed is the file examined (the layer's guard
    // mode), for the checks as for the runs.
    posix::SetRemovalGuard(true);
    if (options.roots.empty()) options.roots.push_back(posix::DriveRoot());
    std::vector<report::RootRun> roots(options.roots.size());
    for (size_t i = 0; i < options.roots.size(); ++i) {
        std::string why = CheckRoot(options.roots[i], &roots[i].root);
        if (!why.empty()) return Refuse(why);
    }

    ListenToTraces(options.trace);
    RunLog log;
    if (!options.logFile.empty()) {
        std::string file = AbsoluteHostPath(options.logFile);
        if (file.empty() || !log.Open(file))
            return Refuse("cannot write the log file '" + options.logFile + "'");
    }

    int worst = exitcode::kLinuxUpdated;
    size_t done = 0;
    for (report::RootRun& root : roots) {
        posix::SetDriveRoot(root.root.c_str());
        RunOptions run;
        run.dryRun = options.dryRun;
        run.showMessage = false;
        run.report = &root.run;
        RunCleanup(run);
        AddCollisions(root.root, &root.run);
        root.exitCode = exitcode::ForLinux(root.run.outcome);
        worst = std::max(worst, root.exitCode);
        ++done;
        if (!options.logFile.empty()) {
            std::vector<std::string> lines = report::ReportLines(root.run);
            lines.insert(lines.begin(), "Drive root: " + posix::HostNameToAnsi(root.root));
            log.WriteLines(lines);
        }
        if (!options.quiet && !options.json) {
            out.Write((done > 1 ? "\n" : "") + RootText(root));
            // Nobody sees what the next roots would be: they stay untouched.
            if (out.Failed()) break;
        }
    }
    if (options.json) {
        roots.resize(done);
        out.Write(report::JsonDocument(roots, options.dryRun, worst));
    }
    bool logged = log.Close();
    bool written = out.Finish();
    if (!logged || !written) return exitcode::kLinuxOutputFailed;
    return worst;
}
