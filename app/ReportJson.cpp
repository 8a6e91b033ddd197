// The run's record as one JSON document.
#include "app/ReportJson.h"

#include <cstdio>

#include "app/Options.h"
#include "app/ReportText.h"
#include "platform/Windows.h"

namespace report {
namespace {

// The length of the valid UTF-8 sequence at text[at], or 0 when the bytes
// there are not one (overlong forms, surrogates and values past U+10FFFF
// included).
size_t Utf8SequenceLength(const std::string& text, size_t at) {
    const unsigned char first = static_cast<unsigned char>(text[at]);
    if (first < 0x80) return 1;
    size_t length;
    unsigned value;
    if (first >= 0xC2 && first <= 0xDF) {
        length = 2;
        value = first & 0x1F;
    } else if (first >= 0xE0 && first <= 0xEF) {
        length = 3;
        value = first & 0x0F;
    } else if (first >= 0xF0 && first <= 0xF4) {
        length = 4;
        value = first & 0x07;
    } else {
        return 0;
    }
    if (at + length > text.size()) return 0;
    for (size_t k = 1; k < length; ++k) {
        const unsigned char next = static_cast<unsigned char>(text[at + k]);
        if ((next & 0xC0) != 0x80) return 0;
        value = (value << 6) | (next & 0x3F);
    }
    if ((length == 3 && value < 0x800) || (length == 4 && value < 0x10000) || value > 0x10FFFF ||
        (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    return length;
}

const char* FindingName(Finding finding) {
    switch (finding) {
        case Finding::kNotExamined:
            return "not_examined";
        case Finding::kAbsent:
            return "absent";
        case Finding::kNotAFile:
            return "not_a_file";
        case Finding::kForeign:
            return "foreign";
        case Finding::kMakerByCompany:
            return "maker_by_company";
        case Finding::kMakerByContent:
            return "maker_by_content";
        case Finding::kCannotExamine:
            return "cannot_examine";
    }
    return "unknown";
}

const char* ActionName(Action action) {
    switch (action) {
        case Action::kNothing:
            return "nothing";
        case Action::kDeleted:
            return "deleted";
        case Action::kScheduled:
            return "scheduled";
        case Action::kWouldDelete:
            return "would_delete";
        case Action::kFailed:
            return "failed";
    }
    return "unknown";
}

const char* OutcomeName(Outcome outcome) {
    switch (outcome) {
        case Outcome::kUpdated:
            return "updated";
        case Outcome::kUpdatedRestartNeeded:
            return "updated_restart_needed";
        case Outcome::kNotUpdated:
            return "not_updated";
    }
    return "unknown";
}

// A text of the record (ANSI code page) as a JSON string, or null when empty.
std::string AnsiOrNull(const std::string& ansi) {
    return ansi.empty() ? "null" : JsonString(AnsiToUtf8(ansi));
}

std::string ErrorObject(const char* step, DWORD code) {
    std::string meaning = ErrorMeaning(code);
    return std::string("{\"step\": \"") + step + "\", \"code\": " + std::to_string(code) +
           ", \"text\": " + (meaning.empty() ? "null" : JsonString(meaning)) + "}";
}

std::string LibraryObject(const LibraryReport& library, const std::string& indent) {
    std::string name = library.path.substr(library.path.find_last_of('\\') + 1);
    std::vector<std::string> errors;
    if (library.finding == Finding::kCannotExamine || library.examineError != 0)
        errors.push_back(ErrorObject("examine", library.examineError));
    if (library.action == Action::kScheduled || library.action == Action::kFailed ||
        library.deleteError != 0)
        errors.push_back(ErrorObject("delete", library.deleteError));
    if (library.action == Action::kFailed || library.scheduleError != 0)
        errors.push_back(ErrorObject("schedule", library.scheduleError));
    std::string errorList = "[";
    for (size_t i = 0; i < errors.size(); ++i) errorList += (i ? ", " : "") + errors[i];
    errorList += "]";

    const std::string in = indent + "  ";
    return indent + "{\n" + in + "\"name\": " + JsonString(AnsiToUtf8(name)) + ",\n" + in +
           "\"path\": " + JsonString(AnsiToUtf8(library.path)) + ",\n" + in + "\"finding\": \"" +
           FindingName(library.finding) + "\",\n" + in +
           "\"company\": " + AnsiOrNull(library.company) + ",\n" + in +
           "\"maker_name\": " + AnsiOrNull(library.makerName) + ",\n" + in +
           "\"offset\": " + (library.offset >= 0 ? std::to_string(library.offset) : "null") +
           ",\n" + in + "\"action\": \"" + ActionName(library.action) + "\",\n" + in +
           "\"errors\": " + errorList + ",\n" + in + "\"detail\": " + AnsiOrNull(library.detail) +
           "\n" + indent + "}";
}

}  // namespace

std::string AnsiToUtf8(const std::string& ansi) {
    if (ansi.empty()) return std::string();
    const int length = static_cast<int>(ansi.size());
    const int wideLength = MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, nullptr, 0);
    if (wideLength <= 0) return std::string();
    std::vector<WCHAR> wide(static_cast<size_t>(wideLength));
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, wide.data(), wideLength);
    const int utf8Length =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    if (utf8Length <= 0) return std::string();
    std::string utf8(static_cast<size_t>(utf8Length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, &utf8[0], utf8Length, nullptr,
                        nullptr);
    return utf8;
}

std::string JsonString(const std::string& utf8) {
    std::string out = "\"";
    for (size_t at = 0; at < utf8.size();) {
        const unsigned char c = static_cast<unsigned char>(utf8[at]);
        if (c >= 0x80) {
            size_t length = Utf8SequenceLength(utf8, at);
            if (length == 0) {
                out += "\xEF\xBF\xBD";  // U+FFFD for a byte that is not UTF-8
                ++at;
            } else {
                out.append(utf8, at, length);
                at += length;
            }
            continue;
        }
        ++at;
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                    out += escaped;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out + "\"";
}

std::string JsonDocument(const std::vector<RootRun>& roots, bool dryRun, int exitCode) {
    std::string out = "{\n";
    out += "  \"tool\": \"purgelib\",\n";
    out += std::string("  \"version\": \"") + kToolVersion + "\",\n";
    out += std::string("  \"dry_run\": ") + (dryRun ? "true" : "false") + ",\n";
    out += "  \"exit_code\": " + std::to_string(exitCode) + ",\n";
    out += "  \"roots\": [";
    for (size_t r = 0; r < roots.size(); ++r) {
        const RootRun& root = roots[r];
        out += r ? ",\n" : "\n";
        out += "    {\n";
        out += "      \"root\": " + JsonString(root.root) + ",\n";
        out += "      \"system_directory\": " + JsonString(AnsiToUtf8(root.run.systemDirectory)) +
               ",\n";
        out += "      \"libraries\": [";
        for (size_t i = 0; i < root.run.libraries.size(); ++i)
            out += (i ? ",\n" : "\n") + LibraryObject(root.run.libraries[i], "        ");
        out += root.run.libraries.empty() ? "],\n" : "\n      ],\n";
        out += std::string("      \"outcome\": \"") + OutcomeName(root.run.outcome) + "\",\n";
        out += "      \"message\": " + JsonString(AnsiToUtf8(root.run.message)) + ",\n";
        out += "      \"exit_code\": " + std::to_string(root.exitCode) + "\n";
        out += "    }";
    }
    out += roots.empty() ? "]\n" : "\n  ]\n";
    out += "}\n";
    return out;
}

}  // namespace report
