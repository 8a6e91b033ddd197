// The cleanup run.
#include "app/Cleanup.h"

#include "app/Ownership.h"
#include "app/Report.h"
#include "platform/Windows.h"
#include "strings/PathStr.h"

namespace cleanup {
const char* const kCaption = "Velkorant Installationbereiniger";
const char* const kSuccessLine1 = "Das System wurde erfolgreich aktualisiert.";
const char* const kSuccessLine2 =
    "Sie m\xFCssen den Computer neu starten, damit die \xC4nderungen wirksam werden.";
const char* const kFailure = "Das System konnte nicht aktualisiert werden.";
const char* const kDryRunLine = "Probelauf: Es wurde nichts ge\xE4ndert.";
}  // namespace cleanup

namespace {

constexpr unsigned kPathSize = 260;
constexpr unsigned kLocalSize = 255;

// The attributes SetFileAttributesA can give back.
constexpr DWORD kSettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                      FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                      FILE_ATTRIBUTE_TEMPORARY | 0x1000u /* OFFLINE */ |
                                      0x2000u /* NOT_CONTENT_INDEXED */;

// Marks the library as not examinable: its owner cannot be decided.
int CannotExamine(LibraryReport* record, DWORD error, const char* detail) {
    record->finding = Finding::kCannotExamine;
    record->examineError = error;
    record->detail = detail;
    return 0;
}

// Whether the existence test found the library, and what stands there when
// it did not. 1 for a file to examine; otherwise the finding is recorded and
// *handled is the library's result.
int FindFile(CPathStr* file, const char* path, LibraryReport* record, int* handled) {
    const int exists = file->DoesFileExist(nullptr, OPEN_EXISTING);
    int place = 0;
    const DWORD error = static_cast<DWORD>(file->GetError(&place));
    *handled = 1;
    if (exists && error == NO_ERROR) return 1;
    if (!exists) {
        // The test answers "no" without an error for a directory.
        if (error == NO_ERROR) {
            record->finding = Finding::kNotAFile;
        } else if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            record->finding = Finding::kAbsent;
        } else {
            *handled = CannotExamine(record, error, "the existence test could not look it up");
        }
        return 0;
    }
    // Present, but it could not be opened: a pipe, socket or device (which
    // is never opened) is someone else's; a file is one that cannot be read.
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE))) {
        record->finding = Finding::kNotAFile;
    } else {
        *handled = CannotExamine(record, error, "the existence test could not open it");
    }
    return 0;
}

// RemoveLibrary, noting what it found and did in *record; in a dry run it
// changes nothing and notes what it would delete.
int RemoveLibrary(const char* path, bool dryRun, LibraryReport* record) {
    CPathStr file(path, kLocalSize);
    if (file.IsEmpty()) return CannotExamine(record, ERROR_INVALID_PARAMETER, "empty path");
    int handled = 0;
    if (!FindFile(&file, path, record, &handled)) return handled;

    ownership::Facts facts;
    const int maker = ownership::IsMakerFile(path, &facts);
    record->company = facts.company;
    if (!maker) {
        // Not found is not "someone else's" when the file could not be read.
        if (facts.versionError != NO_ERROR)
            return CannotExamine(record, facts.versionError,
                                 "the version resource could not be read");
        if (facts.contentError != NO_ERROR)
            return CannotExamine(record, facts.contentError,
                                 "the content search could not read the whole file");
        record->finding = Finding::kForeign;
        return 1;
    }
    if (facts.companyMatch) {
        record->finding = Finding::kMakerByCompany;
        record->makerName = facts.companyMatch;
    } else {
        record->finding = Finding::kMakerByContent;
        record->makerName = facts.contentMatch ? facts.contentMatch : "";
        record->offset = facts.offset;
    }
    if (dryRun) {
        record->action = Action::kWouldDelete;
        return 1;
    }

    // Read-only, hidden and system attributes would stop the delete; they
    // are put back when the file stays after all.
    const DWORD attributes = GetFileAttributesA(path);
    const BOOL cleared = SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    if (DeleteFileA(path)) {
        record->action = Action::kDeleted;
        return 1;
    }
    record->deleteError = GetLastError();
    const BOOL scheduled = MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    if (scheduled) {
        record->action = Action::kScheduled;
        return scheduled;
    }
    record->scheduleError = GetLastError();
    record->action = Action::kFailed;
    if (cleared && attributes != INVALID_FILE_ATTRIBUTES) {
        const DWORD previous = attributes & kSettableAttributes;
        SetFileAttributesA(path, previous ? previous : FILE_ATTRIBUTE_NORMAL);
    }
    return scheduled;
}

}  // namespace

int RemoveLibrary(const char* path) {
    LibraryReport record;
    return RemoveLibrary(path, false, &record);
}

int RunCleanup() {
    return RunCleanup(RunOptions());
}

int RunCleanup(const RunOptions& options) {
    // The record is kept in any case (it costs no platform call and no
    // trace), so a run with a report makes exactly the calls of one without.
    RunReport local;
    RunReport& report = options.report ? *options.report : local;
    report = RunReport();
    report.dryRun = options.dryRun;
    CPathStr path("", kPathSize);
    GetSystemDirectoryA(path.GetBuffer(), kPathSize);
    report.systemDirectory = path.GetBuffer() ? path.GetBuffer() : "";

    // Examines the library at the current path while every earlier one was
    // handled; records it either way.
    int allHandled = 1;
    bool scheduled = false;
    auto examine = [&]() {
        report.libraries.emplace_back();
        LibraryReport& record = report.libraries.back();
        record.path = path.GetBuffer() ? path.GetBuffer() : "";
        if (!allHandled) return;
        allHandled = RemoveLibrary(path.GetBuffer(), options.dryRun, &record) ? 1 : 0;
        if (record.action == Action::kScheduled) scheduled = true;
    };

    path.AddPath("CAPI2032.DLL");
    examine();

    // The companion directory: system32 becomes system.
    path.ExtractPathEx(nullptr);
    path.RemoveLast('2', 0);
    path.RemoveLast('3', 0);

    path.AddPath("capi20.dll");
    examine();

    path.ExtractPathEx(nullptr);
    path.AddPath("capi.dll");
    examine();

    CStr message(nullptr, kLocalSize);
    if (allHandled)
        message.sprintf("%s\n%s", cleanup::kSuccessLine1, cleanup::kSuccessLine2);
    else
        message.Set(cleanup::kFailure, 0);
    if (options.dryRun) message.Addsprintf("\n%s", cleanup::kDryRunLine);
    if (!allHandled)
        report.outcome = Outcome::kNotUpdated;
    else
        report.outcome = scheduled ? Outcome::kUpdatedRestartNeeded : Outcome::kUpdated;
    report.message = message.GetBuffer() ? message.GetBuffer() : "";
    if (options.showMessage)
        MessageBoxA(nullptr, message.GetBuffer(), cleanup::kCaption,
                    MB_ICONINFORMATION | MB_SETFOREGROUND);
    return 0;
}
