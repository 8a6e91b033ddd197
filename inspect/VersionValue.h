// String values of the first translation of a version-information block (as
// GetFileVersionInfoA filled it): the company-name stage of the ownership test
// and the file description read them this way, and so do the version tools.
#pragma once

#include "platform/Windows.h"
#include "strings/Str.h"

namespace inspect {

// The first entry of the block's translation table ("\VarFileInfo\Translation"):
// the language in the low word, the code page in the high word. False when the
// block has no table with at least one entry.
bool FirstTranslation(const void* block, DWORD* translation);

// Looks up the string value `key` of a translation with VerQueryValueA, as
// the sub-block "\StringFileInfo\<language><code page>\<key>" with four
// lower-case hexadecimal digits each (language 0407 and code page 04b0 give
// \StringFileInfo\040704b0\<key>). The sub-block path is formatted into the
// caller's `path`, so that the caller decides how long that string lives.
// True with *value and *length as VerQueryValueA answers them; false when it
// finds no value.
bool QueryStringValue(const void* block, DWORD translation, const char* key, CStr* path,
                      void** value, UINT* length);

}  // namespace inspect
