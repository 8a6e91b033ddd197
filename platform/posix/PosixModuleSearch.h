// How the POSIX layer's version functions find a file given by a bare module
// name, as Windows' do through the loader.
#pragma once

#include <string>

namespace posix {

// The file GetFileVersionInfoSizeA and GetFileVersionInfoA read for `name`.
//
// A name with a folder in it (a '\' or '/', or a drive "X:") is taken as it
// is, relative ones against the current directory. A bare name ("kernel32.dll")
// is a module name: Windows hands it to the loader, which looks for it (with
// ".dll" added when it has no extension; a final '.' stands for none) in
//   1. the folder of the running program,
//   2. the system folder (GetSystemDirectoryA),
//   3. the 16-bit system folder (<Windows folder>\system),
//   4. the Windows folder (GetWindowsDirectoryA),
//   5. the current directory,
// and maps the first file found when it is a PE image. The host's PATH, the
// loader's last stop on Windows, is not searched: it lists the host's program
// folders, not Windows ones (Wine's PATH for Windows programs holds the system
// and Windows folders searched above). When the loader finds no PE image,
// Windows opens the name as given, relative to the current directory, and
// reads an NE image or fails as for any other file; so does this.
std::string VersionFileOf(const char* name);

}  // namespace posix
