// The cleanup run: removes the maker's copies of the three CAPI libraries.
#pragma once

// The run: examines "CAPI2032.DLL" in the system directory, then "capi20.dll"
// and "capi.dll" in the companion directory (each only while every earlier one
// was handled), and ends with one message box. Returns 0.
int RunCleanup();

// 1 when the library at path is absent, someone else's (a folder, pipe,
// socket or device in its place included), or deleted; the result of the
// delete-at-restart request when it had to be scheduled (its attributes are
// put back when that fails too); 0 for an empty path and for a library that
// exists but cannot be examined: one that cannot be looked up or opened, or
// whose bytes cannot be read to decide whose it is. Only "does not exist"
// (ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND) counts as absent. Whose it is,
// the ownership test (app/Ownership.h) decides.
int RemoveLibrary(const char* path);

// The message box texts and caption (Windows-1252).
namespace cleanup {
extern const char* const kCaption;
extern const char* const kSuccessLine1;
extern const char* const kSuccessLine2;
extern const char* const kFailure;
// The line a dry run adds to the message.
extern const char* const kDryRunLine;
}  // namespace cleanup
