// Internals of the POSIX layer's HFILE numbers (OpenFile), for the parts of
// the layer that accept an HFILE in place of a HANDLE.
#pragma once

#include "platform/posix/WinTypes.h"

namespace posix {

// The handle behind an HFILE of OpenFile that has been cast to a HANDLE (as
// in GetFileSize((HANDLE)file, ...)); null for any other value.
HANDLE HandleOfLegacyFile(HANDLE handle);

}  // namespace posix
