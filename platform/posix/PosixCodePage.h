// Text between the host and Win32 callers in the POSIX layer: host names are
// UTF-8, Windows text is Windows-1252 (the ANSI code page here).
#pragma once

#include <cstddef>
#include <string>

namespace posix {

// Host name (UTF-8) to a Windows-1252 name; unmappable characters become '?'.
std::string HostNameToAnsi(const std::string& hostName);
// Windows-1252 text to UTF-8.
std::string AnsiToUtf8Text(const char* text, size_t length);

}  // namespace posix
