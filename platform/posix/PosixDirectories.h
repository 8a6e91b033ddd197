// The process's current directory in the POSIX layer, which relative paths
// resolve against (see PosixPaths.h).
#pragma once

#include <string>

namespace posix {

// The current directory in Windows form ("C:\windows", "Z:\home\u"), kept by
// SetCurrentDirectoryA. Until that sets one, it is the host's working
// directory seen through the drives (C: below the drive root, else Z:), and
// relative paths resolve against the host's working directory itself.
// Empty only when the host cannot tell its working directory.
std::string CurrentDirectory();
bool CurrentDirectoryIsSet();

}  // namespace posix
