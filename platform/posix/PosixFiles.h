// Internals of the POSIX layer's file handles, shared by the parts of the layer
// that work on open files (reading, writing, version resources).
#pragma once

#include <cstdint>
#include <string>

#include "platform/posix/WinTypes.h"

namespace posix {

// The host descriptor behind a HANDLE from CreateFileA, or -1 when the handle
// is not one of ours (the last error is then ERROR_INVALID_HANDLE).
int HandleDescriptor(HANDLE handle);

// Reads up to n bytes at offset without moving the file position. Returns the
// number read (0 at the end), or -1 with the last error set.
long long ReadAt(HANDLE handle, uint64_t offset, void* buffer, size_t n);

// Size of the open file, or false with the last error set.
bool HandleSize(HANDLE handle, uint64_t* size);

// Opens a file for reading as a loader would: read access, sharing read, write
// and delete. INVALID_HANDLE_VALUE with the last error set on failure.
HANDLE OpenForReading(const char* winPath);

}  // namespace posix
