// GetWindowsDirectoryA and GetSystemDirectoryA: the folders as they lie on
// drive C:.
#include <cstring>
#include <initializer_list>
#include <string>

#include "platform/posix/PosixPaths.h"
#include "platform/posix/WinErrors.h"
#include "platform/posix/WinSystemDirectories.h"

namespace {

// Copies `text` (with terminator) into buffer when it fits, as the Win32
// directory queries do: the length without terminator when it fits, else the
// size needed including the terminator.
UINT CopyOut(const std::string& text, LPSTR buffer, UINT size) {
    if (text.size() + 1 > size || !buffer) return static_cast<UINT>(text.size() + 1);
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<UINT>(text.size());
}

// The Windows folder `parent` followed by the first of `names` that is a
// folder there, as spelt on disk. When a lookup fails for another reason than
// absence (a folder that cannot be searched, names that collide in guard
// mode), the search stops and the name asked for stands, so that every call
// on the path meets that failure instead of another folder.
std::string FirstFolder(const std::string& parent, std::initializer_list<const char*> names) {
    for (const char* name : names) {
        std::string onDisk;
        DWORD error = posix::FindFolder(parent, name, &onDisk);
        if (error == ERROR_SUCCESS) return parent + "\\" + onDisk;
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
            return parent + "\\" + name;
    }
    return parent + "\\" + *names.begin();
}

std::string WindowsDirectory() {
    return FirstFolder("C:", {"windows", "winnt"});
}

}  // namespace

UINT GetWindowsDirectoryA(LPSTR buffer, UINT size) {
    return CopyOut(WindowsDirectory(), buffer, size);
}

UINT GetSystemDirectoryA(LPSTR buffer, UINT size) {
    return CopyOut(FirstFolder(WindowsDirectory(), {"system32", "system"}), buffer, size);
}
