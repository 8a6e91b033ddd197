// The ownership test: is a library file the maker's copy? First by the company
// name in its version resource, then by the maker names in its bytes.
#pragma once

#include <string>

#include "platform/Windows.h"

// The ordered maker-name table, ended by a null entry. The company-name stage
// compares whole names ignoring case; the content stage searches exact bytes.
extern const char* const MakerNames[];

// 1 when the file is the maker's by its company name or by its content.
int IsMakerFile(const char* path);

// 1 when the company name of the first translation of the file's version
// resource equals one of MakerNames, ignoring case.
int HasMakerCompanyName(const char* path);

// The content stage: 1 when the file's bytes contain one of MakerNames,
// searched in order with reports on.
int HasMakerContent(const char* path);

namespace ownership {

// What the ownership test learned about a file besides its answer: whose it
// is and why, and whether it could read what it had to read. An answer of 0
// with an error here means "could not be decided", not "someone else's".
struct Facts {
    bool hasCompany = false;
    std::string company;                 // the first translation's company name
    const char* companyMatch = nullptr;  // the MakerNames entry it equals
    const char* contentMatch = nullptr;  // the MakerNames entry found in the bytes
    long long offset = -1;               // where the first hit of contentMatch starts
    DWORD versionError = 0;              // the version read could not get at the file (see below)
    DWORD contentError = 0;  // the content search could not open it or read it to its end
};

// The same calls, traces and answers as IsMakerFile, HasMakerCompanyName and
// HasMakerContent, noting what they learn in *facts.
int IsMakerFile(const char* path, Facts* facts);
int HasMakerCompanyName(const char* path, Facts* facts);
int HasMakerContent(const char* path, Facts* facts);

// True for the errors of a version read that say the file could not be got
// at (denied, held, locked, ambiguous, replaced, unreadable), as opposed to a
// file that has no version information (or not the expected one).
bool IsAccessError(DWORD error);

}  // namespace ownership
