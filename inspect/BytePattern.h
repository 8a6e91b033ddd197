// Finding a byte string in a block quickly: every occurrence, overlapping ones
// included, in increasing order.
//
// Candidates are found by comparing the string's first and last bytes at many
// positions at once (16 with SSE2, 8 in a 64-bit word otherwise); only
// positions where both agree are compared in full.
#pragma once

#include <cstddef>

namespace inspect {

struct BytePattern {
    BytePattern(const char* text, size_t length);

    // The first position p in [from, end - length] at which the string occurs,
    // or null. Reads nothing outside [from, end).
    const char* Find(const char* from, const char* end) const;

    // The same search without vector instructions (used where SSE2 is absent).
    const char* FindPortable(const char* from, const char* end) const;

    const unsigned char* bytes;
    size_t length;
};

}  // namespace inspect
