// The run's record as text for people.
#include "app/ReportText.h"

namespace report {
namespace {

// A text of the record as one piece of a line: control characters become '?'.
std::string Clean(const std::string& text) {
    std::string clean = text;
    for (char& c : clean)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    return clean;
}

std::string Quoted(const std::string& text) {
    return "\"" + Clean(text) + "\"";
}

std::string FindingText(const LibraryReport& library) {
    switch (library.finding) {
        case Finding::kNotExamined:
            return "not examined, an earlier library was not handled";
        case Finding::kAbsent:
            return "absent";
        case Finding::kNotAFile:
            return "not a file (a folder, pipe, socket or device), someone else's";
        case Finding::kForeign:
            return library.company.empty()
                       ? "someone else's (no company name)"
                       : "someone else's (company name " + Quoted(library.company) + ")";
        case Finding::kMakerByCompany:
            return "the maker's by its company name " +
                   Quoted(library.company.empty() ? library.makerName : library.company);
        case Finding::kMakerByContent:
            return "the maker's by its content (" + Quoted(library.makerName) + " at offset " +
                   std::to_string(library.offset) + ")";
        case Finding::kCannotExamine:
            return "cannot be examined (" + ErrorText(library.examineError) + ")";
    }
    return "?";
}

std::string ActionText(const LibraryReport& library) {
    switch (library.action) {
        case Action::kNothing:
            switch (library.finding) {
                case Finding::kAbsent:
                    return "nothing to do";
                case Finding::kNotAFile:
                case Finding::kForeign:
                    return "kept";
                case Finding::kNotExamined:
                    return "left alone";
                case Finding::kCannotExamine:
                    return "left alone, not handled";
                case Finding::kMakerByCompany:
                case Finding::kMakerByContent:
                    break;
            }
            return "nothing done";
        case Action::kDeleted:
            return "deleted";
        case Action::kScheduled:
            return "scheduled for deletion at restart (delete: " + ErrorText(library.deleteError) +
                   ")";
        case Action::kWouldDelete:
            return "would be deleted (dry run)";
        case Action::kFailed:
            return "not removed (delete: " + ErrorText(library.deleteError) +
                   "; scheduling: " + ErrorText(library.scheduleError) + ")";
    }
    return "?";
}

}  // namespace

std::string ErrorMeaning(DWORD code) {
    const char* meaning = "";
    switch (code) {
        case 2:
            meaning = "file not found";
            break;
        case 3:
            meaning = "path not found";
            break;
        case 5:
            meaning = "access denied";
            break;
        case 19:
            meaning = "write-protected";
            break;
        case 21:
            meaning = "device not ready";
            break;
        case 23:
            meaning = "data error";
            break;
        case 32:
            meaning = "sharing violation";
            break;
        case 33:
            meaning = "lock violation";
            break;
        case 50:
            meaning = "not supported";
            break;
        case 206:
            meaning = "name too long";
            break;
        case 1006:
            meaning = "the file was replaced meanwhile";
            break;
        case 1117:
            meaning = "I/O error";
            break;
        case 1921:
            meaning = "ambiguous name";
            break;
        default:
            break;
    }
    return meaning;
}

std::string ErrorText(DWORD code) {
    if (code == 0) return "no error code";
    std::string meaning = ErrorMeaning(code);
    return "error " + std::to_string(code) + (meaning.empty() ? "" : ", " + meaning);
}

std::string LibraryLine(const LibraryReport& library) {
    std::string line = Clean(library.path) + ": " + FindingText(library);
    if (!library.detail.empty()) line += " [" + Clean(library.detail) + "]";
    return line + "; " + ActionText(library);
}

std::string OutcomeLine(const RunReport& run) {
    std::string line = "Outcome: ";
    switch (run.outcome) {
        case Outcome::kUpdated:
            line += "updated";
            break;
        case Outcome::kUpdatedRestartNeeded:
            line += "updated, restart needed";
            break;
        case Outcome::kNotUpdated:
            line += "not updated";
            break;
    }
    if (run.dryRun) line += " (dry run, nothing was changed)";
    return line;
}

std::vector<std::string> ReportLines(const RunReport& run) {
    std::vector<std::string> lines;
    for (const LibraryReport& library : run.libraries) lines.push_back(LibraryLine(library));
    lines.push_back(OutcomeLine(run));
    return lines;
}

}  // namespace report
