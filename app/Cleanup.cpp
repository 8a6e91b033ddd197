// The cleanup run and the ownership test.
#include "app/Cleanup.h"

#include <cstdlib>
#include <cstring>

#include "inspect/FileSearch.h"
#include "platform/Windows.h"
#include "strings/PathStr.h"

const char* const MakerNames[] = {"QZM Korvik", "QZM GmbH", "QZM-GmbH", nullptr};

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

int HasMakerCompanyName(const char* path) {
    CPathStr file(path, kLocalSize);
    if (file.IsEmpty()) return 0;

    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(path, &handle);
    // One byte more than asked for: a file without version information gives
    // size 0, and the one-byte block then makes the next call fail.
    void* block = std::malloc(static_cast<size_t>(size) + 1);
    if (!block) return 0;
    int result = 0;
    void* translation = nullptr;
    UINT length = 0;
    if (GetFileVersionInfoA(path, handle, size, block) &&
        VerQueryValueA(block, "\\VarFileInfo\\Translation", &translation, &length) && translation &&
        length >= sizeof(DWORD)) {
        // Only the first translation: language in the low word, code page in the high.
        DWORD first;
        std::memcpy(&first, translation, sizeof first);
        CStr subBlock(nullptr, kLocalSize);
        subBlock.sprintf("\\StringFileInfo\\%04x%04x\\%s", LOWORD(first), HIWORD(first),
                         "CompanyName");
        void* value = nullptr;
        if (VerQueryValueA(block, subBlock.GetBuffer(), &value, &length) && value) {
            CStr company(static_cast<const char*>(value), kLocalSize);
            for (const char* const* name = MakerNames; *name; ++name) {
                if (company.IsEqual(*name, 0)) {
                    result = 1;
                    break;
                }
            }
        }
    }
    std::free(block);
    return result;
}

int IsMakerFile(const char* path) {
    CPathStr file(path, kLocalSize);
    if (file.IsEmpty()) return 0;
    if (HasMakerCompanyName(path)) return 1;
    return HasMakerContent(path);
}

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
    CPathStr path("", kPathSize);
    GetSystemDirectoryA(path.GetBuffer(), kPathSize);

    path.AddPath("CAPI2032.DLL");
    int allHandled = RemoveLibrary(path.GetBuffer()) ? 1 : 0;

    // The companion directory: system32 becomes system.
    path.ExtractPathEx(nullptr);
    path.RemoveLast('2', 0);
    path.RemoveLast('3', 0);

    path.AddPath("capi20.dll");
    if (allHandled) allHandled = RemoveLibrary(path.GetBuffer()) ? 1 : 0;

    path.ExtractPathEx(nullptr);
    path.AddPath("capi.dll");
    if (allHandled) allHandled = RemoveLibrary(path.GetBuffer()) ? 1 : 0;

    CStr message(nullptr, kLocalSize);
    if (allHandled) message.sprintf("%s\n%s", cleanup::kSuccessLine1, cleanup::kSuccessLine2);
    else message.Set(cleanup::kFailure, 0);
    MessageBoxA(nullptr, message.GetBuffer(), cleanup::kCaption,
                MB_ICONINFORMATION | MB_SETFOREGROUND);
    return 0;
}
