// The Windows entry. Without switches: one cleanup run, its box, exit code 0,
// as always. The switches (/quiet, /log FILE, /?) are read from the command
// line as Windows programs read theirs (app/WindowsTool.h).
#include <string>

#include "app/WindowsTool.h"
#include "platform/Windows.h"

namespace {

// The log file's name as a full path, so that a plain name lands in the
// current folder (the library's log would put it in the Windows directory).
std::string FullPath(const std::string& name) {
    char buffer[MAX_PATH];
    DWORD length = GetFullPathNameA(name.c_str(), sizeof buffer, buffer, nullptr);
    if (length == 0 || length >= sizeof buffer) return name;
    return buffer;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return wintool::RunCommandLine(GetCommandLineA(), FullPath);
}
