// The ownership test: is a library file the maker's copy? First by the company
// name in its version resource, then by the maker names in its bytes.
#pragma once

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
