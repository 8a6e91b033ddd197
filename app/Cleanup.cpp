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
}  // namespace cleanup

namespace {

constexpr unsigned kPathSize = 260;
constexpr unsigned kLocalSize = 255;

}  // namespace

int RemoveLibrary(const char* path) {
    CPathStr file(path, kLocalSize);
    if (file.IsEmpty()) return 0;
    if (!file.DoesFileExist(nullptr, OPEN_EXISTING)) return 1;
    if (!IsMakerFile(path)) return 1;
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    if (DeleteFileA(path)) return 1;
    return MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

int RunCleanup() {
    return RunCleanup(RunOptions());
}

int RunCleanup(const RunOptions& options) {
    RunReport* report = options.report;
    if (report) *report = RunReport();
    CPathStr path("", kPathSize);
    GetSystemDirectoryA(path.GetBuffer(), kPathSize);
    if (report) {
        report->dryRun = options.dryRun;
        report->systemDirectory = path.GetBuffer();
    }
    // Examines the library at the current path while every earlier one was
    // handled; records it either way.
    int allHandled = 1;
    auto examine = [&]() {
        if (report) {
            report->libraries.emplace_back();
            report->libraries.back().path = path.GetBuffer();
        }
        if (allHandled) allHandled = RemoveLibrary(path.GetBuffer()) ? 1 : 0;
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
    if (report) {
        report->outcome = allHandled ? Outcome::kUpdated : Outcome::kNotUpdated;
        report->message = message.GetBuffer() ? message.GetBuffer() : "";
    }
    if (options.showMessage)
        MessageBoxA(nullptr, message.GetBuffer(), cleanup::kCaption,
                    MB_ICONINFORMATION | MB_SETFOREGROUND);
    return 0;
}
