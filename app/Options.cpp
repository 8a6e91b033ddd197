// The command lines of the two tools.
#include "app/Options.h"

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string Lower(const std::string& text) {
    std::string lower = text;
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

}  // namespace

std::vector<std::string> SplitWindowsCommandLine(const char* line, bool withProgramName) {
    std::vector<std::string> words;
    if (!line) return words;
    const char* p = line;
    if (withProgramName) {
        // The program's name: quotes group, backslashes are part of the path.
        bool quoted = false;
        for (; *p && (quoted || !IsBlank(*p)); ++p)
            if (*p == '"') quoted = !quoted;
    }
    for (;;) {
        while (IsBlank(*p)) ++p;
        if (!*p) break;
        std::string word;
        bool quoted = false;
        while (*p && (quoted || !IsBlank(*p))) {
            if (*p == '\\') {
                size_t backslashes = 0;
                while (*p == '\\') {
                    ++backslashes;
                    ++p;
                }
                if (*p == '"') {
                    word.append(backslashes / 2, '\\');
                    if (backslashes % 2) {
                        word += '"';
                        ++p;
                    }
                    // An even number leaves the quote to group, below.
                } else {
                    word.append(backslashes, '\\');
                }
                continue;
            }
            if (*p == '"') {
                if (quoted && p[1] == '"') {
                    word += '"';  // "" inside quotes: one quote, still quoted
                    p += 2;
                    continue;
                }
                quoted = !quoted;
                ++p;
                continue;
            }
            word += *p++;
        }
        words.push_back(word);
    }
    return words;
}

WindowsOptions ParseWindowsOptions(const std::vector<std::string>& words) {
    WindowsOptions options;
    // The first refusal is kept; the words after it are still read for
    // /quiet, so that a refused command line never shows a box when the
    // caller asked for none.
    auto refuse = [&options](const std::string& why) {
        if (options.error.empty()) options.error = why;
    };
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (word.empty() || (word[0] != '/' && word[0] != '-')) {
            refuse("Unexpected argument: \"" + word + "\"");
            continue;
        }
        std::string name = Lower(word.substr(1));
        if (name == "quiet" || name == "q") {
            options.quiet = true;
        } else if (name == "?") {
            options.usage = true;
        } else if (name == "log") {
            if (i + 1 >= words.size() || words[i + 1].empty()) {
                refuse("The switch " + word + " needs a file name.");
                ++i;
            } else if (!options.logFile.empty()) {
                refuse("The switch " + word + " is given twice.");
                ++i;
            } else {
                options.logFile = words[++i];
            }
        } else {
            refuse("Unknown switch: " + word);
        }
    }
    return options;
}

LinuxOptions ParseLinuxOptions(const std::vector<std::string>& arguments) {
    LinuxOptions options;
    auto refuse = [&options](const std::string& why) {
        options.error = why;
        return options;
    };
    auto setLog = [&](const std::string& file) {
        if (!options.logFile.empty()) return refuse("--log is given twice");
        if (file.empty()) return refuse("--log needs a file name");
        options.logFile = file;
        return options;
    };
    bool optionsEnded = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& word = arguments[i];
        if (optionsEnded || word.size() < 2 || word[0] != '-') {
            options.roots.push_back(word);  // "-" alone is a root as well
        } else if (word == "--") {
            optionsEnded = true;
        } else if (word.compare(0, 2, "--") == 0) {
            if (word == "--dry-run") {
                options.dryRun = true;
            } else if (word == "--json") {
                options.json = true;
            } else if (word == "--quiet") {
                options.quiet = true;
            } else if (word == "--trace") {
                options.trace = true;
            } else if (word == "--help") {
                options.help = true;
            } else if (word == "--version") {
                options.version = true;
            } else if (word == "--log") {
                if (i + 1 >= arguments.size()) return refuse("--log needs a file name");
                setLog(arguments[++i]);
            } else if (word.compare(0, 6, "--log=") == 0) {
                setLog(word.substr(6));
            } else {
                return refuse("unknown option " + word);
            }
            if (!options.error.empty()) return options;
        } else {
            for (size_t k = 1; k < word.size(); ++k) {
                if (word[k] == 'n')
                    options.dryRun = true;
                else if (word[k] == 'q')
                    options.quiet = true;
                else
                    return refuse(std::string("unknown option -") + word[k]);
            }
        }
    }
    if (options.json && options.quiet) return refuse("--json and --quiet exclude each other");
    return options;
}
