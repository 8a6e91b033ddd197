// Text helpers that respect double-byte characters of the ANSI code page: a
// search never starts at, and a separator is never taken from, a trail byte.
#pragma once

#include <cstddef>

namespace mbcs {

bool IsLead(unsigned char ch);
// Bytes of the character at p: 2 for a lead byte followed by a trail byte, else 1.
size_t CharLength(const char* p);
// First occurrence of pattern in text starting at a character boundary; an
// empty pattern matches at the start. Null when there is none.
const char* FindSub(const char* text, const char* pattern);
// First / last occurrence of a single-byte character at a character boundary.
const char* FindChar(const char* text, char ch);
const char* FindLastChar(const char* text, char ch);
// Letter case in the ANSI code page (single bytes; trail bytes are left alone).
unsigned char ToLower(unsigned char ch);
unsigned char ToUpper(unsigned char ch);
void LowerInPlace(char* text);
void UpperInPlace(char* text);
// -1, 0 or 1; a double-byte character is compared as one unit, lead byte high.
int CompareText(const char* a, const char* b, bool ignoreCase);

}  // namespace mbcs
