// The process as the POSIX layer sees it on the host.
#pragma once

#include <string>

namespace posix {

// The host path of the running executable, empty when it cannot be read.
std::string ExecutableHostPath();

}  // namespace posix
